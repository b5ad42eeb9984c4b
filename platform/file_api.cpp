#include "platform/file_api.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/native_path.h"
#include "platform/temporary_files.h"

namespace platform {

namespace {

std::atomic<FileFaultInjector*> g_faults{nullptr};

void SetError(int* error, int value)
{
    if (error)
        *error = value;
}

// A path split into a directory descriptor and a last component, so that paths
// longer than PATH_MAX can be reached with the *at() calls.
class ResolvedPath {
public:
    explicit ResolvedPath(const std::string& native)
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
    ~ResolvedPath()
    {
        if (m_dir != AT_FDCWD)
            close(m_dir);
    }
    ResolvedPath(const ResolvedPath&) = delete;
    ResolvedPath& operator=(const ResolvedPath&) = delete;

    bool Ok() const { return m_error == 0; }
    int Error() const { return m_error; }
    int Dir() const { return m_dir; }
    const char* Leaf() const { return m_leaf.c_str(); }

private:
    int m_dir = AT_FDCWD;
    std::string m_leaf;
    int m_error = 0;
};

FileType TypeOfMode(mode_t mode)
{
    if (S_ISREG(mode)) return FileType::Regular;
    if (S_ISDIR(mode)) return FileType::Directory;
    if (S_ISLNK(mode)) return FileType::Symlink;
    if (S_ISFIFO(mode)) return FileType::Fifo;
    if (S_ISSOCK(mode)) return FileType::Socket;
    if (S_ISCHR(mode)) return FileType::CharDevice;
    if (S_ISBLK(mode)) return FileType::BlockDevice;
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

}  // namespace

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
    case FILE_CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case FILE_CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    case FILE_OPEN_EXISTING: break;
    case FILE_OPEN_ALWAYS: flags |= O_CREAT; break;
    case FILE_TRUNCATE_EXISTING: flags |= O_TRUNC; break;
    case FILE_WRITE_THROUGH:
        if (!write) {
            SetError(error, EINVAL);
            return INVALID_FILE_HANDLE;
        }
        flags = (flags & ~O_NONBLOCK) | O_APPEND;
        break;
    default: SetError(error, EINVAL); return INVALID_FILE_HANDLE;
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
    struct stat st{};
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

bool ReadFile(FileHandle handle, void* buffer, size_t count, size_t* bytesRead, int* error)
{
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    FileFaultInjector* faults = g_faults.load();
    if (faults) {
        if (const int fault = faults->BeforeRead(handle, count)) {
            if (bytesRead) *bytesRead = 0;
            SetError(error, fault);
            return false;
        }
    }
    while (done < count) {
        const size_t want = faults ? std::max<size_t>(1, faults->MaxTransfer(handle, count - done)) : count - done;
        const ssize_t n = read(handle, out + done, std::min(want, count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (bytesRead) *bytesRead = done;
            SetError(error, errno);
            return false;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    if (bytesRead) *bytesRead = done;
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
            if (bytesWritten) *bytesWritten = 0;
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
            if (bytesWritten) *bytesWritten = done;
            SetError(error, errno);
            return false;
        }
        if (n == 0) {  // no progress and no error: treat as a full device
            if (bytesWritten) *bytesWritten = done;
            SetError(error, ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (bytesWritten) *bytesWritten = done;
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

bool GetFileTimesOf(FileHandle handle, FileTimes* times)
{
    struct statx stx;
    if (statx(handle, "", AT_EMPTY_PATH, STATX_BTIME | STATX_ATIME | STATX_MTIME, &stx) == 0) {
        times->created = (stx.stx_mask & STATX_BTIME) ? stx.stx_btime.tv_sec : 0;
        times->accessed = stx.stx_atime.tv_sec;
        times->modified = stx.stx_mtime.tv_sec;
        return true;
    }
    struct stat st;
    if (fstat(handle, &st) != 0)
        return false;
    times->created = 0;
    times->accessed = st.st_atim.tv_sec;
    times->modified = st.st_mtim.tv_sec;
    return true;
}

bool GetFileStatus(std::u16string_view path, FileStatus* status, bool followLinks, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return false;
    }
    struct stat st;
    if (fstatat(resolved.Dir(), resolved.Leaf(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return false;
    }
    FillStatus(st, status);
    SetError(error, 0);
    return true;
}

bool GetHandleStatus(FileHandle handle, FileStatus* status)
{
    struct stat st;
    if (fstat(handle, &st) != 0)
        return false;
    FillStatus(st, status);
    return true;
}

bool IsStandardHandleFile(const FileStatus& status)
{
    for (int handle = 0; handle <= 2; ++handle) {
        struct stat st;
        if (fstat(handle, &st) == 0 && st.st_dev == status.device && st.st_ino == status.inode)
            return true;
    }
    return false;
}

FileHandle DuplicateHandle(FileHandle handle)
{
    return fcntl(handle, F_DUPFD_CLOEXEC, 3);
}

bool CopyModeAndTime(std::u16string_view path, const FileStatus& from, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return false;
    }
    // O_NOFOLLOW: the mode and time go to this file, never through a link put in its place.
    const int fd = openat(resolved.Dir(), resolved.Leaf(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        SetError(error, errno);
        return false;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = from.modified;
    times[1].tv_nsec = from.modifiedNanoseconds;
    const bool ok = fchmod(fd, from.mode & 0777) == 0 && futimens(fd, times) == 0;
    SetError(error, ok ? 0 : errno);
    close(fd);
    return ok;
}

bool CreateDirectoryOne(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return false;
    }
    if (mkdirat(resolved.Dir(), resolved.Leaf(), 0777) != 0) {
        SetError(error, errno);
        return false;
    }
    SetError(error, 0);
    return true;
}

namespace {

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

std::string AbsoluteNative(std::u16string_view path)
{
    std::string native = ToNativePath(path);
    if (!native.empty() && native[0] == '/')
        return native;
    std::string cwd(PATH_MAX, '\0');
    if (getcwd(cwd.data(), cwd.size()) == nullptr)
        return "/" + native;
    cwd.resize(std::strlen(cwd.c_str()));
    return native.empty() ? cwd : cwd + "/" + native;
}

std::string ResolveNative(std::u16string_view path)
{
    const std::vector<std::string> parts = Components(AbsoluteNative(path));
    // The longest prefix the system can resolve; the rest does not exist yet.
    std::string result = "/";
    size_t resolved = 0;
    for (size_t n = parts.size(); n > 0; --n) {
        std::string prefix;
        for (size_t i = 0; i < n; ++i)
            prefix += "/" + parts[i];
        if (char* real = realpath(prefix.c_str(), nullptr)) {
            result = real;
            free(real);
            resolved = n;
            break;
        }
    }
    for (size_t i = resolved; i < parts.size(); ++i) {
        if (parts[i] == ".")
            continue;
        if (parts[i] == "..") {
            const size_t slash = result.rfind('/');
            result.erase(slash == 0 ? 1 : slash);
            continue;
        }
        if (result.back() != '/')
            result += '/';
        result += parts[i];
    }
    return result;
}

}  // namespace

std::u16string ResolvePath(std::u16string_view path)
{
    return FromNativePath(ResolveNative(path));
}

bool IsSameOrInside(std::u16string_view path, std::u16string_view folder)
{
    std::string inner = ResolveNative(path);
    const std::string outer = ResolveNative(folder);
    if (inner == outer || outer == "/" ||
        (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/'))
        return true;
    // The same folder under another name (a bind mount): compare each
    // existing ancestor of path with folder by device and inode.
    struct stat target;
    if (stat(outer.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
        return false;
    for (;;) {
        struct stat st;
        if (stat(inner.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
            return true;
        if (inner == "/")
            return false;
        const size_t slash = inner.rfind('/');
        inner.erase(slash == 0 ? 1 : slash);
    }
}

namespace {

// The root is the user's choice and may be reached through links.
int OpenRootFolder(const std::string& rootNative, int* error)
{
    ResolvedPath resolved(rootNative.empty() ? "." : rootNative);
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return -1;
    }
    const int dir = openat(resolved.Dir(), resolved.Leaf(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    SetError(error, dir < 0 ? errno : 0);
    return dir;
}

}  // namespace

bool CreateFolderChain(std::u16string_view root, std::u16string_view relative, int* error, FileStatus* last)
{
    const std::string rootNative = ToNativePath(root);
    // Every file of a run asks for the same root: made once, then only opened.
    int dir = OpenRootFolder(rootNative, nullptr);
    if (dir < 0) {
        const std::vector<std::string> parts = Components(rootNative);
        std::string prefix = rootNative.empty() || rootNative[0] != '/' ? "" : "/";
        for (const std::string& part : parts) {
            prefix += part;
            int made = 0;
            if (!CreateDirectoryOne(FromNativePath(prefix), &made) && made != EEXIST) {
                SetError(error, made);
                return false;
            }
            prefix += '/';
        }
        dir = OpenRootFolder(rootNative, error);
        if (dir < 0)
            return false;
    }
    int why = 0;
    for (const std::string& part : Components(ToNativePath(relative))) {
        if (part == ".")
            continue;
        if (part == "..") {
            why = EINVAL;
            break;
        }
        // O_PATH with O_NOFOLLOW opens a link itself, so fstat tells what it is.
        int sub = openat(dir, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0 && errno == ENOENT) {
            if (mkdirat(dir, part.c_str(), 0777) != 0 && errno != EEXIST) {
                why = errno;
                break;
            }
            sub = openat(dir, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        }
        if (sub < 0) {
            why = errno;
            break;
        }
        struct stat st{};
        if (fstat(sub, &st) != 0 || !S_ISDIR(st.st_mode)) {
            why = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
            close(sub);
            break;
        }
        close(dir);
        dir = sub;
    }
    if (why == 0 && last != nullptr && !GetHandleStatus(dir, last))
        why = errno;
    close(dir);
    SetError(error, why);
    return why == 0;
}

bool RemoveFile(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok() || unlinkat(resolved.Dir(), resolved.Leaf(), 0) != 0) {
        SetError(error, resolved.Ok() ? errno : resolved.Error());
        return false;
    }
    SetError(error, 0);
    return true;
}

bool RemoveDirectoryOne(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok() || unlinkat(resolved.Dir(), resolved.Leaf(), AT_REMOVEDIR) != 0) {
        SetError(error, resolved.Ok() ? errno : resolved.Error());
        return false;
    }
    SetError(error, 0);
    return true;
}

bool RenameFile(std::u16string_view from, std::u16string_view to, int* error)
{
    if (FileFaultInjector* faults = g_faults.load()) {
        if (const int fault = faults->BeforeRename(from, to)) {
            SetError(error, fault);
            return false;
        }
    }
    ResolvedPath source(ToNativePath(from));
    ResolvedPath target(ToNativePath(to));
    if (!source.Ok() || !target.Ok()) {
        SetError(error, source.Ok() ? target.Error() : source.Error());
        return false;
    }
    if (renameat(source.Dir(), source.Leaf(), target.Dir(), target.Leaf()) != 0) {
        SetError(error, errno);
        return false;
    }
    SetError(error, 0);
    return true;
}

bool IsWritableDirectory(std::u16string_view path)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok())
        return false;
    struct stat st;
    if (fstatat(resolved.Dir(), resolved.Leaf(), &st, 0) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return faccessat(resolved.Dir(), resolved.Leaf(), W_OK | X_OK, AT_EACCESS) == 0;
}

struct DirectoryReader::Impl {
    DIR* dir = nullptr;
};

DirectoryReader::DirectoryReader() : m_impl(std::make_unique<Impl>()) {}

DirectoryReader::~DirectoryReader()
{
    Close();
}

void DirectoryReader::Close()
{
    if (m_impl->dir) {
        closedir(m_impl->dir);
        m_impl->dir = nullptr;
    }
}

bool DirectoryReader::Open(std::u16string_view path, int* error)
{
    Close();
    m_error = 0;
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok()) {
        m_error = resolved.Error();
        SetError(error, m_error);
        return false;
    }
    const int fd = openat(resolved.Dir(), resolved.Leaf(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        SetError(error, m_error);
        return false;
    }
    m_impl->dir = fdopendir(fd);
    if (!m_impl->dir) {
        m_error = errno;
        close(fd);
        SetError(error, m_error);
        return false;
    }
    SetError(error, 0);
    return true;
}

bool DirectoryReader::Next(DirectoryEntry& entry)
{
    if (!m_impl->dir)
        return false;
    for (;;) {
        errno = 0;
        const struct dirent* d = readdir(m_impl->dir);
        if (!d) {
            m_error = errno;
            return false;
        }
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
            continue;
        entry.name = FromNativePath(d->d_name);
        switch (d->d_type) {
        case DT_REG: entry.type = FileType::Regular; break;
        case DT_DIR: entry.type = FileType::Directory; break;
        case DT_LNK: entry.type = FileType::Symlink; break;
        case DT_FIFO: entry.type = FileType::Fifo; break;
        case DT_SOCK: entry.type = FileType::Socket; break;
        case DT_CHR: entry.type = FileType::CharDevice; break;
        case DT_BLK: entry.type = FileType::BlockDevice; break;
        default: {
            struct stat st;
            entry.type = fstatat(dirfd(m_impl->dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
                             ? TypeOfMode(st.st_mode)
                             : FileType::None;
        }
        }
        return true;
    }
}

}  // namespace platform
