#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/headless/program_runner.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Short legacy texts whose code page the statistics cannot name.
const std::string kLatin1 = "Keyboard test: \xC0\xC9\xCE\xD5\xDC \xF1 \xE7 \xDF, done by the team.\n";
const std::string kCentral =
    "Keyboard test: \xA5\xCA\xA3\xD1\x8C\x8F\xAF \xB9\xEA\xB3\xF1\x9C\x9F\xBF, done by the team.\n";
const std::string kKoi8 = "Test \xFD\xFF\xF9\xF8\xFC\xE0\xF1 \xF6\xEB\xE8 \xB3\xF6\xFA done, see the list.\n";
// Control-heavy bytes without a run of zeros.
const std::string kNoise = std::string("\x8F\x01\x9A\x13\xC4\x05\xFE\x1E\x7F\x02\xB3\x10\x00\x11", 14) +
                           "\x88\x04\x91\x16\xEE\x03\xA2\x1C\x9D\x06\xDB\x17\x8A\x15\xF7\x12";

size_t Count(const std::string& haystack, const std::string& needle)
{
    size_t n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1))
        ++n;
    return n;
}

// A row of the summary, as the program lays it out.
std::string SummaryRow(const char* label, unsigned value)
{
    char line[96];
    snprintf(line, sizeof line, "  %-22s %u\n", label, value);
    return line;
}

class UnknownTextRun : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("in").c_str(), 0777);
        WriteBytes(dir.File("in/latin1.txt"), kLatin1);
        WriteBytes(dir.File("in/central.dat"), kCentral);
        WriteBytes(dir.File("in/koi8.txt"), kKoi8);
        WriteBytes(dir.File("in/noise.dat"), kNoise);
        WriteBytes(dir.File("in/empty.txt"), "");
    }
    RunResult Varnelpro(const std::string& args) { return testing_support::RunProgram(dir, args); }
    TempDir dir;
};

TEST_F(UnknownTextRun, FolderRunWarnsKeepsTextOutOfBinaryAndCopiesItOnlyWithC)
{
    struct Row {
        const char* args;
        bool copied;
    };
    const Row rows[] = {
        {"-in=in -out=out -export=out.csv", false},
        {"-in=in -out=out -c -export=out.csv", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        ASSERT_EQ(std::system(("rm -rf '" + dir.File("out") + "'").c_str()), 0);
        const RunResult run = Varnelpro(row.args);
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.out.find(SummaryRow("Warnings", 3)), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(SummaryRow("Encoding not found", 3)), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(SummaryRow("Errors", 0)), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(SummaryRow("Copied unconverted", row.copied ? 5 : 0)), std::string::npos) << run.out;
        EXPECT_NE(run.out.find(SummaryRow("Skipped (binary)", row.copied ? 0 : 2)), std::string::npos) << run.out;
        EXPECT_NE(run.err.find("-cp="), std::string::npos) << run.err;
        for (const auto& [name, bytes] : {std::pair{"latin1.txt", kLatin1},
                                          {"central.dat", kCentral},
                                          {"koi8.txt", kKoi8},
                                          {"noise.dat", kNoise}}) {
            SCOPED_TRACE(name);
            // Unchanged when copied, never converted.
            EXPECT_EQ(Exists(dir.File("out/") + name), row.copied);
            EXPECT_EQ(ReadBytes(dir.File("out/") + name), row.copied ? bytes : "");
        }
        const std::string csv = ReadBytes(dir.File("out.csv"));
        EXPECT_EQ(Count(csv, ",,0.00,No,Warning,0,text in an encoding that could not be found: not converted"), 3u)
            << csv;
        EXPECT_EQ(Count(csv, "Binary"), 2u) << csv;  // the noise and the empty file
    }
    // The XML report gives no code page number: -1 would read as binary.
    ASSERT_EQ(Varnelpro("-in=in -d -export=r.xml -exporttype=XML").status, 1);
    EXPECT_EQ(Count(ReadBytes(dir.File("r.xml")), "codepage=\"\" codepageName=\"\""), 3u);
}

TEST_F(UnknownTextRun, OneFileModeExitsOneNamingTheFileUnlessACodePageIsGiven)
{
    struct Row {
        const char* args;
        int status;
        const char* output;  // expected bytes of o.txt; null: no file
        bool hint;
    };
    const std::string utf8 = "Keyboard test: \xC3\x80\xC3\x89\xC3\x8E\xC3\x95\xC3\x9C \xC3\xB1 \xC3\xA7 \xC3\x9F, "
                             "done by the team.\n";
    const Row rows[] = {
        {"-mode=FILE -in=in/latin1.txt -out=o.txt", 1, nullptr, true},
        {"-mode=FILE -in=in/latin1.txt -out=o.txt -c", 1, kLatin1.c_str(), true},
        {"-mode=FILE -in=in/latin1.txt -out=o.txt -cp=1252 -bom=no", 0, utf8.c_str(), false},
        {"-mode=FILE -in=in/empty.txt -out=o.txt", 0, nullptr, false},
        {"-mode=FILE -in=in/noise.dat -out=o.txt", 0, nullptr, false},
        {"-mode=FILE -in=in/koi8.txt -d", 1, nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args);
        unlink(dir.File("o.txt").c_str());
        const RunResult run = Varnelpro(row.args);
        EXPECT_EQ(run.status, row.status) << run.out << run.err;
        EXPECT_EQ(Exists(dir.File("o.txt")), row.output != nullptr);
        EXPECT_EQ(ReadBytes(dir.File("o.txt")), row.output ? row.output : "");
        const std::string hint = "varnelpro: the encoding of " + dir.File("in/latin1.txt") + " could not be found";
        EXPECT_EQ(run.err.find(hint) != std::string::npos, row.hint) << run.err;
        EXPECT_EQ(run.err.find("-cp=NUMBER") != std::string::npos, row.hint) << run.err;
    }
}

}  // namespace
