#include "textrion/io/binary_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/text.h"
#include "platform/file_api.h"

namespace {

// Seconds since the epoch before 1900 are not kept as times.
constexpr std::time_t kYear1900 = -2208988800;

std::time_t KeptTime(std::time_t t)
{
    return t < kYear1900 ? 0 : t;
}

}  // namespace

CFileException::CFileException(const std::string& what, int errorCode, std::u16string path)
    : std::runtime_error(what),
      m_errorCode(errorCode),
      m_path(std::move(path))
{
}

CFileException::~CFileException() = default;

// ---------------------------------------------------------------------------

CBinaryFile::CBinaryFile(const char16_t* path) : m_path(path ? path : u"")
{
}

CBinaryFile::~CBinaryFile()
{
    if (IsOpen())
        platform::CloseFile(m_handle);
}

void CBinaryFile::SetFileCreationFlags(uint32_t access, uint32_t share, uint32_t disposition, uint32_t attributes)
{
    m_desiredAccess = access;
    m_shareMode = share;
    m_creationDisposition = disposition;
    m_flagsAndAttributes = attributes;
    m_creationFlagsSet = true;
}

void CBinaryFile::Adopt(int handle)
{
    m_adopted = true;
    m_handle = handle;
    m_lastError = handle < 0 ? EBADF : 0;
}

bool CBinaryFile::Open()
{
    if (m_adopted)
        return IsOpen();
    if (!m_creationFlagsSet)
        throw CFileException("File creation flags not set. Cannot open file.", EINVAL, m_path);
    if (IsOpen())
        Close();
    m_handle = platform::OpenFile(m_path, m_desiredAccess, m_creationDisposition, &m_lastError);
    return IsOpen();
}

bool CBinaryFile::Close()
{
    if (!IsOpen())
        return true;
    const bool ok = platform::CloseFile(m_handle);
    if (!ok)
        m_lastError = errno;
    m_handle = -1;
    return ok;
}

bool CBinaryFile::Seek(int64_t distance, FILESEEK_DIRECTION direction, uint64_t* newPosition)
{
    if (!IsOpen())
        return false;
    const platform::SeekOrigin origin = direction == FILESEEK_BEGIN     ? platform::SeekOrigin::Begin
                                        : direction == FILESEEK_CURRENT ? platform::SeekOrigin::Current
                                                                        : platform::SeekOrigin::End;
    return platform::SeekFile(m_handle, distance, origin, newPosition);
}

bool CBinaryFile::SeekToBegin()
{
    return Seek(0, FILESEEK_BEGIN);
}

bool CBinaryFile::SeekToEnd(uint64_t* newPosition)
{
    return Seek(0, FILESEEK_END, newPosition);
}

uint64_t CBinaryFile::GetPosition() const
{
    uint64_t pos = 0;
    if (!IsOpen() || !platform::SeekFile(m_handle, 0, platform::SeekOrigin::Current, &pos))
        return 0;
    return pos;
}

uint64_t CBinaryFile::GetFileSize() const
{
    uint64_t size = 0;
    if (!IsOpen() || !platform::GetFileSizeOf(m_handle, &size))
        return 0;
    return size;
}

bool CBinaryFile::GetFileTime(std::time_t& created, std::time_t& accessed, std::time_t& modified) const
{
    platform::FileTimes times;
    if (!IsOpen() || !platform::GetFileTimesOf(m_handle, &times))
        return false;
    modified = KeptTime(times.modified);
    created = KeptTime(times.created);
    accessed = KeptTime(times.accessed);
    if (created == 0)
        created = modified;
    if (accessed == 0)
        accessed = modified;
    return true;
}

BINARY_UNIT CBinaryFile::GetTranslatedFileSize(uint64_t& value) const
{
    value = GetFileSize();
    int unit = 0;
    while (unit < 6 && value / 1024 >= 1) {
        value /= 1024;
        ++unit;
    }
    return static_cast<BINARY_UNIT>(unit);
}

uint64_t CBinaryFile::TranslateUnit(uint64_t size, BINARY_UNIT unit)
{
    const unsigned shift = 10u * static_cast<unsigned>(unit);
    return shift >= 64 ? 0 : size >> shift;
}

// ---------------------------------------------------------------------------

CBinaryFileReader::CBinaryFileReader(const char16_t* path, bool openNow) : CBinaryFile(path)
{
    SetFileCreationFlags(platform::FILE_ACCESS_READ, platform::FILE_SHARE_READ_ACCESS, platform::FILE_OPEN_EXISTING,
                         platform::FILE_ATTRIBUTES_NORMAL);
    if (openNow)
        (void)CBinaryFileReader::Open();  // IsOpen and GetLastError tell the caller
}

CBinaryFileReader::CBinaryFileReader(int stream, std::vector<unsigned char> head, const char16_t* name)
    : CBinaryFile(name),
      m_stream(true),
      m_head(std::move(head))
{
    Adopt(stream);
    m_eof = !IsOpen();
}

