#include "platform/temporary_files.h"

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
    char path[PATH_MAX];
};

constexpr int kSlots = 64;
Slot g_slots[kSlots];
std::atomic<bool> g_ending{false};

}  // namespace

TemporaryFileGuard::TemporaryFileGuard(std::u16string_view path)
{
    const std::string native = ToNativePath(path);
    if (native.size() >= PATH_MAX)
        return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (g_slots[i].state.compare_exchange_strong(expected, 1)) {
            std::memcpy(g_slots[i].path, native.c_str(), native.size() + 1);
            g_slots[i].state.store(2);
            m_slot = i;
            return;
        }
    }
}

TemporaryFileGuard::~TemporaryFileGuard()
{
    if (m_slot < 0)
        return;
    std::atomic<int>& state = g_slots[m_slot].state;
    for (;;) {
        int expected = 2;
        if (state.compare_exchange_strong(expected, 0))
            return;
        if (expected == 4) {
            state.store(0);
            return;
        }
        usleep(1000);  // a removal is under way
    }
}

void RemoveTemporaryFilesNow()
{
    g_ending.store(true);  // before any removal: see TemporaryFilesEnding
    for (Slot& slot : g_slots) {
        int expected = 2;
        if (slot.state.compare_exchange_strong(expected, 3)) {
            unlink(slot.path);
            slot.state.store(4);
        }
    }
}

bool TemporaryFilesEnding()
{
    return g_ending.load();
}

}  // namespace platform
