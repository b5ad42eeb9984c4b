#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <locale>
#include <memory>
#include <thread>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "support/temp_dir.h"
#include "textrion/csv/csv_value_formatter.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/varnex_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

const std::u16string kHeader = u"Input File,Output File,Code Page,Confidence,BOM,Status,Replaced,Message";

std::unique_ptr<CVarnexFileInfo> Converted(const std::u16string& input, const std::u16string& message = u"")
{
    auto info = std::make_unique<CVarnexFileInfo>(1, input.c_str(), u"/out/x.txt", nullptr);
    info->SetCodepage(1252);
    info->SetConfidence(0.5f);
    info->SetResultState(VARNEXRESULTSTATE_OK);
    info->SetResultOperation(VARNEXRESULTOPERATION_CONVERTED);
    info->SetMessage(message);
    return info;
}

std::u16string RowOf(const std::u16string& input)
{
    return input + u",/out/x.txt,Western (Windows-1252),0.50,No,Converted,0,";
}

std::u16string Lines(std::initializer_list<std::u16string> lines)
{
    std::u16string joined;
    for (const auto& line : lines)
        joined += (joined.empty() ? u"" : u"\r\n") + line;
    return joined;
}

// The report's bytes as the oracle writes them: the BOM, then the text.
std::string Encoded(unsigned codepage, bool bom, const std::u16string& text)
{
    return (bom ? varnex_test::EncodeUnicodeForm(codepage, u"\uFEFF") : "") +
           varnex_test::EncodeUnicodeForm(codepage, text);
}

