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

namespace {

using Clock = std::chrono::steady_clock;
using Handler = CDirChangeHandler;
using Watcher = CDirChangeWatcher;
using enum CDirChangeHandler::REPORTTYPE;

// How long a name moved away waits for its new name before it counts as removed.
constexpr auto kPairWait = std::chrono::milliseconds(250);

uint32_t ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return Watcher::WATCH_ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR: return Watcher::WATCH_ERROR_BAD_PATHNAME;
    case ENOSPC: return Watcher::WATCH_ERROR_NO_SYSTEM_RESOURCES;
    case EMFILE:
    case ENFILE: return Watcher::WATCH_ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return Watcher::WATCH_ERROR_OUT_OF_MEMORY;
    case ENAMETOOLONG: return Watcher::WATCH_ERROR_FILENAME_TOO_LONG;
    default: return Watcher::WATCH_ERROR_GEN_FAILURE;
    }
}

std::u16string Join(const std::u16string& folder, const std::u16string& name)
{
    return folder.empty() ? name : folder + u'/' + name;
}

bool IsAtOrUnder(const std::u16string& path, const std::u16string& folder)
{
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == u'/');
}

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

uint32_t WatchBits(uint32_t changeMask)
{
    // Names are always watched: the subtree is followed through them.
    uint32_t bits = platform::DIR_WATCH_NAMES;
    if (changeMask & (Watcher::FILE_NOTIFY_CHANGE_SIZE | Watcher::FILE_NOTIFY_CHANGE_LAST_WRITE))
        bits |= platform::DIR_WATCH_CONTENT;
    if (changeMask & (Watcher::FILE_NOTIFY_CHANGE_ATTRIBUTES | Watcher::FILE_NOTIFY_CHANGE_SECURITY))
        bits |= platform::DIR_WATCH_ATTRIBUTES;
    if (changeMask & Watcher::FILE_NOTIFY_CHANGE_LAST_ACCESS)
        bits |= platform::DIR_WATCH_ACCESS;
    return bits;
}

}  // namespace

// One watched directory. Made on the caller's thread, then owned by the
// worker, which alone touches the fields below the notifier.
class CDirChangeWatcher::CDirWatchInfo {
public:
    CDirWatchInfo(CDirChangeHandler* clientHandler, uint32_t mask, bool watchSubtree, std::u16string path)
        : client(clientHandler), changeMask(mask), subtree(watchSubtree), directory(std::move(path))
    {
    }

    // Watches folder rel and, in a subtree, every folder below it. With report,
    // what the listings find is reported as added: it was made before its
    // folder had a watch. The error of watching rel itself, or 0.
    uint32_t AddTree(const std::u16string& rel, bool report, bool* limitReached);
    void Handle(const platform::DirEvent& event);
    // Reports what waited for a pair as removed, from the oldest on.
    void ResolveWaiting(Clock::time_point until);
    void Flush();
    int MillisecondsToNextDeadline(Clock::time_point now) const;
    // Ends reading: what is pending is reported and the notifier closed.
    void EndReading();
    // Once the queue was read empty, every event older than a listing is
    // behind us: its names need not be remembered any more.
    void ForgetListings() { listed.clear(); }

    CDirChangeHandler* const client;
    CDelayedDirChangeHandler* handler = nullptr;  // one reference, until the stop report is delivered
    const uint32_t changeMask;
    const bool subtree;
    const std::u16string directory;
    platform::DirNotifier notifier;
    const std::shared_ptr<CDirChangeLatch> stopped = std::make_shared<CDirChangeLatch>();

    uint32_t endError = 0;   // set when the directory itself went away or reading failed
    bool stopPosted = false;

private:
    struct Outgoing {
        int type = 0;  // 0: dropped by the change mask
        std::u16string path;
        std::u16string newPath;
        uint32_t cookie = 0;
        bool isDirectory = false;
        bool waiting = false;  // a name moved away, waiting for its new name
        Clock::time_point deadline;
        int sourceWatch = -1;           // the watch whose event made the report
        std::vector<int> movedWatches;  // a waiting folder's watches, its own and below
    };

