#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

// The file layer: handles, reads, writes, seeks, sizes, times, attributes and
// directories on UTF-16 paths. Only regular files are opened as files: FIFOs,
// sockets and devices are refused without blocking. Paths longer than PATH_MAX
// are reached component by component.
namespace platform {

using FileHandle = int;
inline constexpr FileHandle INVALID_FILE_HANDLE = -1;

// Access, share, disposition and attribute values of the file layer. Share
// modes and attributes are kept for the callers' sake; Linux has no use for them.
enum : uint32_t {
    FILE_ACCESS_READ = 0x80000000u,
    FILE_ACCESS_WRITE = 0x40000000u,
};
enum : uint32_t {
    FILE_SHARE_NONE = 0,
    FILE_SHARE_READ_ACCESS = 1,
    FILE_SHARE_WRITE_ACCESS = 2,
};
enum : uint32_t {
    FILE_CREATE_NEW = 1,
    FILE_CREATE_ALWAYS = 2,
    FILE_OPEN_EXISTING = 3,
    FILE_OPEN_ALWAYS = 4,
    FILE_TRUNCATE_EXISTING = 5,
    // An existing file of any kind but a folder (EISDIR), opened for writing
    // as a shell redirection would: links are followed, a FIFO waits for its
    // reader, a regular file is appended to (what a standard handle leads to).
    FILE_WRITE_THROUGH = 6,
};
enum : uint32_t { FILE_ATTRIBUTES_NORMAL = 0x80 };

enum class SeekOrigin { Begin, Current, End };

// Opens a regular file. Returns INVALID_FILE_HANDLE on failure with the errno
// value in *error (EINVAL for an access or disposition it does not know,
// EISDIR or ENODEV for something that is not a regular file).
FileHandle OpenFile(std::u16string_view path, uint32_t access, uint32_t disposition, int* error = nullptr);
// False when the system reports an error on close (a delayed write error).
bool CloseFile(FileHandle handle);

// Reads until count bytes came or the end of the file; retries interrupted and
// short reads. *bytesRead gets what came even when it fails.
bool ReadFile(FileHandle handle, void* buffer, size_t count, size_t* bytesRead, int* error = nullptr);
// Once on, a read that a signal interrupts fails with EINTR instead of
// waiting on, so that a stop asked for by a signal is not held up by a pipe
// that sends nothing. Async-signal-safe.
void InterruptWaitingReads(bool on);
// Writes all count bytes or fails (disk full, I/O error); retries short writes.
[[nodiscard]] bool WriteFile(FileHandle handle, const void* buffer, size_t count, size_t* bytesWritten,
                             int* error = nullptr);
[[nodiscard]] bool SeekFile(FileHandle handle, int64_t distance, SeekOrigin origin, uint64_t* newPosition);
[[nodiscard]] bool GetFileSizeOf(FileHandle handle, uint64_t* size);
// Asks the system to write the file's data to the device.
[[nodiscard]] bool FlushFile(FileHandle handle, int* error = nullptr);

struct FileTimes {
    std::time_t created = 0;  // 0 where the file system keeps no birth time
    std::time_t accessed = 0;
    std::time_t modified = 0;
};
[[nodiscard]] bool GetFileTimesOf(FileHandle handle, FileTimes* times);

enum class FileType { None, Regular, Directory, Symlink, Fifo, Socket, CharDevice, BlockDevice, Other };

struct FileStatus {
    FileType type = FileType::None;
    uint64_t size = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    std::time_t modified = 0;
    uint32_t modifiedNanoseconds = 0;
    uint32_t mode = 0;
};
// followLinks false reports a symbolic link itself. False when the path does
// not exist or cannot be reached (errno in *error).
[[nodiscard]] bool GetFileStatus(std::u16string_view path, FileStatus* status, bool followLinks = true,
                                 int* error = nullptr);
[[nodiscard]] bool GetHandleStatus(FileHandle handle, FileStatus* status);

// Whether status is the file one of the process's standard handles (0 to 2)
// is open on: /dev/stdout and the like lead there.
[[nodiscard]] bool IsStandardHandleFile(const FileStatus& status);

// The standard streams of the process.
inline constexpr FileHandle STANDARD_INPUT = 0;
inline constexpr FileHandle STANDARD_OUTPUT = 1;
// A second handle to what handle refers to, closed on exec; INVALID_FILE_HANDLE on failure.
FileHandle DuplicateHandle(FileHandle handle);

// Gives a file (never through a link) the permission bits (0777 of mode;
// set-id and sticky bits are not passed on) and the modification time of
// another.
[[nodiscard]] bool CopyModeAndTime(std::u16string_view path, const FileStatus& from, int* error = nullptr);

// Creates one directory (its parent must exist). EEXIST is reported as a failure.
[[nodiscard]] bool CreateDirectoryOne(std::u16string_view path, int* error = nullptr);

// The absolute path the system reaches: symbolic links, "." and ".." are
// resolved in the part that exists, a link whose target is missing leads to
// that target (where a file made through it would land); the rest is
// appended as written, with "." and ".." folded. Relative paths start at the
// current folder.
std::u16string ResolvePath(std::u16string_view path);
// Whether path is folder or lies below it. Both are resolved first; a folder
// reached by two names (a bind mount) is also recognised by device and inode.
[[nodiscard]] bool IsSameOrInside(std::u16string_view path, std::u16string_view folder);

// A folder held open, so that files are made, renamed and removed in it by
// name: once it is open, no folder or link swapped in on its path can send a
// write anywhere else. Shared by the files written into one folder.
class OpenFolder {
public:
    // Takes over handle (an O_PATH descriptor of a folder); path names it in
    // messages and before the fault seam.
    OpenFolder(int handle, std::u16string path);
    ~OpenFolder();
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;

