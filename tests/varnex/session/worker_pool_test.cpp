// The converters' pool on its own: a pause holds every worker at the gate
// before the owner goes on, a stop reaches parked and late workers, and a new
// session starts with neither.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stop_token>
#include <thread>

#include "support/watchdog.h"
#include "varnex/session/worker_pool.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Watchdog;

constexpr auto kLimit = std::chrono::minutes(2);

// A worker that counts the units it does between passes of the gate.
struct Counting {
    std::atomic<unsigned> units{0};
    std::atomic<bool> stopped{false};

    std::function<void(std::stop_token)> Body(CWorkerPool& pool)
    {
        return [this, &pool](std::stop_token stop) {
            while (pool.Pass(stop))
                ++units;
            stopped = true;
        };
    }
};

TEST(WorkerPool, APauseHoldsEveryWorkerUntilContinued)
{
    Watchdog watchdog("pool pause", kLimit);
    CWorkerPool pool;
    Counting counts[3];
    for (Counting& count : counts)
        ASSERT_TRUE(pool.Start(count.Body(pool)));
    pool.Pause();
    pool.WaitParked();
    unsigned held[3];
    for (int i = 0; i < 3; ++i)
        held[i] = counts[i].units.load();
    std::this_thread::sleep_for(50ms);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(counts[i].units.load(), held[i]) << "worker " << i << " worked while paused";

    pool.Continue();
    pool.WaitLeft();
    for (int i = 0; i < 3; ++i) {
        while (counts[i].units.load() == held[i])
            std::this_thread::yield();
    }
    pool.RequestStop();
    pool.Join();
    for (const Counting& count : counts)
        EXPECT_TRUE(count.stopped.load());
}

TEST(WorkerPool, AStopWakesParkedWorkersAndRefusesLateOnes)
{
    Watchdog watchdog("pool stop", kLimit);
    CWorkerPool pool;
    Counting early;
    ASSERT_TRUE(pool.Start(early.Body(pool)));
    pool.Pause();
    pool.WaitParked();
    pool.RequestStop();
    pool.Join();  // would wait for ever on a worker left parked
    EXPECT_TRUE(early.stopped.load());

    Counting late;
    EXPECT_FALSE(pool.Start(late.Body(pool))) << "a worker started after the stop would miss it";
}

// A stop or a pause asked at the end of one session must not reach the
// workers of the next: they would end at once or never start working.
TEST(WorkerPool, ClearDropsAnEarlierStopAndPause)
{
    Watchdog watchdog("pool clear", kLimit);
    CWorkerPool pool;
    pool.Pause();
    pool.RequestStop();
    pool.Join();
    pool.Clear();

    Counting next;
    ASSERT_TRUE(pool.Start(next.Body(pool)));
    while (next.units.load() < 100)
        std::this_thread::yield();
    pool.RequestStop();
    pool.Join();
}

TEST(WorkerPool, AStartTheSystemRefusesLeavesNothingToWaitFor)
{
    Watchdog watchdog("pool refused start", kLimit);
    static std::atomic<int> starts{0};
    starts = 0;
    CWorkerPool::SetStartFaultHook([] { return ++starts == 2; });
    CWorkerPool pool;
    Counting first, second, third;
    EXPECT_TRUE(pool.Start(first.Body(pool)));
    EXPECT_FALSE(pool.Start(second.Body(pool)));
    EXPECT_TRUE(pool.Start(third.Body(pool)));
    CWorkerPool::SetStartFaultHook(nullptr);
    // The refused worker is not counted: a pause does not wait for it.
    pool.Pause();
    pool.WaitParked();
    pool.RequestStop();
    pool.Join();
    EXPECT_FALSE(second.stopped.load()) << "never ran";
    EXPECT_TRUE(first.stopped.load() && third.stopped.load());
}

}  // namespace
