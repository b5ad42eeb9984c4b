#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/handler_target.h"
#include "base/text.h"
#include "support/temp_dir.h"
#include "support/watchdog.h"
#include "utils/dir_change_watcher.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using W = CDirChangeWatcher;
using H = CDirChangeHandler;

constexpr uint32_t kNames = W::FILE_NOTIFY_CHANGE_FILE_NAME | W::FILE_NOTIFY_CHANGE_DIR_NAME;
constexpr uint32_t kAll = kNames | W::FILE_NOTIFY_CHANGE_LAST_WRITE;

struct Report {
    int type;
    std::string path;
    std::string second;  // the new path of a rename, the error of an error report
    bool operator==(const Report&) const = default;
};

void PrintTo(const Report& r, std::ostream* os)
{
    *os << "{" << r.type << " " << r.path << (r.second.empty() ? "" : " -> " + r.second) << "}";
}

void Touch(const std::string& path)
{
    ::close(::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
}

// One write call: one modification.
void AppendOnce(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
}

class Recorder : public H {
public:
    std::function<bool(const std::string&)> accept;  // the handler's own filter
    std::vector<std::string> consulted;              // paths it was asked about

    void OnFileAdded(const std::u16string& p) override { Add({REPORT_ADDED, U8(p), {}}); }
    void OnFileRemoved(const std::u16string& p) override { Add({REPORT_REMOVED, U8(p), {}}); }
    void OnFileModified(const std::u16string& p) override { Add({REPORT_MODIFIED, U8(p), {}}); }
    void OnFileNameChanged(const std::u16string& a, const std::u16string& b) override
    {
        Add({REPORT_RENAMED, U8(a), U8(b)});
    }
    void OnWatchStarted(uint32_t e, const std::u16string& d) override { Add({REPORT_WATCH_STARTED, U8(d), Num(e)}); }
    void OnReadDirectoryChangesError(uint32_t e, const std::u16string& d) override
    {
        Add({REPORT_READ_ERROR, U8(d), Num(e)});
    }
    void OnWatchStopped(const std::u16string& d) override { Add({REPORT_WATCH_STOPPED, U8(d), {}}); }
    void OnRescanNeeded(const std::u16string& d) override { Add({REPORT_RESCAN_NEEDED, U8(d), {}}); }
    bool OnFilterNotification(REPORTTYPE, const std::u16string& p, const std::u16string&) override
    {
        std::lock_guard lock(m_mutex);
        consulted.push_back(U8(p));
        return !accept || accept(U8(p));
    }

    bool WaitFor(const Report& wanted, std::chrono::seconds limit = 120s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return HasLocked(wanted); });
    }
    // The notification thread may still be adding reports.
    bool Has(const Report& wanted)
    {
        std::lock_guard lock(m_mutex);
        return HasLocked(wanted);
    }
    std::vector<Report> Reports()
    {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }
    std::thread::id lastThread;

private:
    static std::string U8(const std::u16string& s) { return text::ToUtf8(s); }
    static std::string Num(uint32_t e) { return std::to_string(e); }
    bool HasLocked(const Report& wanted) const
    {
        return std::find(m_reports.begin(), m_reports.end(), wanted) != m_reports.end();
    }
    void Add(Report r)
    {
        {
            std::lock_guard lock(m_mutex);
            m_reports.push_back(std::move(r));
            lastThread = std::this_thread::get_id();
        }
        m_changed.notify_all();
    }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Report> m_reports;
};

class DirWatcherTest : public ::testing::Test {
protected:
    ~DirWatcherTest() override
    {
        watcher.UnwatchAllDirectories();
        handler->Release();
    }
    std::string P(const std::string& rel) const { return temp.File(rel); }
    uint32_t Watch(uint32_t mask = kAll, const char16_t* include = nullptr, const char16_t* exclude = nullptr)
    {
        const uint32_t result =
            watcher.WatchDirectory(text::FromUtf8(temp.Path()), mask, handler, true, include, exclude);
        EXPECT_TRUE(handler->WaitFor({H::REPORT_WATCH_STARTED, temp.Path(), "0"}));
        return result;
    }
    // The change reports made before a last file; the watch reports them in order.
    std::vector<Report> Settle(const std::string& last = "zz.end")
    {
        Touch(P(last));
        EXPECT_TRUE(handler->WaitFor({H::REPORT_ADDED, P(last), {}}));
        std::vector<Report> changes;
        for (auto& r : handler->Reports())
            if (r.type <= H::REPORT_RENAMED && r.path != P(last))
                changes.push_back(r);
        return changes;
    }

