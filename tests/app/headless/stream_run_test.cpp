#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "app/headless/program_runner.h"
#include "support/temp_dir.h"

// The program on pipes, FIFOs, links and file modes, run for real.
namespace {

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

const std::string kBom = "\xEF\xBB\xBF";

class StreamRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        WriteBytes(dir.File("latin1.txt"), "caf\xE9\n");
    }
    // stdin: shell words whose output is piped in ("" for none).
    RunResult Varnelpro(const std::string& args, const std::string& stdinFrom = "")
    {
        return testing_support::RunProgram(dir, args, stdinFrom.empty() ? "" : stdinFrom + " |");
    }
    struct stat Stat(const std::string& name)
    {
        struct stat st { };
        EXPECT_EQ(lstat(dir.File(name).c_str(), &st), 0) << name;
        return st;
    }
    TempDir dir;
};

TEST_F(StreamRunTest, PipesConvertAndKeepStandardOutputForTheText)
{
    struct Case {
        const char* name;
        const char* input;  // printf format
        const char* args;
        int status;
        std::string out;     // exactly what standard output holds
        const char* errHas;  // in standard error
    };
    const Case cases[] = {
        {"given code page", "caf\\351\\n", "-in=- -out=- -cp=1252 -bom=no", 0, "caf\xC3\xA9\n", "Converted"},
        {"no -out writes standard output", "caf\\351\\n", "-in=- -cp=1252 -bom=no", 0, "caf\xC3\xA9\n", "Converted"},
        {"BOM of the input wins over -cp", "\\357\\273\\277caf\\303\\251", "-in=- -cp=1252 -bom=no", 0, "caf\xC3\xA9",
         "Converted"},
        {"UTF-16 output", "caf\\351", "-in=- -cp=1252 -enc=UTF16LE", 0,
         std::string("\xFF\xFE"
                     "c\0a\0f\0\xE9\0",
                     10),
         "Converted"},
        {"detected UTF-8", "na\\303\\257ve \\342\\202\\254 caf\\303\\251\\n", "-in=- -bom=no", 0,
         "na\xC3\xAFve \xE2\x82\xAC caf\xC3\xA9\n", "UTF-8"},
        {"detect only: the finding on standard output", "caf\\303\\251 cr\\303\\250me\\n", "-in=- -d", 0, "", ""},
        {"binary is not passed off as text", "\\000\\001\\002\\000\\000\\000\\377\\376\\000\\000", "-in=- -out=-", 1,
         "", "binary data is not converted"},
        {"-c copies it as it is", "\\000\\001\\002\\000\\000\\000\\377\\376\\000\\000", "-in=- -c", 0,
         std::string("\0\1\2\0\0\0\xFF\xFE\0\0", 10), "Copied"},
        {"no report for a stream", "x", "-in=- -export=r.csv", 2, "", "-export"},
        {"unknown code page", "x", "-in=- -cp=437", 2, "", "-cp: unknown code page \"437\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = Varnelpro(c.args, std::string("printf '") + c.input + "'");
        EXPECT_EQ(run.status, c.status) << run.err;
        if (std::string(c.args).find("-d") != std::string::npos)
            EXPECT_NE(run.out.find("UTF-8"), std::string::npos) << run.out;
        else
            EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
    }
    EXPECT_FALSE(Exists(dir.File("r.csv")));
}

TEST_F(StreamRunTest, TheExampleFromTheManualPrintsCafe)
{
    const RunResult run = Varnelpro("-in=- -out=- -cp=1252", "printf 'caf\\351\\n'");
    EXPECT_EQ(run.status, 0) << run.err;
    // Whether UTF-8 gets a BOM is the stored setting's choice; the text is not.
    const std::string text = run.out.rfind(kBom, 0) == 0 ? run.out.substr(kBom.size()) : run.out;
    EXPECT_EQ(text, "caf\xC3\xA9\n");
}

// Past the scan limit (4 MiB by default) the pipe is streamed, and must come
// out as the same bytes in a file would.
TEST_F(StreamRunTest, LongPipeConvertsLikeTheSameFile)
{
    struct Case {
        const char* name;
        std::string head;  // repeated to fill the first MiBs
        std::string tail;  // comes after the scan limit
        std::string tailOut;
    };
    const Case cases[] = {
        {"ASCII head, UTF-8 after the limit", "plain ascii line of text\n", "caf\xC3\xA9 na\xC3\xAFve\n",
         "caf\xC3\xA9 na\xC3\xAFve\n"},
        {"windows-1252 throughout",
         "d\xE9j\xE0 vu, cr\xE8me br\xFBl\xE9"
         "e et caf\xE9 \xE0 la fran\xE7"
         "aise\n",
         "fin: \xE9t\xE9\n", "fin: \xC3\xA9t\xC3\xA9\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string big;
        while (big.size() < (6u << 20))
            big += c.head;
        big += c.tail;
        WriteBytes(dir.File("big"), big);
        const RunResult piped = Varnelpro("-in=- -out=- -bom=no", "cat big");
        const RunResult filed = Varnelpro("-mode=FILE -in=big -out=big.out -bom=no");
        EXPECT_EQ(piped.status, filed.status) << piped.err << filed.err;
        const std::string expected = ReadBytes(dir.File("big.out"));
        EXPECT_EQ(expected.substr(expected.size() - c.tailOut.size()), c.tailOut);
        EXPECT_TRUE(piped.out == expected) << "piped " << piped.out.size() << " bytes, file " << expected.size();
    }
}

TEST_F(StreamRunTest, PipeIntoANamedFileWritesNothingToStandardOutput)
{
    const RunResult run = Varnelpro("-in=- -out=sub/out.txt -cp=1252 -bom=no", "printf 'caf\\351'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadBytes(dir.File("sub/out.txt")), "caf\xC3\xA9");
}

TEST_F(StreamRunTest, FifoOutputIsWrittenIntoNotReplaced)
{
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = open(dir.File("fifo").c_str(), O_RDONLY);
        char buffer[256];
        for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
            received.append(buffer, static_cast<size_t>(n));
        close(fd);
    });
    const RunResult run = Varnelpro("-mode=FILE -in=latin1.txt -out=fifo -cp=1252 -bom=no");
    reader.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(received, "caf\xC3\xA9\n");
    EXPECT_TRUE(S_ISFIFO(Stat("fifo").st_mode));
}

TEST_F(StreamRunTest, LinkOutputKeepsTheLinkAndReplacesItsTarget)
{
    WriteBytes(dir.File("target.txt"), "old");
    ASSERT_EQ(symlink("target.txt", dir.File("link.txt").c_str()), 0);
    ASSERT_EQ(symlink("latin1.txt", dir.File("input-link.txt").c_str()), 0);
    // Named like the system's device links, inside the test's own folder.
    ASSERT_EQ(symlink("/dev/stdout", dir.File("stdout").c_str()), 0);

    RunResult run = Varnelpro("-mode=FILE -in=latin1.txt -out=link.txt -cp=1252 -bom=no");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(S_ISLNK(Stat("link.txt").st_mode));
    EXPECT_EQ(ReadBytes(dir.File("target.txt")), "caf\xC3\xA9\n");

    run = Varnelpro("-mode=FILE -in=latin1.txt -out=input-link.txt -cp=1252");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(ReadBytes(dir.File("latin1.txt")), "caf\xE9\n");

    run = Varnelpro("-mode=FILE -in=latin1.txt -out=stdout -cp=1252 -bom=no");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "caf\xC3\xA9\n");  // the summary went to standard error
    EXPECT_TRUE(S_ISLNK(Stat("stdout").st_mode));
    EXPECT_EQ(testing_support::Listing(dir.Path()).find("varnel-part"), std::string::npos);
}

