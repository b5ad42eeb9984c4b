#include "platform/file_api.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/native_path.h"
#include "platform/temporary_files.h"

namespace platform {

namespace {

std::atomic<FileFaultInjector*> g_faults{nullptr};
std::atomic<bool> g_readsInterrupted{false};

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
            if (bytesRead) *bytesRead = 0;
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
    const bool ok = CopyModeAndTimeTo(fd, from, error);
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

std::string JoinComponents(const std::vector<std::string>& parts)
{
    std::string path;
    for (const std::string& part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

// As realpath, one component at a time, so that the part that does not
// exist yet is kept, and a link that leads there is followed all the same.
std::string ResolveNative(std::u16string_view path)
{
    std::deque<std::string> todo;
    for (std::string& part : Components(AbsoluteNative(path)))
        todo.push_back(std::move(part));
    std::vector<std::string> done;
    bool missing = false;
    int links = 0;
    while (!todo.empty()) {
        std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (!done.empty())
                done.pop_back();
            continue;
        }
        done.push_back(std::move(part));
        if (missing)
            continue;
        const std::string here = JoinComponents(done);
        struct stat st;
        if (lstat(here.c_str(), &st) != 0) {
            missing = true;
            continue;
        }
        if (!S_ISLNK(st.st_mode) || ++links > 40)
            continue;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(here.c_str(), target.data(), target.size());
        if (n <= 0) {
            missing = true;
            continue;
        }
        target.resize(static_cast<size_t>(n));
        done.pop_back();
        if (target[0] == '/')
            done.clear();
        std::vector<std::string> inner = Components(target);
        todo.insert(todo.begin(), inner.begin(), inner.end());
    }
    return JoinComponents(done);
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

OpenFolder::OpenFolder(int handle, std::u16string path) : m_handle(handle), m_path(std::move(path)) {}

OpenFolder::~OpenFolder()
{
    if (m_handle >= 0)
        close(m_handle);
}

std::u16string OpenFolder::PathOf(std::u16string_view name) const
{
    std::u16string path = m_path;
    if (path.empty() || path.back() != u'/')
        path += u'/';
    path += name;
    return path;
}

namespace {

FolderRef Folder(int handle, std::u16string path)
{
    return std::make_shared<const OpenFolder>(handle, std::move(path));
}

// Opens relative below root one component at a time, never through a link;
// made: missing folders are made on the way (with their modes).
int WalkBelow(int root, const std::string& relative, bool make, const std::string& inputRoot, int* error)
{
    int dir = fcntl(root, F_DUPFD_CLOEXEC, 3);
    if (dir < 0) {
        SetError(error, errno);
        return -1;
    }
    std::string input = inputRoot;
    int why = 0;
    for (const std::string& part : Components(relative)) {
        if (part == ".")
            continue;
        if (part == "..") {
            why = EINVAL;
            break;
        }
        if (!input.empty())
            input += "/" + part;
        // O_PATH with O_NOFOLLOW opens a link itself, so fstat tells what it is.
        int sub = openat(dir, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0 && errno == ENOENT && make) {
            mode_t mode = 0777;
            struct stat from;
            if (!input.empty() && stat(input.c_str(), &from) == 0 && S_ISDIR(from.st_mode))
                mode = (from.st_mode & 0777) | S_IRWXU;
            if (mkdirat(dir, part.c_str(), mode) != 0 && errno != EEXIST) {
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
    if (why != 0) {
        close(dir);
        dir = -1;
    }
    SetError(error, why);
    return dir;
}

// openat2 does the walk in one call where the kernel has it.
std::atomic<bool> g_noOpenat2{false};

int OpenBelow(int root, const std::string& relative, int* error)
{
    if (relative.find("..") != std::string::npos) {
        for (const std::string& part : Components(relative))
            if (part == "..") {
                SetError(error, EINVAL);
                return -1;
            }
    }
    if (!g_noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how = {};
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = syscall(SYS_openat2, root, relative.empty() ? "." : relative.c_str(), &how, sizeof how);
        if (fd >= 0) {
            SetError(error, 0);
            return static_cast<int>(fd);
        }
        // Older kernels lack the call; seccomp filters of some containers refuse it.
        if (errno != ENOSYS && errno != EPERM) {
            SetError(error, errno == EXDEV ? ELOOP : errno);
            return -1;
        }
        g_noOpenat2.store(true, std::memory_order_relaxed);
    }
    return WalkBelow(root, relative, false, {}, error);
}

}  // namespace

FolderRef OpenFolderAt(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path.empty() ? u"." : path));
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return nullptr;
    }
    const int dir = openat(resolved.Dir(), resolved.Leaf(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        SetError(error, errno);
        return nullptr;
    }
    SetError(error, 0);
    return Folder(dir, std::u16string(path));
}

FolderRef OpenFolderBelow(const OpenFolder& root, std::u16string_view relative, int* error)
{
    const int dir = OpenBelow(root.Handle(), ToNativePath(relative), error);
    if (dir < 0)
        return nullptr;
    return Folder(dir, relative.empty() ? root.Path() : root.PathOf(relative));
}

FolderRef CreateFolderChain(const OpenFolder& root, std::u16string_view relative, int* error,
                            const FolderModeSource* modes)
{
    const std::string inputRoot = modes && !modes->inputRoot.empty() ? ToNativePath(modes->inputRoot) : "";
    const int dir = WalkBelow(root.Handle(), ToNativePath(relative), true, inputRoot, error);
    if (dir < 0)
        return nullptr;
    return Folder(dir, relative.empty() ? root.Path() : root.PathOf(relative));
}

FolderRef CreateFolderChain(std::u16string_view root, std::u16string_view relative, int* error,
                            const FolderModeSource* modes)
{
    // Every file of a run asks for the same root: made once, then only opened.
    FolderRef top = OpenFolderAt(root, nullptr);
    if (!top) {
        const std::string rootNative = ToNativePath(root);
        const std::vector<std::string> parts = Components(rootNative);
        std::string prefix = rootNative.empty() || rootNative[0] != '/' ? "" : "/";
        for (size_t i = 0; i < parts.size(); ++i) {
            prefix += parts[i];
            mode_t mode = 0777;
            struct stat from;
            if (i + 1 == parts.size() && modes && !modes->inputRoot.empty() &&
                stat(ToNativePath(modes->inputRoot).c_str(), &from) == 0 && S_ISDIR(from.st_mode))
                mode = (from.st_mode & 0777) | S_IRWXU;
            if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) {
                SetError(error, errno);
                return nullptr;
            }
            prefix += '/';
        }
        top = OpenFolderAt(root, error);
        if (!top)
            return nullptr;
    }
    return CreateFolderChain(*top, relative, error, modes);
}

FileHandle CreateFileIn(const OpenFolder& folder, std::u16string_view name, int* error)
{
    if (FileFaultInjector* faults = g_faults.load()) {
        if (const int fault = faults->BeforeOpen(folder.PathOf(name), FILE_ACCESS_WRITE)) {
            SetError(error, fault);
            return INVALID_FILE_HANDLE;
        }
    }
    const std::string leaf = ToNativePath(name);
    int fd;
    do {
        fd = openat(folder.Handle(), leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                    0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetError(error, errno);
        return INVALID_FILE_HANDLE;
    }
    if (TemporaryFilesEnding()) {
        // The process is ending on a signal: a file made now would outlive it.
        unlinkat(folder.Handle(), leaf.c_str(), 0);
        close(fd);
        SetError(error, ECANCELED);
        return INVALID_FILE_HANDLE;
    }
    SetError(error, 0);
    return fd;
}

bool GetFileStatusIn(const OpenFolder& folder, std::u16string_view name, FileStatus* status, int* error)
{
    struct stat st;
    if (fstatat(folder.Handle(), ToNativePath(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        SetError(error, errno);
        return false;
    }
    FillStatus(st, status);
    SetError(error, 0);
    return true;
}

bool RenameFileIn(const OpenFolder& folder, std::u16string_view from, std::u16string_view to, int* error)
{
    if (FileFaultInjector* faults = g_faults.load()) {
        if (const int fault = faults->BeforeRename(folder.PathOf(from), folder.PathOf(to))) {
            SetError(error, fault);
            return false;
        }
    }
    if (renameat(folder.Handle(), ToNativePath(from).c_str(), folder.Handle(), ToNativePath(to).c_str()) != 0) {
        SetError(error, errno);
        return false;
    }
    SetError(error, 0);
    return true;
}

bool RemoveFileIn(const OpenFolder& folder, std::u16string_view name, int* error)
{
    if (unlinkat(folder.Handle(), ToNativePath(name).c_str(), 0) != 0) {
        SetError(error, errno);
        return false;
    }
    SetError(error, 0);
    return true;
}

bool CopyModeAndTimeTo(FileHandle handle, const FileStatus& from, int* error)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = from.modified;
    times[1].tv_nsec = from.modifiedNanoseconds;
    const bool ok = fchmod(handle, from.mode & 0777) == 0 && futimens(handle, times) == 0;
    SetError(error, ok ? 0 : errno);
    return ok;
}

namespace {

struct flock WholeFile(short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;  // start 0, length 0: the whole file
}

}  // namespace

bool LockInUse(FileHandle handle, int* error)
{
    struct flock lock = WholeFile(F_WRLCK);
    int result;
    do {
        result = fcntl(handle, F_OFD_SETLKW, &lock);
    } while (result != 0 && errno == EINTR);
    SetError(error, result == 0 ? 0 : errno);
    return result == 0;
}

bool RemoveIfNotInUse(const OpenFolder& folder, std::u16string_view name)
{
    const std::string leaf = ToNativePath(name);
    const int fd = openat(folder.Handle(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat opened, named;
    struct flock lock = WholeFile(F_RDLCK);
    // The lock is held while the name is removed: a writer that made the
    // file just now gets its own lock only afterwards, sees the file gone and
    // makes another.
    const bool removed = fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && fcntl(fd, F_OFD_SETLK, &lock) == 0 &&
                         fstatat(folder.Handle(), leaf.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
                         unlinkat(folder.Handle(), leaf.c_str(), 0) == 0;
    close(fd);
    return removed;
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
    return OpenAt(resolved.Dir(), resolved.Leaf(), error);
}

bool DirectoryReader::Open(const OpenFolder& folder, int* error)
{
    Close();
    m_error = 0;
    return OpenAt(folder.Handle(), ".", error);
}

bool DirectoryReader::OpenAt(int dir, const char* name, int* error)
{
    const int fd = openat(dir, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
