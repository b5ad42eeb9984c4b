// The program's reports read back: JSON Lines through a strict parser, the
// detailed CSV columns, and the files a stopped run did not process.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <string>

#include "app/headless/program_runner.h"
#include "support/json_reader.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using testing_support::JsonValue;
using testing_support::ParseJsonLines;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

// The exact name of a report's path: its percent-encoded bytes when given.
std::string ExactName(const JsonValue& line, const std::string& key)
{
    const JsonValue& bytes = line[key + "_bytes"];
    if (bytes.IsNull())
        return line[key].text;
    std::string name;
    for (size_t i = 0; i < bytes.text.size(); ++i) {
        if (bytes.text[i] == '%' && i + 2 < bytes.text.size()) {
            name += static_cast<char>(std::stoi(bytes.text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            name += bytes.text[i];
        }
    }
    return name;
}

class ReportRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("in").c_str(), 0777);
        mkdir(dir.File("in/sub").c_str(), 0777);
        WriteBytes(dir.File("in/ru.txt"),
                   "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0! \xdd\xf2\xee \xf2\xe5\xea\xf1\xf2 \xed\xe0 "
                   "\xf0\xf3\xf1\xf1\xea\xee\xec \xff\xe7\xfb\xea\xe5, \xea\xee\xf2\xee\xf0\xfb\xe9 "
                   "\xed\xf3\xe6\xed\xee \xef\xf0\xe5\xee\xe1\xf0\xe0\xe7\xee\xe2\xe0\xf2\xfc.\r\n");
        WriteBytes(dir.File("in/sub/u16.txt"), std::string("\xFF\xFE"
                                                           "a\0\r\0\n\0b\0\n\0\r\0",
                                                           14));
        WriteBytes(dir.File("in/u8.txt"), "caf\xc3\xa9\nna\xc3\xafve\r\n");
        WriteBytes(dir.File("in/sub/image.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\0", 21));
    }
    TempDir dir;
};

TEST_F(ReportRunTest, JsonLinesHoldAHeaderOneObjectPerFileAndASummary)
{
    const RunResult run = testing_support::RunProgram(dir, "-in=in -out=out -r -export=r.jsonl -exporttype=JSON");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const std::string bytes = ReadBytes(dir.File("r.jsonl"));
    std::string why;
    const auto lines = ParseJsonLines(bytes, &why);
    ASSERT_TRUE(lines) << why << "\n" << bytes;
    ASSERT_EQ(lines->size(), 6u) << bytes;

    const JsonValue& header = lines->front();
    EXPECT_EQ(header["type"].text, "header");
    EXPECT_FALSE(header["program_version"].text.empty());
    EXPECT_NE(header["command_line"].text.find("-exporttype=JSON"), std::string::npos);
    EXPECT_TRUE(header["detection"]["auto_detect"].boolean);
    EXPECT_TRUE(header["conversion"]["recursive"].boolean);

    const struct {
        const char* file;
        const char* detectedBy;
        int codepage;
        const char* result;
        unsigned long long crlf, lf, cr;
    } expected[] = {
        {"in/ru.txt", "statistics", 1251, "converted", 1, 0, 0},
        {"in/sub/u16.txt", "bom", 1200, "converted", 1, 1, 1},
        {"in/u8.txt", "utf8_check", 65001, "converted", 1, 1, 0},
        {"in/sub/image.png", "extension", -1, "ok", 0, 0, 0},
    };
    std::map<std::string, const JsonValue*> files;
    for (size_t i = 1; i + 1 < lines->size(); ++i) {
        EXPECT_EQ((*lines)[i]["type"].text, "file");
        files[(*lines)[i]["input"].text] = &(*lines)[i];
    }
    for (const auto& row : expected) {
        SCOPED_TRACE(row.file);
        ASSERT_TRUE(files.count(dir.File(row.file))) << bytes;
        const JsonValue& line = *files[dir.File(row.file)];
        EXPECT_EQ(line["status"].text, "finished");
        EXPECT_EQ(line["result"].text, row.result);
        EXPECT_EQ(line["detected_by"].text, row.detectedBy);
        EXPECT_EQ(line["codepage"].text, std::to_string(row.codepage));
        EXPECT_EQ(line["bytes_in"].Unsigned(), ReadBytes(dir.File(row.file)).size());
        if (std::string(row.result) != "converted") {
            EXPECT_TRUE(line["output"].IsNull());
            continue;
        }
        EXPECT_EQ(line["output"].text, dir.File(std::string("out") + (row.file + 2)));
        EXPECT_EQ(line["bytes_out"].Unsigned(), ReadBytes(line["output"].text).size());
        EXPECT_EQ(line["bom_out"].boolean, ReadBytes(line["output"].text).rfind("\xEF\xBB\xBF", 0) == 0);
        EXPECT_EQ(line["line_endings"]["crlf"].Unsigned(), row.crlf);
        EXPECT_EQ(line["line_endings"]["lf"].Unsigned(), row.lf);
        EXPECT_EQ(line["line_endings"]["cr"].Unsigned(), row.cr);
    }
    EXPECT_EQ(files[dir.File("in/ru.txt")]->operator[]("iana_name").text, "windows-1251");

    const JsonValue& summary = lines->back();
    EXPECT_EQ(summary["type"].text, "summary");
    EXPECT_EQ(summary["stop_reason"].text, "finished");
    EXPECT_EQ(summary["files"].Unsigned(), 4u);
    EXPECT_EQ(summary["results"]["converted"].Unsigned(), 3u);
}

