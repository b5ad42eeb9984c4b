#include "platform/temporary_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/native_path.h"

namespace platform {

namespace {

// A slot is free (0), being filled (1), registered (2), being removed (3),
// removed (4) or named for a file being made (5). The removal only reads a
// path it holds, so it never sees one half written, and the owner waits for a
// removal under way.
enum : int { kFree, kFilling, kRegistered, kRemoving, kRemoved, kMaking };

struct Slot {
    std::atomic<int> state{kFree};
    std::atomic<pid_t> maker{0};  // the thread making the file, while kMaking
    int folder = AT_FDCWD;        // the folder path is relative to (the owner's)
    char path[PATH_MAX];
};

constexpr int kSlots = 64;
Slot g_slots[kSlots];
std::atomic<bool> g_ending{false};

}  // namespace

namespace {

int Register(int folder, const std::string& native, int state)
{
    if (native.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kFilling)) {
            g_slots[i].folder = folder;
            std::memcpy(g_slots[i].path, native.c_str(), native.size() + 1);
            g_slots[i].maker.store(state == kMaking ? gettid() : 0);
            g_slots[i].state.store(state);
            return i;
        }
    }
    return -1;
}

// Waits a little for a file being made by another thread to be made (its
// maker cannot be waited on from inside its own signal handler).
void SettleMaking(Slot& slot)
{
    const pid_t self = gettid();
    for (int wait = 0; wait < 200 && slot.state.load() == kMaking && slot.maker.load() != self; ++wait) {
        const timespec pause{0, 500'000};
        nanosleep(&pause, nullptr);
    }
}

}  // namespace

TemporaryFileGuard::TemporaryFileGuard(std::u16string_view path)
    : m_slot(Register(AT_FDCWD, ToNativePath(path), kRegistered))
{
}

TemporaryFileGuard::TemporaryFileGuard(int folderHandle, std::u16string_view name)
    : m_slot(Register(folderHandle, ToNativePath(name), kRegistered))
{
}

TemporaryFileGuard::TemporaryFileGuard(int folderHandle, std::u16string_view name, BeforeMaking)
    : m_slot(Register(folderHandle, ToNativePath(name), kMaking))
{
}

void TemporaryFileGuard::Made()
{
    if (m_slot < 0)
        return;
    int expected = kMaking;
    g_slots[m_slot].state.compare_exchange_strong(expected, kRegistered);
}

TemporaryFileGuard::~TemporaryFileGuard()
{
    if (m_slot < 0)
        return;
    Slot& slot = g_slots[m_slot];
    for (;;) {
        int expected = kRegistered;
        if (slot.state.compare_exchange_strong(expected, kFilling) || expected == kRemoved)
            break;
        expected = kMaking;
        if (slot.state.compare_exchange_strong(expected, kFilling))
            break;
        usleep(1000);  // a removal is under way
    }
    slot.folder = AT_FDCWD;
    slot.maker.store(0);
    slot.state.store(kFree);
}

void RemoveTemporaryFilesNow()
{
    g_ending.store(true);  // before any removal: see TemporaryFilesEnding
    for (Slot& slot : g_slots) {
        SettleMaking(slot);
        // A name still being made is removed too: its file may exist already.
        for (int from : {kRegistered, kMaking}) {
            int expected = from;
            if (slot.state.compare_exchange_strong(expected, kRemoving)) {
                unlinkat(slot.folder, slot.path, 0);
                slot.state.store(kRemoved);
                break;
            }
        }
    }
}

bool TemporaryFilesEnding()
{
    return g_ending.load();
}

}  // namespace platform