TEST_F(StreamRunTest, OutputsKeepModeAndTimeUnlessTurnedOff)
{
    struct Case {
        const char* name;
        const char* args;
        const char* output;
        bool kept;
    };
    const Case cases[] = {
        {"converted script", "-mode=FILE -in=in/run.sh -out=out1/run.sh -cp=1252", "out1/run.sh", true},
        {"turned off", "-mode=FILE -in=in/run.sh -out=out2/run.sh -cp=1252 --no-preserve", "out2/run.sh", false},
        {"turned off by value", "-mode=FILE -in=in/run.sh -out=out3/run.sh -cp=1252 -keepmode=no", "out3/run.sh",
         false},
        {"copied unconverted (-c)", "-in=in -out=out4 -c -wf=*.bin", "out4/data.bin", true},
    };
    ASSERT_EQ(mkdir(dir.File("in").c_str(), 0755), 0);
    WriteBytes(dir.File("in/run.sh"), "#!/bin/sh\necho caf\xE9\n");
    WriteBytes(dir.File("in/data.bin"), std::string("\0\1\2\0\0\0\xFF", 7));
    const struct timespec when[2] = {{1577934245, 0}, {1577934245, 123456789}};  // 2020-01-02
    for (const char* name : {"in/run.sh", "in/data.bin"}) {
        ASSERT_EQ(chmod(dir.File(name).c_str(), 04751), 0);
        ASSERT_EQ(utimensat(AT_FDCWD, dir.File(name).c_str(), when, 0), 0);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = Varnelpro(c.args);
        ASSERT_EQ(run.status, 0) << run.err;
        const struct stat st = Stat(c.output);
        if (c.kept) {
            EXPECT_EQ(st.st_mode & 07777, 0751u);  // never the set-user-id bit
            EXPECT_EQ(st.st_mtim.tv_sec, when[1].tv_sec);
            EXPECT_EQ(st.st_mtim.tv_nsec, when[1].tv_nsec);
        } else {
            EXPECT_EQ(st.st_mode & 0111, 0u);
            EXPECT_NE(st.st_mtim.tv_sec, when[1].tv_sec);
        }
    }
}

}  // namespace
