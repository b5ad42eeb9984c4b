// The directory change watcher's costs: how long a change takes to reach the
// handler, and the CPU an idle watcher over a large tree uses.
//   bench_dir_watcher [idle seconds = 10] [folders = 5000]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "utils/dir_change_watcher.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class Timestamps : public CDirChangeHandler {
public:
    void OnFileAdded(const std::u16string&) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(Clock::now());
        }
        m_changed.notify_all();
    }
    void OnWatchStarted(uint32_t, const std::u16string&) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_started = true;
        }
        m_changed.notify_all();
    }
    // The worker has begun (and so has a thread id).
    void WaitForStart()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_started; });
    }
    Clock::time_point WaitForCall(size_t index)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_calls.size() > index; });
        return m_calls[index];
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Clock::time_point> m_calls;
    bool m_started = false;
};

double CpuMsOfThread(long tid)
{
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the parenthesised name; utime and stime are the 14th and 15th.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return 1000.0 * static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double CpuMsOfProcess()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv)
{
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 5000;
    char pattern[] = "/tmp/varnel-watch-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string root = pattern;

    {
        // Delay: one file at a time, from its creation to the handler's call.
        auto* handler = new Timestamps;
        CDirChangeWatcher watcher(false);
        watcher.WatchDirectory(text::FromUtf8(root), CDirChangeWatcher::FILE_NOTIFY_CHANGE_FILE_NAME, handler);
        std::vector<double> delays;
        for (size_t i = 0; i < 500; ++i) {
            const auto made = Clock::now();
            ::close(::open((root + "/f" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
            delays.push_back(std::chrono::duration<double, std::micro>(handler->WaitForCall(i) - made).count());
        }
        std::sort(delays.begin(), delays.end());
        std::printf("notification delay over %zu creations: median %.0f us, p90 %.0f us, max %.0f us\n", delays.size(),
                    delays[delays.size() / 2], delays[delays.size() * 9 / 10], delays.back());
        watcher.UnwatchAllDirectories();
        handler->Release();
    }

    // Idle: a tree of folderCount folders, 100 to a parent.
    const std::string tree = root + "/tree";
    for (int i = 0; i < folderCount; ++i)
        fs::create_directories(tree + "/p" + std::to_string(i / 100) + "/c" + std::to_string(i % 100));
    auto* handler = new Timestamps;
    CDirChangeWatcher watcher(false);
    const auto watchStart = Clock::now();
    const uint32_t result = watcher.WatchDirectory(text::FromUtf8(tree),
                                                   CDirChangeWatcher::FILE_NOTIFY_CHANGE_FILE_NAME |
                                                       CDirChangeWatcher::FILE_NOTIFY_CHANGE_LAST_WRITE,
                                                   handler, true);
    const double watchMs = std::chrono::duration<double, std::milli>(Clock::now() - watchStart).count();
    handler->WaitForStart();
    const long tid = watcher.WorkerThreadIdForTesting();
    const double threadBefore = CpuMsOfThread(tid);
    const double processBefore = CpuMsOfProcess();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    std::printf("watching %d folders: result %u, set up in %.0f ms; idle %d s: worker thread %.1f ms CPU, "
                "whole process %.1f ms CPU\n",
                folderCount, result, watchMs, idleSeconds, CpuMsOfThread(tid) - threadBefore,
                CpuMsOfProcess() - processBefore);
    watcher.UnwatchAllDirectories();
    handler->Release();
    fs::remove_all(root);
    return 0;
}
