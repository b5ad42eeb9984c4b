#include "app/headless/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/headless/headless_reporter.h"
#include "platform/terminal.h"

namespace {

using headless::FitMiddle;
using headless::FormatDuration;
using headless::FormatProgressLine;
using headless::ProgressState;
using headless::SecondsLeft;

unsigned Columns(const std::string& s)
{
    return platform::ColumnWidth(s);
}

TEST(ProgressLine, DurationsAndTheEstimate)
{
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(59.9), "0:59");
    EXPECT_EQ(FormatDuration(61), "1:01");
    EXPECT_EQ(FormatDuration(3600 + 2 * 60 + 3), "1:02:03");
    EXPECT_EQ(FormatDuration(-5), "0:00");
    EXPECT_EQ(FormatDuration(0.0 / 0.0), "0:00");
    EXPECT_EQ(FormatDuration(1e300), "277777777:46:40");  // capped, not undefined

    struct Row {
        unsigned done, total;
        bool finding;
        double seconds;
        double left;  // negative: not shown yet
    };
    const Row rows[] = {
        {10, 40, false, 5, 15},    // a quarter in 5 s: 15 s to go
        {40, 40, false, 9, 0},     // done
        {10, 40, true, 5, -1},     // the walk still adds files
        {0, 40, false, 5, -1},     // nothing finished yet
        {10, 40, false, 1.5, -1},  // too early to say
        {50, 40, false, 5, -1},    // counts that do not add up
    };
    for (const Row& row : rows) {
        ProgressState state;
        state.done = row.done;
        state.total = row.total;
        state.finding = row.finding;
        state.seconds = row.seconds;
        EXPECT_DOUBLE_EQ(SecondsLeft(state), row.left) << row.done << "/" << row.total;
    }
}

TEST(ProgressLine, CutsNamesInTheMiddleByScreenColumns)
{
    struct Row {
        const char* text;
        unsigned columns;
        const char* expected;
    };
    const Row rows[] = {
        {"short.txt", 20, "short.txt"},
        {"abcdefghijklmnopqrstuvwxyz", 11, "abcd...wxyz"},
        {"abcdefghijklmnopqrstuvwxyz", 10, "abc...wxyz"},
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC", 7,
         "\xC3\xA4\xC3\xB6...\xC3\xB6\xC3\xBC"},
        // Wide characters take two columns and are never split.
        {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt", 12,
         "\xE6\x97\xA5\xE6\x9C\xAC....txt"},
        // A mark is not cut from the letter it sits on.
        {"aaaaaaaaaae\xCC\x81z", 5, "a...z"},
        {"aaaaaaaaaae\xCC\x81z", 6, "a...e\xCC\x81z"},
        {"abcdef", 2, ".."},
    };
    for (const Row& row : rows) {
        const std::string fitted = FitMiddle(row.text, row.columns);
        EXPECT_EQ(fitted, row.expected) << row.text << " in " << row.columns;
        EXPECT_LE(Columns(fitted), row.columns) << fitted;
    }
}

TEST(ProgressLine, ShowsPercentTimesAndRate)
{
    ProgressState state;
    state.done = 25;
    state.total = 100;
    state.seconds = 10;
    state.bytesRead = 50'000'000;
    state.current = "sub/file.txt";
    const std::string line = FormatProgressLine(state, 200);
    EXPECT_EQ(line.rfind("[#####---------------]  25%  25/100 files  0:10 elapsed, 0:30 left  2.5 files/s  5.0 MB/s  "
                         "sub/file.txt",
                         0),
              0u)
        << line;

    state.finding = true;
    const std::string finding = FormatProgressLine(state, 200);
    EXPECT_NE(finding.find("25/100+ files"), std::string::npos) << finding;
    EXPECT_EQ(finding.find("left"), std::string::npos) << finding;

    state.finding = false;
    state.done = 150;  // more done than known must not overrun the bar
    EXPECT_EQ(FormatProgressLine(state, 200).rfind("[####################] 100%", 0), 0u);
    state.seconds = 0;  // no rate from no time
    EXPECT_EQ(FormatProgressLine(state, 200).find("/s"), std::string::npos);
}

TEST(ProgressLine, NeverWiderThanTheTerminal)
{
    ProgressState state;
    state.done = 123456;
    state.total = 999999;
    state.seconds = 7260;
    state.bytesRead = 1ull << 40;
    state.current = "deep/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E/folder/with/a/rather/long/name/\xC3\xBC"
                    "bersicht-\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";
    for (unsigned columns = 1; columns <= 220; ++columns) {
        const std::string line = FormatProgressLine(state, columns);
        ASSERT_LT(Columns(line), std::max(columns, 1u)) << columns << ": " << line;
        if (columns > 60) {
            // The name, when shown, keeps its end.
            const size_t name = line.find("deep/");
            if (name != std::string::npos || line.find("...") != std::string::npos) {
                EXPECT_NE(line.find(".txt"), std::string::npos) << line;
            }
        }
    }
    EXPECT_NE(FormatProgressLine(state, 220).find(state.current), std::string::npos);
}

// The reporter on a stream, with a clock the test moves.
TEST(ProgressBar, RedrawsAFewTimesASecondAtMost)
{
    char* text = nullptr;
    size_t size = 0;
    HeadlessConsole console;
    console.err = open_memstream(&text, &size);
    console.columns = 80;
    console.progressBar = true;
    std::chrono::steady_clock::time_point now{};
    {
        HeadlessReporter reporter(console, false, u"", [&now] { return now; });
        for (int tick = 0; tick < 100; ++tick) {  // two seconds in steps of 20 ms
            reporter.Bar(tick, 100, false, u"a.txt");
            now += std::chrono::milliseconds(20);
        }
    }
    fclose(console.err);
    const std::string drawn(text, size);
    free(text);
    size_t redraws = 0;
    for (size_t at = drawn.find("\r["); at != std::string::npos; at = drawn.find("\r[", at + 1))
        ++redraws;
    EXPECT_GE(redraws, 4u);
    EXPECT_LE(redraws, 10u);
}

}  // namespace