TEST(CsvExporter, WritesHeaderAndRowsInTheReportEncoding)
{
    const struct {
        const char* name;
        TEXTENCODING encoding;
        unsigned codepage;
        bool bom;
        int records;
    } rows[] = {
        {"UTF-8, no session rows: header only, no line break after it", TEXTENCODING_UTF8, 65001, false, 0},
        {"UTF-8 with BOM", TEXTENCODING_UTF8, 65001, true, 2},
        {"UTF-16 BE, header only", TEXTENCODING_UTF16BE, 1201, true, 0},
        {"UTF-16 BE commas and breaks", TEXTENCODING_UTF16BE, 1201, true, 2},
        {"UTF-16 LE without BOM", TEXTENCODING_UTF16LE, 1200, false, 2},
        {"UTF-32 LE", TEXTENCODING_UTF32LE, 12000, true, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        CVarnexStandardCSVExporter exporter(dir.File16("r.csv").c_str(), row.encoding, row.bom, 4096);
        ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
        std::u16string expected = kHeader;
        for (int i = 0; i < row.records; ++i) {
            const std::u16string input = u"/in/\u00E9t\u00E9 \U0001F600" + text::FromNumber(i) + u".txt";
            exporter.ExportFileInfo(*Converted(input));
            expected += u"\r\n" + RowOf(input);
        }
        exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
        EXPECT_FALSE(exporter.IsOpen());
        EXPECT_FALSE(exporter.HasWriteError());
        EXPECT_EQ(ReadBytes(dir.File("r.csv")), Encoded(row.codepage, row.bom, expected));
    }
}

// A locale whose decimal point is a comma, as many users have.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST(CsvExporter, RowCellsDescribeTheRecordAndQuoteWhatNeedsIt)
{
    const std::u16string longQuoted = std::u16string(3000, u'x') + u"\"" + std::u16string(2000, u'y');
    const struct {
        const char* name;
        std::u16string input, message;
        int codepage;
        float confidence;
        int state, operation;
        std::u16string expected;
    } rows[] = {
        {"converted", u"/in/a.txt", u"", 1252, 0.876f, 1, 1,
         u"/in/a.txt,/out/x.txt,Western (Windows-1252),0.88,Yes,Converted,7,"},
        {"copied", u"/in/a", u"", 65001, 1.0f, 1, 2, u"/in/a,/out/x.txt,Unicode (UTF-8),1.00,Yes,Copied,7,"},
        {"detected only: no output path", u"/in/a", u"", -1, 0.07f, 1, 0, u"/in/a,,Binary,0.07,Yes,OK,7,"},
        {"no code page, confidence held to 0..1", u"/in/a", u"", 437, 1.5f, 2, 0, u"/in/a,,,1.00,Yes,Warning,7,"},
        {"negative confidence", u"/in/a", u"", 437, -0.2f, 6, 0, u"/in/a,,,0.00,Yes,Not Supported,7,"},
        {"NaN confidence", u"/in/a", u"", 437, std::nanf(""), 7, 0, u"/in/a,,,0.00,Yes,Write Error,7,"},
        {"cancelled", u"/in/a", u"", 437, 0.0f, 8, 0, u"/in/a,,,0.00,Yes,Cancelled,7,"},
        {"failed", u"/in/a", u"", 437, 0.0f, 3, 0, u"/in/a,,,0.00,Yes,Conversion Error,7,"},
        {"no result on a finished record", u"/in/a", u"", 437, 0.0f, 0, 0, u"/in/a,,,0.00,Yes,Conversion Error,7,"},
        {"unknown state", u"/in/a", u"", 437, 0.0f, 99, 1, u"/in/a,/out/x.txt,,0.00,Yes,Conversion Error,7,"},
        {"comma in path", u"/in/a,b.txt", u"x", 437, 0.0f, 5, 0, u"\"/in/a,b.txt\",,,0.00,Yes,Conversion Error,7,x"},
        {"quotes", u"/in/a", u"said \"hi\"", 437, 0.0f, 4, 0,
         u"/in/a,,,0.00,Yes,Conversion Error,7,\"said \"\"hi\"\"\""},
        {"line break and tab", u"/in/a", u"two\r\nli\tnes", 437, 0.0f, 4, 0,
         u"/in/a,,,0.00,Yes,Conversion Error,7,\"two\r\nli\tnes\""},
        {"lone high surrogate ending the row", u"/in/a", u"end\xD800", 437, 0.0f, 4, 0,
         u"/in/a,,,0.00,Yes,Conversion Error,7,end\uFFFD"},
        {"quote beyond the scratch buffer", u"/in/a", longQuoted, 437, 0.0f, 4, 0,
         u"/in/a,,,0.00,Yes,Conversion Error,7,\"" + std::u16string(3000, u'x') + u"\"\"" + std::u16string(2000, u'y') +
             u"\""},
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    TempDir dir;
    CVarnexStandardCSVExporter exporter(dir.File16("r.csv").c_str(), TEXTENCODING_UTF8, false, 4096);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CVarnexFileInfo info(1, row.input.c_str(), u"/out/x.txt", nullptr);
        info.SetCodepage(row.codepage);
        info.SetConfidence(row.confidence);
        info.SetHasBom(true);
        info.SetResultState(static_cast<VARNEXRESULTSTATE>(row.state));
        info.SetResultOperation(static_cast<VARNEXRESULTOPERATION>(row.operation));
        info.SetReplacedCount(7);
        info.SetMessage(row.message);
        ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
        exporter.ExportFileInfo(info);
        exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
        EXPECT_EQ(ReadBytes(dir.File("r.csv")), text::ToUtf8(kHeader + u"\r\n" + row.expected));
    }
    std::locale::global(previous);
}

TEST(CsvExporter, ContinuedReportHasOneBomAndEachSessionOnItsOwnLines)
{
    enum Before { kSession, kNothing, kBomOnly };
    const struct {
        const char* name;
        Before before;
        bool sameExporter, append;
        std::u16string expected;
    } rows[] = {
        {"resumed by the same exporter", kSession, true, true, Lines({kHeader, RowOf(u"/a"), kHeader, RowOf(u"/b")})},
        {"continued by a new exporter", kSession, false, true, Lines({kHeader, RowOf(u"/a"), kHeader, RowOf(u"/b")})},
        {"a new session starts the file again", kSession, true, false, Lines({kHeader, RowOf(u"/b")})},
        {"continuing a missing file", kNothing, false, true, Lines({kHeader, RowOf(u"/b")})},
        {"continuing a file holding its BOM only", kBomOnly, false, true, Lines({kHeader, RowOf(u"/b")})},
    };
    const struct {
        TEXTENCODING encoding;
        unsigned codepage;
    } forms[] = {{TEXTENCODING_UTF8, 65001}, {TEXTENCODING_UTF16BE, 1201}};
    for (const auto& form : forms) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + " in code page " + std::to_string(form.codepage));
            TempDir dir;
            const std::u16string path = dir.File16("r.csv");
            auto exporter = std::make_unique<CVarnexStandardCSVExporter>(path.c_str(), form.encoding, true, 4096);
            if (row.before == kSession) {
                ASSERT_TRUE(exporter->Open(VARNEXSESSIONTYPE_DETECTION, false));
                exporter->ExportFileInfo(*Converted(u"/a"));
                exporter->Close(VARNEXSESSIONSTOPREASON_USER);
            } else if (row.before == kBomOnly) {
                testing_support::WriteBytes(dir.File("r.csv"), Encoded(form.codepage, true, u""));
            }
            if (!row.sameExporter)
                exporter = std::make_unique<CVarnexStandardCSVExporter>(path.c_str(), form.encoding, true, 4096);
            ASSERT_TRUE(exporter->Open(VARNEXSESSIONTYPE_CONVERSION, row.append));
            exporter->ExportFileInfo(*Converted(u"/b"));
            exporter->Close(VARNEXSESSIONSTOPREASON_FINISHED);
            EXPECT_EQ(ReadBytes(dir.File("r.csv")), Encoded(form.codepage, true, row.expected));
        }
    }
}

