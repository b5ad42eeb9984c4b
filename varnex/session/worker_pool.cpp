#include "varnex/session/worker_pool.h"

#include <atomic>
#include <system_error>

namespace {

std::atomic<CWorkerPool::StartFaultHook> g_startFault{nullptr};

}  // namespace

CWorkerPool::~CWorkerPool()
{
    RequestStop();
    Join();
}

void CWorkerPool::SetStartFaultHook(StartFaultHook hook)
{
    g_startFault.store(hook);
}

bool CWorkerPool::Start(std::function<void(std::stop_token)> body)
{
    // Counted before it runs: a pause that waits for the live workers
    // cannot miss one that already works.
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return false;
    ++m_live;
    try {
        if (const StartFaultHook hook = g_startFault.load(); hook && hook())
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        m_threads.emplace_back([this, body = std::move(body)](std::stop_token stop) {
            // No exception leaves a thread's entry point.
            try {
                body(stop);
            } catch (...) {
            }
            std::lock_guard ended(m_mutex);
            --m_live;
            m_changed.notify_all();
        });
    } catch (...) {
        // Refused, or no memory for the worker: it never ran.
        --m_live;
        return false;
    }
    return true;
}

void CWorkerPool::RequestStop()
{
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    for (std::jthread& thread : m_threads)
        thread.request_stop();
}

void CWorkerPool::Clear()
{
    std::lock_guard lock(m_mutex);
    m_stopping = false;
    m_paused = false;
    m_pauseAsked.store(false);
}

void CWorkerPool::Join()
{
    std::vector<std::jthread> threads;
    {
        std::unique_lock lock(m_mutex);
        // Every worker that was started has left its body: joining cannot
        // wait on one that still needs this lock.
        m_changed.wait(lock, [this] { return m_live == 0; });
        threads.swap(m_threads);
    }
    for (std::jthread& thread : threads)
        thread.join();
}

void CWorkerPool::Pause()
{
    std::lock_guard lock(m_mutex);
    m_paused = true;
    m_pauseAsked.store(true);
}

void CWorkerPool::Continue()
{
    std::lock_guard lock(m_mutex);
    m_paused = false;
    m_pauseAsked.store(false);
    m_changed.notify_all();
}

void CWorkerPool::WaitParked()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_parked == m_live; });
}

void CWorkerPool::WaitLeft()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_parked == 0; });
}

bool CWorkerPool::Pass(std::stop_token stop)
{
    if (stop.stop_requested())
        return false;
    // A worker that sees no pause here is not parked, so a WaitParked that
    // began meanwhile waits for its next pass.
    if (!m_pauseAsked.load())
        return true;
    std::unique_lock lock(m_mutex);
    if (!m_paused)
        return !stop.stop_requested();
    ++m_parked;
    m_changed.notify_all();
    m_changed.wait(lock, stop, [this] { return !m_paused; });
    --m_parked;
    m_changed.notify_all();
    return !stop.stop_requested();
}