    std::u16string FullPath(const std::u16string& rel) const
    {
        if (rel.empty())
            return directory;
        return directory.back() == u'/' ? directory + rel : directory + u'/' + rel;
    }
    int NameReport(int type, bool isDirectory) const
    {
        const uint32_t bit = isDirectory ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME;
        return (changeMask & bit) ? type : 0;
    }
    bool ReportsModification(platform::DirEventKind kind) const;
    void Add(int type, std::u16string path, int sourceWatch = -1)
    {
        Outgoing report;
        report.type = type;
        report.path = std::move(path);
        report.sourceWatch = sourceWatch;
        outgoing.push_back(std::move(report));
    }
    void ForgetName(int watch, const std::u16string& name);
    void Moved(const platform::DirEvent& event, const std::u16string& rel);
    // A name new in the tree; a folder is watched, and with reportContent what
    // it already holds is reported too (it was made before the watch).
    void Arrived(const platform::DirEvent& event, const std::u16string& rel, bool reportContent);
    // A folder that waited for its new name is settled: renamed to newRel
    // within the tree, or gone from it (newRel null). Reports its watches made
    // meanwhile follow it, or are dropped: they happened outside the tree.
    void SettleMovedFolder(std::deque<Outgoing>::iterator from, const std::u16string* newRel);

    int rootWatch = -1;
    std::unordered_map<int, std::u16string> folders;  // watch -> path below the directory
    std::unordered_map<int, std::unordered_set<std::u16string>> listed;
    std::deque<Outgoing> outgoing;
};

uint32_t CDirChangeWatcher::CDirWatchInfo::AddTree(const std::u16string& rel, bool report, bool* limitReached)
{
    const uint32_t bits = WatchBits(changeMask);
    uint32_t result = 0;
    std::deque<std::u16string> pending{rel};
    while (!pending.empty()) {
        const std::u16string folder = std::move(pending.front());
        pending.pop_front();
        int error = 0;
        const int watch =
            notifier.AddWatch(FullPath(folder), folder.empty() ? bits : bits | platform::DIR_WATCH_NO_LINKS, &error);
        if (watch < 0) {
            if (folder == rel)
                result = ErrorFromErrno(error);
            if (error == ENOSPC || error == ENOMEM)
                *limitReached = true;
            // A folder that went away or cannot be read is left out.
            continue;
        }
        if (folder.empty())
            rootWatch = watch;
        const auto [known, added] = folders.try_emplace(watch, folder);
        if (!added && known->second != folder)
            continue;  // the same folder under a second name (a bind mount): walked once
        if (!subtree)
            break;
        platform::DirectoryReader reader;
        if (!reader.Open(FullPath(folder)))
            continue;
        platform::DirectoryEntry entry;
        while (reader.Next(entry)) {
            const bool isDirectory = entry.type == platform::FileType::Directory;
            std::u16string child = Join(folder, entry.name);
            if (report) {
                listed[watch].insert(entry.name);
                Add(NameReport(REPORT_ADDED, isDirectory), child, watch);
            }
            if (isDirectory)
                pending.push_back(std::move(child));
        }
    }
    return result;
}

bool CDirChangeWatcher::CDirWatchInfo::ReportsModification(platform::DirEventKind kind) const
{
    switch (kind) {
    case platform::DirEventKind::Modified:
        return changeMask & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
    case platform::DirEventKind::AttributesChanged:
        return changeMask & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY);
    case platform::DirEventKind::Accessed: return changeMask & FILE_NOTIFY_CHANGE_LAST_ACCESS;
    default: return false;
    }
}

void CDirChangeWatcher::CDirWatchInfo::ForgetName(int watch, const std::u16string& name)
{
    if (const auto names = listed.find(watch); names != listed.end())
        names->second.erase(name);
}

void CDirChangeWatcher::CDirWatchInfo::SettleMovedFolder(std::deque<Outgoing>::iterator from,
                                                         const std::u16string* newRel)
{
    const std::vector<int>& moved = from->movedWatches;
    const auto isMoved = [&](int watch) { return std::find(moved.begin(), moved.end(), watch) != moved.end(); };
    const std::u16string oldRel = from->path;
    const auto renamed = [&](std::u16string& rel) {
        if (IsAtOrUnder(rel, oldRel))
            rel = *newRel + rel.substr(oldRel.size());
    };
    for (auto later = std::next(from); later != outgoing.end(); ++later) {
        if (!isMoved(later->sourceWatch))
            continue;
        if (!newRel) {
            later->type = 0;
            continue;
        }
        renamed(later->path);
        renamed(later->newPath);
    }
    for (const int watch : moved) {
        const auto folder = folders.find(watch);
        if (folder == folders.end())
            continue;
        if (newRel) {
            renamed(folder->second);
            continue;
        }
        notifier.RemoveWatch(watch);
        listed.erase(watch);
        folders.erase(folder);
    }
}

