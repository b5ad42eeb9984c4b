// The program where outputs and reports meet links, hard links, FIFOs,
// standard streams, closed pipes and other runs: nothing is written
// anywhere but where it belongs, and what is written is whole.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/headless/program_runner.h"
#include "support/json_reader.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using testing_support::Exists;
using testing_support::ParseJsonLines;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;
namespace fs = std::filesystem;

class NothingLost : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("config").c_str(), 1);
        fs::create_directories(dir.File("in/sub"));
        WriteBytes(dir.File("in/english.txt"), "The keeper of the lighthouse.\n");
        WriteBytes(dir.File("in/sub/data.txt"), "caf\xc3\xa9 cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"
                                                "e\n");
        WriteBytes(dir.File("victim.txt"), "victim\n");
    }
    RunResult Run(const std::string& args, const std::string& prefix = "")
    {
        return testing_support::RunProgram(dir, args, prefix);
    }
    // Runs a bash script in the folder with the program as $V; its exit status.
    int Shell(const std::string& script)
    {
        WriteBytes(dir.File("script.sh"), script + "\n");
        const std::string command = "cd '" + dir.Path() + "' && V='" + VARNELPRO_EXE + "' bash script.sh";
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // The converter threads a run takes, through the settings file.
    void UseThreads(unsigned threads)
    {
        fs::create_directories(dir.File("config/Quillmark/VarnelPro"));
        WriteBytes(dir.File("config/Quillmark/VarnelPro/VarnelPro.Current.xml"),
                   "<?xml version=\"1.0\"?>\n<varnel><settings version=\"2.0\"><jobSetting><converterThreads>" +
                       std::to_string(threads) + "</converterThreads></jobSetting></settings></varnel>\n");
    }
    TempDir dir;
};

TEST_F(NothingLost, ASingleFileIntoAFolderReplacesALinkAtItsNameInsteadOfFollowingIt)
{
    fs::create_directory(dir.File("out"));
    fs::create_symlink("../victim.txt", dir.File("out/english.txt"));
    const RunResult run = Run("-in=in/english.txt -out=out");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(dir.File("victim.txt")), "victim\n");
    EXPECT_FALSE(fs::is_symlink(dir.File("out/english.txt")));
    EXPECT_EQ(ReadBytes(dir.File("out/english.txt")), "The keeper of the lighthouse.\n");
}

// A report path that is a hard link of an input: the report replaces the
// name, the input keeps its text.
TEST_F(NothingLost, AReportHardLinkedToAnInputLeavesTheInputAlone)
{
    const std::string data = ReadBytes(dir.File("in/sub/data.txt"));
    for (const char* args : {"-in=in -out=out -r -export=report", "-d -r -in=in -exporttype=XML -export=report"}) {
        SCOPED_TRACE(args);
        fs::remove(dir.File("report"));
        ASSERT_EQ(link(dir.File("in/sub/data.txt").c_str(), dir.File("report").c_str()), 0);
        const RunResult run = Run(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(ReadBytes(dir.File("in/sub/data.txt")), data);
        EXPECT_NE(ReadBytes(dir.File("report")).find("english.txt"), std::string::npos);
    }
}

TEST_F(NothingLost, AReportThroughALinkIntoAnOutputFolderNotYetMadeIsCheckedWhereItLeads)
{
    fs::create_symlink("newout/x", dir.File("nl"));
    // An input of the report's name would be converted onto it: refused, nothing made.
    WriteBytes(dir.File("in/r.csv"), "a,b\n");
    RunResult run = Run("-in=in -out=newout/x -export=nl/r.csv");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("would be replaced by the output of"), std::string::npos) << run.err;
    EXPECT_FALSE(Exists(dir.File("newout")));
    // Without one, the report lands there and is the report.
    fs::remove(dir.File("in/r.csv"));
    run = Run("-in=in -out=newout/x -export=nl/r.csv");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(dir.File("newout/x/r.csv"))
                  .rfind("\xEF\xBB\xBF"
                         "Input File,",
                         0),
              0u);
}

