#include "utils/dir_change_delivery.h"

#include <chrono>

#include "base/handler_target.h"
#include "base/text.h"

void CDirChangeLatch::Set()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_set.notify_all();
}

bool CDirChangeLatch::IsSet() const
{
    std::lock_guard lock(m_mutex);
    return m_done;
}

bool CDirChangeLatch::Wait(unsigned timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_set.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_done; });
}

CDelayedDirChangeNotifier::~CDelayedDirChangeNotifier() = default;

void CDelayedDirChangeNotifier::PostNotification(std::unique_ptr<CDirChangeNotification> notification)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(notification));
    }
    m_posted.notify_all();
}

size_t CDelayedDirChangeNotifier::DispatchPending()
{
    size_t count = 0;
    for (;;) {
        std::unique_ptr<CDirChangeNotification> next;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty())
                return count;
            next = std::move(m_queue.front());
            m_queue.pop_front();
        }
        CDelayedDirChangeHandler::Deliver(*next);
        ++count;
    }
}

bool CDelayedDirChangeNotifier::WaitForPosted(unsigned timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_posted.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_queue.empty(); });
}

CDelayedDirChangeNotificationWindow& CDelayedDirChangeNotificationWindow::Instance()
{
    // Lives as long as the process: reports may still be queued at exit.
    static auto* instance = new CDelayedDirChangeNotificationWindow;
    return *instance;
}

void CDelayedDirChangeNotificationWindow::PostNotification(std::unique_ptr<CDirChangeNotification> notification)
{
    bool wasEmpty;
    {
        std::lock_guard lock(m_mutex);
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(notification));
    }
    m_posted.notify_all();
    // One doorbell per batch: the interface drains the whole queue at once.
    if (HandlerTarget* target = m_target.load(); wasEmpty && target)
        target->Post(CDirChangeWatcher::NotificationMessage(), 0, 0);
}

bool CDelayedDirChangeNotificationWindow::DeliversOnThisThread() const
{
    // Until some thread has drained the queue, a waiting thread is taken for
    // the interface thread; otherwise a stop could wait for reports nobody delivers.
    const std::thread::id dispatcher = m_dispatcher.load();
    return dispatcher == std::thread::id{} || dispatcher == std::this_thread::get_id();
}

void CDelayedDirChangeNotificationWindow::SetTarget(HandlerTarget* target)
{
    m_target.store(target);
}

size_t CDelayedDirChangeNotificationWindow::DispatchAsInterfaceThread()
{
    m_dispatcher.store(std::this_thread::get_id());
    return DispatchPending();
}

CDelayedDirChangeNotificationThread& CDelayedDirChangeNotificationThread::Instance()
{
    // Never destroyed: the last user may be the notification thread itself,
    // which cannot join itself, so the thread may outlive every user.
    static auto* instance = new CDelayedDirChangeNotificationThread;
    return *instance;
}

bool CDelayedDirChangeNotificationThread::Acquire()
{
    std::lock_guard lock(m_usersLock);
    if (m_users++ > 0 || m_thread.joinable())
        return true;
    {
        std::lock_guard queueLock(m_mutex);
        m_quit = false;
    }
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        --m_users;
        return false;
    }
    return true;
}

void CDelayedDirChangeNotificationThread::Release()
{
    std::lock_guard lock(m_usersLock);
    if (--m_users > 0 || std::this_thread::get_id() == m_thread.get_id())
        return;
    {
        std::lock_guard queueLock(m_mutex);
        m_quit = true;
    }
    m_posted.notify_all();
    m_thread.join();
}

bool CDelayedDirChangeNotificationThread::DeliversOnThisThread() const
{
    return m_dispatcher.load() == std::this_thread::get_id();
}

void CDelayedDirChangeNotificationThread::Run()
{
    m_dispatcher.store(std::this_thread::get_id());
    for (;;) {
        DispatchPending();
        std::unique_lock lock(m_mutex);
        m_posted.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_quit && m_queue.empty())
            break;
    }
    m_dispatcher.store(std::thread::id{});
}

