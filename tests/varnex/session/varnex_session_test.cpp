#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "codecs/codepage.h"
#include "support/temp_dir.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/result_exporter.h"
#include "varnex/session/name_filter.h"
#include "varnex/session/varnex.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Records the posted messages; waits for the stop message.
class RecordingHandler : public HandlerTarget {
public:
    void Post(unsigned message, uintptr_t wParam, intptr_t lParam) override
    {
        std::lock_guard lock(m_mutex);
        EXPECT_EQ(message, CVarnex::GetHandlerMessage());
        m_messages.emplace_back(static_cast<VARNEXMESSAGE>(wParam), lParam);
        m_changed.notify_all();
    }
    // Waits for the count-th stop message; false after 60 s.
    bool WaitForStops(size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return Count(VARNEXMESSAGE_STOPPED) >= count; });
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

class TestSession : public CVarnex {
public:
    explicit TestSession(HandlerTarget* handler, SessionObserver* observer = nullptr)
        : CVarnex(handler, nullptr, observer)
    {
    }
};

std::string Encode(unsigned codepage, const std::u16string& text)
{
    std::string bytes;
    EXPECT_TRUE(codecs::EncodeCodePage(codepage, text, bytes));
    return bytes;
}

const std::u16string kRussian = u"Старый смотритель маяка каждый вечер считал корабли, записывал их названия.\n";
const std::u16string kFrench = u"Le vieux gardien du phare comptait les navires chaque soir, très fidèlement.\n";
const std::u16string kJapanese = u"年老いた灯台守は、毎晩船の数を数えていました。霧が出るとランプに火をともした。\n";

struct Tree {
    TempDir dir;
    std::string in;
    std::string out;
    // relative path -> expected text (binaries are not listed)
    std::vector<std::pair<std::string, std::u16string>> texts;
};

void MakeTree(Tree& tree, int copies)
{
    tree.in = tree.dir.File("in");
    tree.out = tree.dir.File("in/converted");  // inside the input tree on purpose
    mkdir(tree.in.c_str(), 0777);
    for (int i = 0; i < copies; ++i) {
        const std::string sub = tree.in + "/d" + std::to_string(i % 3);
        mkdir(sub.c_str(), 0777);
        const std::string rel = "d" + std::to_string(i % 3) + "/";
        std::u16string ru, fr, ja;
        for (int k = 0; k < 8; ++k) {
            ru += kRussian;
            fr += kFrench;
            ja += kJapanese;
        }
        WriteBytes(tree.in + "/" + rel + "ru" + std::to_string(i) + ".txt", Encode(20866, ru));
        WriteBytes(tree.in + "/" + rel + "fr" + std::to_string(i) + ".txt", Encode(1252, fr));
        WriteBytes(tree.in + "/" + rel + "ja " + std::to_string(i) + ",x.txt", Encode(932, ja));
        tree.texts.emplace_back(rel + "ru" + std::to_string(i) + ".txt", ru);
        tree.texts.emplace_back(rel + "fr" + std::to_string(i) + ".txt", fr);
        tree.texts.emplace_back(rel + "ja " + std::to_string(i) + ",x.txt", ja);
    }
    WriteBytes(tree.in + "/image.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\0\0\0IHDR", 18));
    WriteBytes(tree.in + "/.hidden.txt", "hidden");
}

tagVARNEXBATCHJOBITEM FolderItem(const Tree& tree)
{
    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.recursive = true;
    item.inputPath = text::FromUtf8(tree.in);
    item.outputPath = text::FromUtf8(tree.out);
    item.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    return item;
}

VARNEXJOBSETTING ConversionSetting(unsigned threads)
{
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    setting.detectOnly = false;
    setting.converterThreads = threads;
    return setting;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR)); }
    void TearDown() override { CAdvancedDetector::GetKnownExtList().SetFolder(u""); }
};

