// One file's job on real files: what a stop and a pause do to it at each
// step, and that a copy or a conversion leaves the output it reports.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/file_job.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Enough text for many converter chunks and copy blocks.
std::string LongText()
{
    std::string text;
    while (text.size() < (1u << 20))
        text += "Gr\xc3\xbc\xc3\x9f"
                "e aus K\xc3\xb6ln, line " +
                std::to_string(text.size()) + "\n";
    return text;
}

std::string Binary()
{
    std::string bytes("\x89PNG\r\n\x1a\n", 8);
    bytes.append(300000, '\0');
    return bytes;
}

bool Exists(const std::string& path)
{
    struct stat st { };
    return stat(path.c_str(), &st) == 0;
}

// The steps a stop can end: detection, a conversion, a copy.
enum class Step { Detect, Convert, Copy };

struct StopRow {
    const char* name;
    Step step;
    // Gate calls let through before the stop (0: stopped before the job starts).
    int callsBeforeStop;
};

class FileJobStop : public testing::TestWithParam<StopRow> { };

TEST_P(FileJobStop, CancelsTheFileAndLeavesNoOutput)
{
    const StopRow& row = GetParam();
    TempDir dir;
    const std::string input = dir.File("in.dat");
    WriteBytes(input, row.step == Step::Copy ? Binary() : LongText());

    std::stop_source stop;
    std::atomic<int> calls{0};
    FileJobParams params;
    params.stop = stop.get_token();
    params.gate = [&] {
        if (calls++ >= row.callsBeforeStop)
            stop.request_stop();
    };
    CFileJob job(std::move(params));
    FileJobSource source;
    source.path = dir.File16("in.dat");

    FileOutcome outcome;
    if (row.step == Step::Detect) {
        outcome = job.Detect(source, false);
    } else {
        // What detection would find; the stop is the writing's to see.
        FileOutcome found;
        found.codepage = row.step == Step::Copy ? -1 : 65001;
        FileJobTarget target;
        target.path = dir.File16("out.dat");
        FileJobOutput output;
        output.copyUnconverted = true;
        outcome = job.Write(source, target, output, found);
        EXPECT_FALSE(Exists(dir.File("out.dat"))) << "a stopped file's output is dropped";
    }
    EXPECT_EQ(outcome.state, VARNEXRESULTSTATE_CANCELLED);
    EXPECT_GT(calls.load(), row.callsBeforeStop) << "the gate runs before every check";
}

INSTANTIATE_TEST_SUITE_P(Steps, FileJobStop,
                         testing::Values(StopRow{"DetectAtOnce", Step::Detect, 0},
                                         StopRow{"ConvertAtOnce", Step::Convert, 0},
                                         StopRow{"ConvertMidway", Step::Convert, 20},
                                         StopRow{"CopyAtOnce", Step::Copy, 0}, StopRow{"CopyMidway", Step::Copy, 2}),
                         [](const testing::TestParamInfo<StopRow>& row) { return row.param.name; });

// A paused session holds the job in its gate: nothing is committed until the
// pause ends, and the file then completes as if never held.
TEST(FileJobPause, HoldsTheFileInItsGateUntilContinued)
{
    TempDir dir;
    const std::string text = LongText();
    WriteBytes(dir.File("in.txt"), text);

    std::mutex mutex;
    std::condition_variable changed;
    bool paused = true, held = false;
    FileJobParams params;
    params.gate = [&] {
        std::unique_lock lock(mutex);
        held = held || paused;
        changed.notify_all();
        changed.wait(lock, [&] { return !paused; });
    };
    FileOutcome outcome;
    std::thread worker([&] {
        CFileJob job(std::move(params));
        FileJobSource source;
        source.path = dir.File16("in.txt");
        FileOutcome found = job.Detect(source, false);
        FileJobTarget target;
        target.path = dir.File16("out.txt");
        outcome = job.Write(source, target, FileJobOutput{}, found);
    });
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return held; }));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(Exists(dir.File("out.txt"))) << "no output while paused";
    {
        std::lock_guard lock(mutex);
        paused = false;
    }
    changed.notify_all();
    worker.join();
    EXPECT_EQ(outcome.state, VARNEXRESULTSTATE_OK) << text::ToUtf8(DescribeOutcome(outcome));
    EXPECT_EQ(outcome.operation, VARNEXRESULTOPERATION_CONVERTED);
    EXPECT_EQ(outcome.bytesIn, text.size());
    EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), outcome.bytesOut);
}

// A copy keeps the input's mode and time when asked, as a conversion does.
TEST(FileJobCopy, KeepsModeAndTimeOnlyWhenAsked)
{
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "kept" : "not kept");
        TempDir dir;
        const std::string bytes = Binary();
        WriteBytes(dir.File("in.bin"), bytes);
        ASSERT_EQ(chmod(dir.File("in.bin").c_str(), 0750), 0);
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, dir.File("in.bin").c_str(), times, 0), 0);

        CFileJob job(FileJobParams{});
        FileJobSource source;
        source.path = dir.File16("in.bin");
        FileOutcome found = job.Detect(source, false);
        ASSERT_EQ(found.codepage, -1) << "binary";
        FileJobTarget target;
        target.path = dir.File16("out.bin");
        FileJobOutput output;
        output.copyUnconverted = true;
        output.keepModeAndTime = keep;
        const FileOutcome outcome = job.Write(source, target, output, found);
        ASSERT_EQ(outcome.operation, VARNEXRESULTOPERATION_COPIED);
        EXPECT_EQ(ReadBytes(dir.File("out.bin")), bytes);
        struct stat out { };
        ASSERT_EQ(stat(dir.File("out.bin").c_str(), &out), 0);
        EXPECT_EQ(out.st_mtim.tv_sec == 1000000000, keep);
        EXPECT_EQ((out.st_mode & 07777) == 0750, keep);
    }
}

// Binary data is never converted, and without a copy nothing is written.
TEST(FileJobCopy, WritesNothingForBinaryUnlessACopyIsAsked)
{
    TempDir dir;
    WriteBytes(dir.File("in.bin"), Binary());
    CFileJob job(FileJobParams{});
    FileJobSource source;
    source.path = dir.File16("in.bin");
    FileJobTarget target;
    target.path = dir.File16("out.bin");
    const FileOutcome outcome = job.Write(source, target, FileJobOutput{}, job.Detect(source, false));
    EXPECT_EQ(outcome.operation, VARNEXRESULTOPERATION_NONE);
    EXPECT_FALSE(Exists(dir.File("out.bin")));
}

TEST(FileJobAssigned, WithoutACodePageIsAnErrorNeverBinary)
{
    const FileOutcome none = CFileJob::Assigned(nullptr, false, 10);
    EXPECT_EQ(none.state, VARNEXRESULTSTATE_ERROR);
    EXPECT_EQ(none.bytesIn, 10u);
    const FileOutcome given = CFileJob::Assigned(CCodepageInfo::GetCodepageInfo(1252), true, 10);
    EXPECT_EQ(given.state, VARNEXRESULTSTATE_OK);
    EXPECT_EQ(given.codepage, 1252);
    EXPECT_TRUE(given.hasBom);
    EXPECT_EQ(given.method, DetectionMethod::Fixed);
}

}  // namespace
