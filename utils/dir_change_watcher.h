#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/lockable.h"
#include "utils/utils_export.h"

class CDirChangeWatcher;
class HandlerTarget;

// The client side of a directory change watcher. Reports never arrive on the
// watcher's worker thread: they are delivered, in the order they were made, on
// the delivery context the watcher was made with (see CDirChangeWatcher).
// Reference counted: the watcher holds one reference while it watches a
// directory for the handler, so a handler that is Released while watched
// lives until its last watch ends. Paths use '/'.
class UTILS_API CDirChangeHandler {
public:
    enum REPORTTYPE : int {
        REPORT_ADDED = 1,
        REPORT_REMOVED = 2,
        REPORT_MODIFIED = 3,
        REPORT_RENAMED = 4,
        REPORT_WATCH_STARTED = 5,
        REPORT_READ_ERROR = 6,
        REPORT_WATCH_STOPPED = 7,
        REPORT_RESCAN_NEEDED = 8,
    };

    virtual ~CDirChangeHandler();
    CDirChangeHandler();
    CDirChangeHandler(const CDirChangeHandler&) = delete;
    CDirChangeHandler& operator=(const CDirChangeHandler&) = delete;

    virtual void OnFileAdded(const std::u16string& path);
    virtual void OnFileRemoved(const std::u16string& path);
    virtual void OnFileNameChanged(const std::u16string& oldPath, const std::u16string& newPath);
    virtual void OnFileModified(const std::u16string& path);
    virtual void OnWatchStarted(uint32_t error, const std::u16string& directory);
    // Also made when the watched directory itself is deleted or moved away
    // (error 3, path not found), just before the watch ends with OnWatchStopped.
    virtual void OnReadDirectoryChangesError(uint32_t error, const std::u16string& directory);
    virtual void OnWatchStopped(const std::u16string& directory);
    // Asked for reports of types 1-4 (see the filter flags); false drops the report.
    [[nodiscard]] virtual bool OnFilterNotification(REPORTTYPE type, const std::u16string& path,
                                                    const std::u16string& newPath);
    // The system's change queue overflowed and reports under the directory were
    // lost; the client must list it again. Watching goes on.
    virtual void OnRescanNeeded(const std::u16string& directory);

    long AddRef();
    // Deletes the object when the count reaches 0.
    long Release();
    long CurRefCnt() const;
    // Stops every directory this handler watches. False when it watches none.
    bool UnwatchDirectory();
    // The watched directory of the report being delivered.
    std::u16string GetChangedDirectoryName() const;

private:
    friend class CDirChangeWatcher;
    friend class CDelayedDirChangeHandler;

    std::atomic<long> m_refCount{1};
    std::u16string m_changedDirectoryName;
    CDirChangeWatcher* m_watcher = nullptr;
    long m_watchedDirectoryCount = 0;
    mutable CCriticalSection m_lock;
};

