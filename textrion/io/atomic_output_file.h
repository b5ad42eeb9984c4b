#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_api.h"
#include "textrion/textrion_export.h"

namespace platform {
class TemporaryFileGuard;
}

// A file written under a hidden temporary name beside its final path,
// ".<name>.<host>-<pid>-<n>.varnel-part", and renamed into place only by
// Commit: a failed, stopped or killed write never leaves a partial file, and
// an older file of the final name stays until the new one is whole. The
// temporary file is removed when the object goes uncommitted, and also when
// a signal ends the process; what a killed process left behind is found
// later by RemoveStaleTemporaryFiles.
//
// Everything happens in the folder as it was opened: the temporary file is
// made new (never through a link) and renamed there by name, so a folder or
// link swapped in on the folder's path meanwhile cannot send a byte
// elsewhere. While the object lives, the temporary file holds an in-use lock
// that tells other runs, on this machine or others, that it is not stale.
//
// A final path the user named (followNamed) that is a symbolic link is kept:
// the file it leads to is replaced this way instead. A FIFO, device or socket
// there, or the file a standard handle is open on (/dev/stdout), also through
// a link, is written through (IsWriteThrough): no temporary file, nothing
// renamed. Otherwise whatever is at the final path is replaced.
class TEXTRION_API CAtomicOutputFile {
public:
    // The final path's folder is opened now, links followed (the user's choice).
    explicit CAtomicOutputFile(std::u16string finalPath, bool followNamed = false);
    // The file name in an open folder; finalPath names it in messages.
    CAtomicOutputFile(platform::FolderRef folder, std::u16string name, std::u16string finalPath);
    ~CAtomicOutputFile();
    CAtomicOutputFile(const CAtomicOutputFile&) = delete;
    CAtomicOutputFile& operator=(const CAtomicOutputFile&) = delete;

    // Makes the temporary file and returns a handle of the caller's own to
    // write it with (closed by the caller); -1 with errno in *error.
    int Create(int* error = nullptr);
    // The temporary file's path, for messages (empty when written through).
    const std::u16string& GetTemporaryPath() const { return m_temporary; }
    const std::u16string& GetFinalPath() const { return m_final; }
    [[nodiscard]] bool IsWriteThrough() const { return m_writeThrough; }
    // Opens the final path for writing through; -1 with errno in *error.
    int OpenWriteThrough(int* error) const;
    // What the final name holds now (a link itself, not followed).
    [[nodiscard]] bool GetFinalStatus(platform::FileStatus* status) const;
    // Gives the temporary file another file's permission bits and modification time.
    [[nodiscard]] bool CopyModeAndTime(const platform::FileStatus& from, int* error = nullptr);
    // Drops what was written; Create then starts again under a fresh name.
    void Restart();
    // Renames the temporary file into place (replacing a file or a link of
    // the final name, never following it); false with errno in *error.
    [[nodiscard]] bool Commit(int* error = nullptr);
    // Removes the temporary file now (nothing happens after a Commit).
    void Discard();

    // A temporary name for finalPath, unique on this machine.
    static std::u16string TemporaryPathFor(const std::u16string& finalPath);
    // Whether a file name has the form of such a temporary name.
    [[nodiscard]] static bool IsTemporaryName(const std::u16string& name);
    // Removes the temporary files below folder (all its subfolders when
    // recursive, never through a link) that no run holds in use any more,
    // whichever machine or container made them, and returns their paths.
    static std::vector<std::u16string> RemoveStaleTemporaryFiles(const std::u16string& folder, bool recursive);

private:
    platform::FolderRef m_folder;
    int m_folderError = 0;  // why the folder could not be opened
    std::u16string m_name;  // the final name in m_folder
    std::u16string m_final;
    std::u16string m_temporaryName;
    std::u16string m_temporary;
    int m_handle = -1;  // the temporary file, holding its in-use lock
    std::unique_ptr<platform::TemporaryFileGuard> m_removedOnSignal;
    bool m_committed = false;
    bool m_writeThrough = false;
};
