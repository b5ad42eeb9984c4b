#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/filterable_varnex.h"

namespace {

using testing_support::TempDir;
using Names = std::vector<std::string>;

class RecordingHandler : public HandlerTarget {
public:
    void Post(unsigned, uintptr_t wParam, intptr_t) override
    {
        std::lock_guard lock(m_mutex);
        ++m_counts[static_cast<VARNEXMESSAGE>(wParam)];
        m_changed.notify_all();
    }
    // Waits for the count-th stop; false after a minute (a hang, not a speed check).
    bool WaitForStops(size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::minutes(1),
                                  [&] { return m_counts[VARNEXMESSAGE_STOPPED] >= count; });
    }
    size_t Count(VARNEXMESSAGE message)
    {
        std::lock_guard lock(m_mutex);
        return m_counts[message];
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<VARNEXMESSAGE, size_t> m_counts;
};

// The filtered list that, once armed, holds the next processed hook twice:
// before it runs (the record is marked finished by then, so a retry can reach
// it before it is counted) and after it ran.
class GatedList : public CFilteredList {
public:
    GatedList() : CFilteredList(nullptr) { }

    void Arm()
    {
        std::lock_guard lock(m_mutex);
        m_armed = true;
        m_gated = nullptr;
        m_reached = m_released = 0;
    }
    // Waits until the held hook has reached step 1 (before) or 2 (after).
    CVarnexFileInfo* WaitFor(int step)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_reached >= step; });
        return m_gated;
    }
    void Release(int step)
    {
        std::lock_guard lock(m_mutex);
        m_released = step;
        m_changed.notify_all();
    }

    void OnFileProcessed(CVarnexFileInfo* record) override
    {
        std::unique_lock lock(m_mutex);
        const bool hold = m_armed && m_gated == nullptr;
        if (hold) {
            m_gated = record;
            Reach(lock, 1);
        }
        lock.unlock();
        CFilteredList::OnFileProcessed(record);
        lock.lock();
        if (hold)
            Reach(lock, 2);
    }

private:
    void Reach(std::unique_lock<std::mutex>& lock, int step)
    {
        m_reached = step;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released >= step; });
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_armed = false;
    CVarnexFileInfo* m_gated = nullptr;
    int m_reached = 0;
    int m_released = 0;
};

// The views' filterable session, built as CFilterableVarnex builds it, with
// the gated list in front.
class TestSession : public GatedList, public CVarnex {
public:
    explicit TestSession(HandlerTarget* handler) : CVarnex(handler, nullptr, static_cast<GatedList*>(this))
    {
        Follow(this);
    }
};

class PlainFilter : public CFileInfoFilter {
public:
    CFileInfoFilter* Clone() const override
    {
        auto* clone = new PlainFilter;
        clone->CopyProperties(this);
        return clone;
    }
    bool PassCustomFilter(CVarnexFileInfo*) const override { return true; }
    void CopyCustomProperties(const CFileInfoFilter*) override { }
    bool HasCustomFilters() const override { return false; }
};

PlainFilter NameFilter(const char16_t* names)
{
    PlainFilter filter;
    filter.EnableFileNameFilter(true);
    filter.SetFileNameFilters(names);
    return filter;
}

PlainFilter CodepageFilter(std::initializer_list<int> codepages)
{
    PlainFilter filter;
    filter.EnableCodepageFilter(true);
    for (int codepage : codepages)
        filter.AddCodepageFilter(static_cast<unsigned>(codepage));
    return filter;
}

const std::string kUtf8Bom = "\xEF\xBB\xBF";

std::string MakeFolder(const TempDir& dir, const std::string& name, const std::map<std::string, std::string>& files)
{
    const std::string folder = dir.File(name);
    mkdir(folder.c_str(), 0777);
    for (const auto& [file, bytes] : files)
        testing_support::WriteBytes(folder + "/" + file, bytes);
    return folder;
}

// Small files whose detection is certain: 65001 with BOM, 0, 1200 with BOM, -1, 0.
std::string MainFolder(const TempDir& dir)
{
    return MakeFolder(dir, "in",
                      {{"bom.txt", kUtf8Bom + "hello world\n"},
                       {"plain.txt", "hello plain text\n"},
                       {"u16.txt", std::string("\xFF\xFE"
                                               "h\0i\0\n\0",
                                               8)},
                       {"image.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\0\0\0IHDR\0\0\0\0", 22)},
                       {"notes.csv", "a,b,c\n"}});
}

tagVARNEXBATCHJOBITEM Item(const std::string& path, bool folder = true)
{
    tagVARNEXBATCHJOBITEM item;
    item.folder = folder;
    item.inputPath = text::FromUtf8(path);
    return item;
}

