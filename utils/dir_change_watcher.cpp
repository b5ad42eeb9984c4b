#include "utils/dir_change_watcher.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "platform/dir_notify.h"
#include "platform/file_api.h"
#include "platform/message_registry.h"
#include "utils/dir_change_delivery.h"
#include "utils/dir_watch_info.h"

namespace {

using dir_watch::Clock;
using dir_watch::ErrorFromErrno;
using enum CDirChangeHandler::REPORTTYPE;

// Linux names are case-sensitive: "Docs" and "docs" are two folders.
bool SameDirectory(const std::u16string& a, const std::u16string& b)
{
    const auto trimmed = [](std::u16string_view s) {
        while (s.size() > 1 && s.back() == u'/')
            s.remove_suffix(1);
        return s;
    };
    return trimmed(a) == trimmed(b);
}

}  // namespace

struct CDirChangeWatcher::Shared {
    struct Command {
        enum Kind { Start, Stop, Quit } kind;
        std::shared_ptr<CDirWatchInfo> record;
    };

    bool appHasGUI = true;
    CDelayedDirChangeNotifier* notifier = nullptr;
    std::atomic<uint32_t> filterFlags{FILTERS_DEFAULT};

    mutable CCriticalSection tableLock;
    std::vector<std::shared_ptr<CDirWatchInfo>> table;  // an empty slot is reused
    bool everWatched = false;

    std::mutex workerLock;  // starting and ending the worker
    std::thread worker;
    bool holdsNotificationThread = false;
    std::atomic<long> workerThreadId{0};
    platform::WakeEvent wake;
    std::mutex commandLock;
    std::vector<Command> commands;
    std::atomic<bool> paused{false};
    std::atomic<size_t> readBufferSize{0};

    void Send(Command::Kind kind, std::shared_ptr<CDirWatchInfo> record = nullptr)
    {
        {
            std::lock_guard lock(commandLock);
            commands.push_back({kind, std::move(record)});
        }
        wake.Signal();
    }
    // Takes the record out of the table; false when it was not there.
    bool Detach(const std::shared_ptr<CDirWatchInfo>& record)
    {
        CSingleLock lock(tableLock);
        const auto slot = std::find(table.begin(), table.end(), record);
        if (slot == table.end())
            return false;
        slot->reset();
        return true;
    }
};

// --- CDirChangeHandler ---

CDirChangeHandler::CDirChangeHandler() = default;

CDirChangeHandler::~CDirChangeHandler()
{
    UnwatchDirectory();
}

void CDirChangeHandler::OnFileAdded(const std::u16string&)
{
}
void CDirChangeHandler::OnFileRemoved(const std::u16string&)
{
}
void CDirChangeHandler::OnFileNameChanged(const std::u16string&, const std::u16string&)
{
}
void CDirChangeHandler::OnFileModified(const std::u16string&)
{
}
void CDirChangeHandler::OnWatchStarted(uint32_t, const std::u16string&)
{
}
void CDirChangeHandler::OnReadDirectoryChangesError(uint32_t, const std::u16string&)
{
}
void CDirChangeHandler::OnWatchStopped(const std::u16string&)
{
}
bool CDirChangeHandler::OnFilterNotification(REPORTTYPE, const std::u16string&, const std::u16string&)
{
    return true;
}
void CDirChangeHandler::OnRescanNeeded(const std::u16string&)
{
}

long CDirChangeHandler::AddRef()
{
    return ++m_refCount;
}