    testing_support::TempDir temp;
    testing_support::TempDir outside;
    W watcher{false};
    Recorder* handler = new Recorder;
};

TEST_F(DirWatcherTest, ReportsEveryKindOfChangeOnceWithItsPath)
{
    ASSERT_EQ(Watch(), 0u);
    Touch(P("a.txt"));
    AppendOnce(P("a.txt"));
    fs::rename(P("a.txt"), P("b.txt"));
    fs::create_directory(P("d"));
    fs::remove(P("b.txt"));
    fs::remove(P("d"));
    EXPECT_EQ(Settle(), (std::vector<Report>{{H::REPORT_ADDED, P("a.txt"), {}},
                                             {H::REPORT_MODIFIED, P("a.txt"), {}},
                                             {H::REPORT_RENAMED, P("a.txt"), P("b.txt")},
                                             {H::REPORT_ADDED, P("d"), {}},
                                             {H::REPORT_REMOVED, P("b.txt"), {}},
                                             {H::REPORT_REMOVED, P("d"), {}}}));
}

struct RenameRow {
    const char* name;
    std::function<void(const std::string& in, const std::string& out)> act;
    std::vector<Report> expected;  // paths relative to the watched folder; "@" marks the outside folder
};

class DirWatcherRenameTest : public DirWatcherTest,
                             public ::testing::WithParamInterface<std::tuple<RenameRow, bool>> { };

TEST_P(DirWatcherRenameTest, PairsRenamesAndFollowsMovedFolders)
{
    const auto& [row, tinyReads] = GetParam();
    // Reads of one event each split every rename pair over two reads.
    if (tinyReads)
        watcher.SetReadBufferSizeForTesting(1);
    Touch(P("f"));
    fs::create_directories(P("d/sub"));
    Touch(outside.File("o"));
    ASSERT_EQ(Watch(), 0u);
    row.act(temp.Path() + "/", outside.Path() + "/");
    std::vector<Report> expected = row.expected;
    for (auto& r : expected) {
        r.path = P(r.path);
        if (!r.second.empty())
            r.second = P(r.second);
    }
    EXPECT_EQ(Settle(), expected);
}

const RenameRow kRenameRows[] = {
    {"inFolder", [](auto in, auto) { fs::rename(in + "f", in + "g"); }, {{H::REPORT_RENAMED, "f", "g"}}},
    {"intoSubfolder",
     [](auto in, auto) { fs::rename(in + "f", in + "d/sub/f"); },
     {{H::REPORT_RENAMED, "f", "d/sub/f"}}},
    {"outOfTree", [](auto in, auto out) { fs::rename(in + "f", out + "f"); }, {{H::REPORT_REMOVED, "f", {}}}},
    {"intoTree", [](auto in, auto out) { fs::rename(out + "o", in + "o"); }, {{H::REPORT_ADDED, "o", {}}}},
    {"folderThenInside",
     [](auto in, auto) {
         fs::rename(in + "d", in + "e");
         Touch(in + "e/sub/x");
     },
     {{H::REPORT_RENAMED, "d", "e"}, {H::REPORT_ADDED, "e/sub/x", {}}}},
    {"folderOutThenNameReused",
     [](auto in, auto out) {
         fs::rename(in + "d", out + "d");
         fs::create_directory(in + "d");
         Touch(out + "d/sub/gone");  // no longer watched
         Touch(in + "d/y");
     },
     {{H::REPORT_REMOVED, "d", {}}, {H::REPORT_ADDED, "d", {}}, {H::REPORT_ADDED, "d/y", {}}}},
};