TEST(CsvExporter, RowsBelongOnlyToTheReportOpenWhenTheyArrive)
{
    TempDir dir;
    CVarnexStandardCSVExporter exporter(dir.File16("r.csv").c_str(), TEXTENCODING_UTF8, false, 4096);
    exporter.ExportFileInfo(*Converted(u"/before-open"));
    ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
    exporter.ExportFileInfo(*Converted(u"/a"));
    // Opening again ends the report with its rows, then continues it.
    ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, true));
    exporter.ExportFileInfo(*Converted(u"/b"));
    exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
    exporter.ExportFileInfo(*Converted(u"/after-close"));
    std::u16string expected = Lines({kHeader, RowOf(u"/a"), kHeader, RowOf(u"/b")});
    // Sessions in a row: each Close ends its session without waiting for the
    // writer thread's next poll.
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, true));
        exporter.ExportFileInfo(*Converted(u"/c"));
        exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
        expected += u"\r\n" + Lines({kHeader, RowOf(u"/c")});
    }
    EXPECT_EQ(ReadBytes(dir.File("r.csv")), text::ToUtf8(expected));
}

TEST(CsvExporter, ManyConverterThreadsLoseNoRowAndWriteRowsWhole)
{
    constexpr int kThreads = 8, kRecords = 400;
    TempDir dir;
    CVarnexStandardCSVExporter exporter(dir.File16("r.csv").c_str(), TEXTENCODING_UTF8, false, 4096);
    ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&exporter, t] {
            for (int i = 0; i < kRecords && exporter.IsOpen(); ++i)
                exporter.ExportFileInfo(*Converted(u"/in/" + text::FromNumber(t * kRecords + i), u"a, \"b\""));
        });
    }
    for (auto& thread : threads)
        thread.join();
    exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);

    const std::u16string content = text::FromUtf8(ReadBytes(dir.File("r.csv")));
    CTextLineList lines;
    lines.HandleData(content.data(), static_cast<unsigned>(content.size()));
    ASSERT_EQ(lines.size(), 1u + kThreads * kRecords);
    EXPECT_EQ(lines[0], kHeader);
    // Each thread's rows keep the order in which that thread exported them.
    std::vector<int> next(kThreads, 0);
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t comma = lines[i].find(u',');
        const int id = std::stoi(text::ToUtf8(lines[i].substr(4, comma - 4)));
        const int t = id / kRecords;
        ASSERT_EQ(id % kRecords, next[t]++) << "line " << i;
        ASSERT_EQ(lines[i], RowOf(u"/in/" + text::FromNumber(id)).append(u"\"a, \"\"b\"\"\""));
    }
}