VARNEXJOBSETTING Detection(unsigned threads = 2)
{
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    setting.detectOnly = true;
    setting.converterThreads = threads;
    return setting;
}

// Runs one session (new or resumed) to its end.
::testing::AssertionResult RunSession(TestSession& session, RecordingHandler& handler, bool resume)
{
    const size_t stops = handler.Count(VARNEXMESSAGE_STOPPED);
    session.SetJobSetting(Detection());
    if (!session.Start(resume) || !handler.WaitForStops(stops + 1))
        return ::testing::AssertionFailure() << "the session did not run to its end";
    return ::testing::AssertionSuccess();
}

Names NamesOf(CLockableVector<CVarnexFileInfo*>& list, const CFileInfoFilter* filter = nullptr)
{
    CSingleLock lock(list.GetCriticalSection());
    Names names;
    for (CVarnexFileInfo* record : list)
        if (!filter || (*filter)(record))
            names.push_back(text::ToUtf8(record->GetInputFileName()));
    return names;
}

Names Sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

Names Plus(Names names, const std::string& name)
{
    names.push_back(name);
    return names;
}

template <class Session> CVarnexFileInfo* Find(Session& session, const char16_t* name)
{
    CSingleLock lock(session.GetFileList().GetCriticalSection());
    for (CVarnexFileInfo* record : session.GetFileList())
        if (record->GetInputFileName() == name)
            return record;
    return nullptr;
}

template <class Session> FILTEREDSESSIONSUMMARY Summary(Session& session)
{
    FILTEREDSESSIONSUMMARY summary;
    session.GetFilteredSessionSummary(summary);
    return summary;
}

template <class Session> std::map<int, unsigned> Statistics(Session& session)
{
    CLockableMap<int, unsigned> target;
    target[12345] = 9;  // replaced, not merged
    session.GetCodepageStatisticList(target);
    return std::map<int, unsigned>(target.begin(), target.end());
}

class FilterableSessionTest : public ::testing::Test {
protected:
    void SetUp() override { CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR)); }
    void TearDown() override { CAdvancedDetector::GetKnownExtList().SetFolder(u""); }
};

TEST_F(FilterableSessionTest, ApplyNeedsPermissionAndAnEffectiveFilterAndFailureClearsThePrevious)
{
    TempDir dir;
    RecordingHandler handler;
    TestSession session(&handler);
    session.PrepareJob(Item(MainFolder(dir)));
    ASSERT_TRUE(RunSession(session, handler, false));
    const PlainFilter texts = NameFilter(u"*.txt");

    EXPECT_FALSE(session.ApplyFilter(texts)) << "not allowed";
    EXPECT_EQ(&session.GetFilteredFileList(), &session.GetFileList());
    EXPECT_EQ(Summary(session).filteredFiles, 5u);

    session.AllowFiltering(true);
    const size_t changes = handler.Count(VARNEXMESSAGE_LISTCHANGED);
    ASSERT_TRUE(session.ApplyFilter(texts));
    EXPECT_EQ(handler.Count(VARNEXMESSAGE_LISTCHANGED), changes + 1);
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), NamesOf(session.GetFileList(), &texts)) << "file-list order";
    EXPECT_EQ(Summary(session).filteredFiles, 3u);
    EXPECT_EQ(Summary(session).totalFiles, 5u);

    PlainFilter bomBoth;
    bomBoth.EnableBomFilter(true);
    const struct {
        const char* row;
        PlainFilter filter;
        bool applied;
        size_t filtered;
    } rows[] = {
        {"bom in mode both only", bomBoth, false, 5},
        {"empty name list only", NameFilter(u""), false, 5},
        {"nothing enabled", PlainFilter(), false, 5},
        {"enabled empty code page list", CodepageFilter({}), true, 0},
        {"code pages 65001 and -1", CodepageFilter({65001, -1}), true, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        ASSERT_TRUE(session.ApplyFilter(texts));
        EXPECT_EQ(session.ApplyFilter(row.filter), row.applied);
        EXPECT_EQ(session.ReApplyFilter(), row.applied);
        EXPECT_EQ(NamesOf(session.GetFilteredFileList()).size(), row.filtered);
        EXPECT_EQ(Summary(session).filteredFiles, row.filtered);
    }

    ASSERT_TRUE(session.ApplyFilter(texts));
    session.ClearFilter();
    EXPECT_FALSE(session.ReApplyFilter());
    EXPECT_EQ(Summary(session).filteredFiles, 5u);

    // Disallowing clears; allowing again does not bring the filter back.
    ASSERT_TRUE(session.ApplyFilter(texts));
    session.AllowFiltering(false);
    EXPECT_EQ(Summary(session).filteredFiles, 5u);
    session.AllowFiltering(true);
    EXPECT_FALSE(session.ReApplyFilter());

    // A resumed session keeps the filter, a new one drops it.
    ASSERT_TRUE(session.ApplyFilter(texts));
    ASSERT_TRUE(RunSession(session, handler, true));
    EXPECT_EQ(Summary(session).filteredFiles, 3u);
    session.PrepareJob(Item(dir.File("in")));
    ASSERT_TRUE(RunSession(session, handler, false));
    EXPECT_FALSE(session.IsFilterApplied());
    EXPECT_EQ(Summary(session).filteredFiles, 5u);
}