INSTANTIATE_TEST_SUITE_P(Rows, DirWatcherRenameTest,
                         ::testing::Combine(::testing::ValuesIn(kRenameRows), ::testing::Bool()), [](const auto& row) {
                             return std::string(std::get<0>(row.param).name) +
                                    (std::get<1>(row.param) ? "_tinyReads" : "");
                         });

TEST_F(DirWatcherTest, NestedNewFoldersAreWatchedAndTheirContentReportedOnce)
{
    ASSERT_EQ(Watch(), 0u);
    // Made faster than the worker adds watches, so some names are found by
    // listing a new folder and some by its watch: each must come once.
    for (int i = 0; i < 20; ++i) {
        const std::string top = "n" + std::to_string(i);
        fs::create_directories(P(top + "/b/c"));
        Touch(P(top + "/b/c/f"));
    }
    std::map<std::string, int> added;
    for (const auto& r : Settle())
        added[r.path] += r.type == H::REPORT_ADDED ? 1 : 100;
    ASSERT_EQ(added.size(), 80u);
    for (const auto& [path, count] : added)
        EXPECT_EQ(count, 1) << path;
    Touch(P("n7/b/c/later"));
    EXPECT_TRUE(handler->WaitFor({H::REPORT_ADDED, P("n7/b/c/later"), {}}));
}

// 10,000 creations stay below the kernel's queue (16,384 events by default),
// so none is lost; a system with a smaller queue may report a rescan instead.
TEST_F(DirWatcherTest, BurstOfCreationsLosesNoReportOrAsksForARescan)
{
    ASSERT_EQ(Watch(W::FILE_NOTIFY_CHANGE_FILE_NAME), 0u);
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i)
        Touch(P("f" + std::to_string(i)));
    const auto changes = Settle();
    const bool rescan = handler->Has({H::REPORT_RESCAN_NEEDED, temp.Path(), {}});
    std::printf("[ burst    ] %d creations: %zu reports, %s\n", kFiles, changes.size(),
                rescan ? "queue overflowed, rescan reported" : "none lost");
    if (rescan)
        return;
    std::map<std::string, int> added;
    for (const auto& r : changes)
        added[r.path] += r.type == H::REPORT_ADDED ? 1 : 100;
    EXPECT_EQ(added.size(), size_t{kFiles});
    EXPECT_TRUE(std::all_of(added.begin(), added.end(), [](const auto& e) { return e.second == 1; }));
}

TEST_F(DirWatcherTest, QueueOverflowAsksForARescanAndWatchingGoesOn)
{
    int queueLimit = 16384;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queueLimit;
    ASSERT_EQ(Watch(W::FILE_NOTIFY_CHANGE_FILE_NAME), 0u);
    watcher.PauseForTesting(true);
    for (int i = 0; i < queueLimit + 2000; ++i)
        Touch(P("f" + std::to_string(i)));
    watcher.PauseForTesting(false);
    EXPECT_TRUE(handler->WaitFor({H::REPORT_RESCAN_NEEDED, temp.Path(), {}}));
    fs::create_directories(P("new/deeper"));
    Touch(P("new/deeper/after"));
    EXPECT_TRUE(handler->WaitFor({H::REPORT_ADDED, P("new/deeper/after"), {}}));
}