    int Handle() const { return m_handle; }
    const std::u16string& Path() const { return m_path; }
    // path/name, for messages.
    std::u16string PathOf(std::u16string_view name) const;

private:
    int m_handle;
    std::u16string m_path;
};
using FolderRef = std::shared_ptr<const OpenFolder>;

// Opens a folder by its path, links followed (a path the user chose).
FolderRef OpenFolderAt(std::u16string_view path, int* error = nullptr);
// Opens the folder `relative` below root, never through a symbolic link nor
// out of root: ELOOP for a link on the way, ENOENT when a folder is missing,
// ENOTDIR for another kind of entry; relative must not hold "..".
FolderRef OpenFolderBelow(const OpenFolder& root, std::u16string_view relative, int* error = nullptr);
// Where a folder made below an output root takes its permission bits: the
// folder of the same relative path below this input folder (its bits, with
// the owner's read, write and search added so that outputs can be made in
// it; the umask applies). Empty, or a folder that is not there: 0777 and the umask.
struct FolderModeSource {
    std::u16string inputRoot;
};
// Makes the folders of `relative` below root (made like mkdir -p when
// missing), one component at a time, never through a symbolic link nor
// anything but a folder: nothing below root can lead outside it. Fails with
// ELOOP for a link, ENOTDIR for another kind of entry; relative must not
// hold "..". Returns the last folder, open.
FolderRef CreateFolderChain(const OpenFolder& root, std::u16string_view relative, int* error = nullptr,
                            const FolderModeSource* modes = nullptr);
// The same below a root given by its path, which is made when missing (its
// own last folder with the input root's bits) and may be reached through links.
FolderRef CreateFolderChain(std::u16string_view root, std::u16string_view relative, int* error = nullptr,
                            const FolderModeSource* modes = nullptr);

// Files in an open folder, by a name of one component; a link there is
// never followed.
// Creates a new file for writing (EEXIST when anything has the name);
// INVALID_FILE_HANDLE with errno in *error.
FileHandle CreateFileIn(const OpenFolder& folder, std::u16string_view name, int* error = nullptr);
[[nodiscard]] bool GetFileStatusIn(const OpenFolder& folder, std::u16string_view name, FileStatus* status,
                                   int* error = nullptr);
// Replaces an existing file of the name `to` atomically.
[[nodiscard]] bool RenameFileIn(const OpenFolder& folder, std::u16string_view from, std::u16string_view to,
                                int* error = nullptr);
[[nodiscard]] bool RemoveFileIn(const OpenFolder& folder, std::u16string_view name, int* error = nullptr);
// Gives an open file the permission bits (0777 of mode) and modification time of another.
[[nodiscard]] bool CopyModeAndTimeTo(FileHandle handle, const FileStatus& from, int* error = nullptr);

// A lock that tells other processes a file is in use, held until the handle
// (and every duplicate of it) is closed. It is an open-file-description
// lock: it holds across process namespaces and containers, and on NFS
// through its lock service. Waits for a short check by another process.
[[nodiscard]] bool LockInUse(FileHandle handle, int* error = nullptr);
// Removes a regular file of folder whose in-use lock nobody holds (a file
// left by a process that ended). False when it is in use, when locks cannot
// be told on its file system, or when it is gone or cannot be removed.
[[nodiscard]] bool RemoveIfNotInUse(const OpenFolder& folder, std::u16string_view name);
[[nodiscard]] bool RemoveFile(std::u16string_view path, int* error = nullptr);
[[nodiscard]] bool RemoveDirectoryOne(std::u16string_view path, int* error = nullptr);
// Replaces an existing target atomically (same file system).
[[nodiscard]] bool RenameFile(std::u16string_view from, std::u16string_view to, int* error = nullptr);
// Whether the calling process could write into (create files in) the directory.
[[nodiscard]] bool IsWritableDirectory(std::u16string_view path);

struct DirectoryEntry {
    std::u16string name;
    FileType type = FileType::None;  // symbolic links are reported as such
};

// Lists one directory, without "." and "..".
class DirectoryReader {
public:
    DirectoryReader();
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    [[nodiscard]] bool Open(std::u16string_view path, int* error = nullptr);
    // Lists an open folder, wherever its path leads by now.
    [[nodiscard]] bool Open(const OpenFolder& folder, int* error = nullptr);
    // False at the end of the listing or on an error (then Error() is non-zero).
    [[nodiscard]] bool Next(DirectoryEntry& entry);
    int Error() const { return m_error; }
    void Close();

private:
    [[nodiscard]] bool OpenAt(int dir, const char* name, int* error);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_error = 0;
};

// Test seam for failures the system rarely gives on demand. While installed it
// is asked before every open, read, write, flush and rename; a non-zero errno
// makes the call fail with it. MaxTransfer cuts each system call of a read or
// write to fewer bytes, as the system may (short reads and writes).
class FileFaultInjector {
public:
    virtual ~FileFaultInjector() = default;
    virtual int BeforeOpen(std::u16string_view /*path*/, uint32_t /*access*/) { return 0; }
    virtual int BeforeRead(FileHandle, size_t /*count*/) { return 0; }
    virtual int BeforeWrite(FileHandle, size_t /*count*/) { return 0; }
    virtual int BeforeFlush(FileHandle) { return 0; }
    virtual int BeforeRename(std::u16string_view /*from*/, std::u16string_view /*to*/) { return 0; }
    virtual size_t MaxTransfer(FileHandle, size_t count) { return count; }
};
void SetFileFaultInjector(FileFaultInjector* injector);

}  // namespace platform
