// Session races: counting against retries, pause and continue against the
// threads' start and the session's end, destruction mid-run, threads that
// cannot start, retries across a stop, and handlers changing during posts.
// Hooks hold the engine at the racy step, so each case is replayed exactly;
// every case runs under a watchdog, so a deadlock fails instead of hanging.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "support/temp_dir.h"
#include "support/watchdog.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/session/filterable_varnex.h"
#include "varnex/session/varnex_finder_thread.h"

namespace {

using namespace std::chrono_literals;
using testing_support::TempDir;
using testing_support::Watchdog;

constexpr auto kLimit = 120s;  // only reached by a deadlock, TSan included

class Recorder : public HandlerTarget {
public:
    // List changes are not kept: a test may post thousands of them.
    void Post(unsigned, uintptr_t wParam, intptr_t lParam) override
    {
        if (static_cast<VARNEXMESSAGE>(wParam) == VARNEXMESSAGE_LISTCHANGED)
            return;
        std::lock_guard lock(m_mutex);
        m_messages.emplace_back(static_cast<VARNEXMESSAGE>(wParam), lParam);
        m_changed.notify_all();
    }
    bool WaitForStops(size_t count, std::chrono::milliseconds timeout = 60s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return Count(VARNEXMESSAGE_STOPPED) >= count; });
    }
    std::vector<std::pair<VARNEXMESSAGE, intptr_t>> Messages()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    size_t Count(VARNEXMESSAGE m) const
    {
        size_t n = 0;
        for (const auto& entry : m_messages)
            n += entry.first == m;
        return n;
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<VARNEXMESSAGE, intptr_t>> m_messages;
};

// Holds a thread at a hook until the test lets it go.
class Gate {
public:
    // Holds the pass after the first `skip` ones.
    void Arm(int skip = 0)
    {
        std::lock_guard lock(m_mutex);
        m_armed = true;
        m_skip = skip;
        m_reached = m_released = false;
    }
    // On the hooked thread; passes at once when not armed.
    void Pass()
    {
        std::unique_lock lock(m_mutex);
        if (!m_armed || m_skip-- > 0)
            return;
        m_armed = false;
        m_reached = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
    }
    bool WaitReached(std::chrono::milliseconds timeout = 60s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_reached; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_armed = false, m_reached = false, m_released = false;
    int m_skip = 0;
};

// What a view's engine is observed by: hooks that use the observer's own
// members, with gates at the racy steps.
class RaceHooks : public SessionObserver {
public:
    Gate fileStart, sessionEnd, paused, continued;
    std::atomic<CVarnexFileInfo*> started{nullptr};

    size_t HookedFiles()
    {
        std::lock_guard lock(m_seenLock);
        return m_seen.size();
    }

    void OnFileStartProcessing(CVarnexFileInfo* record) override
    {
        started.store(record);
        fileStart.Pass();
        std::lock_guard lock(m_seenLock);
        m_seen.insert(record->GetInputFile());
    }
    void OnSessionEnding() override { sessionEnd.Pass(); }
    void OnSessionPaused() override { paused.Pass(); }
    void OnSessionContinued() override { continued.Pass(); }

private:
    std::mutex m_seenLock;
    std::set<std::u16string> m_seen;  // a member the hooks use
};

// A view's engine: the filterable session, its observer (a base that comes
// first, so it outlives the session's threads) and a hold on the summary.
class RaceSession : public RaceHooks, public CFilterableVarnex {
public:
    explicit RaceSession(HandlerTarget* handler)
        : CFilterableVarnex(handler, nullptr, static_cast<RaceHooks*>(this)) { }

