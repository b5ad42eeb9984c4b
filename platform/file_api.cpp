// The file layer's handles: open, read, write, seek, flush, close; and what
// its other sources share (file_api_detail.h).
#include "platform/file_api.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>

#include "platform/file_api_detail.h"
#include "platform/native_path.h"
#include "platform/temporary_files.h"

namespace platform {

namespace {

std::atomic<FileFaultInjector*> g_faults{nullptr};
std::atomic<bool> g_readsInterrupted{false};

}  // namespace

namespace detail {

FileFaultInjector* Faults()
{
    return g_faults.load();
}

ResolvedPath::ResolvedPath(const std::string& native)
{
    if (native.empty()) {
        m_error = ENOENT;
        return;
    }
    if (native.size() < PATH_MAX) {
        m_leaf = native;
        return;
    }
    size_t pos = 0;
    int dir = AT_FDCWD;
    if (native[0] == '/') {
        dir = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        pos = 1;
    }
    for (;;) {
        while (pos < native.size() && native[pos] == '/')
            ++pos;
        size_t end = native.find('/', pos);
        if (end == std::string::npos) {
            m_leaf = native.substr(pos);
            break;
        }
        size_t next = end;
        while (next < native.size() && native[next] == '/')
            ++next;
        if (next == native.size()) {  // trailing slash: the last component is a directory
            m_leaf = native.substr(pos, end - pos) + "/";
            break;
        }
        const std::string component = native.substr(pos, end - pos);
        const int sub = openat(dir, component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int saved = errno;
        if (dir != AT_FDCWD)
            close(dir);
        if (sub < 0) {
            m_error = saved;
            return;
        }
        dir = sub;
        pos = end;
    }
    m_dir = dir;
}

ResolvedPath::~ResolvedPath()
{
    if (m_dir != AT_FDCWD)
        close(m_dir);
}

FileType TypeOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return FileType::Regular;
    if (S_ISDIR(mode))
        return FileType::Directory;
    if (S_ISLNK(mode))
        return FileType::Symlink;
    if (S_ISFIFO(mode))
        return FileType::Fifo;
    if (S_ISSOCK(mode))
        return FileType::Socket;
    if (S_ISCHR(mode))
        return FileType::CharDevice;
    if (S_ISBLK(mode))
        return FileType::BlockDevice;
    return FileType::Other;
}

void FillStatus(const struct stat& st, FileStatus* status)
{
    status->type = TypeOfMode(st.st_mode);
    status->size = static_cast<uint64_t>(st.st_size);
    status->device = static_cast<uint64_t>(st.st_dev);
    status->inode = static_cast<uint64_t>(st.st_ino);
    status->modified = st.st_mtim.tv_sec;
    status->modifiedNanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    status->mode = st.st_mode;
}

std::vector<std::string> Components(const std::string& native)
{
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos < native.size()) {
        size_t end = native.find('/', pos);
        if (end == std::string::npos)
            end = native.size();
        if (end > pos)
            parts.push_back(native.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

}  // namespace detail

using detail::ResolvedPath;
using detail::SetError;

void SetFileFaultInjector(FileFaultInjector* injector)
{
    g_faults.store(injector);
}

FileHandle OpenFile(std::u16string_view path, uint32_t access, uint32_t disposition, int* error)
{
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;  // O_NONBLOCK: a FIFO must not block the open
    const bool read = (access & FILE_ACCESS_READ) != 0;
    const bool write = (access & FILE_ACCESS_WRITE) != 0;
    if (read && write)
        flags |= O_RDWR;
    else if (write)
        flags |= O_WRONLY;
    else if (read)
        flags |= O_RDONLY;
    else {
        SetError(error, EINVAL);
        return INVALID_FILE_HANDLE;
    }
    switch (disposition) {
    case FILE_CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
    case FILE_CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        break;
    case FILE_OPEN_EXISTING:
        break;
    case FILE_OPEN_ALWAYS:
        flags |= O_CREAT;
        break;
    case FILE_TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        break;
    case FILE_WRITE_THROUGH:
        if (!write) {
            SetError(error, EINVAL);
            return INVALID_FILE_HANDLE;
        }
        flags = (flags & ~O_NONBLOCK) | O_APPEND;
        break;
    default:
        SetError(error, EINVAL);
        return INVALID_FILE_HANDLE;
    }
    if ((flags & O_TRUNC) && !write) {
        SetError(error, EINVAL);
        return INVALID_FILE_HANDLE;
    }

    if (FileFaultInjector* faults = g_faults.load()) {
        if (const int fault = faults->BeforeOpen(path, access)) {
            SetError(error, fault);
            return INVALID_FILE_HANDLE;
        }
    }
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return INVALID_FILE_HANDLE;
    }
    int fd;
    do {
        fd = openat(resolved.Dir(), resolved.Leaf(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetError(error, errno);
        return INVALID_FILE_HANDLE;
    }
    if ((flags & O_EXCL) && TemporaryFilesEnding()) {
        // The process is ending on a signal: a file made now would outlive it.
        unlinkat(resolved.Dir(), resolved.Leaf(), 0);
        close(fd);
        SetError(error, ECANCELED);
        return INVALID_FILE_HANDLE;
    }
    struct stat st { };
    if (disposition == FILE_WRITE_THROUGH) {
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            const int why = S_ISDIR(st.st_mode) ? EISDIR : errno;
            close(fd);
            SetError(error, why);
            return INVALID_FILE_HANDLE;
        }
        SetError(error, 0);
        return fd;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int why = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        close(fd);
        SetError(error, why);
        return INVALID_FILE_HANDLE;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file.
    SetError(error, 0);
    return fd;
}

bool CloseFile(FileHandle handle)
{
    if (handle == INVALID_FILE_HANDLE)
        return false;
    // Linux closes the descriptor even when close reports EINTR: never retry.
    return close(handle) == 0 || errno == EINTR;
}

void InterruptWaitingReads(bool on)
{
    g_readsInterrupted.store(on);
}

bool ReadFile(FileHandle handle, void* buffer, size_t count, size_t* bytesRead, int* error)
{
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    FileFaultInjector* faults = g_faults.load();
    if (faults) {
        if (const int fault = faults->BeforeRead(handle, count)) {
            if (bytesRead)
                *bytesRead = 0;
            SetError(error, fault);
            return false;
        }
    }
    while (done < count) {
        const size_t want = faults ? std::max<size_t>(1, faults->MaxTransfer(handle, count - done)) : count - done;
        const ssize_t n = read(handle, out + done, std::min(want, count - done));
        if (n < 0) {
            if (errno == EINTR && !g_readsInterrupted.load())
                continue;
            if (bytesRead)
                *bytesRead = done;
            SetError(error, errno);
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    if (bytesRead)
        *bytesRead = done;
    SetError(error, 0);
    return true;
}

bool WriteFile(FileHandle handle, const void* buffer, size_t count, size_t* bytesWritten, int* error)
{
    size_t done = 0;
    const auto* in = static_cast<const unsigned char*>(buffer);
    FileFaultInjector* faults = g_faults.load();
    if (faults) {
        if (const int fault = faults->BeforeWrite(handle, count)) {
            if (bytesWritten)
                *bytesWritten = 0;
            SetError(error, fault);
            return false;
        }
    }
    while (done < count) {
        const size_t want = faults ? std::max<size_t>(1, faults->MaxTransfer(handle, count - done)) : count - done;
        const ssize_t n = write(handle, in + done, std::min(want, count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (bytesWritten)
                *bytesWritten = done;
            SetError(error, errno);
            return false;
        }
        if (n == 0) {  // no progress and no error: treat as a full device
            if (bytesWritten)
                *bytesWritten = done;
            SetError(error, ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (bytesWritten)
        *bytesWritten = done;
    SetError(error, 0);
    return true;
}

bool SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin, uint64_t* newPosition)
{
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t pos = lseek(handle, static_cast<off_t>(distance), whence);
    if (pos < 0)
        return false;
    if (newPosition)
        *newPosition = static_cast<uint64_t>(pos);
    return true;
}

bool GetFileSizeOf(FileHandle handle, uint64_t* size)
{
    struct stat st;
    if (fstat(handle, &st) != 0)
        return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FlushFile(FileHandle handle, int* error)
{
    if (FileFaultInjector* faults = g_faults.load()) {
        if (const int fault = faults->BeforeFlush(handle)) {
            SetError(error, fault);
            return false;
        }
    }
    if (fdatasync(handle) == 0 || errno == EINVAL || errno == EROFS) {
        SetError(error, 0);
        return true;  // EINVAL/EROFS: this file cannot be synced, nothing is pending
    }
    SetError(error, errno);
    return false;
}

FileHandle DuplicateHandle(FileHandle handle)
{
    return fcntl(handle, F_DUPFD_CLOEXEC, 3);
}

}  // namespace platform