void CDirChangeWatcher::CDirWatchInfo::Arrived(const platform::DirEvent& event, const std::u16string& rel,
                                               bool reportContent)
{
    Add(NameReport(REPORT_ADDED, event.isDirectory), rel, event.watch);
    bool limitReached = false;
    if (event.isDirectory && subtree)
        AddTree(rel, reportContent, &limitReached);
    if (limitReached)
        Add(REPORT_READ_ERROR, rel);
}

void CDirChangeWatcher::CDirWatchInfo::Moved(const platform::DirEvent& event, const std::u16string& rel)
{
    if (event.kind == platform::DirEventKind::MovedFrom) {
        Outgoing away;
        away.type = NameReport(REPORT_REMOVED, event.isDirectory);
        away.path = rel;
        away.sourceWatch = event.watch;
        away.cookie = event.cookie;
        away.isDirectory = event.isDirectory;
        away.waiting = true;
        away.deadline = Clock::now() + kPairWait;
        if (event.isDirectory)
            for (const auto& [watch, folder] : folders)
                if (IsAtOrUnder(folder, rel))
                    away.movedWatches.push_back(watch);
        outgoing.push_back(std::move(away));
        return;
    }
    const auto from = std::find_if(outgoing.begin(), outgoing.end(),
                                   [&](const Outgoing& o) { return o.waiting && o.cookie == event.cookie; });
    if (from == outgoing.end()) {
        // Moved in from outside: new here, with whatever it holds.
        Arrived(event, rel, false);
        return;
    }
    from->type = NameReport(REPORT_RENAMED, event.isDirectory);
    from->newPath = rel;
    from->waiting = false;
    // The folder's watches moved with it; only their paths change.
    SettleMovedFolder(from, &rel);
}

void CDirChangeWatcher::CDirWatchInfo::Handle(const platform::DirEvent& event)
{
    using Kind = platform::DirEventKind;
    if (event.kind == Kind::Overflow) {
        ResolveWaiting(Clock::time_point::max());
        Add(REPORT_RESCAN_NEEDED, {});
        // Folders made meanwhile were missed too.
        bool limitReached = false;
        if (subtree)
            AddTree({}, false, &limitReached);
        return;
    }
    const auto known = folders.find(event.watch);
    if (known == folders.end())
        return;  // a watch already dropped
    if (event.kind == Kind::SelfDeleted || event.kind == Kind::SelfMoved || event.kind == Kind::WatchGone) {
        if (event.watch == rootWatch)
            endError = WATCH_ERROR_PATH_NOT_FOUND;
        else if (event.kind == Kind::WatchGone)
            listed.erase(event.watch), folders.erase(known);
        // A subfolder's own end is reported through its parent.
        return;
    }
    if (event.name.empty())
        return;
    const std::u16string rel = Join(known->second, event.name);
    switch (event.kind) {
    case Kind::Created: {
        const auto names = listed.find(event.watch);
        if (names != listed.end() && names->second.erase(event.name) > 0)
            return;  // its folder's listing reported it already
        Arrived(event, rel, true);
        return;
    }
    case Kind::Deleted:
        ForgetName(event.watch, event.name);
        Add(NameReport(REPORT_REMOVED, event.isDirectory), rel, event.watch);
        return;
    case Kind::MovedFrom:
    case Kind::MovedTo:
        ForgetName(event.watch, event.name);
        Moved(event, rel);
        return;
    default:
        if (!ReportsModification(event.kind))
            return;
        // A write in several calls is one modification.
        if (!outgoing.empty() && outgoing.back().type == REPORT_MODIFIED && outgoing.back().path == rel)
            return;
        Add(REPORT_MODIFIED, rel, event.watch);
        return;
    }
}