TEST_F(SessionTest, ConvertsATreeOnceEachAndMirrorsIt)
{
    Tree tree;
    MakeTree(tree, 6);
    RecordingHandler handler;
    TestSession session(&handler);
    session.EnableUpdateListDispatching(true);
    session.PrepareJob(FolderItem(tree));
    ASSERT_TRUE(session.Start(ConversionSetting(2)));
    ASSERT_TRUE(handler.WaitForStops(1));

    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, tree.texts.size() + 1) << "the texts and the image; no hidden file, no output";
    EXPECT_EQ(summary.processedFiles, summary.totalFiles);
    EXPECT_EQ(summary.convertedFiles, tree.texts.size());
    EXPECT_EQ(summary.errorFiles, 0u);
    EXPECT_EQ(summary.progress, 100u);
    EXPECT_EQ(summary.sessionType, VARNEXSESSIONTYPE_CONVERSION);
    {
        CSingleLock lock(session.GetFileList().GetCriticalSection());
        std::set<std::u16string> inputs;
        for (CVarnexFileInfo* record : session.GetFileList()) {
            EXPECT_EQ(record->GetStatus(), VARNEXFILESTATUS_FINISHED);
            EXPECT_TRUE(inputs.insert(record->GetInputFile()).second) << "one record per file";
            EXPECT_EQ(record->GetInputFile().find(u"converted"), std::u16string::npos);
        }
    }
    for (const auto& [rel, expected] : tree.texts) {
        SCOPED_TRACE(rel);
        EXPECT_EQ(text::FromUtf8(ReadBytes(tree.out + "/" + rel)), expected);
    }
    const auto messages = handler.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages.front().first, VARNEXMESSAGE_STARTED);
    EXPECT_EQ(messages.back(), std::make_pair(VARNEXMESSAGE_STOPPED, intptr_t{VARNEXSESSIONSTOPREASON_FINISHED}));

    // The prepared items were consumed; a second session over the same tree
    // finds the same files again, none of the outputs among them.
    session.PrepareJob(FolderItem(tree));
    ASSERT_TRUE(session.Start(ConversionSetting(1)));
    ASSERT_TRUE(handler.WaitForStops(2));
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, tree.texts.size() + 1);
}

TEST_F(SessionTest, EmptySessionEndsAtOnceWithZeroProgress)
{
    RecordingHandler handler;
    TestSession session(&handler);
    ASSERT_TRUE(session.Start(false));
    ASSERT_TRUE(handler.WaitForStops(1));
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, 0u);
    EXPECT_EQ(summary.progress, 0u);
    EXPECT_EQ(summary.progressDetailed, 0u);
    EXPECT_EQ(handler.Messages().front(), std::make_pair(VARNEXMESSAGE_STARTED, intptr_t{0}));
}

TEST_F(SessionTest, AFailureWhileStartingEndsTheSessionAsStoppedAndTheNextOneRuns)
{
    class Throwing : public SessionObserver {
    public:
        bool fail = true;

        void OnSessionStarted(bool) override
        {
            if (fail)
                throw std::bad_alloc();
        }
    };
    Tree tree;
    MakeTree(tree, 2);
    RecordingHandler handler;
    Throwing throwing;
    TestSession session(&handler, &throwing);
    session.PrepareJob(FolderItem(tree));
    ASSERT_TRUE(session.Start(ConversionSetting(2)));
    ASSERT_TRUE(handler.WaitForStops(1));
    EXPECT_FALSE(session.IsRunning());
    EXPECT_EQ(session.GetStopReason(), VARNEXSESSIONSTOPREASON_USER);

    throwing.fail = false;
    session.PrepareJob(FolderItem(tree));
    ASSERT_TRUE(session.Start(ConversionSetting(2)));
    ASSERT_TRUE(handler.WaitForStops(2));
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.processedFiles, summary.totalFiles);
    EXPECT_GT(summary.totalFiles, 0u);
    session.WaitForThreadExit();  // the session thread still runs its last steps after it posted the stop
}

TEST_F(SessionTest, StopRightAfterStartAlwaysStopsAndJoins)
{
    Tree tree;
    MakeTree(tree, 3);
    for (int round = 0; round < 20; ++round) {
        RecordingHandler handler;
        TestSession session(&handler);
        session.PrepareJob(FolderItem(tree));
        ASSERT_TRUE(session.Start(ConversionSetting(2)));
        session.Stop();
        EXPECT_FALSE(session.IsRunning());
        EXPECT_FALSE(session.HasIncomingJob());
        const auto messages = handler.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().first, VARNEXMESSAGE_STOPPED);
    }
}

// Which records a report was handed, and how.
class RecordingExporter : public CVarnexResultExporter {
public:
    bool Open(VARNEXSESSIONTYPE, bool) override { return m_open = true; }
    void ExportFileInfo(CVarnexFileInfo& info) override { Add(info, m_finished); }
    void ExportNotProcessed(CVarnexFileInfo& info) override
    {
        EXPECT_NE(info.GetStatus(), VARNEXFILESTATUS_FINISHED) << "listed as not processed";
        Add(info, m_notProcessed);
    }
    void Close(VARNEXSESSIONSTOPREASON) override { m_open = false; }
    bool IsOpen() const override { return m_open; }