TEST_F(FilterableSessionTest, FilteredListFollowsAddedProcessedAndRetriedRecords)
{
    TempDir dir;
    RecordingHandler handler;
    TestSession session(&handler);
    session.AllowFiltering(true);
    session.PrepareJob(Item(MainFolder(dir)));
    ASSERT_TRUE(RunSession(session, handler, false));

    // A name passes when the record is added: listed before it is processed.
    ASSERT_TRUE(session.ApplyFilter(NameFilter(u"*.txt")));
    Names before = NamesOf(session.GetFilteredFileList());
    ASSERT_EQ(Sorted(before), (Names{"bom.txt", "plain.txt", "u16.txt"}));
    const std::string more = MakeFolder(dir, "more", {{"more.txt", "more text\n"}, {"x.csv", "1,2\n"}});
    session.PrepareJob(Item(more + "/x.csv", false));
    session.PrepareJob(Item(more + "/more.txt", false));
    session.SetJobSetting(Detection(1));  // x.csv is held in its hook, more.txt waits
    session.Arm();
    ASSERT_TRUE(session.Start(true));
    session.WaitFor(1);
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), Plus(before, "more.txt"));
    session.Release(2);
    ASSERT_TRUE(handler.WaitForStops(2));
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), Plus(before, "more.txt")) << "once";
    EXPECT_EQ(Summary(session).filteredFiles, 4u);

    // A BOM passes only once detected: the record joins when processed.
    PlainFilter withBom;
    withBom.EnableBomFilter(true);
    withBom.SetBomFilter(FilterInfoBomWith);
    ASSERT_TRUE(session.ApplyFilter(withBom));
    before = NamesOf(session.GetFilteredFileList());
    session.PrepareJob(Item(MakeFolder(dir, "third", {{"bom2.txt", kUtf8Bom + "2\n"}, {"plain2.txt", "no\n"}})));
    ASSERT_TRUE(RunSession(session, handler, true));
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), Plus(before, "bom2.txt"));
    EXPECT_EQ(Summary(session).filteredFiles, 3u);

    // Retried records are tested again when processed: one leaves, one joins.
    const PlainFilter utf8 = CodepageFilter({65001});
    ASSERT_TRUE(session.ApplyFilter(utf8));
    ASSERT_TRUE(session.RetryFileSetCodepage(Find(session, u"bom.txt"), 1252));
    ASSERT_TRUE(session.RetryFileSetCodepage(Find(session, u"plain.txt"), 65001));
    ASSERT_TRUE(RunSession(session, handler, true));
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), (Names{"bom2.txt", "plain.txt"}));
    const FILTEREDSESSIONSUMMARY summary = Summary(session);
    EXPECT_EQ(summary.filteredFiles, 2u);
    EXPECT_EQ(summary.totalFiles, 9u);
    ASSERT_TRUE(session.ReApplyFilter());
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), NamesOf(session.GetFileList(), &utf8));
}

TEST_F(FilterableSessionTest, CodepageStatisticsCountEachProcessingAndARetryTakesOneBack)
{
    TempDir dir;
    RecordingHandler handler;
    TestSession session(&handler);
    session.PrepareJob(Item(MainFolder(dir)));
    ASSERT_TRUE(RunSession(session, handler, false));
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{{-1, 1}, {0, 2}, {1200, 1}, {65001, 1}}));

    // A retry takes its count back at once (an entry at 0 goes); processing
    // counts it again under the code page it then has.
    ASSERT_TRUE(session.RetryFileSetCodepage(Find(session, u"bom.txt"), 1251));
    ASSERT_TRUE(session.RetryFile(Find(session, u"plain.txt"), true));
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{{-1, 1}, {0, 1}, {1200, 1}}));
    ASSERT_TRUE(RunSession(session, handler, true));
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{{-1, 1}, {0, 2}, {1200, 1}, {1251, 1}}));

    session.PrepareJob(Item(MakeFolder(dir, "one", {{"only.txt", "only\n"}})));
    ASSERT_TRUE(RunSession(session, handler, false));
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{{0, 1}})) << "a new session starts from nothing";
}

