#pragma once
// One watched directory of CDirChangeWatcher: its inotify watches and the
// reports its events make. Nothing outside the watcher's sources includes it.

#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/dir_notify.h"
#include "utils/dir_change_delivery.h"
#include "utils/dir_change_watcher.h"

namespace dir_watch {

using Clock = std::chrono::steady_clock;

// The watcher's error for a system error number.
uint32_t ErrorFromErrno(int error);

}  // namespace dir_watch

// One watched directory. Made on the caller's thread, then owned by the
// worker, which alone touches the fields below the notifier.
class CDirChangeWatcher::CDirWatchInfo {
public:
    CDirWatchInfo(CDirChangeHandler* clientHandler, uint32_t mask, bool watchSubtree, std::u16string path)
        : client(clientHandler),
          changeMask(mask),
          subtree(watchSubtree),
          directory(std::move(path))
    {
    }

    // Watches folder rel and, in a subtree, every folder below it. With report,
    // what the listings find is reported as added: it was made before its
    // folder had a watch. The error of watching rel itself, or 0.
    uint32_t AddTree(const std::u16string& rel, bool report, bool* limitReached);
    void Handle(const platform::DirEvent& event);
    // Reports what waited for a pair as removed, from the oldest on.
    void ResolveWaiting(dir_watch::Clock::time_point until);
    void Flush();
    int MillisecondsToNextDeadline(dir_watch::Clock::time_point now) const;
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

    uint32_t endError = 0;  // set when the directory itself went away or reading failed
    bool stopPosted = false;

private:
    struct Outgoing {
        int type = 0;  // 0: dropped by the change mask
        std::u16string path;
        std::u16string newPath;
        uint32_t cookie = 0;
        bool isDirectory = false;
        bool waiting = false;  // a name moved away, waiting for its new name
        dir_watch::Clock::time_point deadline;
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
    [[nodiscard]] bool ReportsModification(platform::DirEventKind kind) const;
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
