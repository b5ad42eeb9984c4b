#pragma once

#include <memory>
#include <string>
#include <vector>

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
// A final path the user named (followNamed) that is a symbolic link is kept:
// the file it leads to is replaced this way instead. A FIFO, device or socket
// there, or the file a standard handle is open on (/dev/stdout), also through
// a link, is written through (IsWriteThrough): no temporary file, nothing
// renamed. Otherwise whatever is at the final path is replaced.
class TEXTRION_API CAtomicOutputFile {
public:
    explicit CAtomicOutputFile(std::u16string finalPath, bool followNamed = false);
    ~CAtomicOutputFile();
    CAtomicOutputFile(const CAtomicOutputFile&) = delete;
    CAtomicOutputFile& operator=(const CAtomicOutputFile&) = delete;

    // Where to write (the caller creates the file there, as a new file).
    const std::u16string& GetTemporaryPath() const { return m_temporary; }
    const std::u16string& GetFinalPath() const { return m_final; }
    bool IsWriteThrough() const { return m_writeThrough; }
    // Opens the final path for writing through; -1 with errno in *error.
    int OpenWriteThrough(int* error) const;
    // Drops what was written and starts again under a fresh temporary name.
    void Restart();
    // Renames the temporary file into place (replacing a file or a link of
    // the final name, never following it); false with errno in *error.
    bool Commit(int* error = nullptr);
    // Removes the temporary file now (nothing happens after a Commit).
    void Discard();

    // A temporary name for finalPath, unique on this machine.
    static std::u16string TemporaryPathFor(const std::u16string& finalPath);
    // Whether a file name is such a temporary name whose process is gone: one
    // of this host whose process no longer runs. Other hosts' names (a shared
    // output tree) and this process's own are never stale.
    static bool IsStaleTemporaryName(const std::u16string& name);
    // Removes the stale temporary files below folder (all its subfolders
    // when recursive, never through a link) and returns their paths.
    static std::vector<std::u16string> RemoveStaleTemporaryFiles(const std::u16string& folder, bool recursive);

private:
    std::u16string m_final;
    std::u16string m_temporary;
    std::unique_ptr<platform::TemporaryFileGuard> m_removedOnSignal;
    bool m_committed = false;
    bool m_writeThrough = false;
};