TEST_F(NothingLost, AReportOnStandardOutputHoldsTheReportAlone)
{
    ASSERT_EQ(Shell("\"$V\" -d -r -in=in -export=/dev/stdout -exporttype=JSON > r.jsonl 2> err.txt"), 0);
    std::string why;
    const auto lines = ParseJsonLines(ReadBytes(dir.File("r.jsonl")), &why);
    ASSERT_TRUE(lines) << why;
    ASSERT_EQ(lines->size(), 4u);  // header, two files, summary
    EXPECT_EQ((*lines)[0]["type"].text, "header");
    EXPECT_EQ(lines->back()["type"].text, "summary");
    EXPECT_NE(ReadBytes(dir.File("err.txt")).find("Summary"), std::string::npos) << "the summary goes to stderr";

    ASSERT_EQ(Shell("\"$V\" -in=in -out=out -r -export=/dev/stdout -exportbom=no > r.csv 2> err.txt"), 0);
    EXPECT_EQ(ReadBytes(dir.File("r.csv")).rfind("Input File,", 0), 0u);
    EXPECT_EQ(ReadBytes(dir.File("r.csv")).find("Summary"), std::string::npos);
}

TEST_F(NothingLost, AReportIntoAFifoOrAProcessSubstitutionIsWrittenAndOneThatCannotBeIsRefusedFirst)
{
    ASSERT_EQ(mkfifo(dir.File("r.fifo").c_str(), 0600), 0);
    ASSERT_EQ(Shell("cat r.fifo > got.csv & \"$V\" -in=in -out=out -r -export=r.fifo; s=$?; wait; exit $s"), 0);
    EXPECT_NE(ReadBytes(dir.File("got.csv")).find("english.txt"), std::string::npos);
    EXPECT_EQ(Shell("\"$V\" -in=in -out=out2 -r -export=>(wc -l > lines.txt); s=$?; sleep 0.5; exit $s"), 0);
    EXPECT_EQ(ReadBytes(dir.File("lines.txt")), "2\n");  // the header and two rows, the last without a break

    // A report nothing can be made for stops the run before any file is done.
    const RunResult run = Run("-in=in -out=out3 -r -export=/proc/varnel-report.csv");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("cannot write the export file"), std::string::npos) << run.err;
    EXPECT_FALSE(Exists(dir.File("out3")));
}

// A closed pipe on standard error stops the run like Ctrl+C: the report
// is whole, with the files not processed and its summary.
TEST_F(NothingLost, AClosedStandardErrorStopsTheRunAndTheReportIsWhole)
{
    fs::create_directory(dir.File("big"));
    corpus::TreeOptions options;
    options.files = 300;
    corpus::MakeMixedTree(dir.File("big"), options);
    const int status =
        Shell("\"$V\" -in=big -out=o -r -h -v -export=r.jsonl -exporttype=JSON 2>&1 | head -1 >/dev/null\n"
              "exit ${PIPESTATUS[0]}");
    EXPECT_TRUE(status == 0 || status == 1) << status << ": not ended by the pipe";
    std::string why;
    const auto lines = ParseJsonLines(ReadBytes(dir.File("r.jsonl")), &why);
    ASSERT_TRUE(lines) << why;
    ASSERT_EQ(lines->size(), 302u) << "header, every file, summary";
    EXPECT_EQ(lines->back()["type"].text, "summary");
    for (const auto& entry : fs::recursive_directory_iterator(dir.File("o")))
        EXPECT_EQ(entry.path().string().find(".varnel-part"), std::string::npos) << entry.path();
}

// Stopped while detection waits for the head of the stream, and while the
// copy waits for more.
TEST_F(NothingLost, StandardInputCopiedAsItIsStopsOnCtrlC)
{
    for (const char* bytes : {"3000000", "6000000"}) {
        SCOPED_TRACE(bytes);
        const auto start = std::chrono::steady_clock::now();
        const int status = Shell("\"$V\" -in=- -out=o.bin -c < <(head -c " + std::string(bytes) +
                                 " /dev/zero; sleep 20) 2>err.txt & pid=$!\nsleep 2; kill -INT $pid; wait $pid");
        EXPECT_EQ(status, 1) << ReadBytes(dir.File("err.txt"));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << "it waited for the pipe";
        EXPECT_FALSE(Exists(dir.File("o.bin")));
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            EXPECT_EQ(entry.path().string().find(".varnel-part"), std::string::npos) << entry.path();
    }
}

