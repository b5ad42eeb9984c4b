#include "platform/dir_notify.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/native_path.h"

namespace platform {

namespace {

uint32_t InotifyMask(uint32_t bits)
{
    // The folder's own end is always wanted, whatever else is.
    uint32_t mask = IN_ONLYDIR | IN_EXCL_UNLINK | IN_DELETE_SELF | IN_MOVE_SELF;
    if (bits & DIR_WATCH_NAMES)
        mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (bits & DIR_WATCH_CONTENT)
        mask |= IN_MODIFY;
    if (bits & DIR_WATCH_ATTRIBUTES)
        mask |= IN_ATTRIB;
    if (bits & DIR_WATCH_ACCESS)
        mask |= IN_ACCESS;
    if (bits & DIR_WATCH_NO_LINKS)
        mask |= IN_DONT_FOLLOW;
    return mask;
}

DirEventKind KindOf(uint32_t mask)
{
    if (mask & IN_Q_OVERFLOW)
        return DirEventKind::Overflow;
    if (mask & (IN_IGNORED | IN_UNMOUNT))
        return DirEventKind::WatchGone;
    if (mask & IN_DELETE_SELF)
        return DirEventKind::SelfDeleted;
    if (mask & IN_MOVE_SELF)
        return DirEventKind::SelfMoved;
    if (mask & IN_CREATE)
        return DirEventKind::Created;
    if (mask & IN_DELETE)
        return DirEventKind::Deleted;
    if (mask & IN_MOVED_FROM)
        return DirEventKind::MovedFrom;
    if (mask & IN_MOVED_TO)
        return DirEventKind::MovedTo;
    if (mask & IN_MODIFY)
        return DirEventKind::Modified;
    if (mask & IN_ATTRIB)
        return DirEventKind::AttributesChanged;
    return DirEventKind::Accessed;
}

}  // namespace

DirNotifier::DirNotifier() : m_buffer(64 * 1024)
{
}

DirNotifier::~DirNotifier()
{
    Close();
}

bool DirNotifier::Open(int* error)
{
    Close();
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0 && error)
        *error = errno;
    return m_fd >= 0;
}

void DirNotifier::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int DirNotifier::AddWatch(std::u16string_view path, uint32_t bits, int* error)
{
    const int watch = inotify_add_watch(m_fd, ToNativePath(path).c_str(), InotifyMask(bits));
    if (watch < 0 && error)
        *error = errno;
    return watch;
}

void DirNotifier::RemoveWatch(int watch)
{
    inotify_rm_watch(m_fd, watch);
}

size_t DirNotifier::MinimumReadBufferSize()
{
    return sizeof(inotify_event) + NAME_MAX + 1;
}

void DirNotifier::SetReadBufferSize(size_t bytes)
{
    m_buffer.assign(bytes < MinimumReadBufferSize() ? MinimumReadBufferSize() : bytes, 0);
}

bool DirNotifier::ReadEvents(std::vector<DirEvent>& events, int* error)
{
    ssize_t got;
    do {
        got = ::read(m_fd, m_buffer.data(), m_buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == EAGAIN)
            return true;
        if (error)
            *error = errno;
        return false;
    }
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
        inotify_event raw;
        std::memcpy(&raw, m_buffer.data() + at, sizeof raw);
        DirEvent event;
        event.watch = raw.wd;
        event.kind = KindOf(raw.mask);
        event.isDirectory = (raw.mask & IN_ISDIR) != 0;
        event.cookie = raw.cookie;
        if (raw.len > 0) {
            const char* name = m_buffer.data() + at + sizeof(inotify_event);
            event.name = FromNativePath(std::string_view(name, strnlen(name, raw.len)));
        }
        events.push_back(std::move(event));
        at += static_cast<ssize_t>(sizeof(inotify_event) + raw.len);
    }
    return true;
}

WakeEvent::WakeEvent() : m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

WakeEvent::~WakeEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeEvent::Signal()
{
    const uint64_t one = 1;
    // A full counter is still readable, so a failed write loses nothing.
    while (::write(m_fd, &one, sizeof one) < 0 && errno == EINTR) { }
}

void WakeEvent::Clear()
{
    uint64_t count;
    while (::read(m_fd, &count, sizeof count) < 0 && errno == EINTR) { }
}

bool WaitReadable(const std::vector<int>& descriptors, int timeoutMs, std::vector<bool>& ready)
{
    std::vector<pollfd> polled(descriptors.size());
    for (size_t i = 0; i < descriptors.size(); ++i)
        polled[i] = {descriptors[i], POLLIN, 0};
    int result;
    do {
        result = ::poll(polled.data(), polled.size(), timeoutMs);
    } while (result < 0 && errno == EINTR);
    ready.assign(descriptors.size(), false);
    if (result < 0)
        return false;
    for (size_t i = 0; i < polled.size(); ++i)
        ready[i] = (polled[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
    return true;
}

}  // namespace platform
