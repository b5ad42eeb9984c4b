#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "varnex/varnex_export.h"

// The session's converter threads: std::jthreads that stop through their
// stop token and pause at a gate they pass between units of work. Start,
// pause, continue and stop come from other threads than the workers; Join
// and the destructor never from a worker.
class VARNEX_API CWorkerPool {
public:
    CWorkerPool() = default;
    // Stops and joins every worker.
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // Starts one more worker running body. False, and nothing started, when
    // the system refuses a thread (or memory for it) or a stop was requested
    // since Clear.
    bool Start(std::function<void(std::stop_token)> body);
    // Asks every worker to stop, also those started from now until Clear;
    // a parked worker leaves the gate at once.
    void RequestStop();
    // Drops a stop or pause asked for an earlier session, before a new one.
    void Clear();
    // Waits until every worker has ended and forgets them.
    void Join();

    // While paused, a worker that comes to the gate parks there until
    // Continue or a stop.
    void Pause();
    void Continue();
    // Until every live worker has parked (or ended): from then on none does
    // any work until continued. And until none is parked any more.
    void WaitParked();
    void WaitLeft();

    // For a worker between units of work: parks while paused; false once its
    // stop was requested.
    bool Pass(std::stop_token stop);

    // Test seam: when set, asked before every start; true makes that start
    // fail exactly as when the system refuses a thread.
    using StartFaultHook = bool (*)();
    static void SetStartFaultHook(StartFaultHook hook);

private:
    // Read first without the lock: workers pass the gate between every two
    // blocks of a file, and a pause is rare.
    std::atomic<bool> m_pauseAsked{false};
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    bool m_paused = false;
    bool m_stopping = false;
    unsigned m_live = 0;    // started and not yet ended
    unsigned m_parked = 0;  // of those, waiting at the gate
    // Last: joined before the members above, which the workers use, go.
    std::vector<std::jthread> m_threads;
};