CBinaryFileReader::~CBinaryFileReader() = default;

uint64_t CBinaryFileReader::GetPosition() const
{
    if (m_stream)
        return m_delivered;
    return m_positionKnown ? m_position : CBinaryFile::GetPosition();
}

bool CBinaryFileReader::Open()
{
    if (m_stream)
        return IsOpen();
    const bool ok = CBinaryFile::Open();
    m_eof = !ok;
    m_readError = false;
    m_position = 0;
    m_positionKnown = ok;
    return ok;
}

bool CBinaryFileReader::Seek(int64_t distance, FILESEEK_DIRECTION direction, uint64_t* newPosition)
{
    uint64_t position = 0;
    const bool ok = CBinaryFile::Seek(distance, direction, &position);
    m_positionKnown = ok;
    m_position = position;
    if (newPosition != nullptr)
        *newPosition = position;
    return ok;
}

unsigned CBinaryFileReader::Read(void* buffer, unsigned count)
{
    if (!IsOpen()) {
        m_eof = true;
        return 0;
    }
    if (m_readLimit != UINT64_MAX) {
        const uint64_t position = GetPosition();
        const uint64_t left = position < m_readLimit ? m_readLimit - position : 0;
        if (left < count) {
            count = static_cast<unsigned>(left);
            m_eof = true;
            if (count == 0)
                return 0;
        }
    }
    size_t fromHead = 0;
    if (m_headTaken < m_head.size()) {
        fromHead = std::min<size_t>(count, m_head.size() - m_headTaken);
        std::memcpy(buffer, m_head.data() + m_headTaken, fromHead);
        m_headTaken += fromHead;
        if (m_headTaken == m_head.size()) {
            std::vector<unsigned char>().swap(m_head);
            m_headTaken = 0;
        }
    }
    size_t got = 0;
    const bool ok = fromHead == count || platform::ReadFile(m_handle, static_cast<unsigned char*>(buffer) + fromHead,
                                                            count - fromHead, &got, &m_lastError);
    got += fromHead;
    m_delivered += got;
    m_position += got;
    if (!ok) {
        m_eof = true;
        m_readError = true;
        return static_cast<unsigned>(got);
    }
    if (got < count)
        m_eof = true;
    return static_cast<unsigned>(got);
}

bool CBinaryFileReader::Read(void* oneByte)
{
    return Read(oneByte, 1) == 1;
}

uint64_t CBinaryFileReader::GetFileSize(const char16_t* path)
{
    CBinaryFileReader reader(path, true);
    return reader.CBinaryFile::GetFileSize();
}

bool CBinaryFileReader::GetFileTime(const char16_t* path, std::time_t& created, std::time_t& accessed,
                                    std::time_t& modified)
{
    CBinaryFileReader reader(path, true);
    return reader.CBinaryFile::GetFileTime(created, accessed, modified);
}

// ---------------------------------------------------------------------------

CBinaryFileWriter::CBinaryFileWriter(const char16_t* path, Options options) : CBinaryFile(path)
{
    SetFileCreationFlags(platform::FILE_ACCESS_WRITE, platform::FILE_SHARE_READ_ACCESS,
                         options.createNew ? platform::FILE_CREATE_NEW
                         : options.append  ? platform::FILE_OPEN_ALWAYS
                                           : platform::FILE_CREATE_ALWAYS,
                         platform::FILE_ATTRIBUTES_NORMAL);
    if (options.openNow)
        (void)CBinaryFile::Open();  // IsOpen and GetLastError tell the caller
}

CBinaryFileWriter::CBinaryFileWriter(int handle, const char16_t* name) : CBinaryFile(name)
{
    Adopt(handle);
}

CBinaryFileWriter::~CBinaryFileWriter() = default;

bool CBinaryFileWriter::Close()
{
    if (!IsOpen())
        return !m_writeError;
    if (!CBinaryFile::Close())
        m_writeError = true;
    return !m_writeError;
}

unsigned CBinaryFileWriter::Write(const void* buffer, unsigned count)
{
    if (!IsOpen()) {
        m_writeError = true;
        return 0;
    }
    size_t put = 0;
    if (!platform::WriteFile(m_handle, buffer, count, &put, &m_lastError))
        m_writeError = true;
    m_bytesWritten += put;
    return static_cast<unsigned>(put);
}

bool CBinaryFileWriter::Write(const void* oneByte)
{
    return Write(oneByte, 1) == 1;
}

void CBinaryFileWriter::Flush()
{
    if (!IsOpen())
        return;
    int error = 0;
    if (!platform::FlushFile(m_handle, &error)) {
        m_writeError = true;
        m_lastError = error;
        throw CFileException("Flushing the file failed.", error, m_path);
    }
}
