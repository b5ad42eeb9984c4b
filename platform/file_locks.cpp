// The file layer's locks: a file kept by its writer, removed only when no one holds it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/file_api.h"
#include "platform/file_api_detail.h"
#include "platform/native_path.h"

namespace platform {

using detail::SetError;

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

}  // namespace platform
