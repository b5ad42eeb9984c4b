#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include <sys/stat.h>

#include "base/text.h"
#include "platform/native_path.h"
#include "support/ending_session.h"
#include "support/temp_dir.h"
#include "tools/corpus/mixed_tree.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/session/varnex.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

using TreeSession = testing_support::EndingSession;
constexpr std::chrono::minutes kTreeLimit{10};

// The whole tree is made once for the tests below: 20,000 files unless
// VARNEL_TREE_FILES says otherwise.
class LargeTree : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        mkdir(s_dir->File("in").c_str(), 0755);
        corpus::TreeOptions options;
        if (const char* files = std::getenv("VARNEL_TREE_FILES"))
            options.files = static_cast<unsigned>(std::strtoul(files, nullptr, 10));
        s_files = new std::vector<corpus::TreeFile>(corpus::MakeMixedTree(s_dir->File("in"), options));
    }
    static void TearDownTestSuite()
    {
        delete s_files;
        delete s_dir;
    }
    void SetUp() override { CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR)); }
    void TearDown() override { CAdvancedDetector::GetKnownExtList().SetFolder(u""); }

    static tagVARNEXBATCHJOBITEM Item(const std::string& output)
    {
        tagVARNEXBATCHJOBITEM item;
        item.folder = true;
        item.options.recursive = true;
        item.inputPath = s_dir->File16("in");
        item.outputPath = output.empty() ? u"" : s_dir->File16(output);
        return item;
    }
    // The record of each file, by its path below the input folder.
    static std::map<std::string, CVarnexFileInfo*> Records(CVarnex& session)
    {
        std::map<std::string, CVarnexFileInfo*> records;
        const std::string root = s_dir->File("in") + "/";
        CSingleLock lock(session.GetFileList().GetCriticalSection());
        for (CVarnexFileInfo* record : session.GetFileList()) {
            const std::string path = platform::ToNativePath(record->GetInputFile());
            EXPECT_EQ(path.rfind(root, 0), 0u) << path;
            EXPECT_TRUE(records.emplace(path.substr(root.size()), record).second) << "twice: " << path;
        }
        return records;
    }

    static TempDir* s_dir;
    static std::vector<corpus::TreeFile>* s_files;
};

TempDir* LargeTree::s_dir = nullptr;
std::vector<corpus::TreeFile>* LargeTree::s_files = nullptr;

TEST_F(LargeTree, ConvertsEveryFileOnceWithMatchingSummaryReportAndText)
{
    CVarnexStandardCSVExporter exporter(s_dir->File16("report.csv").c_str(), TEXTENCODING_UTF8, false, 65536);
    TreeSession session;
    session.SetResultExporter(&exporter, false);
    tagVARNEXBATCHJOBITEM item = Item("out");
    item.options.processHiddenFiles = true;
    item.options.writeBom = false;
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    setting.detectOnly = false;
    setting.converterThreads = 2;
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(setting));
    ASSERT_TRUE(session.WaitForEnd(kTreeLimit));
    ASSERT_TRUE(session.IsResultExportOk());

    const auto records = Records(session);
    EXPECT_EQ(records.size(), s_files->size());
    unsigned converted = 0, warnings = 0, errors = 0, mismatches = 0;
    for (const corpus::TreeFile& file : *s_files) {
        const auto found = records.find(file.relative);
        if (found == records.end()) {
            ADD_FAILURE() << "no record for " << file.relative;
            continue;
        }
        CVarnexFileInfo& record = *found->second;
        EXPECT_EQ(record.GetStatus(), VARNEXFILESTATUS_FINISHED) << file.relative;
        const VARNEXRESULTSTATE state = record.GetResultState();
        converted += record.GetResultOperation() == VARNEXRESULTOPERATION_CONVERTED;
        warnings += state == VARNEXRESULTSTATE_WARNING || state == VARNEXRESULTSTATE_NOT_SUPPORTED;
        errors += state != VARNEXRESULTSTATE_OK && state != VARNEXRESULTSTATE_WARNING &&
                  state != VARNEXRESULTSTATE_NOT_SUPPORTED;
        const std::string output = s_dir->File("out/" + file.relative);
        struct stat st;
        if (file.kind != corpus::TreeFile::TEXT) {
            EXPECT_NE(stat(output.c_str(), &st), 0) << "written: " << file.relative;
            continue;
        }
        EXPECT_EQ(state, VARNEXRESULTSTATE_OK) << file.relative << ": " << text::ToUtf8(record.GetMessage());
        // Reported one at a time would flood the log if detection went wrong wholesale.
        if (text::FromUtf8(ReadBytes(output)) != file.text && ++mismatches <= 5)
            ADD_FAILURE() << "output differs: " << file.relative << " (code page " << file.codepage << ", read as "
                          << (record.GetCodepageInfo() ? record.GetCodepageInfo()->GetCodepage() : -1) << ")";
    }
    EXPECT_EQ(mismatches, 0u);

    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, records.size());
    EXPECT_EQ(summary.processedFiles, records.size());
    EXPECT_EQ(summary.convertedFiles, converted);
    EXPECT_EQ(summary.warningFiles, warnings);
    EXPECT_EQ(summary.errorFiles, errors);

    const std::string report = ReadBytes(s_dir->File("report.csv"));
    size_t lines = report.empty() || report.back() == '\n' ? 0 : 1;  // no break after the last row
    for (char c : report)
        lines += c == '\n';
    EXPECT_EQ(lines, records.size() + 1) << "a header and one row per record";
}

