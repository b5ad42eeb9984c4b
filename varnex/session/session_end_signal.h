#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "base/handler_target.h"
#include "varnex/session/varnex.h"

// A handler that only notes when a session stops, for owners that run a
// session to its end without a window: register it, start, wait.
class CSessionEndSignal : public HandlerTarget {
public:
    void Post(unsigned message, uintptr_t wParam, intptr_t) override
    {
        if (message != CVarnex::GetHandlerMessage() || static_cast<VARNEXMESSAGE>(wParam) != VARNEXMESSAGE_STOPPED)
            return;
        std::lock_guard lock(m_mutex);
        ++m_stops;
        m_changed.notify_all();
    }

    // True once `count` sessions have stopped; false when the time ran out.
    bool WaitForStops(size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_stops >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_stops = 0;
};
