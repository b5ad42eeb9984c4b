#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// Timeout value meaning "wait as long as it takes" (milliseconds elsewhere).
inline constexpr unsigned INFINITE_TIMEOUT = 0xFFFFFFFFu;

// Stop and pause requests. A thread uses its own unless it is started with a
// parent's, in which case the parent's stop, pause and continue reach it too.
// The object must outlive every thread that follows it.
class CThreadSignals {
public:
    void RequestStop();
    void RequestPause();
    void RequestContinue();
    // Drops any earlier stop or pause request (a reused thread object starts clean).
    void Clear();

    [[nodiscard]] bool IsStopRequested() const { return m_stop.load(std::memory_order_acquire); }
    [[nodiscard]] bool IsPauseRequested() const { return m_pause.load(std::memory_order_acquire); }

private:
    // CanContinue waits on the condition and acknowledges the pause under
    // m_mutex, so no request can slip between its check and its acknowledgement.
    friend class CThreadBase;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_pause{false};
};

// One worker thread. Derived classes implement ThreadHandler and call
// CanContinue at every unit of work; the owner starts, pauses, continues and
// stops the thread from another thread. The object may be started again once
// its thread has ended. A derived class whose ThreadHandler reads its own
// members must stop and join in its own destructor: by the time this base's
// destructor runs, those members are gone.
class CThreadBase {
public:
    // Exit code of a run whose handlers threw.
    static constexpr unsigned EXIT_CODE_EXCEPTION = 0xFFFFFFFFu;

    virtual ~CThreadBase();

    explicit CThreadBase(std::uintptr_t parameter = 0);
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;

    // Starts the thread. With null it uses its own signals, cleared first, so a
    // stop or pause meant for an earlier run does not reach this one; otherwise
    // it follows the given ones as they are. False when a thread of this object
    // still runs or the system refuses a new thread.
    [[nodiscard]] virtual bool CreateThread(CThreadSignals* sharedSignals = nullptr);

    bool WaitForThreadRunning(unsigned timeoutMs = INFINITE_TIMEOUT);
    // Joins the thread; true at once when none runs. False on timeout, and
    // when called from the thread itself (it cannot join itself).
    bool WaitForThreadExit(unsigned timeoutMs = INFINITE_TIMEOUT);
    [[nodiscard]] bool IsThreadAlive() const;

    void SetStop();
    bool SetStopAndWait(unsigned timeoutMs = INFINITE_TIMEOUT);
    void SetPause();
    void SetContinue();
    // Wait until the thread acknowledged the pause (or the continue) inside
    // CanContinue; both return true when the thread has already ended. Once
    // WaitForPause returned true the thread does no further work until it is
    // continued or stopped.
    bool WaitForPause(unsigned timeoutMs = INFINITE_TIMEOUT);
    bool WaitForContinue(unsigned timeoutMs = INFINITE_TIMEOUT);

    // Releases a finished thread; harmless to repeat, does nothing while it runs.
    void SafeCloseHandle();

    std::uintptr_t GetParameter() const { return m_parameter; }

    // Test seam: when set, asked before every start; true makes that start
    // fail exactly as when the system refuses a new thread.
    using StartFaultHook = bool (*)(const CThreadBase& thread);
    static void SetStartFaultHook(StartFaultHook hook) { s_startFault.store(hook); }

    // The code of the run that ended last; 0 while a run goes on and before the first.
    unsigned GetExitCode() const { return m_exitCode.load(); }
    [[nodiscard]] bool IsStopRequested() const;

protected:
    // False once a stop was requested; while a pause is requested it blocks
    // (acknowledged to WaitForPause) until continued or stopped.
    [[nodiscard]] bool CanContinue();

    // Run on the new thread around the body. An exception from any of them
    // ends the run with EXIT_CODE_EXCEPTION; the post handler still runs then
    // (it sees that code), so its clean-up is never skipped.
    virtual void ThreadPreHandler() { }
    virtual unsigned ThreadHandler() = 0;
    virtual void ThreadPostHandler(unsigned& /*exitCode*/) { }

    CThreadSignals& Signals() const { return *m_signals.load(); }

private:
    enum class State { Idle, Starting, Running, Ended };

    void Run();
    void SetPausedAck(bool paused);
    [[nodiscard]] bool IsOwnThread();
    template <typename Pred> [[nodiscard]] bool WaitState(unsigned timeoutMs, Pred pred);

    static inline std::atomic<StartFaultHook> s_startFault{nullptr};

    std::uintptr_t m_parameter;
    CThreadSignals m_ownSignals;
    std::atomic<CThreadSignals*> m_signals;

    // Serialises starting and joining: two joins of one std::thread, or a
    // start racing a join, are undefined.
    std::mutex m_threadMutex;
    std::thread m_thread;

    // Lock order: a signals object's m_mutex, then m_stateMutex.
    mutable std::mutex m_stateMutex;
    std::condition_variable m_stateChanged;
    State m_state = State::Idle;
    bool m_pausedAck = false;
    std::atomic<unsigned> m_exitCode{0};
};