    std::multiset<std::u16string> m_finished, m_notProcessed;

private:
    void Add(CVarnexFileInfo& info, std::multiset<std::u16string>& to)
    {
        std::lock_guard lock(m_mutex);
        EXPECT_TRUE(m_open) << "handed over while closed";
        to.insert(info.GetInputFile());
    }
    std::mutex m_mutex;
    bool m_open = false;
};

TEST_F(SessionTest, AStoppedSessionReportsEveryFileFoundOnceProcessedOrNot)
{
    Tree tree;
    MakeTree(tree, 40);
    for (const bool stopEarly : {true, false}) {
        SCOPED_TRACE(stopEarly ? "stopped while running" : "finished");
        RecordingHandler handler;
        RecordingExporter exporter;
        TestSession session(&handler);
        session.SetResultExporter(&exporter, false);
        session.PrepareJob(FolderItem(tree));
        ASSERT_TRUE(session.Start(ConversionSetting(1)));
        if (stopEarly) {
            session.Pause();
            session.Stop();
        } else {
            ASSERT_TRUE(handler.WaitForStops(1));
            session.WaitForThreadExit();
        }
        CSingleLock lock(session.GetFileList().GetCriticalSection());
        std::multiset<std::u16string> all = exporter.m_finished;
        all.insert(exporter.m_notProcessed.begin(), exporter.m_notProcessed.end());
        EXPECT_EQ(all.size(), session.GetFileList().size());
        for (CVarnexFileInfo* record : session.GetFileList()) {
            const bool finished = record->GetStatus() == VARNEXFILESTATUS_FINISHED;
            EXPECT_EQ(exporter.m_finished.count(record->GetInputFile()), finished ? 1u : 0u);
            EXPECT_EQ(exporter.m_notProcessed.count(record->GetInputFile()), finished ? 0u : 1u);
        }
        if (!stopEarly) {
            EXPECT_TRUE(exporter.m_notProcessed.empty());
        }
    }
}

TEST_F(SessionTest, PauseContinueAndStopWhilePaused)
{
    Tree tree;
    MakeTree(tree, 30);
    RecordingHandler handler;
    TestSession session(&handler);
    session.PrepareJob(FolderItem(tree));
    ASSERT_TRUE(session.Start(ConversionSetting(2)));
    session.Pause();
    session.Pause();  // twice does nothing
    VARNEXSESSIONSUMMARY first, second;
    session.GetSessionSummary(first);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session.GetSessionSummary(second);
    if (session.IsRunning()) {
        EXPECT_EQ(first.processedFiles, second.processedFiles) << "nothing is processed while paused";
    }
    session.Continue();
    session.Continue();  // not paused: nothing
    session.Pause();
    session.Stop();
    EXPECT_FALSE(session.IsRunning());
    size_t paused = 0, continued = 0;
    for (const auto& message : handler.Messages()) {
        paused += message.first == VARNEXMESSAGE_PAUSED;
        continued += message.first == VARNEXMESSAGE_CONTINUED;
    }
    EXPECT_LE(paused, 2u);
    EXPECT_LE(continued, 1u);
    // No partial outputs are left by the stop.
    for (const auto& [rel, expected] : tree.texts) {
        const std::string bytes = ReadBytes(tree.out + "/" + rel);
        if (!bytes.empty()) {
            EXPECT_EQ(text::FromUtf8(bytes), expected) << rel;
        }
    }
}