// Watches directories with one worker thread (inotify: a watch per directory,
// so a watched subtree gains a watch for every folder made in it) and reports
// each change to a CDirChangeHandler on a delivery context:
//  - with the user interface flag, a process-wide queue that the interface
//    thread drains with DispatchPendingNotifications; SetNotificationTarget
//    names a target that is posted NotificationMessage() when the queue stops
//    being empty, so the interface knows to drain it;
//  - otherwise a notification thread shared by every such watcher.
// A class that overrides the thread hooks must call UnwatchAllDirectories in
// its own destructor: the worker calls OnThreadExit as it ends.
class UTILS_API CDirChangeWatcher {
public:
    // Change mask bits (the values of the original platform's filter).
    enum : uint32_t {
        FILE_NOTIFY_CHANGE_FILE_NAME = 0x001,
        FILE_NOTIFY_CHANGE_DIR_NAME = 0x002,
        FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x004,
        FILE_NOTIFY_CHANGE_SIZE = 0x008,
        FILE_NOTIFY_CHANGE_LAST_WRITE = 0x010,
        FILE_NOTIFY_CHANGE_LAST_ACCESS = 0x020,
        FILE_NOTIFY_CHANGE_CREATION = 0x040,  // no birth-time event here: ignored
        FILE_NOTIFY_CHANGE_SECURITY = 0x100,
    };
    // Filter flags.
    enum : uint32_t {
        FILTERS_DONT_USE_FILTERS = 0x01,
        FILTERS_CHECK_PARTIAL_PATH = 0x04,
        FILTERS_CHECK_FILE_NAME_ONLY = 0x08,
        FILTERS_TEST_HANDLER_FIRST = 0x10,
        FILTERS_DONT_USE_HANDLER_FILTER = 0x20,
        FILTERS_NO_READ_ERROR_REPORTS = 0x40,
        FILTERS_NO_WATCH_STOP_REPORTS = 0x80,
        FILTERS_DEFAULT = FILTERS_CHECK_FILE_NAME_ONLY,
    };
    // Results of WatchDirectory, and error values of reports.
    enum : uint32_t {
        WATCH_OK = 0,
        WATCH_ERROR_PATH_NOT_FOUND = 3,
        WATCH_ERROR_TOO_MANY_OPEN_FILES = 4,
        WATCH_ERROR_ACCESS_DENIED = 5,
        WATCH_ERROR_OUT_OF_MEMORY = 14,
        WATCH_ERROR_GEN_FAILURE = 31,
        WATCH_ERROR_INVALID_PARAMETER = 87,
        WATCH_ERROR_BAD_PATHNAME = 161,
        WATCH_ERROR_NO_MORE_THREADS = 164,
        WATCH_ERROR_FILENAME_TOO_LONG = 206,
        WATCH_ERROR_NO_SYSTEM_RESOURCES = 1450,  // the system's watch limit
    };

    virtual ~CDirChangeWatcher();
    // Filter flags 0 mean FILTERS_DEFAULT.
    explicit CDirChangeWatcher(bool appHasGUI = true, uint32_t filterFlags = FILTERS_DEFAULT);
    CDirChangeWatcher(const CDirChangeWatcher&) = delete;
    CDirChangeWatcher& operator=(const CDirChangeWatcher&) = delete;

    // 0 on success, else one of the WATCH_ERROR values. Include and exclude
    // patterns are ';'-separated lists of '*'/'?' patterns (null: none),
    // matched with case. A directory already watched is watched anew.
    uint32_t WatchDirectory(const std::u16string& directory, uint32_t changeMask, CDirChangeHandler* handler,
                            bool watchSubtree = false, const char16_t* includeFilter = nullptr,
                            const char16_t* excludeFilter = nullptr);
    // Returns once the handler's OnWatchStopped has run (or was skipped by the
    // filter flags); no report for the directory follows it.
    bool UnwatchDirectory(const std::u16string& directory);
    // Stops every directory and ends the worker thread; watching again starts
    // a new one. False when nothing was ever watched.
    bool UnwatchAllDirectories();
    [[nodiscard]] bool IsWatchingDirectory(const std::u16string& directory) const;
    int GetWatchedDirectoryCount() const;
    // Applies to later watches; returns the old flags.
    uint32_t SetFilterFlags(uint32_t filterFlags);
    uint32_t GetFilterFlags() const;

    // The interface thread's side of delivery (user interface flag true).
    static unsigned NotificationMessage();
    static void SetNotificationTarget(HandlerTarget* target);
    // Delivers every queued report on the calling thread; the count delivered.
    static size_t DispatchPendingNotifications();
    // Waits up to timeoutMs for a queued report; true when one is there.
    [[nodiscard]] static bool WaitForNotifications(unsigned timeoutMs);

    // Test hooks: the size of each read of the change queue (applies to later
    // watches), and holding the worker from reading while events pile up.
    void SetReadBufferSizeForTesting(size_t bytes);
    void PauseForTesting(bool paused);
    // The worker's thread id as the system numbers it: 0 when none runs, and
    // set before the first OnWatchStarted of a new worker.
    long WorkerThreadIdForTesting() const;

protected:
    // Run on the worker thread as it starts and before it ends.
    virtual void OnThreadInitialize();
    virtual void OnThreadExit();

private:
    friend class CDirChangeHandler;
    class CDirWatchInfo;
    struct Shared;

    bool UnwatchHandler(CDirChangeHandler* handler);
    void StopRecord(const std::shared_ptr<CDirWatchInfo>& record);
    uint32_t StartWorker();
    void WorkerLoop();

    std::unique_ptr<Shared> m_shared;
};