void CDirChangeWatcher::CDirWatchInfo::ResolveWaiting(Clock::time_point until)
{
    for (auto o = outgoing.begin(); o != outgoing.end(); ++o) {
        if (!o->waiting || o->deadline > until)
            continue;
        o->waiting = false;
        SettleMovedFolder(o, nullptr);
    }
}

void CDirChangeWatcher::CDirWatchInfo::Flush()
{
    while (!outgoing.empty() && !outgoing.front().waiting) {
        Outgoing& o = outgoing.front();
        if (o.type == REPORT_RESCAN_NEEDED)
            handler->Post(o.type, directory);
        else if (o.type == REPORT_READ_ERROR)
            handler->Post(o.type, FullPath(o.path), {}, WATCH_ERROR_NO_SYSTEM_RESOURCES);
        else if (o.type != 0)
            handler->Post(o.type, FullPath(o.path), o.newPath.empty() ? std::u16string() : FullPath(o.newPath));
        outgoing.pop_front();
    }
}

int CDirChangeWatcher::CDirWatchInfo::MillisecondsToNextDeadline(Clock::time_point now) const
{
    int wait = -1;
    for (const auto& o : outgoing) {
        if (!o.waiting)
            continue;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(o.deadline - now).count();
        const int ms = left < 0 ? 0 : static_cast<int>(left);
        wait = wait < 0 ? ms : std::min(wait, ms);
    }
    return wait;
}

void CDirChangeWatcher::CDirWatchInfo::EndReading()
{
    ResolveWaiting(Clock::time_point::max());
    Flush();
    notifier.Close();
    folders.clear();
    listed.clear();
}

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

void CDirChangeHandler::OnFileAdded(const std::u16string&) {}
void CDirChangeHandler::OnFileRemoved(const std::u16string&) {}
void CDirChangeHandler::OnFileNameChanged(const std::u16string&, const std::u16string&) {}
void CDirChangeHandler::OnFileModified(const std::u16string&) {}
void CDirChangeHandler::OnWatchStarted(uint32_t, const std::u16string&) {}
void CDirChangeHandler::OnReadDirectoryChangesError(uint32_t, const std::u16string&) {}
void CDirChangeHandler::OnWatchStopped(const std::u16string&) {}
bool CDirChangeHandler::OnFilterNotification(REPORTTYPE, const std::u16string&, const std::u16string&)
{
    return true;
}
void CDirChangeHandler::OnRescanNeeded(const std::u16string&) {}

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
    m_shared->notifier = appHasGUI ? static_cast<CDelayedDirChangeNotifier*>(&CDelayedDirChangeNotificationWindow::Instance())
                                   : &CDelayedDirChangeNotificationThread::Instance();
    SetFilterFlags(filterFlags);
}

CDirChangeWatcher::~CDirChangeWatcher()
{
    UnwatchAllDirectories();
}

void CDirChangeWatcher::OnThreadInitialize() {}
void CDirChangeWatcher::OnThreadExit() {}

uint32_t CDirChangeWatcher::SetFilterFlags(uint32_t filterFlags)
{
    return m_shared->filterFlags.exchange(filterFlags == 0 ? FILTERS_DEFAULT : filterFlags);
}

uint32_t CDirChangeWatcher::GetFilterFlags() const
{
    return m_shared->filterFlags.load();
}

uint32_t CDirChangeWatcher::WatchDirectory(const std::u16string& directory, uint32_t changeMask,
                                           CDirChangeHandler* handler, bool watchSubtree,
                                           const char16_t* includeFilter, const char16_t* excludeFilter)
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
    record->handler = new CDelayedDirChangeHandler(handler, s.notifier, includeFilter, excludeFilter,
                                                   GetFilterFlags(), directory);
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
            if (!record->stopped->IsSet())
                s.notifier->WaitForPosted(100);
        } else {
            record->stopped->Wait(5000);
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
    return static_cast<int>(
        std::count_if(m_shared->table.begin(), m_shared->table.end(), [](const auto& slot) { return slot != nullptr; }));
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
        platform::WaitReadable(descriptors, paused ? -1 : timeout, ready);
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
            case Shared::Command::Quit: quit = true; break;
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