    CSingleLock HoldSummary() { return CSingleLock(m_summaryLock); }
    void Ping() { PostListChangedMessage(); }
};

std::u16string MakeFolder(const TempDir& dir, const std::string& name, int files)
{
    const std::string folder = dir.File(name);
    mkdir(folder.c_str(), 0777);
    for (int i = 0; i < files; ++i)
        testing_support::WriteBytes(folder + "/f" + std::to_string(i) + ".txt",
                                    "plain text number " + std::to_string(i) + "\nsecond line\n");
    return text::FromUtf8(folder);
}

tagVARNEXBATCHJOBITEM FolderItem(const std::u16string& in, const std::u16string& out = u"")
{
    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.recursive = true;
    item.inputPath = in;
    item.outputPath = out;
    return item;
}

VARNEXJOBSETTING Setting(unsigned threads, bool detectOnly = true)
{
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    setting.detectOnly = detectOnly;
    setting.converterThreads = threads;
    return setting;
}

VARNEXSESSIONSUMMARY Summary(CVarnex& session)
{
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    return summary;
}

std::vector<CVarnexFileInfo*> Records(CVarnex& session)
{
    CSingleLock lock(session.GetFileList().GetCriticalSection());
    return {session.GetFileList().begin(), session.GetFileList().end()};
}

size_t CountStatus(CVarnex& session, VARNEXFILESTATUS status)
{
    size_t n = 0;
    for (CVarnexFileInfo* record : Records(session))
        n += record->GetStatus() == status;
    return n;
}

template <typename Pred> bool Eventually(Pred pred, std::chrono::milliseconds timeout = 60s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Each session's messages read STARTED (PAUSED CONTINUED)* [PAUSED] STOPPED;
// returns the first message out of that order, or -1.
int FirstOutOfOrder(const std::vector<std::pair<VARNEXMESSAGE, intptr_t>>& messages)
{
    enum { IDLE, RUNNING, PAUSED } state = IDLE;
    for (size_t i = 0; i < messages.size(); ++i) {
        const VARNEXMESSAGE m = messages[i].first;
        if (m == VARNEXMESSAGE_STARTED && state == IDLE)
            state = RUNNING;
        else if (m == VARNEXMESSAGE_PAUSED && state == RUNNING)
            state = PAUSED;
        else if (m == VARNEXMESSAGE_CONTINUED && state == PAUSED)
            state = RUNNING;
        else if (m == VARNEXMESSAGE_STOPPED && state != IDLE)
            state = IDLE;
        else
            return static_cast<int>(i);
    }
    return -1;
}

size_t ThreadCount()
{
    size_t n = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir))
            n += entry->d_name[0] != '.';
        closedir(dir);
    }
    return n;
}

class SessionRace : public ::testing::Test {
protected:
    void SetUp() override { CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR)); }
    void TearDown() override { CAdvancedDetector::GetKnownExtList().SetFolder(u""); }
};

// ---------------------------------------------------------------------------
// Every failure counts as an error, and a retry takes back what was counted.

struct CountRow {
    const char* name;
    VARNEXRESULTSTATE state;
    uint32_t warnings, errors;
};

class ResultCounting : public SessionRace, public ::testing::WithParamInterface<CountRow> { };

TEST_P(ResultCounting, SummaryCountsTheFinalStateAndARetryUndoesIt)
{
    Watchdog watchdog("result counting", kLimit);
    TempDir dir;
    Recorder handler;
    RaceSession session(&handler);
    session.PrepareJob(FolderItem(MakeFolder(dir, "in", 1)));
    // The converter is held before the count while the result it reached is
    // replaced: the count must see the final state, whatever it is.
    session.fileStart.Arm();
    ASSERT_TRUE(session.Start(Setting(1)));
    ASSERT_TRUE(session.fileStart.WaitReached());
    CVarnexFileInfo* record = session.started.load();
    {
        CSingleLock hold = session.HoldSummary();
        session.fileStart.Release();
        ASSERT_TRUE(Eventually([&] { return record->GetResultState() != VARNEXRESULTSTATE_NONE; }));
        record->SetResultState(GetParam().state);
    }
    ASSERT_TRUE(handler.WaitForStops(1));
    VARNEXSESSIONSUMMARY summary = Summary(session);
    EXPECT_EQ(summary.processedFiles, 1u);
    EXPECT_EQ(summary.warningFiles, GetParam().warnings);
    EXPECT_EQ(summary.errorFiles, GetParam().errors);

    ASSERT_TRUE(session.RetryFile(record, true));
    summary = Summary(session);
    EXPECT_EQ(summary.processedFiles, 0u);
    EXPECT_EQ(summary.warningFiles, 0u) << "no wrap-around either";
    EXPECT_EQ(summary.errorFiles, 0u);
    ASSERT_TRUE(session.Start(true));
    ASSERT_TRUE(handler.WaitForStops(2));
    summary = Summary(session);
    EXPECT_EQ(summary.processedFiles, 1u);
    EXPECT_EQ(summary.warningFiles, 0u);
    EXPECT_EQ(summary.errorFiles, 0u);
    EXPECT_EQ(record->GetResultState(), VARNEXRESULTSTATE_OK);
}

