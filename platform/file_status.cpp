// The file layer's statuses: types, sizes, times, modes, and copying mode and time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_api.h"
#include "platform/file_api_detail.h"
#include "platform/native_path.h"
#include <cerrno>

namespace platform {

using detail::FillStatus;
using detail::ResolvedPath;
using detail::SetError;

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

}  // namespace platform
