#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "utils/dir_change_watcher.h"

// The client's side of the directory change watcher: report records, the two
// delivery contexts, and the handler that filters and forwards reports.

class CDelayedDirChangeHandler;

// Set once a watch's stop report has been delivered.
class CDirChangeLatch {
public:
    void Set();
    [[nodiscard]] bool IsSet() const;
    // False when timeoutMs passed first.
    [[nodiscard]] bool Wait(unsigned timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_set;
    bool m_done = false;
};

struct CDirChangeNotification {
    CDelayedDirChangeHandler* handler = nullptr;
    int type = 0;
    std::u16string directory;
    std::u16string path;
    std::u16string newPath;  // renames only
    uint32_t error = 0;      // watch started and read errors
    // Stop reports: the watch's last report; the handler's reference ends with it.
    std::shared_ptr<CDirChangeLatch> stopped;
};

// A first-in, first-out queue of reports and the thread that drains it.
class CDelayedDirChangeNotifier {
public:
    virtual ~CDelayedDirChangeNotifier();
    virtual void PostNotification(std::unique_ptr<CDirChangeNotification> notification);
    // Delivers what is queued on the calling thread.
    size_t DispatchPending();
    [[nodiscard]] bool WaitForPosted(unsigned timeoutMs);
    // Whether the calling thread is the one that delivers, and so must keep
    // delivering while it waits for a stop report.
    [[nodiscard]] virtual bool DeliversOnThisThread() const = 0;

protected:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::unique_ptr<CDirChangeNotification>> m_queue;
    std::atomic<std::thread::id> m_dispatcher{};
};

// Reports for the interface thread: one queue per process, drained by whoever
// calls DispatchPending (the interface thread), who is told by the target.
class CDelayedDirChangeNotificationWindow : public CDelayedDirChangeNotifier {
public:
    static CDelayedDirChangeNotificationWindow& Instance();
    void PostNotification(std::unique_ptr<CDirChangeNotification> notification) override;
    [[nodiscard]] bool DeliversOnThisThread() const override;
    void SetTarget(HandlerTarget* target);
    // Drains the queue, marking the caller as the interface thread.
    size_t DispatchAsInterfaceThread();

private:
    std::atomic<HandlerTarget*> m_target{nullptr};
};

// Reports delivered on one notification thread per process, running while a
// watcher uses it.
class CDelayedDirChangeNotificationThread : public CDelayedDirChangeNotifier {
public:
    static CDelayedDirChangeNotificationThread& Instance();
    [[nodiscard]] bool Acquire();  // false when no thread can be started
    void Release();
    [[nodiscard]] bool DeliversOnThisThread() const override;

private:
    void Run();

    std::mutex m_usersLock;
    int m_users = 0;
    bool m_quit = false;
    std::thread m_thread;
};

// Wraps the client's handler for one watch (holding a reference on it):
// reports made on the worker thread go through here to the delivery context,
// where the filters are applied and the client is called.
class CDelayedDirChangeHandler : public CDirChangeHandler {
public:
    ~CDelayedDirChangeHandler() override;
    CDelayedDirChangeHandler(CDirChangeHandler* client, CDelayedDirChangeNotifier* notifier,
                             const char16_t* includeFilter, const char16_t* excludeFilter, uint32_t filterFlags,
                             const std::u16string& directory);

    CDirChangeHandler* Client() const { return m_client; }
    // Worker side.
    void Post(int type, std::u16string path, std::u16string newPath = {}, uint32_t error = 0,
              std::shared_ptr<CDirChangeLatch> stopped = nullptr);
    // Delivery side; ends the watch's attachment after a stop report.
    static void Deliver(CDirChangeNotification& notification);

private:
    [[nodiscard]] bool Passes(const CDirChangeNotification& notification) const;
    [[nodiscard]] bool PassesPatterns(const std::u16string& path) const;

    CDirChangeHandler* m_client;
    CDelayedDirChangeNotifier* m_notifier;
    std::vector<std::u16string> m_include;
    std::vector<std::u16string> m_exclude;
    uint32_t m_filterFlags;
    size_t m_pathOffset;  // where the path relative to the watched directory starts
    std::u16string m_directory;
};