TEST(CsvExporter, OpenFailsWhenTheReportCannotBeCreated)
{
    TempDir dir;
    for (const std::string& path : {dir.File("missing/r.csv"), dir.Path()}) {
        SCOPED_TRACE(path);
        CVarnexStandardCSVExporter exporter(text::FromUtf8(path).c_str(), TEXTENCODING_UTF8, true, 4096);
        EXPECT_FALSE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
        EXPECT_FALSE(exporter.IsOpen());
        exporter.ExportFileInfo(*Converted(u"/a"));
        exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

// Fails the file layer's writes with the given indexes (from the first write
// after installation), as a full disk would.
class WriteFaults : public platform::FileFaultInjector {
public:
    WriteFaults(int from, int to) : m_from(from), m_to(to) { platform::SetFileFaultInjector(this); }
    ~WriteFaults() override { platform::SetFileFaultInjector(nullptr); }
    int BeforeWrite(platform::FileHandle, size_t) override
    {
        const int index = m_writes++;
        return index >= m_from && index < m_to ? ENOSPC : 0;
    }

private:
    const int m_from, m_to;
    std::atomic<int> m_writes{0};
};

TEST(CsvExporter, FailedWriteIsReportedAndEndsTheReport)
{
    // One write per row here; without a BOM the header is write 0.
    const struct {
        const char* name;
        bool bom;
        int failFrom, failTo;
        std::string expected;
    } rows[] = {
        {"every write fails, BOM first", true, 0, 1000, ""},
        {"a transient failure leaves no gap", false, 2, 3, text::ToUtf8(Lines({kHeader, RowOf(u"/0")}))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        CVarnexStandardCSVExporter exporter(dir.File16("r.csv").c_str(), TEXTENCODING_UTF8, row.bom, 4096);
        {
            WriteFaults faults(row.failFrom, row.failTo);
            ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
            for (int i = 0; i < 4; ++i)
                exporter.ExportFileInfo(*Converted(u"/" + text::FromNumber(i)));
            exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
        }
        EXPECT_TRUE(exporter.HasWriteError());
        EXPECT_EQ(ReadBytes(dir.File("r.csv")), row.expected);
        // The next report starts clean.
        ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_CONVERSION, false));
        exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
        EXPECT_FALSE(exporter.HasWriteError());
    }
}

// Columns of a derived exporter: the input path, none for a record whose
// message is "skip", and no header.
class InputOnlyExporter : public CVarnexCSVExporter {
public:
    using CVarnexCSVExporter::CVarnexCSVExporter;
    ~InputOnlyExporter() override { Close(); }

protected:
    void GetHeaderItems(Row*) override { }
    void GetFileInfoItems(Row* items, CVarnexFileInfo& info) override
    {
        if (info.GetMessage() != u"skip")
            items->push_back(info.GetInputFile());
    }
};

TEST(CsvExporter, EmptyRowsWriteNoLines)
{
    TempDir dir;
    InputOnlyExporter exporter(dir.File16("r.csv").c_str(), TEXTENCODING_UTF8, false, 4096);
    ASSERT_TRUE(exporter.Open(VARNEXSESSIONTYPE_DETECTION, false));
    exporter.ExportFileInfo(*Converted(u"/a"));
    exporter.ExportFileInfo(*Converted(u"/b", u"skip"));
    exporter.ExportFileInfo(*Converted(u"/c"));
    exporter.Close(VARNEXSESSIONSTOPREASON_FINISHED);
    EXPECT_EQ(ReadBytes(dir.File("r.csv")), "/a\r\n/c");
}

}  // namespace
