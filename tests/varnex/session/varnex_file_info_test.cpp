#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/text.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/session_records.h"
#include "varnex/session/varnex_file_info.h"

namespace {

TEST(VarnexFileInfo, ProgressIsRoundedDownAndNeverAboveHundred)
{
    const struct {
        uint64_t processed, total;
        unsigned expected;
    } rows[] = {
        {50, 200, 25},
        {1, 3, 33},
        {5, 0, 0},
        {200, 200, 100},
        {300, 200, 100},  // the file grew while it was converted
        {UINT64_MAX / 2, UINT64_MAX, 49},
    };
    CVarnexFileInfo info(1, u"/in/a.txt", nullptr, nullptr);
    for (const auto& row : rows) {
        info.SetConverterProgress(row.processed, row.total);
        EXPECT_EQ(info.GetProgress(), row.expected) << row.processed << "/" << row.total;
    }
    info.ResetProgress();
    EXPECT_EQ(info.GetProgress(), 0u);
    EXPECT_EQ(info.GetTotalBytes(), 0u);
}

TEST(VarnexFileInfo, PathsAndCodepages)
{
    CVarnexFileInfo info(7, u"/in/dir/a b.txt", nullptr, nullptr);
    EXPECT_EQ(info.GetInputFileName(), u"a b.txt");
    EXPECT_EQ(info.GetOutputFile(), u"");
    EXPECT_EQ(info.GetOutputFileName(), u"");
    info.SetOutputFile(u"/out/dir/a b.txt");
    EXPECT_EQ(info.GetOutputFileName(), u"a b.txt");

    char16_t small[5];
    EXPECT_FALSE(info.GetInputFile(small, 5));
    EXPECT_EQ(small[0], 0) << "a path that does not fit is never cut";
    char16_t room[64];
    ASSERT_TRUE(info.GetInputFile(room, 64));
    EXPECT_EQ(std::u16string(room), u"/in/dir/a b.txt");

    info.SetCodepage(1252);
    ASSERT_NE(info.GetCodepageInfo(), nullptr);
    EXPECT_EQ(info.GetCodepageInfo()->GetCodepageName(), u"Western (Windows-1252)");
    info.SetCodepage(437);
    EXPECT_EQ(info.GetCodepageInfo(), nullptr);

    info.SetOutputTextFormat(CTextFileConverter::OUTPUTTEXTFORMAT_UCS4_2143);
    EXPECT_EQ(info.GetOutputCodepage(), 2143u);
}

TEST(VarnexFileInfo, UnlockedReadsWhileAnotherThreadWrites)
{
    // Scalars are atomic: reading them unlocked while a converter thread
    // writes is defined (ThreadSanitizer checks this test).
    CVarnexFileInfo info(1, u"/in/a.txt", u"/out/a.txt", nullptr);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint64_t i = 0; i <= 1000; ++i) {
            info.SetConverterProgress(i, 1000);
            info.SetStatus(i % 2 ? VARNEXFILESTATUS_CONVERTING : VARNEXFILESTATUS_STARTED);
            info.SetOutputFile(i % 2 ? u"/out/a.txt" : u"/out/b.txt");
        }
        done = true;
    });
    unsigned last = 0;
    while (!done) {
        const unsigned progress = info.FastGetProgress();
        EXPECT_LE(progress, 100u);
        last = progress;
        CSingleLock lock(info.GetCriticalSection());
        const std::u16string& out = info.FastGetOutputFile();
        EXPECT_TRUE(out == u"/out/a.txt" || out == u"/out/b.txt");
    }
    writer.join();
    EXPECT_LE(last, 100u);
    EXPECT_EQ(info.FastGetProgress(), 100u);
}

