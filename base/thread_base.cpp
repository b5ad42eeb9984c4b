#include "base/thread_base.h"

#include <chrono>
#include <system_error>

void CThreadSignals::RequestStop()
{
    std::lock_guard lock(m_mutex);
    m_stop.store(true, std::memory_order_release);
    m_changed.notify_all();
}

void CThreadSignals::RequestPause()
{
    std::lock_guard lock(m_mutex);
    m_pause.store(true, std::memory_order_release);
    m_changed.notify_all();
}

void CThreadSignals::RequestContinue()
{
    std::lock_guard lock(m_mutex);
    m_pause.store(false, std::memory_order_release);
    m_changed.notify_all();
}

void CThreadSignals::Clear()
{
    std::lock_guard lock(m_mutex);
    m_stop.store(false, std::memory_order_release);
    m_pause.store(false, std::memory_order_release);
    m_changed.notify_all();
}

CThreadBase::CThreadBase(std::uintptr_t parameter) : m_parameter(parameter), m_signals(&m_ownSignals)
{
}

CThreadBase::~CThreadBase()
{
    // Last resort only: derived classes stop their thread in their own destructor.
    // The wait comes before the join so that m_threadMutex is not held while
    // the thread may still call into this object.
    if (IsThreadAlive())
        Signals().RequestStop();
    // Without a timeout the wait ends only once the thread has.
    (void)WaitState(INFINITE_TIMEOUT, [this] { return m_state != State::Starting && m_state != State::Running; });
    SafeCloseHandle();
}

bool CThreadBase::CreateThread(CThreadSignals* sharedSignals)
{
    std::lock_guard threadLock(m_threadMutex);
    {
        std::lock_guard lock(m_stateMutex);
        if (m_state == State::Starting || m_state == State::Running)
            return false;
    }
    // The previous run has left its handlers; only the return is missing.
    if (m_thread.joinable())
        m_thread.join();

    if (sharedSignals == nullptr) {
        m_ownSignals.Clear();
        m_signals.store(&m_ownSignals);
    } else {
        m_signals.store(sharedSignals);
    }
    {
        std::lock_guard lock(m_stateMutex);
        m_state = State::Starting;
        m_pausedAck = false;
    }
    m_exitCode.store(0);
    try {
        if (const StartFaultHook hook = s_startFault.load(); hook && hook(*this))
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        m_thread = std::thread(&CThreadBase::Run, this);
    } catch (const std::system_error&) {
        // A thread that never ran follows nobody: otherwise the owner's stop
        // in this object's destructor would stop the parent's other threads.
        m_signals.store(&m_ownSignals);
        std::lock_guard lock(m_stateMutex);
        m_state = State::Idle;
        m_stateChanged.notify_all();
        return false;
    }
    return true;
}

void CThreadBase::Run()
{
    {
        std::lock_guard lock(m_stateMutex);
        m_state = State::Running;
        m_stateChanged.notify_all();
    }
    // No exception may leave a thread entry point. The post handler runs
    // whatever the body did: derived classes release and report there.
    unsigned exitCode = EXIT_CODE_EXCEPTION;
    try {
        ThreadPreHandler();
        exitCode = ThreadHandler();
    } catch (...) {
        exitCode = EXIT_CODE_EXCEPTION;
    }
    try {
        ThreadPostHandler(exitCode);
    } catch (...) {
        exitCode = EXIT_CODE_EXCEPTION;
    }
    m_exitCode.store(exitCode);
    std::lock_guard lock(m_stateMutex);
    m_state = State::Ended;
    m_pausedAck = false;
    m_stateChanged.notify_all();
}

template <typename Pred> bool CThreadBase::WaitState(unsigned timeoutMs, Pred pred)
{
    std::unique_lock lock(m_stateMutex);
    if (timeoutMs == INFINITE_TIMEOUT) {
        m_stateChanged.wait(lock, pred);
        return true;
    }
    return m_stateChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

bool CThreadBase::IsOwnThread()
{
    std::lock_guard threadLock(m_threadMutex);
    return m_thread.get_id() == std::this_thread::get_id();
}

bool CThreadBase::WaitForThreadRunning(unsigned timeoutMs)
{
    return WaitState(timeoutMs, [this] { return m_state != State::Starting; });
}

bool CThreadBase::WaitForThreadExit(unsigned timeoutMs)
{
    // Waiting for itself would never end.
    if (IsOwnThread())
        return false;
    if (!WaitState(timeoutMs, [this] { return m_state != State::Starting && m_state != State::Running; }))
        return false;
    SafeCloseHandle();
    return true;
}

bool CThreadBase::IsThreadAlive() const
{
    std::lock_guard lock(m_stateMutex);
    return m_state == State::Starting || m_state == State::Running;
}

bool CThreadBase::IsStopRequested() const
{
    return Signals().IsStopRequested();
}

void CThreadBase::SetStop()
{
    Signals().RequestStop();
}

bool CThreadBase::SetStopAndWait(unsigned timeoutMs)
{
    SetStop();
    return WaitForThreadExit(timeoutMs);
}

void CThreadBase::SetPause()
{
    Signals().RequestPause();
}

void CThreadBase::SetContinue()
{
    Signals().RequestContinue();
}

bool CThreadBase::WaitForPause(unsigned timeoutMs)
{
    return WaitState(timeoutMs, [this] { return m_pausedAck || m_state == State::Ended || m_state == State::Idle; });
}

bool CThreadBase::WaitForContinue(unsigned timeoutMs)
{
    return WaitState(timeoutMs, [this] { return !m_pausedAck || m_state == State::Ended || m_state == State::Idle; });
}

void CThreadBase::SafeCloseHandle()
{
    std::lock_guard threadLock(m_threadMutex);
    if (m_thread.joinable() && !IsThreadAlive() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

void CThreadBase::SetPausedAck(bool paused)
{
    std::lock_guard lock(m_stateMutex);
    m_pausedAck = paused;
    m_stateChanged.notify_all();
}

bool CThreadBase::CanContinue()
{
    CThreadSignals& signals = Signals();
    if (signals.IsStopRequested())
        return false;
    if (!signals.IsPauseRequested())
        return true;
    // The acknowledgement is set and cleared under the signals' lock: a pause
    // requested after this thread decided to go on finds the old
    // acknowledgement already gone, so WaitForPause cannot return while the
    // thread does one more unit of work.
    std::unique_lock lock(signals.m_mutex);
    if (!signals.m_pause.load())
        return !signals.m_stop.load();
    SetPausedAck(true);
    signals.m_changed.wait(lock, [&signals] { return signals.m_stop.load() || !signals.m_pause.load(); });
    SetPausedAck(false);
    return !signals.m_stop.load();
}