TEST_F(ReportRunTest, CsvAndXmlReportsAddTheFieldsAfterTheirFirstColumns)
{
    ASSERT_EQ(testing_support::RunProgram(dir, "-in=in -out=out -r -bom=no -export=r.csv").status, 0);
    const std::string csv = ReadBytes(dir.File("r.csv"));
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFInput File,Output File,Code Page,Confidence,BOM,Status,Replaced,Message,Code Page "
                        "Number,IANA Name,Detected By,BOM Out,CR LF,LF,CR,Bytes In,Bytes Out,Result,Reasons\r\n",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find(dir.File("in/u8.txt") + "," + dir.File("out/u8.txt") +
                       ",Unicode (UTF-8),0.99,No,Converted,0,,65001,UTF-8,utf8_check,No,1,1,0,14,14,converted,"),
              std::string::npos)
        << csv;

    ASSERT_EQ(testing_support::RunProgram(dir, "-in=in -r -d -export=r.xml -exporttype=XML").status, 0);
    const std::string xml = ReadBytes(dir.File("r.xml"));
    EXPECT_NE(xml.find("status=\"OK\" replaced=\"0\" message=\"\" ianaName=\"UTF-16LE\" detectedBy=\"bom\" bomOut=\"\" "
                       "crlf=\"\" lf=\"\" cr=\"\" bytesIn=\"14\" bytesOut=\"0\" result=\"ok\" reasons=\"\"/>"),
              std::string::npos)
        << xml;
}

TEST_F(ReportRunTest, JsonLinesAreAlwaysUtf8)
{
    const RunResult run =
        testing_support::RunProgram(dir, "-in=in -out=out -export=r.jsonl -exporttype=JSON -exportenc=UTF16LE");
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("always UTF-8"), std::string::npos) << run.err;
    EXPECT_FALSE(testing_support::Exists(dir.File("out")));
}

// A stopped run lists the files it found but did not process, each once, by
// their exact names, so that a rerun can be scoped to them.
TEST_F(ReportRunTest, AStoppedRunListsTheFilesItDidNotProcess)
{
    corpus::TreeOptions options;
    options.files = 2000;
    mkdir(dir.File("many").c_str(), 0777);
    std::set<std::string> onDisk;
    for (const corpus::TreeFile& file : corpus::MakeMixedTree(dir.File("many"), options))
        onDisk.insert(dir.File("many/" + file.relative));

    for (const char* type : {"JSON", "CSV"}) {
        SCOPED_TRACE(type);
        const std::string report = dir.File(std::string("r.") + type);
        const int status =
            testing_support::RunAndSignal(dir,
                                          {"-in=" + dir.File("many"), "-out=" + dir.File("out"), "-r", "-h",
                                           "-export=" + report, std::string("-exporttype=") + type},
                                          {SIGINT});
        ASSERT_EQ(status, 1);
        const std::string bytes = ReadBytes(report);
        if (std::string(type) == "CSV") {
            EXPECT_NE(bytes.find(",Not processed,"), std::string::npos);
            continue;
        }
        std::string why;
        const auto lines = ParseJsonLines(bytes, &why);
        ASSERT_TRUE(lines) << why;
        ASSERT_GE(lines->size(), 2u);
        std::set<std::string> listed;
        size_t notProcessed = 0;
        for (size_t i = 1; i + 1 < lines->size(); ++i) {
            const JsonValue& line = (*lines)[i];
            const std::string name = ExactName(line, "input");
            EXPECT_TRUE(onDisk.count(name)) << name;
            EXPECT_TRUE(listed.insert(name).second) << "listed twice: " << name;
            if (line["status"].text == "not_processed") {
                ++notProcessed;
                EXPECT_TRUE(line["result"].IsNull());
                EXPECT_TRUE(line["output"].IsNull());
            } else {
                EXPECT_EQ(line["status"].text, "finished");
            }
        }
        EXPECT_GT(notProcessed, 0u) << "stopped after the first file of 2000";
        const JsonValue& summary = lines->back();
        EXPECT_EQ(summary["stop_reason"].text, "stopped");
        EXPECT_EQ(summary["results"]["not_processed"].Unsigned(), notProcessed);
        EXPECT_EQ(summary["files"].Unsigned(), listed.size());
    }
}

}  // namespace
