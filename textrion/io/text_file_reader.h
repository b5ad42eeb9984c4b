#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "textrion/encoding/text_file_processor.h"
#include "textrion/io/binary_file.h"
#include "textrion/textrion_export.h"

namespace codecs {
class CodePageDecoder;
}

// Reads a text file of any encoding as UTF-16 in caller-sized portions. The
// file's BOM is found on opening; SetEncoding or SetCodePage may impose
// another reading before the first Read. A Read never splits a character and
// code page decoding keeps its shift state (ISO-2022, HZ) from one Read to the
// next. Memory stays within the read buffer whatever the file size.
//
// Bad input never stops reading: it becomes U+FFFD and is counted in
// GetReplacementCount(). An I/O error ends the data early and sets
// HasReadError(); the text read so far is then incomplete.
class TEXTRION_API CTextFileReader {
public:
    virtual ~CTextFileReader();

    // Buffers below kMinBufferSize bytes (the longest sequence the UTF-8 decoder
    // examines) are replaced by an owned buffer of that size.
    CTextFileReader(const char16_t* path, unsigned bufferSize);
    // The caller's buffer is used and never freed.
    CTextFileReader(const char16_t* path, unsigned char* buffer, unsigned bufferSize);

    // Reads a stream already begun (CBinaryFileReader's stream form): the
    // BOM is looked for in head first. The handle is owned.
    CTextFileReader(int stream, std::vector<unsigned char> head, const char16_t* name, unsigned bufferSize);

    static constexpr unsigned kMinBufferSize = 6;

    // Replaces the buffer with an owned one; returns the previous size. Bytes
    // read ahead are kept.
    unsigned SetInternalReadBufferSize(unsigned size);
    // Lets the buffer grow, doubling at each refill from the file up to
    // maxBytes, so that a long stream takes few system calls while a short file
    // allocates and reads little. The grown buffer is owned; what Read returns
    // is the same.
    void SetReadAhead(unsigned maxBytes) { m_readAhead = maxBytes; }
    void SetEncoding(TEXTENCODING encoding);

    // Decodes the next portion into out, at most capacity units; returns the
    // units written, 0 at the end of the data. A character that needs more room
    // than is left (a surrogate pair with one unit free) waits for the next call.
    // *bytesConsumed receives the file bytes this call decoded. out past the
    // units returned (up to capacity) may be overwritten. The base's byte
    // reads are hidden on purpose: they would skip the bytes read ahead.
    unsigned Read(char16_t* out, unsigned capacity, unsigned* bytesConsumed = nullptr);
    // Replaces s with the next portion when there is one; capacity 0 returns 0.
    unsigned Read(std::u16string& s, unsigned capacity);
    // Appends the rest of the text in blocks of blockSize units; returns the count.
    unsigned ReadToEnd(std::u16string& s, unsigned blockSize);

    // The file the bytes come from and the codec that decodes them.
    const CBinaryFileReader& File() const { return m_file; }
    const CTextFileProcessor& Codec() const { return m_codec; }

    [[nodiscard]] bool IsOpen() const { return m_file.IsOpen(); }
    [[nodiscard]] bool Close() { return m_file.Close(); }
    int GetFileHandle() const { return m_file.GetFileHandle(); }
    int GetLastError() const { return m_file.GetLastError(); }
    uint64_t GetFileSize() const { return m_file.GetFileSize(); }
    // The file position: bytes read ahead into the buffer included.
    uint64_t GetPosition() const { return m_file.GetPosition(); }
    [[nodiscard]] bool HasReadError() const { return m_file.HasReadError() || m_undecodable; }
    // The file gave all it has; decoded text may still wait in the buffer.
    [[nodiscard]] bool Eof() const { return m_file.Eof(); }
    void SetReadLimit(uint64_t position) { m_file.SetReadLimit(position); }

