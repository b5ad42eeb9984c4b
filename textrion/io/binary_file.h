#pragma once

#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "textrion/textrion_export.h"

enum FILESEEK_DIRECTION : int { FILESEEK_BEGIN = 0, FILESEEK_CURRENT = 1, FILESEEK_END = 2 };

// Size units, each a factor of 1024.
enum BINARY_UNIT : int {
    BINARY_UNIT_BYTES = 0,
    BINARY_UNIT_KB = 1,
    BINARY_UNIT_MB = 2,
    BINARY_UNIT_GB = 3,
    BINARY_UNIT_TB = 4,
    BINARY_UNIT_PB = 5,
    BINARY_UNIT_EB = 6,
};

// A failed file operation that is reported by exception (opening without
// creation values, a failed flush): the system error code and the path.
class TEXTRION_API CFileException : public std::runtime_error {
public:
    CFileException(const std::string& what, int errorCode, std::u16string path);
    ~CFileException() override;
    int GetErrorCode() const { return m_errorCode; }
    const std::u16string& GetPath() const { return m_path; }

private:
    int m_errorCode;
    std::u16string m_path;
};

// A file handle with its creation values. Only regular files open: FIFOs,
// sockets and devices are refused. Objects own their handle and close it in
// the destructor; they cannot be copied.
class TEXTRION_API CBinaryFile {
public:
    virtual ~CBinaryFile();

    explicit CBinaryFile(const char16_t* path);
    CBinaryFile(const CBinaryFile&) = delete;
    CBinaryFile& operator=(const CBinaryFile&) = delete;

    // Opens with the stored creation values; throws CFileException when they
    // were never set.
    [[nodiscard]] virtual bool Open();
    // False when the system reported an error while closing (a delayed write error).
    [[nodiscard]] virtual bool Close();
    [[nodiscard]] bool IsOpen() const { return m_handle >= 0; }
    int GetFileHandle() const { return m_handle; }
    const std::u16string& GetFilePath() const { return m_path; }
    // errno of the last failed operation, 0 when none failed.
    int GetLastError() const { return m_lastError; }

    [[nodiscard]] virtual bool Seek(int64_t distance, FILESEEK_DIRECTION direction, uint64_t* newPosition = nullptr);
    [[nodiscard]] bool SeekToBegin();
    [[nodiscard]] bool SeekToEnd(uint64_t* newPosition = nullptr);
    uint64_t GetPosition() const;  // 0 when it cannot be read
    uint64_t GetFileSize() const;  // 0 when it cannot be read

    // Times in seconds since the epoch; a time before 1900 is 0, and a missing
    // creation or access time is replaced by the modification time.
    [[nodiscard]] bool GetFileTime(std::time_t& created, std::time_t& accessed, std::time_t& modified) const;

    BINARY_UNIT GetTranslatedFileSize(uint64_t& value) const;
    static uint64_t TranslateUnit(uint64_t size, BINARY_UNIT unit);

protected:
    void SetFileCreationFlags(uint32_t access, uint32_t share, uint32_t disposition, uint32_t attributes);
    // Takes an open handle instead of opening the path; Open keeps it.
    void Adopt(int handle);

    std::u16string m_path;
    bool m_adopted = false;
    int m_handle = -1;
    bool m_creationFlagsSet = false;
    uint32_t m_desiredAccess = 0;
    uint32_t m_shareMode = 0;
    uint32_t m_creationDisposition = 0;
    uint32_t m_flagsAndAttributes = 0;
    int m_lastError = 0;
};

class TEXTRION_API CBinaryFileReader : public CBinaryFile {
public:
    ~CBinaryFileReader() override;

    CBinaryFileReader(const char16_t* path, bool openNow);
    // A stream already begun (standard input, a pipe), owning its handle: the
    // bytes of head, taken from it before, come first, then what it still
    // gives. Nothing seeks; name only labels it.
    CBinaryFileReader(int stream, std::vector<unsigned char> head, const char16_t* name);

    [[nodiscard]] bool Open() override;
    [[nodiscard]] bool Seek(int64_t distance, FILESEEK_DIRECTION direction, uint64_t* newPosition = nullptr) override;
    // Bytes delivered so far, read ahead included.
    uint64_t GetPosition() const;
    // What the reads gave so far: the position's moves, without asking the system.
    uint64_t GetBytesDelivered() const { return m_delivered; }

    // Bytes read: retries short reads, so fewer than count means the end of the
    // file or an error. An error sets both the end-of-file and the error flag.
    unsigned Read(void* buffer, unsigned count);
    [[nodiscard]] bool Read(void* oneByte);
    [[nodiscard]] bool Eof() const { return m_eof; }
    // True once a read failed (I/O error): the data ended early, not the file.
    [[nodiscard]] bool HasReadError() const { return m_readError; }
    // Reads end at this file position, as if the file ended there: a file
    // that grows while it is read is read as it was when the limit was set.
    void SetReadLimit(uint64_t position) { m_readLimit = position; }

    static uint64_t GetFileSize(const char16_t* path);
    [[nodiscard]] static bool GetFileTime(const char16_t* path, std::time_t& created, std::time_t& accessed,
                                          std::time_t& modified);

    using CBinaryFile::GetFileSize;
    using CBinaryFile::GetFileTime;

protected:
    bool m_eof = true;
    bool m_readError = false;
    uint64_t m_readLimit = UINT64_MAX;
    bool m_stream = false;
    std::vector<unsigned char> m_head;
    size_t m_headTaken = 0;
    uint64_t m_delivered = 0;
    // The file position as the reads and seeks left it, so that a read with a
    // limit needs no call to ask it; unknown after a failed seek.
    uint64_t m_position = 0;
    bool m_positionKnown = false;
};

class TEXTRION_API CBinaryFileWriter : public CBinaryFile {
public:
    ~CBinaryFileWriter() override;

    // How a path is opened for writing; by default it is made anew, or emptied.
    struct Options {
        bool append = false;     // the content is kept, the position left at 0
        bool createNew = false;  // the open fails when anything, a link included, is at the path already
        bool openNow = false;    // opened by the constructor, else by Open
    };
    CBinaryFileWriter(const char16_t* path, Options options);
    // Writes into an open handle (standard output, a FIFO), owning it; name
    // only labels it.
    CBinaryFileWriter(int handle, const char16_t* name);

    [[nodiscard]] bool Close() override;

    // Bytes written; fewer than count (0 when nothing) means it failed, and
    // the error flag is set.
    unsigned Write(const void* buffer, unsigned count);
    [[nodiscard]] bool Write(const void* oneByte);
    // Writes the file's data to the device; throws CFileException on failure.
    void Flush();
    // True once a write, a flush or the close failed: the file is incomplete.
    [[nodiscard]] bool HasWriteError() const { return m_writeError; }
    // Bytes this object has written to the file.
    uint64_t GetBytesWritten() const { return m_bytesWritten; }

protected:
    bool m_writeError = false;
    uint64_t m_bytesWritten = 0;
};
