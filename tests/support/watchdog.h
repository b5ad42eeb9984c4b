#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

// Ends the process with a message when the scope it guards runs past its
// limit. A deadlock cannot be unwound, so it fails the run instead of hanging it.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds limit)
        : m_what(std::move(what)),
          m_thread([this, limit] { Watch(limit); })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void Watch(std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        if (m_changed.wait_for(lock, limit, [this] { return m_done; }))
            return;
        std::fprintf(stderr, "DEADLOCK: %s did not end within %lld s\n", m_what.c_str(),
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::abort();
    }

    std::string m_what;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    std::thread m_thread;
};

}  // namespace testing_support
