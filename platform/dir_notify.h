#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Directory change notification on inotify. One DirNotifier holds one inotify
// instance and any number of directory watches (a watch per directory: inotify
// does not watch a subtree). Events are read without blocking; WaitReadable
// polls several descriptors, a WakeEvent among them, so a worker can wait for
// changes and for requests of other threads at once.
namespace platform {

// What a watch reports (bits of DirNotifier::AddWatch).
enum DirWatchBits : uint32_t {
    DIR_WATCH_NAMES = 0x01,       // created, deleted, moved in and out
    DIR_WATCH_CONTENT = 0x02,     // written to
    DIR_WATCH_ATTRIBUTES = 0x04,  // mode, owner, times, links
    DIR_WATCH_ACCESS = 0x08,      // read from
    DIR_WATCH_NO_LINKS = 0x10,    // refuse a symbolic link to a folder
};

enum class DirEventKind {
    Created,
    Deleted,
    MovedFrom,
    MovedTo,
    Modified,
    AttributesChanged,
    Accessed,
    SelfDeleted,  // the watched folder itself
    SelfMoved,
    WatchGone,  // the watch ended: folder gone, file system unmounted, or removed
    Overflow,   // the kernel queue overflowed; events were lost (watch is -1)
};

struct DirEvent {
    int watch = -1;
    DirEventKind kind = DirEventKind::Overflow;
    bool isDirectory = false;
    uint32_t cookie = 0;  // pairs MovedFrom with MovedTo
    std::u16string name;  // empty for events on the watched folder itself
};

class DirNotifier {
public:
    DirNotifier();
    ~DirNotifier();
    DirNotifier(const DirNotifier&) = delete;
    DirNotifier& operator=(const DirNotifier&) = delete;

    // False with errno in *error when no inotify instance can be had.
    [[nodiscard]] bool Open(int* error = nullptr);
    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    void Close();
    int Descriptor() const { return m_fd; }

    // Watches one folder (only a folder is accepted). The watch number, or -1
    // with errno in *error. A folder already watched gives its existing number.
    int AddWatch(std::u16string_view path, uint32_t bits, int* error = nullptr);
    void RemoveWatch(int watch);

    // Appends the events ready now, at most one read buffer's worth. Nothing
    // ready is not an error; false (errno in *error) when the read fails.
    [[nodiscard]] bool ReadEvents(std::vector<DirEvent>& events, int* error = nullptr);

    // Size of each read; raised to the least that holds an event with the
    // longest name. Small sizes split what is ready over several reads.
    void SetReadBufferSize(size_t bytes);
    static size_t MinimumReadBufferSize();

private:
    int m_fd = -1;
    std::vector<char> m_buffer;
};

// A wake-up that any thread may signal (an eventfd): it stays readable until
// cleared.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    void Signal();
    void Clear();

private:
    int m_fd = -1;
};

// Waits until one of the descriptors can be read or timeoutMs passes (-1 has
// no limit); ready gets one flag per descriptor. Retries interrupted waits.
// False when the wait itself fails.
[[nodiscard]] bool WaitReadable(const std::vector<int>& descriptors, int timeoutMs, std::vector<bool>& ready);

}  // namespace platform
