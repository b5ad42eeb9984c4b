#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/conversion_options.h"
#include "varnex/session/varnex.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(ConversionOptions, StoredInputCodepageKeepsMinusOneForDetection)
{
    const struct {
        int32_t stored;
        std::optional<int32_t> typed;
        int32_t storedAgain;
    } rows[] = {
        {-1, std::nullopt, -1}, {-5, std::nullopt, -1}, {0, 0, 0}, {1252, 1252, 1252}, {65001, 65001, 65001},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored);
        ConversionOptions options;
        options.inputCodepage = 936;  // replaced, never kept
        options.SetStoredInputCodepage(row.stored);
        EXPECT_EQ(options.inputCodepage, row.typed);
        EXPECT_EQ(options.StoredInputCodepage(), row.storedAgain);
    }
}

TEST(ConversionOptions, FileRecordTakesThemWholeAndAFixedCodepageTurnsDetectionOff)
{
    const struct {
        std::optional<int32_t> codepage;
        bool detects;
        int expectedCodepage;  // -2: no catalogue entry
    } rows[] = {
        {std::nullopt, true, -2}, {1251, false, 1251}, {0, false, 0},
        {437, false, -2},  // outside the catalogue: the converter reports it, never detects
        {-3, true, -2},    // names no code page
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.codepage.value_or(-100));
        ConversionOptions options;
        options.inputCodepage = row.codepage;
        options.writeBom = false;
        options.copyUnconverted = true;
        options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UCS4_3412;
        options.returnType = CTextFileConverter::RETURNTYPE_LF;
        options.filter = CVarnexBatchJobFilter(true, u".*");
        const CVarnexFileInfo record(3, u"/in/a.txt", u"/out/a.txt", options, nullptr);
        EXPECT_EQ(record.GetOptions(), options);
        EXPECT_EQ(record.GetAllowAutoDetect(), row.detects);
        const CCodepageInfo* info = record.GetCodepageInfo();
        EXPECT_EQ(info ? info->GetCodepage() : -2, row.expectedCodepage);
        const CVarnexFileInfo copy(record);
        EXPECT_EQ(copy.GetOptions(), options);
        EXPECT_EQ(copy.GetAllowAutoDetect(), row.detects);
    }
}

class StopWaiter : public HandlerTarget {
public:
    void Post(unsigned, uintptr_t wParam, intptr_t) override
    {
        std::lock_guard lock(m_mutex);
        m_stopped |= static_cast<VARNEXMESSAGE>(wParam) == VARNEXMESSAGE_STOPPED;
        m_changed.notify_all();
    }
    bool Wait()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [this] { return m_stopped; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopped = false;
};

class OptionsSession : public CVarnex {
public:
    explicit OptionsSession(HandlerTarget* handler) : CVarnex(handler, nullptr) { }
};

// Files found at any depth carry the folder item's options, filter included.
TEST(ConversionOptions, EveryFileFoundBelowAFolderCarriesTheItemsOptions)
{
    TempDir dir;
    for (const char* folder : {"in", "in/a", "in/a/b", "in/.h"})
        mkdir(dir.File(folder).c_str(), 0777);
    for (const char* file : {"in/1.txt", "in/1.md", "in/a/2.txt", "in/a/b/3.txt", "in/a/b/3.md", "in/.h/4.txt"})
        WriteBytes(dir.File(file), "text\n");

    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.inputPath = dir.File16("in");
    item.options.recursive = true;
    item.options.processHiddenFiles = true;
    item.options.writeBom = true;
    item.options.copyUnconverted = true;
    item.options.inputCodepage = 1252;
    item.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16BE;
    item.options.returnType = CTextFileConverter::RETURNTYPE_CRLF;
    item.options.filter = CVarnexBatchJobFilter(false, u"*.txt");

    StopWaiter handler;
    OptionsSession session(&handler);
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(GetDefaultJobSetting()));  // detection only: nothing written
    ASSERT_TRUE(handler.Wait());

    CSingleLock lock(session.GetFileList().GetCriticalSection());
    std::set<std::u16string> names;
    for (const CVarnexFileInfo* record : session.GetFileList()) {
        SCOPED_TRACE(text::ToUtf8(record->GetInputFileName()));
        names.insert(record->GetInputFileName());
        EXPECT_EQ(record->GetOptions(), item.options);
        EXPECT_FALSE(record->GetAllowAutoDetect());
        ASSERT_NE(record->GetCodepageInfo(), nullptr);
        EXPECT_EQ(record->GetCodepageInfo()->GetCodepage(), 1252);
    }
    EXPECT_EQ(names, (std::set<std::u16string>{u"1.txt", u"2.txt", u"3.txt", u"4.txt"}));
}

}  // namespace