INSTANTIATE_TEST_SUITE_P(States, ResultCounting,
                         ::testing::Values(CountRow{"NoResult", VARNEXRESULTSTATE_NONE, 0, 1},
                                           CountRow{"Ok", VARNEXRESULTSTATE_OK, 0, 0},
                                           CountRow{"Warning", VARNEXRESULTSTATE_WARNING, 1, 0},
                                           CountRow{"Failed", VARNEXRESULTSTATE_FAILED, 0, 1},
                                           CountRow{"Error", VARNEXRESULTSTATE_ERROR, 0, 1},
                                           CountRow{"ConversionError", VARNEXRESULTSTATE_CONVERSION_ERROR, 0, 1},
                                           CountRow{"NotSupported", VARNEXRESULTSTATE_NOT_SUPPORTED, 1, 0},
                                           CountRow{"WriteError", VARNEXRESULTSTATE_WRITE_ERROR, 0, 1},
                                           CountRow{"Cancelled", VARNEXRESULTSTATE_CANCELLED, 0, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(SessionRace, WriteErrorsAreErrorsUntilARetryWritesTheFiles)
{
    Watchdog watchdog("write errors", kLimit);
    TempDir dir;
    const std::u16string in = MakeFolder(dir, "in", 2);
    MakeFolder(dir, "in/sub", 3);
    mkdir(dir.File("out").c_str(), 0777);
    testing_support::WriteBytes(dir.File("out/sub"), "a file where the folder must go");
    Recorder handler;
    RaceSession session(&handler);
    session.PrepareJob(FolderItem(in, dir.File16("out")));
    ASSERT_TRUE(session.Start(Setting(2, false)));
    ASSERT_TRUE(handler.WaitForStops(1));
    VARNEXSESSIONSUMMARY summary = Summary(session);
    EXPECT_EQ(summary.errorFiles, 3u);
    EXPECT_EQ(summary.convertedFiles, 2u);

    ASSERT_EQ(unlink(dir.File("out/sub").c_str()), 0);
    for (CVarnexFileInfo* record : Records(session)) {
        if (record->GetResultState() == VARNEXRESULTSTATE_WRITE_ERROR) {
            ASSERT_TRUE(session.RetryFile(record, true));
        }
    }
    summary = Summary(session);
    EXPECT_EQ(summary.errorFiles, 0u);
    EXPECT_EQ(summary.processedFiles, 2u);
    ASSERT_TRUE(session.Start(true));
    ASSERT_TRUE(handler.WaitForStops(2));
    summary = Summary(session);
    EXPECT_EQ(summary.errorFiles, 0u);
    EXPECT_EQ(summary.convertedFiles, 5u);
    EXPECT_EQ(summary.processedFiles, 5u);
}

// ---------------------------------------------------------------------------
// Pause and continue while the threads start and as the session ends.

TEST_F(SessionRace, PauseAndContinueWhileTheThreadsAreStillStarting)
{
    Watchdog watchdog("pause while starting", kLimit);
    TempDir dir;
    const std::u16string in = MakeFolder(dir, "in", 60);
    Recorder handler;
    RaceSession session(&handler);
    for (unsigned round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        session.PrepareJob(FolderItem(in));
        ASSERT_TRUE(session.Start(Setting(1 + round % 4)));
        if (round % 3 == 2)
            session.Continue();  // not paused: nothing
        session.Pause();
        EXPECT_TRUE(session.IsPaused() || !session.IsRunning());
        if (session.IsPaused()) {
            // Paused means no thread does any more work, also those that
            // were still being started when Pause was asked.
            const size_t finished = CountStatus(session, VARNEXFILESTATUS_FINISHED);
            std::this_thread::sleep_for(20ms);
            EXPECT_EQ(CountStatus(session, VARNEXFILESTATUS_FINISHED), finished);
        }
        session.Continue();
        if (round % 2 == 1) {
            session.Pause();
            session.Continue();
        }
        ASSERT_TRUE(handler.WaitForStops(round + 1));
        EXPECT_FALSE(session.IsPaused());
        const VARNEXSESSIONSUMMARY summary = Summary(session);
        EXPECT_EQ(summary.totalFiles, 60u);
        EXPECT_EQ(summary.processedFiles, 60u);
        EXPECT_EQ(CountStatus(session, VARNEXFILESTATUS_FINISHED), 60u);
        EXPECT_EQ(handler.Messages().back(), std::make_pair(VARNEXMESSAGE_STOPPED, intptr_t{0}));
        ASSERT_EQ(FirstOutOfOrder(handler.Messages()), -1) << "STARTED comes before PAUSED";
    }
}

enum class EndRace { Pause, Continue };

class AtSessionEnd : public SessionRace, public ::testing::WithParamInterface<EndRace> { };

// The session's end and a pause (or continue) meet: its message must come
// before STOPPED, and nothing may be left paused.
TEST_P(AtSessionEnd, PauseOrContinuePostsBeforeStoppedAndLeavesNothingPaused)
{
    Watchdog watchdog("pause at the session end", kLimit);
    TempDir dir;
    const std::u16string in = MakeFolder(dir, "in", 3);
    Recorder handler;
    RaceSession session(&handler);
    session.PrepareJob(FolderItem(in));
    session.sessionEnd.Arm();
    ASSERT_TRUE(session.Start(Setting(2)));
    ASSERT_TRUE(session.sessionEnd.WaitReached());  // every worker has left

    Gate& hook = GetParam() == EndRace::Pause ? session.paused : session.continued;
    if (GetParam() == EndRace::Continue)
        session.Pause();
    hook.Arm();
    std::thread control([&] { GetParam() == EndRace::Pause ? session.Pause() : session.Continue(); });
    const bool held = hook.WaitReached(5s);
    session.sessionEnd.Release();
    handler.WaitForStops(1, 300ms);  // lets the end run ahead if nothing holds it
    hook.Release();
    control.join();
    ASSERT_TRUE(held);
    ASSERT_TRUE(handler.WaitForStops(1));

    EXPECT_EQ(FirstOutOfOrder(handler.Messages()), -1);
    EXPECT_FALSE(session.IsPaused());
    EXPECT_FALSE(session.IsRunning());
    // The next session runs unpaused to its end.
    session.PrepareJob(FolderItem(in));
    ASSERT_TRUE(session.Start(Setting(2)));
    ASSERT_TRUE(handler.WaitForStops(2));
    EXPECT_EQ(Summary(session).processedFiles, 3u);
}

INSTANTIATE_TEST_SUITE_P(Control, AtSessionEnd, ::testing::Values(EndRace::Pause, EndRace::Continue),
                         [](const auto& row) { return row.param == EndRace::Pause ? "Pause" : "Continue"; });

// ---------------------------------------------------------------------------
// A view's engine destroyed while it runs.

struct DestroyRow {
    const char* name;
    std::function<void(RaceSession&)> before;  // what the owner does before deleting it
    bool holdConverter = false;                // a converter waits in a hook meanwhile
};

class DestroyRunning : public SessionRace, public ::testing::WithParamInterface<DestroyRow> { };

TEST_P(DestroyRunning, StopsAndJoinsEveryThreadBeforeItsMembersGo)
{
    Watchdog watchdog("destroying a running session", kLimit);
    TempDir dir;
    const std::u16string in = MakeFolder(dir, "in", 200);
    const size_t threadsBefore = ThreadCount();
    Recorder handler;
    for (int round = 0; round < 5; ++round) {
        auto session = std::make_unique<RaceSession>(&handler);
        session->AllowFiltering(true);
        session->PrepareJob(FolderItem(in, dir.File16("out" + std::to_string(round))));
        ASSERT_TRUE(session->Start(Setting(3, round % 2 == 0)));
        GetParam().before(*session);
        std::thread releaser;
        if (GetParam().holdConverter) {
            session->fileStart.Arm();
            if (session->fileStart.WaitReached(5s))
                releaser = std::thread([&gate = session->fileStart] {
                    std::this_thread::sleep_for(50ms);  // destruction is under way by then
                    gate.Release();
                });
        }
        session.reset();
        if (releaser.joinable())
            releaser.join();
        EXPECT_EQ(handler.Messages().back().first, VARNEXMESSAGE_STOPPED);
    }
    EXPECT_EQ(ThreadCount(), threadsBefore) << "a thread outlived its session";
}

INSTANTIATE_TEST_SUITE_P(
    Moments, DestroyRunning,
    ::testing::Values(DestroyRow{"RightAfterStart", [](RaceSession&) {}},
                      DestroyRow{"MidRun", [](RaceSession& s) { Eventually([&] { return s.HookedFiles() >= 20; }); }},
                      DestroyRow{"WhilePaused",
                                 [](RaceSession& s) {
                                     Eventually([&] { return s.HookedFiles() >= 5; });
                                     s.Pause();
                                 }},
                      DestroyRow{"WhileAConverterIsHeld", [](RaceSession&) {}, true}),
    [](const auto& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------------------
// Threads that cannot be started.

enum class StartFault { EveryConverter, SecondConverter, Finder };
std::atomic<StartFault> g_fault;
std::atomic<int> g_converterStarts;

bool FailStart(const CThreadBase& thread)
{
    return dynamic_cast<const CVarnexFileFinderThread*>(&thread) && g_fault.load() == StartFault::Finder;
}

// The converters are the pool's threads.
bool FailConverterStart()
{
    const int n = ++g_converterStarts;
    return g_fault.load() == StartFault::EveryConverter || (g_fault.load() == StartFault::SecondConverter && n == 2);
}

class ThreadsFailing : public SessionRace, public ::testing::WithParamInterface<StartFault> {
protected:
    void TearDown() override
    {
        CThreadBase::SetStartFaultHook(nullptr);
        CWorkerPool::SetStartFaultHook(nullptr);
        SessionRace::TearDown();
    }
};

TEST_P(ThreadsFailing, SessionStopsInsteadOfFinishingIdleAndTheNextOneRuns)
{
    Watchdog watchdog("threads failing to start", kLimit);
    TempDir dir;
    const std::u16string in = MakeFolder(dir, "in", 30);
    Recorder handler;
    RaceSession session(&handler);
    session.PrepareJob(FolderItem(in));
    g_fault.store(GetParam());
    g_converterStarts.store(0);
    CThreadBase::SetStartFaultHook(FailStart);
    CWorkerPool::SetStartFaultHook(FailConverterStart);
    ASSERT_TRUE(session.Start(Setting(3)));
    ASSERT_TRUE(handler.WaitForStops(1));
    CThreadBase::SetStartFaultHook(nullptr);
    CWorkerPool::SetStartFaultHook(nullptr);

    const VARNEXSESSIONSUMMARY summary = Summary(session);
    if (GetParam() == StartFault::SecondConverter) {
        // One converter started: it does the whole job.
        EXPECT_EQ(handler.Messages().back().second, VARNEXSESSIONSTOPREASON_FINISHED);
        EXPECT_EQ(summary.processedFiles, 30u);
        EXPECT_EQ(summary.totalFiles, 30u);
    } else {
        EXPECT_EQ(handler.Messages().back().second, VARNEXSESSIONSTOPREASON_USER) << "not \"finished\"";
        EXPECT_EQ(summary.processedFiles, 0u);
        EXPECT_EQ(CountStatus(session, VARNEXFILESTATUS_FINISHED), 0u);
    }
    EXPECT_FALSE(session.IsRunning());

    // Nothing is left over: the next session walks only its own folder.
    session.PrepareJob(FolderItem(MakeFolder(dir, "other", 7)));
    ASSERT_TRUE(session.Start(Setting(3)));
    ASSERT_TRUE(handler.WaitForStops(2));
    EXPECT_EQ(handler.Messages().back().second, VARNEXSESSIONSTOPREASON_FINISHED);
    EXPECT_EQ(Summary(session).totalFiles, 7u);
    EXPECT_EQ(Summary(session).processedFiles, 7u);
}

INSTANTIATE_TEST_SUITE_P(Faults, ThreadsFailing,
                         ::testing::Values(StartFault::EveryConverter, StartFault::SecondConverter, StartFault::Finder),
                         [](const auto& row) {
                             switch (row.param) {
                             case StartFault::EveryConverter:
                                 return "EveryConverter";
                             case StartFault::SecondConverter:
                                 return "SecondConverter";
                             default:
                                 return "Finder";
                             }
                         });

// ---------------------------------------------------------------------------
// Retries that outlive the session they were made in.

TEST_F(SessionRace, RetriesQueuedAtAStopRunOnTheNextResume)
{
    Watchdog watchdog("retries across a stop", kLimit);
    TempDir dir;
    Recorder handler;
    RaceSession session(&handler);
    session.PrepareJob(FolderItem(MakeFolder(dir, "in", 20)));
    session.fileStart.Arm(4);  // one converter: four files are finished when it is held
    ASSERT_TRUE(session.Start(Setting(1)));
    ASSERT_TRUE(session.fileStart.WaitReached());
    std::vector<CVarnexFileInfo*> retried;
    for (CVarnexFileInfo* record : Records(session))
        if (record->GetStatus() == VARNEXFILESTATUS_FINISHED) {
            ASSERT_TRUE(retried.size() % 2 ? session.RetryFile(record, true)
                                           : session.RetryFileSetCodepage(record, 1252));
            retried.push_back(record);
        }
    ASSERT_EQ(retried.size(), 4u);
    std::thread stopper([&] { session.Stop(); });
    ASSERT_TRUE(Eventually([&] { return session.IsStopping(); }));
    session.fileStart.Release();
    stopper.join();
    ASSERT_TRUE(handler.WaitForStops(1));
    for (CVarnexFileInfo* record : retried)
        EXPECT_EQ(record->GetStatus(), VARNEXFILESTATUS_RETRYING);
    {
        CSingleLock lock(session.GetFileQueue().GetCriticalSection());
        EXPECT_EQ(session.GetFileQueue().size(), retried.size()) << "only the retries stay queued";
    }

    const uint32_t processed = Summary(session).processedFiles;
    ASSERT_TRUE(session.Start(true));
    ASSERT_TRUE(handler.WaitForStops(2));
    for (CVarnexFileInfo* record : retried)
        EXPECT_EQ(record->GetStatus(), VARNEXFILESTATUS_FINISHED);
    EXPECT_EQ(Summary(session).processedFiles, processed + retried.size());
    EXPECT_EQ(Summary(session).processedFiles, CountStatus(session, VARNEXFILESTATUS_FINISHED));
    EXPECT_EQ(retried[0]->GetCodepageInfo()->GetCodepage(), 1252);
}

TEST_F(SessionRace, RetryMadeAsTheSessionEndsRunsOnTheNextResume)
{
    Watchdog watchdog("retry at the session end", kLimit);
    TempDir dir;
    Recorder handler;
    RaceSession session(&handler);
    session.PrepareJob(FolderItem(MakeFolder(dir, "in", 6)));
    session.sessionEnd.Arm();
    ASSERT_TRUE(session.Start(Setting(2)));
    ASSERT_TRUE(session.sessionEnd.WaitReached());  // the last converter has left
    const std::vector<CVarnexFileInfo*> records = Records(session);
    ASSERT_TRUE(session.RetryFile(records[1], true));
    ASSERT_TRUE(session.RetryFileSetCodepage(records[4], 1251));
    session.sessionEnd.Release();
    ASSERT_TRUE(handler.WaitForStops(1));
    EXPECT_EQ(records[1]->GetStatus(), VARNEXFILESTATUS_RETRYING);
    EXPECT_EQ(Summary(session).processedFiles, 4u);

    ASSERT_TRUE(session.Start(true));
    ASSERT_TRUE(handler.WaitForStops(2));
    EXPECT_EQ(CountStatus(session, VARNEXFILESTATUS_FINISHED), 6u);
    EXPECT_EQ(Summary(session).processedFiles, 6u);
    EXPECT_EQ(records[4]->GetCodepageInfo()->GetCodepage(), 1251);
    EXPECT_TRUE(session.RetryFile(records[1], true)) << "retryable again";
}

// ---------------------------------------------------------------------------
// Handlers that come and go while the session posts.

// Counts what reaches it after its owner was told it is unregistered (its
// owner could have freed it by then).
class Probe : public HandlerTarget {
public:
    void Post(unsigned, uintptr_t, intptr_t) override
    {
        if (gone.load())
            ++lateDeliveries;
        if (onPost)
            onPost(this);
    }
    std::atomic<bool> gone{false};
    std::function<void(Probe*)> onPost;
    static inline std::atomic<int> lateDeliveries{0};
};

TEST_F(SessionRace, HandlersRegisteredAndUnregisteredWhileTheSessionPosts)
{
    Watchdog watchdog("handlers changing during posts", kLimit);
    TempDir dir;
    const std::u16string in = MakeFolder(dir, "in", 10);
    Recorder handler;
    RaceSession session(&handler);
    Probe::lateDeliveries.store(0);
    std::atomic<bool> done{false};

    // One that leaves from inside its own Post, one that brings it back.
    Probe leaver, bringer;
    leaver.onPost = [&](Probe* self) { session.UnregisterHandlerWnd(self); };
    bringer.onPost = [&](Probe*) { session.RegisterHandlerWnd(&leaver); };
    session.RegisterHandlerWnd(&bringer);

    std::thread pinger([&] {
        while (!done.load())
            session.Ping();
    });
    std::thread churn([&] {
        // Freed a while after being unregistered, so a late post is counted
        // rather than landing in reused memory.
        std::vector<std::unique_ptr<Probe>> ring(256);
        for (size_t next = 0; !done.load(); next = (next + 4) % ring.size()) {
            for (size_t i = next; i < next + 4; ++i) {
                ring[i] = std::make_unique<Probe>();
                session.RegisterHandlerWnd(ring[i].get());
            }
            for (size_t i = next; i < next + 4; ++i) {
                session.UnregisterHandlerWnd(ring[i].get());
                ring[i]->gone.store(true);
            }
        }
    });
    for (int i = 0; i < 20; ++i) {
        session.PrepareJob(FolderItem(in));
        ASSERT_TRUE(session.Start(Setting(2)));
        if (i % 3 == 0) {
            session.Pause();
            session.Continue();
        }
        ASSERT_TRUE(handler.WaitForStops(i + 1));
    }
    done.store(true);
    pinger.join();
    churn.join();
    session.UnregisterHandlerWnd(&bringer);
    session.UnregisterHandlerWnd(&leaver);
    EXPECT_EQ(Probe::lateDeliveries.load(), 0);
    EXPECT_EQ(FirstOutOfOrder(handler.Messages()), -1);
}

}  // namespace
