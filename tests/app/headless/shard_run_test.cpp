// Several runs with -shard=K/N over one tree, started together into one
// output folder, as N machines would: together they write what one run
// writes, and their reports joined end to end are its report.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless/program_runner.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr unsigned kTreeFiles = 2000;  // the sanitizers make each run ten times slower
#else
constexpr unsigned kTreeFiles = 20000;
#endif

// Starts the program once per argument list, all at once; the exit statuses.
std::vector<int> RunTogether(const TempDir& dir, const std::vector<std::vector<std::string>>& runs)
{
    std::vector<pid_t> pids;
    for (size_t i = 0; i < runs.size(); ++i) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, dir.File("err" + std::to_string(i)).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv{const_cast<char*>(VARNELPRO_EXE)};
        for (const std::string& arg : runs[i])
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, VARNELPRO_EXE, &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        pids.push_back(pid);
    }
    std::vector<int> statuses;
    for (const pid_t pid : pids) {
        int status = 0;
        statuses.push_back(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return statuses;
}

std::vector<std::string> Lines(std::string text, const std::string& end)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.erase(0, 3);
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t next = text.find(end, at);
        if (next == std::string::npos)
            next = text.size();
        lines.push_back(text.substr(at, next - at));
        at = next + end.size();
    }
    return lines;
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
}

class ShardedRun : public testing::TestWithParam<unsigned> {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        setenv("XDG_CONFIG_HOME", s_dir->File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", s_dir->File("data").c_str(), 1);
        mkdir(s_dir->File("in").c_str(), 0755);
        corpus::TreeOptions options;
        options.files = kTreeFiles;
        corpus::MakeMixedTree(s_dir->File("in"), options);
        s_whole = RunTogether(*s_dir, {Args("whole", "whole.csv")}).front();
    }
    static void TearDownTestSuite() { delete s_dir; }

    static std::vector<std::string> Args(const std::string& out, const std::string& report)
    {
        return {"-in=" + s_dir->File("in"),      "-out=" + s_dir->File(out), "-r", "-h", "-c", "-q",
                "-export=" + s_dir->File(report)};
    }

    static TempDir* s_dir;
    static int s_whole;
};
TempDir* ShardedRun::s_dir = nullptr;
int ShardedRun::s_whole = -1;

TEST_P(ShardedRun, TogetherWriteWhatOneRunWritesAndReportsIt)
{
    ASSERT_EQ(s_whole, 0) << ReadBytes(s_dir->File("err0"));
    const unsigned n = GetParam();
    const std::string out = "sharded" + std::to_string(n);
    std::vector<std::vector<std::string>> runs;
    for (unsigned k = 0; k < n; ++k) {
        runs.push_back(Args(out, out + "-" + std::to_string(k) + ".csv"));
        runs.back().push_back("-shard=" + std::to_string(k) + "/" + std::to_string(n));
        // The first report heads the joined one.
        if (k > 0)
            runs.back().push_back("--no-report-header");
    }
    const std::vector<int> statuses = RunTogether(*s_dir, runs);
    for (unsigned k = 0; k < n; ++k)
        ASSERT_EQ(statuses[k], 0) << k << ": " << ReadBytes(s_dir->File("err" + std::to_string(k)));

    EXPECT_EQ(testing_support::Listing(s_dir->File(out)), testing_support::Listing(s_dir->File("whole")));
    const std::string diff = "diff -r '" + s_dir->File("whole") + "' '" + s_dir->File(out) + "' >/dev/null";
    EXPECT_EQ(std::system(diff.c_str()), 0) << "the outputs' bytes differ";

    std::string joined;
    for (unsigned k = 0; k < n; ++k) {
        const std::string report = ReadBytes(s_dir->File(out + "-" + std::to_string(k) + ".csv"));
        EXPECT_EQ(report.starts_with("\xEF\xBB\xBF"), k == 0) << "only the joined report's start has a BOM";
        EXPECT_TRUE(report.empty() || report.ends_with("\r\n")) << k;
        joined += report;
    }
    Replace(joined, s_dir->File(out) + "/", s_dir->File("whole") + "/");
    std::vector<std::string> rows = Lines(joined, "\r\n");
    std::vector<std::string> expected = Lines(ReadBytes(s_dir->File("whole.csv")), "\r\n");
    ASSERT_FALSE(rows.empty());
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(rows.front(), expected.front()) << "one header row, first";
    std::sort(rows.begin() + 1, rows.end());
    std::sort(expected.begin() + 1, expected.end());
    EXPECT_EQ(rows.size(), expected.size());
    EXPECT_TRUE(rows == expected) << "the joined rows are not the whole run's rows";
}

INSTANTIATE_TEST_SUITE_P(Slices, ShardedRun, testing::Values(1u, 2u, 7u));

// JSON Lines without header and summary: the slices' lines joined are the
// file lines of one run, and their count is its summary's.
TEST(ShardedReport, JsonLinesWithoutHeaderJoinIntoTheFileLines)
{
    TempDir dir;
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    mkdir(dir.File("in").c_str(), 0755);
    corpus::TreeOptions options;
    options.files = 300;
    corpus::MakeMixedTree(dir.File("in"), options);
    auto args = [&](const std::string& report) {
        return std::vector<std::string>{"-in=" + dir.File("in"), "-d", "-r", "-h", "-q", "-export=" + dir.File(report),
                                        "-exporttype=JSON"};
    };
    std::vector<std::vector<std::string>> runs{args("whole.jsonl")};
    for (const std::string k : {"0", "1", "2"}) {
        runs.push_back(args("s" + k + ".jsonl"));
        runs.back().insert(runs.back().end(), {"-shard=" + k + "/3", "-exportheader=no"});
    }
    for (const int status : RunTogether(dir, runs))
        ASSERT_EQ(status, 0) << ReadBytes(dir.File("err0"));

    std::vector<std::string> whole = Lines(ReadBytes(dir.File("whole.jsonl")), "\n");
    ASSERT_GE(whole.size(), 2u);
    EXPECT_NE(whole.front().find("\"type\":\"header\""), std::string::npos);
    EXPECT_NE(whole.back().find("\"type\":\"summary\""), std::string::npos);
    EXPECT_NE(whole.back().find("\"files\":" + std::to_string(whole.size() - 2)), std::string::npos);
    whole = std::vector<std::string>(whole.begin() + 1, whole.end() - 1);
    std::vector<std::string> joined = Lines(
        ReadBytes(dir.File("s0.jsonl")) + ReadBytes(dir.File("s1.jsonl")) + ReadBytes(dir.File("s2.jsonl")), "\n");
    for (const std::string& line : joined)
        EXPECT_NE(line.find("\"type\":\"file\""), std::string::npos) << line;
    std::sort(whole.begin(), whole.end());
    std::sort(joined.begin(), joined.end());
    EXPECT_TRUE(joined == whole);
}

}  // namespace