TEST_F(NothingLost, OutputFoldersAreNoMoreOpenThanTheInputFolders)
{
    chmod(dir.File("in/sub").c_str(), 0700);
    const RunResult run = Run("-in=in -out=out -r", "umask 022;");
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat st;
    ASSERT_EQ(stat(dir.File("out/sub").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(dir.File("out").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(NothingLost, EmptyStandardInputGivesAnEmptyOutputAndASummaryThatCannotBeWrittenFails)
{
    EXPECT_EQ(Shell("printf \"\" | \"$V\" -in=- -out=e.txt 2>/dev/null"), 0);
    ASSERT_TRUE(Exists(dir.File("e.txt")));
    EXPECT_EQ(ReadBytes(dir.File("e.txt")), "");
    EXPECT_EQ(Shell("printf \"\" | \"$V\" -in=- -out=- > e2.txt 2>/dev/null"), 0);
    EXPECT_EQ(ReadBytes(dir.File("e2.txt")), "");
    for (const char* redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        EXPECT_EQ(Shell("\"$V\" -in=in -out=out -r " + std::string(redirect) + " 2> err.txt"), 1);
        EXPECT_NE(ReadBytes(dir.File("err.txt")).find("cannot write the summary"), std::string::npos);
    }
}

// Two runs that cannot see each other's processes (other PID namespaces,
// containers or machines) share an output folder: neither takes the other's
// file in flight for one left by a killed run.
TEST_F(NothingLost, RunsInOtherPidNamespacesKeepEachOthersFilesInFlight)
{
    if (Shell("unshare --pid --fork --mount-proc true 2>/dev/null") != 0)
        GTEST_SKIP() << "no PID namespaces here";
    fs::create_directory(dir.File("shared"));
    // The first writes a slow stream into shared/a.txt (more than detection's
    // head, so that it is being written), as the second one starts.
    const int status =
        Shell("{ head -c 6000000 /dev/zero | tr '\\0' a; sleep 3; } |\n"
              "  unshare --pid --fork --mount-proc sh -c '\"$V\" -in=- -out=shared/a.txt; echo $? > first.txt' &\n"
              "sleep 1.5\n"
              "unshare --pid --fork --mount-proc \"$V\" -in=in -out=shared -r 2> second.txt\n"
              "wait\n"
              "exit $(cat first.txt)");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fs::file_size(dir.File("shared/a.txt")), 6000000u);
    EXPECT_EQ(ReadBytes(dir.File("second.txt")).find("removed a temporary file"), std::string::npos);
}

// While a tree converts, a loop renames output folders away and puts links
// to a victim folder in their place: no byte may land in the victim.
// VARNEL_SWAP_SECONDS makes the loop longer (scripts/swap-race.sh).
class SwapRace : public NothingLost, public testing::WithParamInterface<unsigned> { };

TEST_P(SwapRace, NothingLandsOutsideTheOutputFolder)
{
    const unsigned threads = GetParam();
    UseThreads(threads);
    fs::create_directory(dir.File("tree"));
    corpus::TreeOptions options;
    options.files = 4000;
    const auto files = corpus::MakeMixedTree(dir.File("tree"), options);
    fs::create_directory(dir.File("victim"));
    // Every name the outputs have, so that a write through a link replaces one.
    for (const auto& file : files)
        if (file.relative.find('/') != std::string::npos)
            WriteBytes(dir.File("victim/" + fs::path(file.relative).filename().string()), "victim");
    const std::string before = testing_support::Listing(dir.File("victim"));
    const char* seconds = getenv("VARNEL_SWAP_SECONDS");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds ? atoi(seconds) : 4);
    unsigned runs = 0, swaps = 0;
    do {
        fs::remove_all(dir.File("out"));
        pid_t pid = 0;
        std::string in = "-in=" + dir.File("tree"), out = "-out=" + dir.File("out");
        std::vector<char*> argv{const_cast<char*>(VARNELPRO_EXE),
                                in.data(),
                                out.data(),
                                const_cast<char*>("-r"),
                                const_cast<char*>("-h"),
                                const_cast<char*>("-c"),
                                const_cast<char*>("-q"),
                                nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        ASSERT_EQ(posix_spawn(&pid, VARNELPRO_EXE, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            std::error_code ignored;
            for (const auto& entry : fs::directory_iterator(dir.File("out"), ignored)) {
                if (!entry.is_directory() || entry.is_symlink())
                    continue;
                const std::string name = entry.path().string();
                if (rename(name.c_str(), dir.File("moved-" + std::to_string(swaps)).c_str()) == 0 &&
                    symlink("../victim", name.c_str()) == 0)
                    ++swaps;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        ++runs;
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << status;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename().string().rfind("moved-", 0) == 0)
                fs::remove_all(entry.path());
    } while (std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(testing_support::Listing(dir.File("victim")), before) << "written outside the output folder";
    for (const auto& entry : fs::directory_iterator(dir.File("victim")))
        ASSERT_EQ(ReadBytes(entry.path().string()), "victim") << entry.path();
    EXPECT_GT(swaps, 0u);
    printf("[ swaps   ] %u threads: %u runs, %u folders swapped for links, 0 bytes outside\n", threads, runs, swaps);
}

INSTANTIATE_TEST_SUITE_P(Threads, SwapRace, testing::Values(2u, 8u));

}  // namespace
