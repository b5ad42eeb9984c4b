#include "utils/dir_watch_info.h"

#include <algorithm>
#include <cerrno>

#include "platform/file_api.h"

namespace dir_watch {

using Watcher = CDirChangeWatcher;

uint32_t ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return Watcher::WATCH_ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
        return Watcher::WATCH_ERROR_BAD_PATHNAME;
    case ENOSPC:
        return Watcher::WATCH_ERROR_NO_SYSTEM_RESOURCES;
    case EMFILE:
    case ENFILE:
        return Watcher::WATCH_ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return Watcher::WATCH_ERROR_OUT_OF_MEMORY;
    case ENAMETOOLONG:
        return Watcher::WATCH_ERROR_FILENAME_TOO_LONG;
    default:
        return Watcher::WATCH_ERROR_GEN_FAILURE;
    }
}

}  // namespace dir_watch

namespace {

using dir_watch::Clock;
using dir_watch::ErrorFromErrno;
using Watcher = CDirChangeWatcher;
using enum CDirChangeHandler::REPORTTYPE;

// How long a name moved away waits for its new name before it counts as removed.
constexpr auto kPairWait = std::chrono::milliseconds(250);

std::u16string Join(const std::u16string& folder, const std::u16string& name)
{
    return folder.empty() ? name : folder + u'/' + name;
}

bool IsAtOrUnder(const std::u16string& path, const std::u16string& folder)
{
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == u'/');
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
    case platform::DirEventKind::Accessed:
        return changeMask & FILE_NOTIFY_CHANGE_LAST_ACCESS;
    default:
        return false;
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