    TEXTENCODING GetEncoding() const { return m_codec.GetEncoding(); }
    void SetCodePage(unsigned codePage) { m_codec.SetCodePage(codePage); }
    unsigned GetCodePage() const { return m_codec.GetCodePage(); }

    // For a caller that decodes the bytes itself instead of calling Read (the
    // converter's byte paths), before any Read: the bytes not decoded yet,
    // taking n of them, and refilling the buffer at the moments Read would
    // (false when nothing more came), so that the file is read the same way.
    const unsigned char* PendingBytes(unsigned* size) const
    {
        *size = m_dataEnd - m_dataBegin;
        return m_buffer + m_dataBegin;
    }
    void TakeBytes(unsigned n) { m_dataBegin += n; }
    bool FetchBytes() { return Refill(); }
    // The file gave all it has (or failed): the pending bytes are the last.
    [[nodiscard]] bool InputEnded() const { return m_fileEnded; }

    // Bytes the BOM took at the start of the file (0 without one).
    unsigned GetBomLength() const { return m_bomLength; }
    // Replacements of the Unicode decoders and of the code page decoder together.
    uint64_t GetReplacementCount() const;
    // The file offset of the first byte the encoding does not cover, as far
    // as Read has decoded: where the first replaced sequence starts, or for
    // code page 0 also the first byte that is not UTF-8. kNoOffset: none.
    static constexpr uint64_t kNoOffset = UINT64_MAX;
    uint64_t GetFirstUncoveredOffset() const;

private:
    void ReadBOM();
    void AllocateBuffer(unsigned size);
    // Swaps in an owned buffer of size bytes, the bytes read ahead kept.
    void ResizeBuffer(unsigned size);
    // Moves the undecoded bytes to the front and fills the rest of the buffer;
    // false when nothing more came.
    [[nodiscard]] bool Refill();
    unsigned ReadUnicode(char16_t* out, unsigned capacity, uint64_t& consumed);
    unsigned ReadCodePage(char16_t* out, unsigned capacity, uint64_t& consumed);

    CBinaryFileReader m_file;
    CTextFileProcessor m_codec;
    unsigned char* m_buffer = nullptr;
    std::unique_ptr<unsigned char[]> m_ownedBuffer;
    unsigned m_bufferSize = 0;
    unsigned m_readAhead = 0;  // the size the buffer may grow to (SetReadAhead)
    unsigned m_dataBegin = 0;  // undecoded bytes are m_buffer[m_dataBegin, m_dataEnd)
    unsigned m_dataEnd = 0;
    bool m_fileEnded = false;   // the file gave all it has (or failed)
    bool m_decodeDone = false;  // the decoder was flushed at the end of the data
    unsigned m_bomLength = 0;
    std::unique_ptr<codecs::CodePageDecoder> m_decoder;
    char16_t m_heldHigh = 0;                // first half of a pair the code page decoder split
    bool m_undecodable = false;             // a code page this system cannot decode
    uint64_t m_unicodeDecoded = 0;          // bytes the Unicode decoders took, after the BOM
    uint64_t m_firstUncovered = kNoOffset;  // the Unicode decoders' (the code page decoder keeps its own)
};

// The first line of a text file, for previews: BOM files by their BOM, all
// others as UTF-8 where they are valid UTF-8 and in the default code page otherwise.
class TEXTRION_API CFirstLineTextReader {
public:
    virtual ~CFirstLineTextReader();
    explicit CFirstLineTextReader(const char16_t* path);

    // Up to maxChars units before the first CR or LF. True also for an empty
    // file; false for an empty path or a file that cannot be opened, and for
    // maxChars 0 or below (nothing is read then) returns true with an empty line.
    [[nodiscard]] bool Read(int maxChars, std::u16string& line);

protected:
    // Index of the first CR or LF among count units (true), or count (false).
    [[nodiscard]] static bool FindEndOfLine(const char16_t* text, unsigned* position, unsigned count);

private:
    std::u16string m_path;
};