TEST_F(SessionTest, RetryWithACodepageReprocessesOnlyThatRecordAndCorrectsTotals)
{
    Tree tree;
    MakeTree(tree, 1);
    RecordingHandler handler;
    TestSession session(&handler);
    session.PrepareJob(FolderItem(tree));
    ASSERT_TRUE(session.Start(ConversionSetting(1)));
    ASSERT_TRUE(handler.WaitForStops(1));

    CVarnexFileInfo* french = nullptr;
    {
        CSingleLock lock(session.GetFileList().GetCriticalSection());
        for (CVarnexFileInfo* record : session.GetFileList())
            if (record->GetInputFileName() == u"fr0.txt")
                french = record;
    }
    ASSERT_NE(french, nullptr);
    VARNEXSESSIONSUMMARY before;
    session.GetSessionSummary(before);
    ASSERT_TRUE(session.RetryFileSetCodepage(french, 1251));
    EXPECT_FALSE(session.RetryFileSetCodepage(french, 1251)) << "already retrying";
    ASSERT_TRUE(session.Start(true));
    ASSERT_TRUE(handler.WaitForStops(2));
    VARNEXSESSIONSUMMARY after;
    session.GetSessionSummary(after);
    EXPECT_EQ(after.totalFiles, before.totalFiles);
    EXPECT_EQ(after.processedFiles, before.processedFiles);
    EXPECT_EQ(after.convertedFiles, before.convertedFiles);
    EXPECT_EQ(french->GetCodepageInfo()->GetCodepage(), 1251);
    EXPECT_FLOAT_EQ(french->GetConfidence(), 1.0f);
    const auto messages = handler.Messages();
    EXPECT_EQ(messages[messages.size() - 2], std::make_pair(VARNEXMESSAGE_STARTED, intptr_t{1})) << "a resumed session";
}

TEST_F(SessionTest, FixedCodepageOutsideTheCatalogueIsAnErrorNotBinary)
{
    Tree tree;
    MakeTree(tree, 1);
    RecordingHandler handler;
    TestSession session(&handler);
    tagVARNEXBATCHJOBITEM item = FolderItem(tree);
    item.options.inputCodepage = 437;  // not a catalogue entry
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(ConversionSetting(1)));
    ASSERT_TRUE(handler.WaitForStops(1));
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.errorFiles, summary.totalFiles);
    EXPECT_EQ(summary.convertedFiles, 0u);
}

TEST_F(SessionTest, CopiesBinariesWhenAskedAndCountsWriteErrors)
{
    Tree tree;
    MakeTree(tree, 1);
    RecordingHandler handler;
    TestSession session(&handler);
    tagVARNEXBATCHJOBITEM item = FolderItem(tree);
    item.options.copyUnconverted = true;
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(ConversionSetting(1)));
    ASSERT_TRUE(handler.WaitForStops(1));
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.copiedFiles, 1u);
    EXPECT_EQ(ReadBytes(tree.out + "/image.png"), ReadBytes(tree.in + "/image.png"));
}

TEST_F(SessionTest, RegexFilterThatDoesNotCompilePassesNothing)
{
    Tree tree;
    MakeTree(tree, 1);
    RecordingHandler handler;
    TestSession session(&handler);
    tagVARNEXBATCHJOBITEM item = FolderItem(tree);
    item.options.filter = CVarnexBatchJobFilter(true, u"(unclosed");
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(ConversionSetting(1)));
    ASSERT_TRUE(handler.WaitForStops(1));
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, 0u);
    EXPECT_FALSE(CNameFilter::IsValidRegex(u"(unclosed"));
    EXPECT_TRUE(CNameFilter::IsValidRegex(u"a.*"));
}

TEST(NameFilter, WildcardListsAndRegularExpressions)
{
    const std::u16string longName(250, u'a');
    const struct {
        bool regex;
        const char16_t* filter;
        const char16_t* name;
        bool passes;
    } rows[] = {
        {false, u"*.TXT;*.csv", u"a.txt", true},
        {false, u"*.TXT;*.csv", u"B.CSV", true},
        {false, u"*.TXT;*.csv", u"a.txt.bak", false},
        {false, u" *.txt", u"a.txt", false},  // tokens are not trimmed
        {false, u"*.txt,*.csv", u"a.txt", false},
        {false, u";;*.c", u"x.c", true},
        {false, u"a?c", u"abc", true},
        {false, u"", u"abc", false},
        {true, u"a.*", u"abc.txt", true},
        {true, u"txt", u"a.txt", false},                         // the whole name must match
        {true, u"\u00e9t\u00e9.*", u"\u00c9T\u00c9.TXT", true},  // case folds beyond ASCII
        {true, u"[a-z]+\\d{2}\\.log", u"Server07.LOG", true},
        {true, u".*\uFFFD.*", u"bad\xDCE9name", true},  // a byte that is not UTF-8 matches as U+FFFD
        // Patterns that backtrack for hours elsewhere answer at once.
        {true, u"(.*)*x", longName.c_str(), false},
        {true, u"(a|aa)+b", longName.c_str(), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.filter) + " / " + text::ToUtf8(row.name));
        EXPECT_EQ(CNameFilter(row.regex, row.filter).Passes(row.name), row.passes);
    }
    // What a linear-time engine cannot do is refused up front, never a silent "no match".
    for (const char16_t* unsupported : {u"(a)\\1", u"a(?=b)", u"(unclosed"}) {
        std::string why;
        EXPECT_FALSE(CNameFilter::IsValidRegex(unsupported, &why));
        EXPECT_FALSE(why.empty());
    }
}

