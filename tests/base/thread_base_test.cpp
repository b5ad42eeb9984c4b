#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <latch>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/thread_base.h"

namespace {

constexpr unsigned kLongWait = 20000;  // only reached when a test fails
constexpr unsigned kCompleted = 1;
constexpr unsigned kStopped = 2;

// Waits (without asserting any duration) until pred holds; false only after a
// generous deadline, so a broken thread fails the test instead of hanging it.
template <typename Pred> bool Eventually(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWait);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

class Gate {
public:
    void Open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_cv.notify_all();
    }
    void Pass()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

// Works until stopped; counts units done while the owner believes it paused.
class Worker : public CThreadBase {
public:
    ~Worker() override { SetStopAndWait(); }
    std::atomic<long> units{0};
    std::atomic<bool> ownerSeesPause{false};
    std::atomic<int> unitsWhilePaused{0};

protected:
    unsigned ThreadHandler() override
    {
        while (CanContinue()) {
            if (ownerSeesPause.load())
                ++unitsWhilePaused;
            ++units;
        }
        return kStopped;
    }
};

bool Advances(const Worker& w)
{
    const long from = w.units.load();
    return Eventually([&] { return w.units.load() > from + 10; });
}

TEST(ThreadBase, WaitForPauseReturnsOnlyOnceTheThreadHoldsInsideCanContinue)
{
    Worker w;
    ASSERT_TRUE(w.CreateThread());
    // Contends for the thread's state so that a thread waking from a pause is
    // slow to record it, which widens any gap between its waking and that record.
    std::atomic<bool> done{false};
    std::thread noise([&] {
        while (!done) {
            (void)w.IsThreadAlive();
            std::this_thread::yield();
        }
    });
    for (int cycle = 0; cycle < 1000; ++cycle) {
        w.SetPause();
        ASSERT_TRUE(w.WaitForPause(kLongWait));
        // Hold the belief for a while: a thread that was not really paused
        // does a unit meanwhile.
        w.ownerSeesPause = true;
        const long before = w.units.load();
        for (int spin = 0; spin < 50 && w.units.load() == before; ++spin)
            std::this_thread::yield();
        w.ownerSeesPause = false;
        w.SetContinue();
        if (cycle % 8 == 0) {
            ASSERT_TRUE(w.WaitForContinue(kLongWait));
            ASSERT_TRUE(Advances(w));
        } else {
            // Pause again soon, at a different moment each cycle: the thread may
            // be waking from the previous pause, whose acknowledgement must not
            // count for this one.
            for (int spin = cycle % 64 * 16; spin > 0; --spin)
                (void)w.units.load();
        }
    }
    done = true;
    noise.join();
    EXPECT_EQ(w.unitsWhilePaused.load(), 0);
    // A stop ends a paused thread.
    w.SetPause();
    ASSERT_TRUE(w.WaitForPause(kLongWait));
    EXPECT_TRUE(w.SetStopAndWait(kLongWait));
    EXPECT_EQ(w.GetExitCode(), kStopped);
}

// Ends without ever calling CanContinue once the gate opens.
class Quitter : public CThreadBase {
public:
    ~Quitter() override { SetStopAndWait(); }
    Gate gate;

protected:
    unsigned ThreadHandler() override
    {
        gate.Pass();
        return kCompleted;
    }
};

TEST(ThreadBase, PauseAndContinueWaitsReturnWhenThreadEndedOrNeverRan)
{
    Quitter never;
    EXPECT_TRUE(never.WaitForPause(kLongWait));
    EXPECT_TRUE(never.WaitForThreadExit(kLongWait));

    Quitter q;
    ASSERT_TRUE(q.CreateThread());
    q.SetPause();
    std::thread waiter([&] { EXPECT_TRUE(q.WaitForPause(kLongWait)); });
    q.gate.Open();
    waiter.join();
    EXPECT_TRUE(q.WaitForContinue(kLongWait));
    EXPECT_TRUE(q.WaitForThreadExit(kLongWait));
    EXPECT_EQ(q.GetExitCode(), kCompleted);
}

TEST(ThreadBase, WaitsWithFiniteTimeoutGiveUpOnARunningThread)
{
    Worker w;
    ASSERT_TRUE(w.CreateThread());
    ASSERT_TRUE(w.WaitForThreadRunning(kLongWait));
    EXPECT_FALSE(w.WaitForThreadExit(30));
    EXPECT_FALSE(w.WaitForPause(30));  // no pause requested
    EXPECT_FALSE(w.CreateThread());    // one run at a time
    w.SafeCloseHandle();               // no effect while it runs
    EXPECT_TRUE(w.IsThreadAlive());
    EXPECT_TRUE(Advances(w));
    EXPECT_TRUE(w.SetStopAndWait(kLongWait));
    EXPECT_FALSE(w.IsThreadAlive());
}

// Starts children on its own signals, then works until stopped and joins them.
class Parent : public CThreadBase {
public:
    ~Parent() override { SetStopAndWait(); }
    Worker children[3];
    std::latch started{1};

protected:
    unsigned ThreadHandler() override
    {
        for (Worker& c : children)
            c.CreateThread(&Signals());
        started.count_down();
        while (CanContinue()) { }
        for (Worker& c : children)
            c.WaitForThreadExit();
        return kStopped;
    }
};

TEST(ThreadBase, ChildrenOnParentSignalsFollowItsPauseContinueAndStop)
{
    Parent p;
    Worker bystander;  // own signals: untouched by the parent's requests
    ASSERT_TRUE(bystander.CreateThread());
    ASSERT_TRUE(p.CreateThread());
    p.started.wait();

    p.SetPause();
    ASSERT_TRUE(p.WaitForPause(kLongWait));
    for (Worker& c : p.children) {
        ASSERT_TRUE(c.WaitForPause(kLongWait));
        c.ownerSeesPause = true;
    }
    EXPECT_TRUE(Advances(bystander));
    for (Worker& c : p.children)
        c.ownerSeesPause = false;
    p.SetContinue();
    for (Worker& c : p.children) {
        ASSERT_TRUE(c.WaitForContinue(kLongWait));
        EXPECT_TRUE(Advances(c));
        EXPECT_EQ(c.unitsWhilePaused.load(), 0);
    }

    ASSERT_TRUE(p.SetStopAndWait(kLongWait));
    for (Worker& c : p.children)
        EXPECT_FALSE(c.IsThreadAlive());
    EXPECT_TRUE(bystander.IsThreadAlive());
    EXPECT_TRUE(Advances(bystander));
}

TEST(ThreadBase, ThreadStartedOnAlreadyStoppedSignalsEndsBeforeAnyWork)
{
    CThreadSignals shared;
    shared.RequestStop();
    Worker w;
    ASSERT_TRUE(w.CreateThread(&shared));
    ASSERT_TRUE(w.WaitForThreadExit(kLongWait));
    EXPECT_EQ(w.units.load(), 0);
}

// A run of `budget` units; kCompleted when none was refused.
class Bounded : public CThreadBase {
public:
    ~Bounded() override { SetStopAndWait(); }
    int budget = 0;
    Gate* gate = nullptr;

protected:
    unsigned ThreadHandler() override
    {
        if (gate != nullptr)
            gate->Pass();
        for (int i = 0; i < budget; ++i)
            if (!CanContinue())
                return kStopped;
        return kCompleted;
    }
};

struct LeftoverCase {
    const char* name;
    bool stop;          // else pause
    bool whileRunning;  // else after the run ended (or before the first)
    bool firstRun;
};

void PrintTo(const LeftoverCase& c, std::ostream* os)
{
    *os << c.name;
}

class ThreadBaseRestart : public testing::TestWithParam<LeftoverCase> { };

TEST_P(ThreadBaseRestart, RequestMeantForEarlierRunDoesNotReachTheNext)
{
    const LeftoverCase& c = GetParam();
    Bounded t;
    auto request = [&] { c.stop ? t.SetStop() : t.SetPause(); };
    if (c.firstRun) {
        Gate gate;
        t.gate = &gate;
        ASSERT_TRUE(t.CreateThread());
        if (c.whileRunning)
            request();
        gate.Open();
        ASSERT_TRUE(t.WaitForThreadExit(kLongWait));
        t.gate = nullptr;
    }
    if (!c.whileRunning)
        request();
    t.budget = 1000;
    ASSERT_TRUE(t.CreateThread());
    ASSERT_TRUE(t.WaitForThreadExit(kLongWait));
    EXPECT_EQ(t.GetExitCode(), kCompleted);
}

INSTANTIATE_TEST_SUITE_P(Leftovers, ThreadBaseRestart,
                         testing::Values(LeftoverCase{"StopDuringRun", true, true, true},
                                         LeftoverCase{"PauseDuringRun", false, true, true},
                                         LeftoverCase{"StopAfterRun", true, false, true},
                                         LeftoverCase{"PauseAfterRun", false, false, true},
                                         LeftoverCase{"PauseBeforeFirstRun", false, false, false}),
                         [](const auto& row) { return std::string(row.param.name); });

// Records the order of its handlers; the post handler rewrites the code.
class Recorder : public CThreadBase {
public:
    ~Recorder() override { SetStopAndWait(); }
    enum Throw { None, InPre, InBody, InPost } throwIn = None;
    std::vector<std::string> events;
    std::thread::id threadIds[3];

protected:
    void ThreadPreHandler() override { Note(0, "pre", InPre); }
    unsigned ThreadHandler() override
    {
        Note(1, "body", InBody);
        return 5;
    }
    void ThreadPostHandler(unsigned& exitCode) override
    {
        Note(2, "post:" + std::to_string(exitCode), None);
        exitCode = exitCode == 5 ? 9 : exitCode;
        if (throwIn == InPost)
            throw std::logic_error("post");
    }

private:
    void Note(int slot, std::string what, Throw here)
    {
        threadIds[slot] = std::this_thread::get_id();
        events.push_back(std::move(what));
        if (here != None && throwIn == here)
            throw std::runtime_error("planted");
    }
};

TEST(ThreadBase, HandlersRunInOrderOnTheThreadAndAnExceptionEndsOnlyTheRun)
{
    const unsigned fail = CThreadBase::EXIT_CODE_EXCEPTION;
    const std::string postFail = "post:" + std::to_string(fail);
    const struct {
        Recorder::Throw where;
        std::vector<std::string> events;
        unsigned exitCode;
    } rows[] = {
        {Recorder::None, {"pre", "body", "post:5"}, 9},  // the post handler rewrites the code
        {Recorder::InPre, {"pre", postFail}, fail},
        {Recorder::InBody, {"pre", "body", postFail}, fail},
        {Recorder::InPost, {"pre", "body", "post:5"}, fail},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        Recorder r;
        r.throwIn = row.where;
        ASSERT_TRUE(r.CreateThread());
        ASSERT_TRUE(r.WaitForThreadExit(kLongWait));
        EXPECT_EQ(r.events, row.events);
        EXPECT_EQ(r.GetExitCode(), row.exitCode);
        EXPECT_NE(r.threadIds[0], std::this_thread::get_id());
        EXPECT_EQ(r.threadIds[0], r.threadIds[2]);
        // The object stays usable.
        r.throwIn = Recorder::None;
        ASSERT_TRUE(r.CreateThread());
        ASSERT_TRUE(r.WaitForThreadExit(kLongWait));
        EXPECT_EQ(r.GetExitCode(), 9u);
    }
}

class SelfJoiner : public CThreadBase {
public:
    ~SelfJoiner() override { SetStopAndWait(); }
    std::atomic<int> result{-1};

protected:
    unsigned ThreadHandler() override
    {
        result = WaitForThreadExit() ? 1 : 0;
        SafeCloseHandle();
        return kCompleted;
    }
};

TEST(ThreadBase, ThreadWaitingForItsOwnExitIsRefusedInsteadOfHanging)
{
    SelfJoiner s;
    ASSERT_TRUE(s.CreateThread());
    ASSERT_TRUE(s.WaitForThreadExit(kLongWait));
    EXPECT_EQ(s.result.load(), 0);
}

TEST(ThreadBase, SeveralThreadsMayWaitForOneExitTogether)
{
    Worker w;
    ASSERT_TRUE(w.CreateThread());
    std::vector<std::thread> waiters;
    std::atomic<int> joined{0};
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] { joined += w.WaitForThreadExit() ? 1 : 0; });
    w.SetStop();
    for (std::thread& t : waiters)
        t.join();
    EXPECT_EQ(joined.load(), 3);
    w.SafeCloseHandle();
    w.SafeCloseHandle();
    ASSERT_TRUE(w.CreateThread());
    EXPECT_TRUE(Advances(w));
}

}  // namespace