TEST_F(DirWatcherTest, StopReportsSynchronouslyEndsTheThreadAndRestarts)
{
    ASSERT_EQ(Watch(), 0u);
    const long tid = watcher.WorkerThreadIdForTesting();
    ASSERT_NE(tid, 0);
    const auto start = std::chrono::steady_clock::now();
    {
        testing_support::Watchdog watchdog("UnwatchAllDirectories", 60s);
        EXPECT_TRUE(watcher.UnwatchAllDirectories());
    }
    std::printf("[ stop     ] unwatch and join took %.3f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    EXPECT_TRUE(handler->Has({H::REPORT_WATCH_STOPPED, temp.Path(), {}}));
    EXPECT_FALSE(fs::exists("/proc/self/task/" + std::to_string(tid)));
    EXPECT_EQ(handler->CurRefCnt(), 1);

    EXPECT_EQ(Watch(), 0u);
    Touch(P("again"));
    EXPECT_TRUE(handler->WaitFor({H::REPORT_ADDED, P("again"), {}}));
}

TEST_F(DirWatcherTest, DeletingTheWatchedFolderEndsItsWatch)
{
    fs::create_directories(P("w/inner"));
    const std::string dir = P("w");
    ASSERT_EQ(watcher.WatchDirectory(text::FromUtf8(dir), kAll, handler, true), 0u);
    ASSERT_TRUE(handler->WaitFor({H::REPORT_WATCH_STARTED, dir, "0"}));
    fs::remove_all(dir);
    ASSERT_TRUE(handler->WaitFor({H::REPORT_WATCH_STOPPED, dir, {}}));
    const auto reports = handler->Reports();
    const auto error = std::find(reports.begin(), reports.end(), Report{H::REPORT_READ_ERROR, dir, "3"});
    EXPECT_LT(error - reports.begin(), reports.end() - reports.begin() - 1) << "error report before the stop";
    EXPECT_EQ(watcher.GetWatchedDirectoryCount(), 0);
    EXPECT_FALSE(watcher.UnwatchDirectory(text::FromUtf8(dir)));
}

TEST_F(DirWatcherTest, RefusesBadArgumentsAndReplacesASecondWatch)
{
    Touch(P("file"));
    const std::u16string root = text::FromUtf8(temp.Path());
    EXPECT_EQ(watcher.WatchDirectory(u"", kAll, handler), W::WATCH_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(watcher.WatchDirectory(root, 0, handler), W::WATCH_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(watcher.WatchDirectory(root, kAll, nullptr), W::WATCH_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(watcher.WatchDirectory(root + u"/missing", kAll, handler), W::WATCH_ERROR_BAD_PATHNAME);
    EXPECT_EQ(watcher.WatchDirectory(root + u"/file", kAll, handler), W::WATCH_ERROR_BAD_PATHNAME);
    EXPECT_FALSE(watcher.UnwatchAllDirectories());

    ASSERT_EQ(Watch(), 0u);
    EXPECT_EQ(handler->CurRefCnt(), 2);
    ASSERT_EQ(watcher.WatchDirectory(root + u"/", kAll, handler), 0u);
    EXPECT_TRUE(handler->Has({H::REPORT_WATCH_STOPPED, temp.Path(), {}}));
    EXPECT_EQ(watcher.GetWatchedDirectoryCount(), 1);
    EXPECT_TRUE(watcher.IsWatchingDirectory(root));

    // Names differing only in case are two folders, each with its own watch.
    std::filesystem::create_directory(P("Docs"));
    std::filesystem::create_directory(P("docs"));
    ASSERT_EQ(watcher.WatchDirectory(root + u"/Docs", kAll, handler), 0u);
    ASSERT_EQ(watcher.WatchDirectory(root + u"/docs", kAll, handler), 0u);
    EXPECT_EQ(watcher.GetWatchedDirectoryCount(), 3);
    EXPECT_TRUE(watcher.UnwatchDirectory(root + u"/docs"));
    EXPECT_TRUE(watcher.IsWatchingDirectory(root + u"/Docs"));
    EXPECT_FALSE(watcher.IsWatchingDirectory(root + u"/docs"));

    // Given to another watcher, the handler leaves this one.
    W other(false);
    ASSERT_EQ(other.WatchDirectory(text::FromUtf8(outside.Path()), kAll, handler), 0u);
    EXPECT_EQ(watcher.GetWatchedDirectoryCount(), 0);
    EXPECT_TRUE(handler->UnwatchDirectory());
    EXPECT_EQ(handler->CurRefCnt(), 1);
}

struct FilterRow {
    const char* name;
    uint32_t flags;
    const char16_t* include;
    const char16_t* exclude;
    bool handlerRejectsX;
    std::vector<std::string> reported;
    std::vector<std::string> consulted;  // what the handler's filter was asked
};

class DirWatcherFilterTest : public DirWatcherTest, public ::testing::WithParamInterface<FilterRow> { };

TEST_P(DirWatcherFilterTest, AppliesPatternsAndTheHandlersFilterInOrder)
{
    const FilterRow& row = GetParam();
    watcher.SetFilterFlags(row.flags);
    if (row.handlerRejectsX)
        handler->accept = [](const std::string& p) { return p.find("x.") == std::string::npos; };
    fs::create_directory(P("a.txt"));
    ASSERT_EQ(Watch(kNames, row.include, row.exclude), 0u);
    Touch(P("a.txt/b.dat"));
    Touch(P("x.txt"));
    Touch(P("y.dat"));
    Touch(P("Q.TXT"));
    const std::string last = "a.txt/zz.txt";  // passes every row
    std::vector<std::string> reported;
    for (const auto& r : Settle(last))
        reported.push_back(r.path.substr(temp.Path().size() + 1));
    EXPECT_EQ(reported, row.reported);
    std::vector<std::string> consulted;
    for (const auto& p : handler->consulted)
        if (p != P(last))
            consulted.push_back(p.substr(temp.Path().size() + 1));
    EXPECT_EQ(consulted, row.consulted);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DirWatcherFilterTest,
    ::testing::Values(
        FilterRow{"fileNameOnly", W::FILTERS_CHECK_FILE_NAME_ONLY, u"*.txt", nullptr, false, {"x.txt"}, {"x.txt"}},
        FilterRow{"relativePath",
                  W::FILTERS_CHECK_PARTIAL_PATH,
                  u"a.txt/*",
                  nullptr,
                  false,
                  {"a.txt/b.dat"},
                  {"a.txt/b.dat"}},
        FilterRow{"excludeOnly", 0, nullptr, u"*.dat;Q.*", false, {"x.txt"}, {"x.txt"}},
        FilterRow{"patternsOff",
                  W::FILTERS_DONT_USE_FILTERS,
                  u"*.txt",
                  nullptr,
                  true,
                  {"a.txt/b.dat", "y.dat", "Q.TXT"},
                  {"a.txt/b.dat", "x.txt", "y.dat", "Q.TXT"}},
        FilterRow{"handlerAfterPatterns", 0, u"*.txt;*.TXT", nullptr, true, {"Q.TXT"}, {"x.txt", "Q.TXT"}},
        FilterRow{"handlerFirst",
                  W::FILTERS_TEST_HANDLER_FIRST,
                  u"*.txt",
                  nullptr,
                  true,
                  {},
                  {"a.txt/b.dat", "x.txt", "y.dat", "Q.TXT"}},
        FilterRow{"handlerNever", W::FILTERS_DONT_USE_HANDLER_FILTER, u"*.txt", nullptr, true, {"x.txt"}, {}}),
    [](const auto& row) { return std::string(row.param.name); });

class Doorbell : public HandlerTarget {
public:
    void Post(unsigned message, uintptr_t, intptr_t) override
    {
        if (message == W::NotificationMessage())
            ++rings;
    }
    std::atomic<int> rings{0};
};

TEST_F(DirWatcherTest, InterfaceDeliveryRunsOnTheDrainingThread)
{
    Doorbell bell;
    W::SetNotificationTarget(&bell);
    {
        W ui(true);
        ASSERT_EQ(ui.WatchDirectory(text::FromUtf8(temp.Path()), kAll, handler, true), 0u);
        Touch(P("f"));
        const auto limit = std::chrono::steady_clock::now() + 120s;
        while (!handler->Has({H::REPORT_ADDED, P("f"), {}}) && std::chrono::steady_clock::now() < limit) {
            (void)W::WaitForNotifications(1000);  // the loop looks at what came either way
            W::DispatchPendingNotifications();
        }
        EXPECT_TRUE(handler->Has({H::REPORT_ADDED, P("f"), {}}));
        EXPECT_EQ(handler->lastThread, std::this_thread::get_id());
        EXPECT_GT(bell.rings.load(), 0);
        testing_support::Watchdog watchdog("stopping on the draining thread", 60s);
        EXPECT_TRUE(ui.UnwatchAllDirectories());
        EXPECT_TRUE(handler->Has({H::REPORT_WATCH_STOPPED, temp.Path(), {}}));
    }
    W::SetNotificationTarget(nullptr);
}

}  // namespace
