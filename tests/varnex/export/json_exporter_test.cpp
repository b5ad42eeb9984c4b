#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "support/json_reader.h"
#include "support/temp_dir.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/export/json_exporter.h"
#include "varnex/export/report_record.h"
#include "varnex/export/xml_exporter.h"
#include "varnex/session/varnex_file_info.h"

namespace {

using testing_support::JsonValue;
using testing_support::ParseJson;
using testing_support::ParseJsonLines;
using testing_support::ReadBytes;
using testing_support::TempDir;

TEST(JsonExporter, QuotesEveryCharacterSoThatAStrictParserReadsItBack)
{
    const struct {
        const char* name;
        std::u16string text;
        std::u16string quoted;
        bool lossy;
    } rows[] = {
        {"plain", u"/in/a.txt", u"\"/in/a.txt\"", false},
        {"empty", u"", u"\"\"", false},
        {"quote and backslash", u"a\"b\\c", u"\"a\\\"b\\\\c\"", false},
        {"short escapes", u"\b\f\n\r\t", u"\"\\b\\f\\n\\r\\t\"", false},
        {"other controls and DEL", std::u16string(u"\0\x01\x1f\x7f", 4), u"\"\\u0000\\u0001\\u001f\\u007f\"", false},
        {"line and paragraph separators", u"\u2028\u2029", u"\"\\u2028\\u2029\"", false},
        {"slash and C1 kept", u"/\u0085\u00e9", u"\"/\u0085\u00e9\"", false},
        {"surrogate pair kept", u"\U0001F600", u"\"\U0001F600\"", false},
        {"non-characters kept", u"\uFFFE\uFFFF", u"\"\uFFFE\uFFFF\"", false},
        {"a name's undecodable byte", u"caf\xDCE9.txt", u"\"caf\uFFFD.txt\"", true},
        {"lone high surrogate at the end", u"a\xD800", u"\"a\uFFFD\"", true},
        {"low before high", u"\xDC00\xD800", u"\"\uFFFD\uFFFD\"", true},
        {"high before a letter", u"\xD83Dx", u"\"\uFFFDx\"", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        bool lossy = false;
        const std::u16string quoted = CVarnexJSONExporter::Quote(row.text, &lossy);
        EXPECT_EQ(quoted, row.quoted);
        EXPECT_EQ(lossy, row.lossy);
        std::string why;
        const auto value = ParseJson(text::ToUtf8(quoted), &why);
        ASSERT_TRUE(value) << why;
        if (!row.lossy) {
            EXPECT_EQ(value->text, text::ToUtf8(row.text));
        }
    }
}

// A record as a converter thread leaves it.
void Finish(CVarnexFileInfo& info, FileOutcome outcome)
{
    info.SetOutcome(outcome);
    info.SetStatus(VARNEXFILESTATUS_FINISHED);
}

FileOutcome Converted()
{
    FileOutcome outcome;
    outcome.operation = VARNEXRESULTOPERATION_CONVERTED;
    outcome.codepage = 1251;
    outcome.confidence = 0.876f;
    outcome.method = DetectionMethod::Statistics;
    outcome.lineEndings = {3, 1, 0, true};
    outcome.bytesIn = 100;
    outcome.bytesOut = 180;
    return outcome;
}

FileOutcome Warned()
{
    FileOutcome outcome = Converted();
    outcome.state = VARNEXRESULTSTATE_WARNING;
    outcome.replaced = 2;
    outcome.reasons = {ReasonNote::Of(OutcomeReason::ReplacedCharacters, 2),
                       ReasonNote::Of(OutcomeReason::C1Controls, 1)};
    return outcome;
}

FileOutcome DetectedBinary()
{
    FileOutcome outcome;
    outcome.codepage = -1;
    outcome.method = DetectionMethod::ZeroBytes;
    outcome.bytesIn = 7;
    return outcome;
}

CVarnexJSONExporter::RunInfo RunOf1251()
{
    CVarnexJSONExporter::RunInfo run;
    run.programVersion = u"9.8.7";
    run.commandLine = u" -in=in -exporttype=JSON";
    run.options.inputCodepage = 1251;
    run.options.writeBom = false;
    run.options.filter.SetFilterString(false, u"*.txt");
    run.options.filter.EnableFilter(true);
    return run;
}

TEST(JsonExporter, ARunReadsBackAsAHeaderOneObjectPerFileAndASummary)
{
    TempDir dir;
    CVarnexFileInfo converted(1, u"/in/\u00e9t\u00e9\n\"q\".txt", u"/out/a.txt", nullptr);
    converted.SetOptions({.writeBom = true});
    Finish(converted, Converted());
    CVarnexFileInfo warned(2, u"/in/caf\xDCE9.txt", u"/out/caf\xDCE9.txt", nullptr);
    Finish(warned, Warned());
    CVarnexFileInfo binary(3, u"/in/image.png", u"/out/image.png", nullptr);
    Finish(binary, DetectedBinary());
    CVarnexFileInfo waiting(4, u"/in/later.txt", u"/out/later.txt", nullptr);

    CVarnexJSONExporter exporter(dir.File16("r.jsonl").c_str(), 4096, RunOf1251());
    ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
    for (CVarnexFileInfo* info : {&converted, &warned, &binary})
        exporter.ExportFileInfo(*info);
    exporter.ExportNotProcessed(waiting);
    exporter.Close(VARNEXSESSIONSTOPREASON_USER);
    ASSERT_FALSE(exporter.HasWriteError());

    const std::string bytes = ReadBytes(dir.File("r.jsonl"));
    ASSERT_EQ(bytes.rfind("{", 0), 0u) << "no byte order mark";
    std::string why;
    const auto lines = ParseJsonLines(bytes, &why);
    ASSERT_TRUE(lines) << why << "\n" << bytes;
    ASSERT_EQ(lines->size(), 6u) << bytes;

    const JsonValue& header = lines->front();
    EXPECT_EQ(header["type"].text, "header");
    EXPECT_EQ(header["program_version"].text, "9.8.7");
    EXPECT_EQ(header["command_line"].text, " -in=in -exporttype=JSON");
    EXPECT_EQ(header["session"].text, "conversion");
    EXPECT_EQ(header["detection"]["input_codepage"].text, "1251");
    EXPECT_FALSE(header["detection"]["auto_detect"].boolean);
    EXPECT_EQ(header["detection"]["sure_confidence"].text, "0.70");
    EXPECT_NE(header["detection"]["binary_list_file"].text.find("Binary.bin"), std::string::npos);
    EXPECT_EQ(header["conversion"]["name_filter"].text, "*.txt");
    EXPECT_EQ(header["conversion"]["output_format"].text, "UTF8");

    const JsonValue& first = (*lines)[1];
    EXPECT_EQ(first["type"].text, "file");
    EXPECT_EQ(first["input"].text, "/in/\xc3\xa9t\xc3\xa9\n\"q\".txt");
    EXPECT_FALSE(first.Has("input_bytes"));
    EXPECT_EQ(first["output"].text, "/out/a.txt");
    EXPECT_EQ(first["status"].text, "finished");
    EXPECT_EQ(first["result"].text, "converted");
    EXPECT_EQ(first["result_text"].text, "Converted");
    EXPECT_EQ(first["codepage"].text, "1251");
    EXPECT_EQ(first["iana_name"].text, "windows-1251");
    EXPECT_EQ(first["confidence"].text, "0.88");
    EXPECT_EQ(first["detected_by"].text, "statistics");
    EXPECT_FALSE(first["bom_in"].boolean);
    EXPECT_TRUE(first["bom_out"].boolean);
    EXPECT_EQ(first["line_endings"]["crlf"].text, "3");
    EXPECT_EQ(first["line_endings"]["lf"].text, "1");
    EXPECT_EQ(first["line_endings"]["cr"].text, "0");
    EXPECT_EQ(first["bytes_in"].text, "100");
    EXPECT_EQ(first["bytes_out"].text, "180");
    EXPECT_EQ(first["reasons"].items.size(), 0u);

    // A name that is not UTF-8: shown with U+FFFD, exact in its bytes.
    const JsonValue& second = (*lines)[2];
    EXPECT_EQ(second["input"].text, "/in/caf\xef\xbf\xbd.txt");
    EXPECT_EQ(second["input_bytes"].text, "/in/caf%E9.txt");
    EXPECT_EQ(second["output_bytes"].text, "/out/caf%E9.txt");
    EXPECT_EQ(second["result"].text, "warning");
    EXPECT_EQ(second["replaced"].text, "2");
    ASSERT_EQ(second["reasons"].items.size(), 2u);
    EXPECT_EQ(second["reasons"].items[0].text, "replaced_characters");
    EXPECT_EQ(second["reasons"].items[1].text, "c1_controls");
    EXPECT_NE(second["message"].text.find("replaced by U+FFFD"), std::string::npos);

    const JsonValue& third = (*lines)[3];
    EXPECT_TRUE(third["output"].IsNull());
    EXPECT_EQ(third["result"].text, "ok");
    EXPECT_EQ(third["codepage"].text, "-1");
    EXPECT_EQ(third["codepage_name"].text, "Binary");
    EXPECT_TRUE(third["iana_name"].IsNull());
    EXPECT_EQ(third["detected_by"].text, "zero_bytes");
    EXPECT_TRUE(third["bom_out"].IsNull());
    EXPECT_TRUE(third["line_endings"].IsNull());

    const JsonValue& fourth = (*lines)[4];
    EXPECT_EQ(fourth["input"].text, "/in/later.txt");
    EXPECT_EQ(fourth["status"].text, "not_processed");
    EXPECT_TRUE(fourth["result"].IsNull());
    EXPECT_EQ(fourth["result_text"].text, "Not processed");
    EXPECT_TRUE(fourth["detected_by"].IsNull());

    const JsonValue& summary = lines->back();
    EXPECT_EQ(summary["type"].text, "summary");
    EXPECT_EQ(summary["stop_reason"].text, "stopped");
    EXPECT_EQ(summary["files"].Unsigned(), 4u);
    EXPECT_EQ(summary["results"]["converted"].Unsigned(), 1u);
    EXPECT_EQ(summary["results"]["warning"].Unsigned(), 1u);
    EXPECT_EQ(summary["results"]["ok"].Unsigned(), 1u);
    EXPECT_EQ(summary["results"]["not_processed"].Unsigned(), 1u);
    EXPECT_EQ(summary["bytes_in"].Unsigned(), 207u);
    EXPECT_EQ(summary["bytes_out"].Unsigned(), 360u);
}

TEST(JsonExporter, AResumedSessionAppendsAHeaderItsFilesAndASummaryOfItsOwn)
{
    TempDir dir;
    CVarnexFileInfo info(1, u"/in/a.txt", u"/out/a.txt", nullptr);
    Finish(info, Converted());
    CVarnexJSONExporter exporter(dir.File16("r.jsonl").c_str(), 4096, RunOf1251());
    for (const bool append : {false, true}) {
        ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, append));
        exporter.ExportFileInfo(info);
        exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
    }
    std::string why;
    const auto lines = ParseJsonLines(ReadBytes(dir.File("r.jsonl")), &why);
    ASSERT_TRUE(lines) << why;
    ASSERT_EQ(lines->size(), 6u);
    for (size_t i = 0; i < 6; i += 3) {
        EXPECT_EQ((*lines)[i]["type"].text, "header");
        EXPECT_EQ((*lines)[i + 1]["type"].text, "file");
        EXPECT_EQ((*lines)[i + 2]["files"].Unsigned(), 1u) << "each summary counts its own session";
    }
}

