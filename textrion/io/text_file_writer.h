#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "textrion/encoding/text_file_processor.h"
#include "textrion/io/binary_file.h"
#include "textrion/textrion_export.h"

namespace codecs {
class CodePageEncoder;
}

// Writes UTF-16 text in any encoding, with or without BOM, rewriting line
// breaks of the Unicode forms into the chosen style. Each Write streams its
// text through the write buffer; nothing is held back between calls except a
// high surrogate ending the input (UTF-8 and 32-bit forms), which the caller
// presents again with the next Write.
//
// Failures are never silent: a failed write, flush or close sets
// HasWriteError(), and the file must then be treated as incomplete.
class TEXTRION_API CTextFileWriter {
public:
    virtual ~CTextFileWriter();

    // Creates (or truncates) the file, or appends to it; a BOM is written when
    // asked and the file is new or empty. Buffers below kMinBufferSize bytes are
    // replaced by an owned buffer of that size. createNew: the file must not
    // exist yet (nor a link in its place), as for a temporary name.
    CTextFileWriter(const char16_t* path, TEXTENCODING encoding, bool writeBom, bool append, unsigned bufferSize,
                    bool createNew = false);
    // The caller's buffer is used and never freed.
    CTextFileWriter(const char16_t* path, unsigned char* buffer, unsigned bufferSize, TEXTENCODING encoding,
                    bool writeBom, bool append, bool createNew = false);

    // Writes into an open handle it owns (standard output, a FIFO); the BOM
    // is written when asked and the handle is not positioned past a start.
    CTextFileWriter(int handle, const char16_t* name, TEXTENCODING encoding, bool writeBom, unsigned bufferSize);
    // The same with the caller's buffer (null: one of its own).
    CTextFileWriter(int handle, const char16_t* name, unsigned char* buffer, unsigned bufferSize, TEXTENCODING encoding,
                    bool writeBom);

    static constexpr unsigned kMinBufferSize = 16;

    // Bytes gathered by write-behind are written out first.
    unsigned SetInternalWriteBufferSize(unsigned size);
    // Write-behind for a stream written front to back: the encoded bytes of
    // successive Writes gather in an owned block of blockBytes and go to the
    // file when it is full, on Flush and on Close, instead of at the end of
    // every Write. A failed write then shows in HasWriteError when its block is
    // written, at the latest on Close. Seek with bytes gathered is not supported.
    void SetWriteBehind(unsigned blockBytes);

    // For a caller that encodes by itself (the converter's byte paths), with
    // write-behind on: the free part of the block, taking n bytes of it as
    // written, and writing the block out, which a Write does when the next
    // character does not fit whole; the file then gets the same blocks.
    unsigned char* BlockRoom(unsigned* size)
    {
        *size = m_bufferSize - m_fill;
        return m_buffer + m_fill;
    }
    void BlockFilled(unsigned n) { m_fill += n; }
    void WriteBlock() { WritePending(); }

    // Background writes, with write-behind on: from the third write on
    // (blocks, and the mark), the blocks go to the file from a thread of the
    // writer's own while the caller goes on, in blocks of blockBytes from
    // then on when that is more than the write-behind block (fewer hand-overs
    // on a long output, none of it paid by a short one). A failed write then
    // shows once its block was written (GetWritesState), at the latest on
    // Close. File() and the file's own calls are the caller's again after
    // Close or Flush.
    void SetBackgroundWrites(bool on, unsigned blockBytes = 0)
    {
        m_backgroundWanted = on;
        m_backgroundBlock = blockBytes;
    }
    // Writes handed to the file so far (each block, the mark), made or not.
    uint64_t GetWriteCount() const { return m_writeCount; }
    enum class WritesState { kWritten, kFailed, kPending };
    // Whether the first count writes were made: all of them, one of them
    // failed, or some are still being made (only without wait: wait blocks
    // until that is known).
    WritesState GetWritesState(uint64_t count, bool wait);

    // Returns the units consumed. Code page text (TEXTENCODING_CODEPAGE) is
    // written in full, U+0000 included; line endings are not converted there.
    // The base's byte writes are hidden on purpose: Write(u"text") must not
    // resolve to Write(const void*) and put one raw byte into the file.
    unsigned Write(const char16_t* text, unsigned count);
    unsigned Write(const std::u16string& text);
    // For a stream written chunk by chunk: takes every unit, keeping a high
    // surrogate that ends the text until the next WriteStream brings its low
    // half. EndStream writes a high surrogate still kept as U+FFFD (counted).
    unsigned WriteStream(const char16_t* text, unsigned count);
    void EndStream();
    unsigned Write(char16_t c);
    CTextFileWriter& operator<<(const std::u16string& text);
    CTextFileWriter& operator<<(const char16_t* text);
    CTextFileWriter& operator<<(char16_t c);