long CDirChangeHandler::Release()
{
    const long count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

long CDirChangeHandler::CurRefCnt() const
{
    return m_refCount.load();
}

bool CDirChangeHandler::UnwatchDirectory()
{
    CDirChangeWatcher* watcher;
    {
        CSingleLock lock(m_lock);
        watcher = m_watcher;
    }
    return watcher && watcher->UnwatchHandler(this);
}

std::u16string CDirChangeHandler::GetChangedDirectoryName() const
{
    CSingleLock lock(m_lock);
    return m_changedDirectoryName;
}

// --- CDirChangeWatcher ---

CDirChangeWatcher::CDirChangeWatcher(bool appHasGUI, uint32_t filterFlags) : m_shared(std::make_unique<Shared>())
{
    m_shared->appHasGUI = appHasGUI;
    m_shared->notifier = appHasGUI
                             ? static_cast<CDelayedDirChangeNotifier*>(&CDelayedDirChangeNotificationWindow::Instance())
                             : &CDelayedDirChangeNotificationThread::Instance();
    SetFilterFlags(filterFlags);
}

CDirChangeWatcher::~CDirChangeWatcher()
{
    UnwatchAllDirectories();
}

void CDirChangeWatcher::OnThreadInitialize()
{
}
void CDirChangeWatcher::OnThreadExit()
{
}

uint32_t CDirChangeWatcher::SetFilterFlags(uint32_t filterFlags)
{
    return m_shared->filterFlags.exchange(filterFlags == 0 ? FILTERS_DEFAULT : filterFlags);
}

uint32_t CDirChangeWatcher::GetFilterFlags() const
{
    return m_shared->filterFlags.load();
}

uint32_t CDirChangeWatcher::WatchDirectory(const std::u16string& directory, uint32_t changeMask,
                                           CDirChangeHandler* handler, bool watchSubtree, const char16_t* includeFilter,
                                           const char16_t* excludeFilter)
{
    Shared& s = *m_shared;
    if (directory.empty() || changeMask == 0 || !handler)
        return WATCH_ERROR_INVALID_PARAMETER;
    platform::FileStatus status;
    if (!platform::GetFileStatus(directory, &status) || status.type != platform::FileType::Directory)
        return WATCH_ERROR_BAD_PATHNAME;
    UnwatchDirectory(directory);
    CDirChangeWatcher* previous;
    {
        CSingleLock lock(handler->m_lock);
        previous = handler->m_watcher;
    }
    if (previous && previous != this)
        handler->UnwatchDirectory();

    auto record = std::make_shared<CDirWatchInfo>(handler, changeMask, watchSubtree, directory);
    int error = 0;
    if (!record->notifier.Open(&error))
        return ErrorFromErrno(error);
    if (const size_t bytes = s.readBufferSize.load())
        record->notifier.SetReadBufferSize(bytes);
    bool limitReached = false;
    if (const uint32_t result = record->AddTree({}, false, &limitReached))
        return result;
    if (limitReached)
        return WATCH_ERROR_NO_SYSTEM_RESOURCES;

    std::lock_guard workerLock(s.workerLock);
    if (const uint32_t result = StartWorker())
        return result;
    record->handler =
        new CDelayedDirChangeHandler(handler, s.notifier, includeFilter, excludeFilter, GetFilterFlags(), directory);
    {
        CSingleLock lock(s.tableLock);
        const auto slot = std::find(s.table.begin(), s.table.end(), nullptr);
        if (slot != s.table.end())
            *slot = record;
        else
            s.table.push_back(record);
        s.everWatched = true;
    }
    {
        CSingleLock lock(handler->m_lock);
        handler->m_watcher = this;
        ++handler->m_watchedDirectoryCount;
    }
    s.Send(Shared::Command::Start, record);
    return WATCH_OK;
}

uint32_t CDirChangeWatcher::StartWorker()
{
    Shared& s = *m_shared;
    if (s.worker.joinable())
        return WATCH_OK;
    if (!s.wake.IsOpen())
        return WATCH_ERROR_TOO_MANY_OPEN_FILES;
    if (!s.appHasGUI) {
        if (!CDelayedDirChangeNotificationThread::Instance().Acquire())
            return WATCH_ERROR_NO_MORE_THREADS;
        s.holdsNotificationThread = true;
    }
    try {
        s.worker = std::thread([this] { WorkerLoop(); });
    } catch (const std::system_error&) {
        return WATCH_ERROR_NO_MORE_THREADS;
    }
    return WATCH_OK;
}

void CDirChangeWatcher::StopRecord(const std::shared_ptr<CDirWatchInfo>& record)
{
    Shared& s = *m_shared;
    s.Send(Shared::Command::Stop, record);
    // The stop report is the watch's last; once it is delivered nothing refers
    // to the client. The thread that delivers must keep delivering meanwhile.
    while (!record->stopped->IsSet()) {
        if (s.notifier->DeliversOnThisThread()) {
            s.notifier->DispatchPending();
            // Either wait only paces the loop, which looks again.
            if (!record->stopped->IsSet())
                (void)s.notifier->WaitForPosted(100);
        } else {
            (void)record->stopped->Wait(5000);
        }
    }
}

bool CDirChangeWatcher::UnwatchDirectory(const std::u16string& directory)
{
    std::shared_ptr<CDirWatchInfo> record;
    {
        CSingleLock lock(m_shared->tableLock);
        for (auto& slot : m_shared->table) {
            if (slot && SameDirectory(slot->directory, directory)) {
                record = std::move(slot);
                break;
            }
        }
    }
    if (!record)
        return false;
    StopRecord(record);
    return true;
}

bool CDirChangeWatcher::UnwatchHandler(CDirChangeHandler* handler)
{
    std::vector<std::shared_ptr<CDirWatchInfo>> records;
    {
        CSingleLock lock(m_shared->tableLock);
        for (auto& slot : m_shared->table)
            if (slot && slot->client == handler)
                records.push_back(std::move(slot));
    }
    for (const auto& record : records)
        StopRecord(record);
    return !records.empty();
}

bool CDirChangeWatcher::UnwatchAllDirectories()
{
    Shared& s = *m_shared;
    std::vector<std::shared_ptr<CDirWatchInfo>> records;
    bool everWatched;
    {
        CSingleLock lock(s.tableLock);
        everWatched = s.everWatched;
        for (auto& slot : s.table)
            if (slot)
                records.push_back(std::move(slot));
        s.table.clear();
    }
    for (const auto& record : records)
        StopRecord(record);

    std::lock_guard workerLock(s.workerLock);
    {
        CSingleLock lock(s.tableLock);
        if (std::any_of(s.table.begin(), s.table.end(), [](const auto& slot) { return slot != nullptr; }) ||
            !s.worker.joinable())
            return everWatched;  // watched again meanwhile, or no worker
    }
    s.Send(Shared::Command::Quit);
    s.worker.join();
    if (s.holdsNotificationThread) {
        s.holdsNotificationThread = false;
        CDelayedDirChangeNotificationThread::Instance().Release();
    }
    return everWatched;
}

bool CDirChangeWatcher::IsWatchingDirectory(const std::u16string& directory) const
{
    CSingleLock lock(m_shared->tableLock);
    return std::any_of(m_shared->table.begin(), m_shared->table.end(),
                       [&](const auto& slot) { return slot && SameDirectory(slot->directory, directory); });
}

int CDirChangeWatcher::GetWatchedDirectoryCount() const
{
    CSingleLock lock(m_shared->tableLock);
    return static_cast<int>(std::count_if(m_shared->table.begin(), m_shared->table.end(),
                                          [](const auto& slot) { return slot != nullptr; }));
}

void CDirChangeWatcher::WorkerLoop()
{
    Shared& s = *m_shared;
    s.workerThreadId.store(static_cast<long>(gettid()));
    OnThreadInitialize();
    std::vector<std::shared_ptr<CDirWatchInfo>> active;
    std::vector<int> descriptors;
    std::vector<bool> ready;
    std::vector<platform::DirEvent> events;
    const auto stop = [](CDirWatchInfo& record) {
        if (record.stopPosted)
            return;
        record.stopPosted = true;
        record.EndReading();
        record.handler->Post(REPORT_WATCH_STOPPED, {}, {}, 0, record.stopped);
    };
    for (bool quit = false; !quit;) {
        const bool paused = s.paused.load();
        int timeout = -1;
        descriptors.assign(1, s.wake.Descriptor());
        for (const auto& record : active) {
            const int wait = record->MillisecondsToNextDeadline(Clock::now());
            if (wait >= 0 && (timeout < 0 || wait < timeout))
                timeout = wait;
            if (!paused)
                descriptors.push_back(record->notifier.Descriptor());
        }
        // A failed wait leaves nothing ready: the loop only goes round again.
        (void)platform::WaitReadable(descriptors, paused ? -1 : timeout, ready);
        if (ready[0])
            s.wake.Clear();

        std::vector<Shared::Command> commands;
        {
            std::lock_guard lock(s.commandLock);
            commands.swap(s.commands);
        }
        for (auto& command : commands) {
            switch (command.kind) {
            case Shared::Command::Start:
                if (command.record->stopPosted)
                    break;  // unwatched before the worker took it
                command.record->handler->Post(REPORT_WATCH_STARTED, {}, {}, WATCH_OK);
                active.push_back(command.record);
                break;
            case Shared::Command::Stop:
                std::erase(active, command.record);
                stop(*command.record);
                break;
            case Shared::Command::Quit:
                quit = true;
                break;
            }
        }
        if (s.paused.load())
            continue;

        for (const auto& record : active) {
            // Read until the queue is empty, so a pair split over reads is joined.
            for (;;) {
                events.clear();
                int error = 0;
                if (!record->notifier.ReadEvents(events, &error)) {
                    record->endError = ErrorFromErrno(error);
                    break;
                }
                if (events.empty()) {
                    record->ForgetListings();
                    break;
                }
                for (const auto& event : events)
                    record->Handle(event);
                record->Flush();
                if (record->endError)
                    break;
            }
        }
        const auto now = Clock::now();
        for (const auto& record : active) {
            record->ResolveWaiting(now);
            record->Flush();
        }
        // A directory that went away ends its own watch; when a client is
        // already stopping it, that stop makes the stop report.
        for (auto it = active.begin(); it != active.end();) {
            const auto record = *it;
            if (!record->endError) {
                ++it;
                continue;
            }
            it = active.erase(it);
            record->EndReading();
            record->handler->Post(REPORT_READ_ERROR, record->directory, {}, record->endError);
            if (s.Detach(record))
                stop(*record);
        }
    }
    OnThreadExit();
    s.workerThreadId.store(0);
}

void CDirChangeWatcher::SetReadBufferSizeForTesting(size_t bytes)
{
    m_shared->readBufferSize.store(bytes);
}

void CDirChangeWatcher::PauseForTesting(bool paused)
{
    m_shared->paused.store(paused);
    m_shared->wake.Signal();
}

long CDirChangeWatcher::WorkerThreadIdForTesting() const
{
    return m_shared->workerThreadId.load();
}

unsigned CDirChangeWatcher::NotificationMessage()
{
    static const unsigned message =
        platform::RegisterMessage(u"UWM_DELAYED_DIRECTORY_NOTIFICATION_AF69BC92_1713_4B6C_88F9_E5004D79CDBB");
    return message;
}

void CDirChangeWatcher::SetNotificationTarget(HandlerTarget* target)
{
    CDelayedDirChangeNotificationWindow::Instance().SetTarget(target);
}

size_t CDirChangeWatcher::DispatchPendingNotifications()
{
    return CDelayedDirChangeNotificationWindow::Instance().DispatchAsInterfaceThread();
}

bool CDirChangeWatcher::WaitForNotifications(unsigned timeoutMs)
{
    return CDelayedDirChangeNotificationWindow::Instance().WaitForPosted(timeoutMs);
}