// The detailed CSV report and the XML report add the same fields after their
// first ones, which keep their order and texts.
TEST(DetailedReports, AddTheFieldsAfterTheFirstColumnsAndListFilesNotProcessed)
{
    TempDir dir;
    CVarnexFileInfo converted(1, u"/in/a.txt", u"/out/a.txt", nullptr);
    converted.SetOptions({.writeBom = false});
    Finish(converted, Warned());
    CVarnexFileInfo waiting(2, u"/in/b.txt", u"/out/b.txt", nullptr);

    CVarnexDetailedCSVExporter csv(dir.File16("r.csv").c_str(), TEXTENCODING_UTF8, false, 4096);
    ASSERT_TRUE(csv.Open(VARNEXSESSIONTYPE_CONVERSION, false));
    csv.ExportFileInfo(converted);
    csv.ExportNotProcessed(waiting);
    csv.Close(VARNEXSESSIONSTOPREASON_USER);
    const std::string message =
        "2 characters could not be decoded or written and were replaced by U+FFFD; 1 invisible control characters "
        "(U+0080 to U+009F) in the text: check the code page";
    EXPECT_EQ(ReadBytes(dir.File("r.csv")),
              "Input File,Output File,Code Page,Confidence,BOM,Status,Replaced,Message,Code Page Number,IANA Name,"
              "Detected By,BOM Out,CR LF,LF,CR,Bytes In,Bytes Out,Result,Reasons\r\n"
              "/in/a.txt,/out/a.txt,Cyrillic (Windows-1251),0.88,No,Warning,2," +
                  message +
                  ",1251,windows-1251,statistics,No,3,1,0,100,180,warning,replaced_characters c1_controls\r\n"
                  "/in/b.txt,,,0.00,No,Not processed,0,,,,,,,,,0,0,not_processed,");

    CVarnexXMLExporter xml(dir.File16("r.xml").c_str(), TEXTENCODING_UTF8, false);
    ASSERT_TRUE(xml.Open(VARNEXSESSIONTYPE_CONVERSION, false));
    xml.ExportFileInfo(converted);
    xml.ExportNotProcessed(waiting);
    xml.Close(VARNEXSESSIONSTOPREASON_USER);
    const std::string report = ReadBytes(dir.File("r.xml"));
    EXPECT_NE(
        report.find("<file input=\"/in/a.txt\" output=\"/out/a.txt\" codepage=\"1251\" codepageName=\"Cyrillic "
                    "(Windows-1251)\" confidence=\"0.88\" bom=\"No\" status=\"Warning\" replaced=\"2\" message=\"" +
                    message +
                    "\" ianaName=\"windows-1251\" detectedBy=\"statistics\" bomOut=\"No\" crlf=\"3\" lf=\"1\" "
                    "cr=\"0\" bytesIn=\"100\" bytesOut=\"180\" result=\"warning\" reasons=\"replaced_characters "
                    "c1_controls\"/>"),
        std::string::npos)
        << report;
    EXPECT_NE(report.find("<file input=\"/in/b.txt\" output=\"\" codepage=\"\" codepageName=\"\" confidence=\"0.00\" "
                          "bom=\"No\" status=\"Not processed\""),
              std::string::npos)
        << report;
}

}  // namespace