TEST_F(FilterableSessionTest, RetryBeforeTheProcessedHookIsNotCountedTwice)
{
    TempDir dir;
    RecordingHandler handler;
    TestSession session(&handler);
    session.AllowFiltering(true);
    session.PrepareJob(Item(MakeFolder(dir, "in", {{"one.txt", "just one\n"}})));
    session.Arm();
    ASSERT_TRUE(session.Start(Detection(1)));
    CVarnexFileInfo* record = session.WaitFor(1);
    ASSERT_TRUE(session.ApplyFilter(NameFilter(u"*.txt")));
    ASSERT_TRUE(session.RetryFile(record, true));
    session.Release(1);
    session.WaitFor(2);
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{})) << "waiting to be processed again";
    EXPECT_EQ(Summary(session).processedFiles, 0u);
    session.Release(2);
    ASSERT_TRUE(handler.WaitForStops(1));

    EXPECT_EQ(record->GetStatus(), VARNEXFILESTATUS_FINISHED);
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{{0, 1}}));
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()), (Names{"one.txt"}));
    EXPECT_EQ(Summary(session).filteredFiles, 1u);
}

TEST_F(FilterableSessionTest, FilterCallsRacingSessionResetsNeitherDeadlockNorDangle)
{
    TempDir dir;
    const std::string in =
        MakeFolder(dir, "in", {{"a.txt", "alpha\n"}, {"b.txt", "beta\n"}, {"c.csv", "1,2\n"}, {"d.txt", "delta\n"}});
    RecordingHandler handler;
    TestSession session(&handler);
    session.AllowFiltering(true);
    session.SetJobSetting(Detection());
    const PlainFilter texts = NameFilter(u"*.txt");

    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    // A deadlock would hang the run: end it loudly instead.
    std::thread watchdog([&] {
        for (int i = 0; i < 1800 && !done.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (!done.load()) {
            std::fprintf(stderr, "filters and session resets deadlocked\n");
            std::abort();
        }
    });
    std::thread filtering([&] {
        for (unsigned round = 0; !done.load(); ++round) {
            switch (round % 6) {
            case 0:
            case 3:
                session.ApplyFilter(texts);
                break;
            case 1:
                session.ReApplyFilter();
                break;
            case 2:
                session.ClearFilter();
                break;
            case 4:
                session.AllowFiltering(false);
                session.AllowFiltering(true);
                break;
            default:
                (void)Summary(session);
                (void)Statistics(session);
            }
            // Every listed record is alive, passes and is listed once.
            CLockableVector<CVarnexFileInfo*>& list = session.GetFilteredFileList();
            if (&list == &session.GetFileList())
                continue;
            CSingleLock lock(list.GetCriticalSection());
            std::set<CVarnexFileInfo*> seen;
            for (CVarnexFileInfo* record : list)
                bad += !texts(record) || !seen.insert(record).second;
        }
    });

    // Meanwhile 200 sessions start here, each resetting the lists.
    std::string failure;
    size_t stops = 0;
    for (int i = 0; i < 200 && failure.empty(); ++i) {
        session.PrepareJob(Item(in));
        if (!session.Start(false))
            failure = "start " + std::to_string(i);
        else if (i % 10 == 5)
            session.Stop();
        if (failure.empty() && !handler.WaitForStops(++stops))
            failure = "stop " + std::to_string(i);
        CVarnexFileInfo* first = i % 20 == 0 ? Find(session, u"a.txt") : nullptr;
        if (first && session.RetryFile(first, true) && (!session.Start(true) || !handler.WaitForStops(++stops)))
            failure = "resume " + std::to_string(i);
    }
    done.store(true);
    filtering.join();
    watchdog.join();
    ASSERT_EQ(failure, "");

    EXPECT_EQ(bad.load(), 0);
    ASSERT_TRUE(session.ApplyFilter(texts));
    const FILTEREDSESSIONSUMMARY summary = Summary(session);
    EXPECT_EQ(summary.processedFiles, 4u);
    EXPECT_EQ(summary.filteredFiles, 3u);
    EXPECT_EQ(NamesOf(session.GetFilteredFileList()).size(), 3u);
    EXPECT_EQ(Statistics(session), (std::map<int, unsigned>{{0, 4}}));
}

}  // namespace