    // printf-style formatting (UTF-8 format and arguments), written as UTF-16.
    unsigned WriteFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

    unsigned WriteCR();
    unsigned WriteLF();
    unsigned WriteCRLF();

    // Ends a stateful code page (the closing shift sequence), writes what
    // write-behind gathered, then closes.
    [[nodiscard]] virtual bool Close();
    // Writes what write-behind gathered, then the file's data to the device;
    // throws CFileException when the device flush fails.
    void Flush();

    // The file the bytes go to and the codec that encodes them.
    const CBinaryFileWriter& File() const { return m_file; }
    const CTextFileProcessor& Codec() const { return m_codec; }

    [[nodiscard]] bool IsOpen() const { return m_file.IsOpen(); }
    int GetFileHandle() const { return m_file.GetFileHandle(); }
    int GetLastError() const;
    [[nodiscard]] bool HasWriteError() const;
    uint64_t GetFileSize() const { return m_file.GetFileSize(); }
    [[nodiscard]] bool SeekToEnd(uint64_t* newPosition = nullptr)
    {
        StopBackground();
        return m_file.SeekToEnd(newPosition);
    }

    TEXTENCODING GetEncoding() const { return m_codec.GetEncoding(); }
    void SetCodePage(unsigned codePage) { m_codec.SetCodePage(codePage); }
    unsigned GetCodePage() const { return m_codec.GetCodePage(); }
    [[nodiscard]] bool IsDataLost() const { return m_codec.IsDataLost(); }
    void SetCrLfType(CUTFProcessor::tagUTFPROCESSCRLFTYPE type) { m_codec.SetCrLfType(type); }
    CUTFProcessor::tagUTFPROCESSCRLFTYPE GetCrLfType() const { return m_codec.GetCrLfType(); }
    void SetLineEnding(LineEnding ending) { m_codec.SetLineEnding(ending); }
    void SetFileNameBytes(bool keep) { m_codec.SetFileNameBytes(keep); }

    // Units the code page encoder replaced, added to the Unicode encoders' count.
    uint64_t GetReplacementCount() const;

    static constexpr char16_t _CR = u'\r';
    static constexpr char16_t _LF = u'\n';
    static constexpr char16_t _pCRLF[2] = {u'\r', u'\n'};

private:
    void Init(TEXTENCODING encoding, bool writeBom, bool append);
    void AllocateBuffer(unsigned size);
    void UseBuffer(unsigned char* buffer, unsigned size);
    void WriteBOM();
    unsigned WriteCodePage(const char16_t* text, unsigned count, bool endOfInput);
    // Writes the gathered bytes m_buffer[0, m_fill) to the file, or hands
    // them to the background thread.
    void WritePending();
    // Ends the background writes, then writes the gathered bytes here: no
    // write is in flight afterwards.
    void WriteAllHere();
    // Makes one write here, counted.
    void WriteHere(const unsigned char* data, unsigned size);
    // Hands the gathered block to the background thread (started on the way
    // when wanted) and takes a free one; false when it is written here.
    [[nodiscard]] bool HandOver();
    // Waits for the background writes and ends the thread.
    void StopBackground();
    [[nodiscard]] bool BackgroundRunning() const;

    CBinaryFileWriter m_file;
    CTextFileProcessor m_codec;
    unsigned char* m_buffer = nullptr;
    std::unique_ptr<unsigned char[]> m_ownedBuffer;
    unsigned m_bufferSize = 0;
    unsigned m_fill = 0;         // bytes encoded but not yet written
    bool m_writeBehind = false;  // keep them between Writes (SetWriteBehind)
    std::unique_ptr<codecs::CodePageEncoder> m_encoder;
    unsigned m_encoderCodePage = 0;
    char16_t m_heldHigh = 0;         // kept by WriteStream
    uint64_t m_ownReplacements = 0;  // held high surrogates that never got their low half
    bool m_unwritable = false;       // a code page this system cannot write
    struct Background;
    std::unique_ptr<Background> m_background;
    bool m_backgroundWanted = false;
    unsigned m_backgroundBlock = 0;
    uint64_t m_writeCount = 0;
    uint64_t m_firstFailedWrite = UINT64_MAX;  // by its number among the writes
};
