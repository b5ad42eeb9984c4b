#include "platform/temporary_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>

#include "platform/native_path.h"

namespace platform {

namespace {

// A slot is free (0), being filled (1), registered (2), being removed (3) or
// removed (4). The removal only reads a path it holds, so it never sees one
// half written, and the owner waits for a removal under way.
struct Slot {
    std::atomic<int> state{0};
    int folder = AT_FDCWD;  // the folder path is relative to (the owner's)
    char path[PATH_MAX];
};

constexpr int kSlots = 64;
Slot g_slots[kSlots];
std::atomic<bool> g_ending{false};

}  // namespace

namespace {

int Register(int folder, const std::string& native)
{
    if (native.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1)) {
            g_slots[i].folder = folder;
            std::memcpy(g_slots[i].path, native.c_str(), native.size() + 1);
            g_slots[i].state.store(2);
            return i;
        }
    }
    return -1;
}

}  // namespace

TemporaryFileGuard::TemporaryFileGuard(std::u16string_view path) : m_slot(Register(AT_FDCWD, ToNativePath(path))) {}

TemporaryFileGuard::TemporaryFileGuard(int folderHandle, std::u16string_view name)
    : m_slot(Register(folderHandle, ToNativePath(name)))
{
}

TemporaryFileGuard::~TemporaryFileGuard()
{
    if (m_slot < 0)
        return;
    Slot& slot = g_slots[m_slot];
    for (;;) {
        int expected = 2;
        if (slot.state.compare_exchange_strong(expected, 1) || expected == 4)
            break;
        usleep(1000);  // a removal is under way
    }
    slot.folder = AT_FDCWD;
    slot.state.store(0);
}

void RemoveTemporaryFilesNow()
{
    g_ending.store(true);  // before any removal: see TemporaryFilesEnding
    for (Slot& slot : g_slots) {
        int expected = 2;
        if (slot.state.compare_exchange_strong(expected, 3)) {
            unlinkat(slot.folder, slot.path, 0);
            slot.state.store(4);
        }
    }
}

bool TemporaryFilesEnding()
{
    return g_ending.load();
}

}  // namespace platform