namespace {

std::vector<std::u16string> SplitPatterns(const char16_t* list)
{
    std::vector<std::u16string> patterns;
    if (!list)
        return patterns;
    const std::u16string_view text(list);
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(u';', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        if (end > start)
            patterns.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return patterns;
}

bool AnyMatches(const std::vector<std::u16string>& patterns, std::u16string_view text)
{
    for (const auto& pattern : patterns)
        if (text::MatchesWildcard(pattern, text, false))
            return true;
    return false;
}

}  // namespace

CDelayedDirChangeHandler::CDelayedDirChangeHandler(CDirChangeHandler* client, CDelayedDirChangeNotifier* notifier,
                                                   const char16_t* includeFilter, const char16_t* excludeFilter,
                                                   uint32_t filterFlags, const std::u16string& directory)
    : m_client(client),
      m_notifier(notifier),
      m_include(SplitPatterns(includeFilter)),
      m_exclude(SplitPatterns(excludeFilter)),
      m_filterFlags(filterFlags),
      m_pathOffset(directory.size() + (!directory.empty() && directory.back() == u'/' ? 0 : 1)),
      m_directory(directory)
{
    m_client->AddRef();
}

CDelayedDirChangeHandler::~CDelayedDirChangeHandler()
{
    m_client->Release();
}

void CDelayedDirChangeHandler::Post(int type, std::u16string path, std::u16string newPath, uint32_t error,
                                    std::shared_ptr<CDirChangeLatch> stopped)
{
    auto notification = std::make_unique<CDirChangeNotification>();
    notification->handler = this;
    notification->type = type;
    notification->directory = m_directory;
    notification->path = std::move(path);
    notification->newPath = std::move(newPath);
    notification->error = error;
    notification->stopped = std::move(stopped);
    m_notifier->PostNotification(std::move(notification));
}

bool CDelayedDirChangeHandler::PassesPatterns(const std::u16string& path) const
{
    std::u16string_view tested(path);
    if (m_filterFlags & CDirChangeWatcher::FILTERS_CHECK_FILE_NAME_ONLY) {
        const size_t slash = tested.rfind(u'/');
        if (slash != std::u16string_view::npos)
            tested.remove_prefix(slash + 1);
    } else if (m_filterFlags & CDirChangeWatcher::FILTERS_CHECK_PARTIAL_PATH) {
        tested.remove_prefix(std::min(m_pathOffset, tested.size()));
    }
    return (m_include.empty() || AnyMatches(m_include, tested)) && !AnyMatches(m_exclude, tested);
}

bool CDelayedDirChangeHandler::Passes(const CDirChangeNotification& n) const
{
    const uint32_t flags = m_filterFlags;
    const bool askHandler = !(flags & CDirChangeWatcher::FILTERS_DONT_USE_HANDLER_FILTER);
    const bool handlerFirst = askHandler && (flags & CDirChangeWatcher::FILTERS_TEST_HANDLER_FIRST);
    const auto type = static_cast<REPORTTYPE>(n.type);
    if (handlerFirst && !m_client->OnFilterNotification(type, n.path, n.newPath))
        return false;
    if (!(flags & CDirChangeWatcher::FILTERS_DONT_USE_FILTERS) && !PassesPatterns(n.path) &&
        !(n.type == REPORT_RENAMED && PassesPatterns(n.newPath)))
        return false;
    if (askHandler && !handlerFirst)
        return m_client->OnFilterNotification(type, n.path, n.newPath);
    return true;
}

void CDelayedDirChangeHandler::Deliver(CDirChangeNotification& n)
{
    CDelayedDirChangeHandler* self = n.handler;
    CDirChangeHandler* client = self->m_client;
    if (n.type <= REPORT_RENAMED && !self->Passes(n))
        return;
    {
        CSingleLock lock(client->m_lock);
        client->m_changedDirectoryName = n.directory;
    }
    const uint32_t flags = self->m_filterFlags;
    switch (n.type) {
    case REPORT_ADDED:
        client->OnFileAdded(n.path);
        break;
    case REPORT_REMOVED:
        client->OnFileRemoved(n.path);
        break;
    case REPORT_MODIFIED:
        client->OnFileModified(n.path);
        break;
    case REPORT_RENAMED:
        client->OnFileNameChanged(n.path, n.newPath);
        break;
    case REPORT_WATCH_STARTED:
        client->OnWatchStarted(n.error, n.directory);
        break;
    case REPORT_READ_ERROR:
        if (!(flags & CDirChangeWatcher::FILTERS_NO_READ_ERROR_REPORTS))
            client->OnReadDirectoryChangesError(n.error, n.path);
        break;
    case REPORT_WATCH_STOPPED:
        if (!(flags & CDirChangeWatcher::FILTERS_NO_WATCH_STOP_REPORTS))
            client->OnWatchStopped(n.directory);
        break;
    case REPORT_RESCAN_NEEDED:
        client->OnRescanNeeded(n.directory);
        break;
    default:
        break;
    }
    if (!n.stopped)
        return;
    // The watch's last report: nothing refers to this handler any more.
    {
        CSingleLock lock(client->m_lock);
        if (--client->m_watchedDirectoryCount == 0)
            client->m_watcher = nullptr;
    }
    self->Release();
    n.stopped->Set();
}
