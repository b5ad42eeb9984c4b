// The file layer below an open folder: walking down without links, making
// files and folders there, and listing a folder.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_api.h"
#include "platform/file_api_detail.h"
#include "platform/native_path.h"
#include "platform/temporary_files.h"

namespace platform {

using detail::Components;
using detail::Faults;
using detail::FillStatus;
using detail::ResolvedPath;
using detail::SetError;
using detail::TypeOfMode;

OpenFolder::OpenFolder(int handle, std::u16string path) : m_handle(handle), m_path(std::move(path))
{
}

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
        struct stat st { };
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
    if (FileFaultInjector* faults = Faults()) {
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
    if (FileFaultInjector* faults = Faults()) {
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

struct DirectoryReader::Impl {
    DIR* dir = nullptr;
};

DirectoryReader::DirectoryReader() : m_impl(std::make_unique<Impl>())
{
}

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
        case DT_REG:
            entry.type = FileType::Regular;
            break;
        case DT_DIR:
            entry.type = FileType::Directory;
            break;
        case DT_LNK:
            entry.type = FileType::Symlink;
            break;
        case DT_FIFO:
            entry.type = FileType::Fifo;
            break;
        case DT_SOCK:
            entry.type = FileType::Socket;
            break;
        case DT_CHR:
            entry.type = FileType::CharDevice;
            break;
        case DT_BLK:
            entry.type = FileType::BlockDevice;
            break;
        default: {
            struct stat st;
            entry.type = fstatat(dirfd(m_impl->dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 ? TypeOfMode(st.st_mode)
                                                                                               : FileType::None;
        }
        }
        return true;
    }
}

}  // namespace platform
