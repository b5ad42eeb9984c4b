#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "app/headless/program_runner.h"
#include "support/temp_dir.h"

// Code pages named with -cp, and text the detection sample never saw, run
// through the real program on folders and pipes.
namespace {

using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

class CodePageRun : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    }
    // stdin: shell words whose output is piped in ("" for none).
    RunResult Varnelpro(const std::string& args, const std::string& stdinFrom = "")
    {
        return testing_support::RunProgram(dir, args, stdinFrom.empty() ? "" : stdinFrom + " |");
    }
    TempDir dir;
};

// Latin-1 keeps its C1 controls, and ASCII replaces (and counts) every byte
// from 80, whatever name the page goes by.
TEST_F(CodePageRun, Latin1AndAsciiDecodeAsTheStandardsSayUnderEveryName)
{
    const struct {
        const char* cp;
        const char* input;  // printf format
        int status;
        std::string out;
        const char* errHas;
    } cases[] = {
        {"latin1", "a\\200\\237\\351", 1, "a\xC2\x80\xC2\x9F\xC3\xA9", "ISO-8859-1"},
        {"ISO-8859-1", "a\\200\\237", 1, "a\xC2\x80\xC2\x9F", "invisible control characters"},
        {"28591", "a\\200\\237", 1, "a\xC2\x80\xC2\x9F", "ISO-8859-1"},
        {"L1", "caf\\351", 0, "caf\xC3\xA9", "Converted"},
        {"ascii", "caf\\351 na\\357ve", 1, "caf\xEF\xBF\xBD na\xEF\xBF\xBDve",
         "2 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 3"},
        {"US-ASCII", "caf\\351", 1, "caf\xEF\xBF\xBD", "US-ASCII"},
        // windows-1252, what detection reads Latin text as, keeps its letters there.
        {"1252", "a\\200\\237", 0, "a\xE2\x82\xAC\xC5\xB8", "Windows-1252"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cp);
        const RunResult run =
            Varnelpro(std::string("-in=- -out=- -bom=no -cp=") + c.cp, std::string("printf '") + c.input + "'");
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
    }
}

TEST_F(CodePageRun, ListsLatin1AndAsciiAsPagesOfTheirOwn)
{
    const RunResult run = Varnelpro("--list-code-pages");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\n28591\tISO-8859-1\tISO-8859-1\tWestern\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n20127\tUS-ASCII\tUS-ASCII\tWestern\n"), std::string::npos) << run.out;
}

// Past the megabytes detection reads, a paragraph in another code page
// (KOI8-R after 7-bit text, Latin-1 after UTF-8, a byte ISO-8859-6 does not
// have) is converted as before, but the file ends with a warning that says
// where it starts: in a folder, in its report and from a pipe.
TEST_F(CodePageRun, WarnsOfBytesBeyondTheDetectionSampleWithTheirOffset)
{
    const std::string line = "Plain text for the detection sample, seven bits only.\n";
    std::string ascii;
    while (ascii.size() < 5500000)
        ascii += line;
    const std::string koi8 = "\xF3\xDF\xC5\xDB\xD8 \xD6\xC5 \xC5\xA3\xC5\n";
    const std::string utf8 = "na\xC3\xAFve caf\xC3\xA9\n";
    const struct {
        const char* name;
        std::string bytes;
        const char* args;
        uint64_t offset;
        const char* finding;
    } cases[] = {
        {"koi8.txt", ascii + koi8, "", ascii.size(), "ASCII"},
        {"utf8.txt", utf8 + ascii + "caf\xE9\n", "", utf8.size() + ascii.size() + 3, "UTF-8"},
        {"arabic.txt", "\xC7\xC8\xC9 " + ascii + "\xA1\n", " -cp=28596", 4 + ascii.size(), "ISO-8859-6"},
    };
    mkdir(dir.File("in").c_str(), 0777);
    for (const auto& c : cases)
        WriteBytes(dir.File(std::string("in/") + c.name), c.bytes);
    const RunResult run = Varnelpro("-in=in -out=out -bom=no -export=report.csv");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::string report = ReadBytes(dir.File("report.csv"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string said = "the first at byte offset " + std::to_string(c.offset);
        if (*c.args == '\0') {
            EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
            EXPECT_NE(report.find(said), std::string::npos) << report;
            EXPECT_NE(report.find("uncovered_bytes"), std::string::npos) << report;
        }
        // The same text from a pipe.
        const RunResult piped =
            Varnelpro(std::string("-in=- -out=piped.txt -bom=no") + c.args, std::string("cat in/") + c.name);
        EXPECT_EQ(piped.status, 1) << piped.err;
        EXPECT_NE(piped.err.find(said), std::string::npos) << piped.err;
        EXPECT_NE(piped.err.find(c.finding), std::string::npos) << piped.err;
    }
    // The paragraph is still read as before: code page 0 reads bytes that are
    // not UTF-8 in its fallback code page (windows-1252 here), and C5 A3 as
    // the UTF-8 it happens to be.
    const std::string converted = ReadBytes(dir.File("out/koi8.txt"));
    ASSERT_GT(converted.size(), ascii.size());
    EXPECT_TRUE(converted.compare(0, ascii.size(), ascii) == 0);
    EXPECT_EQ(converted.substr(ascii.size()),
              "\xC3\xB3\xC3\x9F\xC3\x85\xC3\x9B\xC3\x98 \xC3\x96\xC3\x85 \xC5\xA3\xC3\x85\n");
}

// A conversion that replaced bytes and met C1 controls says both, in the
// per-file line and the report, not only the last it noted.
TEST_F(CodePageRun, SaysEveryReasonTheConversionMet)
{
    mkdir(dir.File("in").c_str(), 0777);
    WriteBytes(dir.File("in/a.txt"), "na\xC3\xAFve caf\xC3\xA9 \xC2\x85 and \xFF here\n");
    const RunResult run = Varnelpro("-in=in -out=out -cp=65001 -export=report.csv");
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string said =
        "1 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
        "cover, the first at byte offset 20: check the code page; 1 invisible control characters (U+0080 to "
        "U+009F) in the text: check the code page";
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    const std::string report = ReadBytes(dir.File("report.csv"));
    EXPECT_NE(report.find(said), std::string::npos) << report;
    EXPECT_NE(report.find(",replaced_characters uncovered_bytes c1_controls"), std::string::npos) << report;
}

}  // namespace