TEST(VarnexFileInfo, RecordsOfOneJobShareItAndKeepTheirOwnChanges)
{
    auto job = std::make_shared<JobRequest>();
    job->options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE;
    job->outputRoot = u"/out";
    job->inputFolder = u"/in/";
    job->outputFolder = u"/out/";
    const struct {
        const char16_t *input, *output;
    } rows[] = {
        {u"/in/d/a.txt", u"/out/d/a.txt"},    // mirrored: derived
        {u"/in/b.txt", u"/elsewhere/b.txt"},  // named otherwise
        {u"/in/c.txt", u""},                  // no output although mirrored would be one
        {u"/other/c.txt", u""},               // not below the input folder
        {u"/in/", u""},                       // the folder itself
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.input));
        CVarnexFileInfo record(1, row.input, row.output, job, nullptr);
        EXPECT_EQ(record.GetInputFile(), row.input);
        EXPECT_EQ(record.GetOutputFile(), row.output);
        EXPECT_EQ(record.GetOutputRoot(), u"/out");
        record.SetOutputFile(u"/out/d/a.txt");
        EXPECT_EQ(CVarnexFileInfo(record).GetOutputFile(), u"/out/d/a.txt");
        record.SetOutputFile(row.output);
        EXPECT_EQ(record.GetOutputFile(), row.output);
    }

    // Options set on one record never reach the others of its job.
    CVarnexFileInfo first(1, u"/in/a.txt", u"/out/a.txt", job, nullptr);
    CVarnexFileInfo second(2, u"/in/b.txt", u"/out/b.txt", job, nullptr);
    first.SetOutputTextFormat(CTextFileConverter::OUTPUTTEXTFORMAT_UTF8);
    EXPECT_EQ(first.GetOutputCodepage(), 65001u);
    EXPECT_EQ(CVarnexFileInfo(first).GetOutputCodepage(), 65001u);
    EXPECT_EQ(second.GetOptions(), job->options);
    second.SetOptions({.writeBom = false});
    EXPECT_FALSE(second.GetWriteBOM());
    EXPECT_EQ(job->options.outputTextFormat, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE);
}

TEST(VarnexFileInfo, AnOutcomeReplacesTheMessageAndReasonsOfTheLastOne)
{
    CVarnexFileInfo record(1, u"/in/a.txt", u"/out/a.txt", nullptr);
    FileOutcome warned;
    warned.replaced = 3;
    warned.lineEndings = {1, 2, 3, true};
    warned.End(VARNEXRESULTSTATE_WARNING, ReasonNote::Of(OutcomeReason::DetectionUnsure));
    record.SetOutcome(warned);
    EXPECT_FALSE(record.GetMessage().empty());
    EXPECT_TRUE(record.HasReason(OutcomeReason::DetectionUnsure));
    EXPECT_EQ(record.GetReplacedCount(), 3u);
    EXPECT_EQ(record.GetLineEndings(), (LineEndingCounts{1, 2, 3, true}));

    record.SetOutcome(FileOutcome{});  // a retry that ends clean
    EXPECT_EQ(record.GetMessage(), u"");
    EXPECT_TRUE(record.GetReasons().empty());
    EXPECT_EQ(record.GetReplacedCount(), 0u);
    EXPECT_FALSE(record.GetLineEndings().counted);
}

TEST(JobSetting, ClampsEveryFieldIntoItsRange)
{
    VARNEXJOBSETTING setting = GetDefaultJobSetting();
    EXPECT_EQ(setting.Clamp(), "");
    setting.chunkSize = 0;
    setting.readBufferSize = 5;
    setting.writeBufferSize = 1u << 30;
    setting.sampleSizeMB = 4096;
    setting.converterThreads = 100000;
    EXPECT_EQ(setting.Clamp(), "chunkSize, readBufferSize, writeBufferSize, sampleSizeMB, converterThreads");
    EXPECT_EQ(setting.chunkSize, 16u);
    EXPECT_EQ(setting.readBufferSize, 2048u);
    EXPECT_EQ(setting.writeBufferSize, 65536u);
    EXPECT_EQ(setting.sampleSizeMB, 512u);
    EXPECT_EQ(setting.converterThreads, 16u);
}

TEST(JobSetting, FilterStringKeepsTheEnabledChoice)
{
    CVarnexBatchJobFilter filter;
    filter.SetFilterString(true, u".*\\.txt");
    EXPECT_FALSE(filter.IsEnabled());
    EXPECT_TRUE(filter.IsRegex());
    EXPECT_TRUE(CVarnexBatchJobFilter(false, u"*.txt").IsEnabled());
}

}  // namespace
