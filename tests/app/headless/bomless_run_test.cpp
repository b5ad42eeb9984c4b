// Text in UTF-16 or UTF-32 without a byte order mark, through the real
// program: in any script and under any name it is converted, never skipped
// as binary with an OK status.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "app/headless/program_runner.h"
#include "support/iconv_oracle.h"

namespace {

using testing_support::IconvBytes;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::string Repeat(const std::string& line, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

// The report's line for an input whose path ends so.
std::string ReportLine(const std::string& csv, const std::string& inputEnd)
{
    const size_t at = csv.find(inputEnd + ",");
    if (at == std::string::npos)
        return {};
    const size_t start = csv.rfind('\n', at) + 1;
    return csv.substr(start, csv.find('\n', at) - start);
}

const std::string kCyrillic = Repeat("Старый смотритель маяка.\n", 20);
const std::string kJapanese = Repeat("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。\n", 5);
const std::string kGreek = "Ο γέρος φαροφύλακας ανέβαινε τη σκάλα κάθε βράδυ.\n";
const std::string kHangul = "늙은 등대지기는 계단을 올랐다.\n";

class BomlessRun : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("in").c_str(), 0777);
        for (const File& file : kFiles)
            WriteBytes(dir.File(std::string("in/") + file.name), *IconvBytes(file.charset, "UTF-8", *file.text));
        WriteBytes(dir.File("in/tool"), std::string("\x7F"
                                                    "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0",
                                                    20));
    }

    struct File {
        const char* name;
        const char* charset;
        const std::string* text;
        const char* form;  // as the report names it
    };
    static constexpr File kFiles[] = {
        {"r.txt", "UTF-16BE", &kCyrillic, "Unicode (UTF-16 Big Endian)"},
        {"ja.txt", "UTF-16BE", &kJapanese, "Unicode (UTF-16 Big Endian)"},
        {"r.dat", "UTF-16LE", &kCyrillic, "Unicode (UTF-16 Little Endian)"},
        {"README", "UTF-32LE", &kGreek, "Unicode (UTF-32 Little Endian)"},
        {"short.csv", "UTF-16BE", &kHangul, "Unicode (UTF-16 Big Endian)"},
    };
    TempDir dir;
};

TEST_F(BomlessRun, ConvertsTextInAnyScriptUnderAnyName)
{
    const RunResult run = testing_support::RunProgram(dir, "-in=in -out=out -export=r.csv");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Files converted        5"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Skipped (binary)       1"), std::string::npos) << run.out;
    const std::string csv = ReadBytes(dir.File("r.csv"));
    for (const File& file : kFiles) {
        SCOPED_TRACE(file.name);
        EXPECT_EQ(ReadBytes(dir.File(std::string("out/") + file.name)), *file.text);
        EXPECT_NE(ReportLine(csv, std::string("/in/") + file.name)
                      .find(std::string(",") + file.form + ",0.99,No,Converted,0,"),
                  std::string::npos)
            << csv;
    }
    EXPECT_NE(ReportLine(csv, "/in/tool").find(",Binary,0.00,No,OK,"), std::string::npos) << csv;
}

// One file, and standard input, take the same test.
TEST_F(BomlessRun, ConvertsOneFileAndStandardInput)
{
    for (const char* args : {"-mode=FILE -in=in/r.txt -out=o.txt", "-in=- -out=o.txt < in/r.txt"}) {
        SCOPED_TRACE(args);
        unlink(dir.File("o.txt").c_str());
        const RunResult run = testing_support::RunProgram(dir, args);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(ReadBytes(dir.File("o.txt")), kCyrillic);
    }
}

}  // namespace