TEST(TargetPath, MirrorsTheTreeAndNeverLeavesTheOutputFolder)
{
    const struct {
        const char16_t* file;
        const char16_t* base;
        const char16_t* output;
        const char16_t* expected;
    } rows[] = {
        {u"/in/sub/a.txt", u"/in", u"/out", u"/out/sub/a.txt"},
        {u"/in/x.txt", u"/in/", u"/o", u"/o/x.txt"},
        {u"/in/x.txt", u"/in", u"", u""},
        {u"/in/../etc/passwd", u"/in", u"/out", u""},
        {u"/in/a/../../x", u"/in", u"/out", u""},
        {u"/in/..\\..\\x", u"/in", u"/out", u"/out/..\\..\\x"},  // a backslash is a name character
        {u"/elsewhere/x.txt", u"/in", u"/out", u""},
        {u"/in/ a .txt", u"/in", u"/out", u"/out/ a .txt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.file));
        EXPECT_EQ(CVarnex::GenerateTargetPath(row.file, row.base, row.output), row.expected);
    }
    EXPECT_EQ(CVarnex::GenerateTargetPath(u"/in/sub/a.txt", u"/out"), u"/out/a.txt");
}

}  // namespace

namespace {

// UTF-8 encoded twice is converted as the UTF-8 it is, nothing lost, and
// flagged: the converted text would otherwise pass for right. Repaired only
// when asked, and flagged then too.
TEST_F(SessionTest, FlagsUtf8EncodedTwiceAndRepairsItOnlyWhenAsked)
{
    const std::string twice = "Le caf\xC3\x83\xC2\xA9 est d\xC3\x83\xC2\xA9j\xC3\x83\xC2\xA0 pr\xC3\x83\xC2\xAAt.\n";
    const std::string right = "Le caf\xC3\xA9 est d\xC3\xA9j\xC3\xA0 pr\xC3\xAAt.\n";
    for (const bool repair : {false, true}) {
        SCOPED_TRACE(repair ? "repair" : "keep");
        Tree tree;
        tree.in = tree.dir.File("in");
        tree.out = tree.dir.File("out");
        mkdir(tree.in.c_str(), 0777);
        WriteBytes(tree.in + "/twice.txt", twice);
        WriteBytes(tree.in + "/once.txt", right);
        RecordingHandler handler;
        TestSession session(&handler);
        tagVARNEXBATCHJOBITEM item = FolderItem(tree);
        item.options.repairDoubleEncoding = repair;
        item.options.writeBom = false;
        session.PrepareJob(item);
        ASSERT_TRUE(session.Start(ConversionSetting(1)));
        ASSERT_TRUE(handler.WaitForStops(1));
        VARNEXSESSIONSUMMARY summary;
        session.GetSessionSummary(summary);
        EXPECT_EQ(summary.convertedFiles, 2u);
        EXPECT_EQ(summary.warningFiles, 1u);
        EXPECT_EQ(ReadBytes(tree.out + "/twice.txt"), repair ? right : twice);
        EXPECT_EQ(ReadBytes(tree.out + "/once.txt"), right);
        CSingleLock lock(session.GetFileList().GetCriticalSection());
        for (CVarnexFileInfo* record : session.GetFileList()) {
            const bool isTwice = record->GetInputFile().ends_with(u"twice.txt");
            SCOPED_TRACE(isTwice ? "twice" : "once");
            ASSERT_NE(record->GetCodepageInfo(), nullptr);
            EXPECT_EQ(record->GetCodepageInfo()->GetCodepage(), 65001);
            EXPECT_EQ(record->GetResultState(), isTwice ? VARNEXRESULTSTATE_WARNING : VARNEXRESULTSTATE_OK);
            EXPECT_EQ(record->GetMessage().find(u"UTF-8 twice") != std::u16string::npos, isTwice);
            EXPECT_EQ(record->GetMessage().find(u"repaired") != std::u16string::npos, isTwice && repair);
        }
    }
}

}  // namespace
