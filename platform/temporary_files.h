#pragma once

#include <string_view>

// Temporary outputs being written, so that a process ended by a signal can
// remove them on its way out instead of leaving hidden partial files behind.
namespace platform {

// Registers a temporary file for its lifetime (at most 64 at once; paths of
// PATH_MAX bytes and more are not registered). Not copyable.
class TemporaryFileGuard {
public:
    explicit TemporaryFileGuard(std::u16string_view path);
    // The file `name` in an open folder, removed there, wherever the folder's
    // path leads by then; the descriptor must stay open while the guard lives.
    TemporaryFileGuard(int folderHandle, std::u16string_view name);
    // Registers a file about to be made, before its making, so a signal in
    // between cannot miss it; Made() once it exists. The maker checks
    // TemporaryFilesEnding after this and makes nothing if it holds. A guard
    // dropped before Made() unregisters the name without removing anything.
    struct BeforeMaking { };
    TemporaryFileGuard(int folderHandle, std::u16string_view name, BeforeMaking);
    void Made();
    ~TemporaryFileGuard();
    TemporaryFileGuard(const TemporaryFileGuard&) = delete;
    TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

private:
    int m_slot = -1;
};

// Removes every registered temporary file. Async-signal-safe: for a signal
// handler that ends the process.
void RemoveTemporaryFilesNow();

// True once RemoveTemporaryFilesNow has begun. A file created from then on
// may have been missed by it (registered too late, or created just after its
// removal), so whoever creates one checks this after creating and removes
// the file itself.
[[nodiscard]] bool TemporaryFilesEnding();

}  // namespace platform