TEST_F(LargeTree, FiltersAdmitExactlyTheMatchingVisibleFiles)
{
    TreeSession session;
    tagVARNEXBATCHJOBITEM item = Item("");
    item.options.filter.SetFilterString(false, u"*.txt");
    item.options.filter.EnableFilter(true);
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    setting.detectOnly = true;
    setting.converterThreads = 2;
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(setting));
    ASSERT_TRUE(session.WaitForEnd(kTreeLimit));

    const auto records = Records(session);
    size_t expected = 0;
    for (const corpus::TreeFile& file : *s_files) {
        const bool admitted =
            !file.hidden && file.relative.size() > 4 && file.relative.compare(file.relative.size() - 4, 4, ".txt") == 0;
        expected += admitted;
        EXPECT_EQ(records.count(file.relative), admitted ? 1u : 0u) << file.relative;
    }
    EXPECT_EQ(records.size(), expected);
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    EXPECT_EQ(summary.totalFiles, expected);
    EXPECT_EQ(summary.processedFiles, expected);
}

// The converting test above compares every output with its source text, so
// the tree must hold the encodings that are easy to read wrongly.
TEST_F(LargeTree, HoldsTheEncodingsThatAreEasyToMistake)
{
    if (s_files->size() < 1000)
        GTEST_SKIP() << "too few files to hold every kind";
    using Text = const std::u16string&;
    const struct {
        int codepage;
        bool (*holds)(Text);
    } kinds[] = {
        {54936, [](Text t) { return std::any_of(t.begin(), t.end(), [](char16_t c) { return c >= 0xD800; }); }},
        {21866, [](Text t) { return t.find(u'\u0457') != t.npos; }},  // KOI8-U only
        {1254, [](Text t) { return t.find(u'\u201C') != t.npos && t.find(u'\u0131') != t.npos; }},
        {65001, [](Text t) { return std::count_if(t.begin(), t.end(), [](char16_t c) { return c >= 0x80; }) == 1; }},
    };
    std::set<int> codepages;
    for (const corpus::TreeFile& file : *s_files)
        codepages.insert(file.kind == corpus::TreeFile::TEXT ? file.codepage : -1);
    EXPECT_GE(codepages.size(), 8u) << "seven encodings and no text";
    for (const auto& kind : kinds)
        EXPECT_TRUE(std::any_of(s_files->begin(), s_files->end(), [&](const corpus::TreeFile& file) {
            return file.kind == corpus::TreeFile::TEXT && file.codepage == kind.codepage && kind.holds(file.text);
        })) << kind.codepage;
}

}  // namespace
