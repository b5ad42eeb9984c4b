#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "platform/file_api.h"
#include "support/temp_dir.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/varnex_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using varnex_test::EncodeUnicodeForm;
using varnex_test::IcuEncode;
using varnex_test::kMultilingual;
using varnex_test::RewriteBreaks;
using Converter = CTextFileConverter;

// The names in a folder, to show that nothing (no temporary file) is left over.
std::set<std::string> Listing(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

Converter::CONVERTRESULT ConvertFile(const TempDir& dir, const char* input, const char* output, unsigned source,
                                     Converter::OUTPUTTEXTFORMAT format, Converter::RETURNTYPE breaks, bool bom,
                                     unsigned chunk = 16)
{
    Converter converter(dir.File16(input).c_str(), chunk, 64, 64);
    return converter.Convert(dir.File16(output).c_str(), source, format, breaks, bom);
}

// --- Output forms x BOM x line endings, against ICU ------------------------------

struct FormRow {
    const char* name;
    Converter::OUTPUTTEXTFORMAT format;
    unsigned codepage;
};

constexpr FormRow kForms[] = {
    {"UTF8", Converter::OUTPUTTEXTFORMAT_UTF8, 65001},
    {"UTF16LE", Converter::OUTPUTTEXTFORMAT_UTF16LE, 1200},
    {"UTF16BE", Converter::OUTPUTTEXTFORMAT_UTF16BE, 1201},
    {"UTF32LE", Converter::OUTPUTTEXTFORMAT_UTF32LE, 12000},
    {"UTF32BE", Converter::OUTPUTTEXTFORMAT_UTF32BE, 12001},
    {"UCS4_3412", Converter::OUTPUTTEXTFORMAT_UCS4_3412, 3412},
    {"UCS4_2143", Converter::OUTPUTTEXTFORMAT_UCS4_2143, 2143},
};

struct BreakRow {
    const char* name;
    Converter::RETURNTYPE type;
    const char16_t* lineEnd;  // null: kept as they are
};

constexpr BreakRow kBreaks[] = {
    {"NOCHANGE", Converter::RETURNTYPE_NOCHANGE, nullptr},
    {"CRLF", Converter::RETURNTYPE_CRLF, u"\r\n"},
    {"CR", Converter::RETURNTYPE_CR, u"\r"},
    {"LF", Converter::RETURNTYPE_LF, u"\n"},
};

struct MatrixCase {
    FormRow form;
    bool bom;
    BreakRow breaks;
};

std::vector<MatrixCase> AllMatrixCases()
{
    std::vector<MatrixCase> cases;
    for (const FormRow& form : kForms)
        for (bool bom : {false, true})
            for (const BreakRow& breaks : kBreaks)
                cases.push_back({form, bom, breaks});
    return cases;
}

std::string Expected(const MatrixCase& c, const std::u16string& text)
{
    std::u16string out = c.bom ? u"\uFEFF" : u"";
    out += c.breaks.lineEnd ? RewriteBreaks(text, c.breaks.lineEnd) : text;
    return EncodeUnicodeForm(c.form.codepage, out);
}

class OutputMatrix : public testing::TestWithParam<MatrixCase> { };

TEST_P(OutputMatrix, WritesTheIcuBytesInChunksAndWhole)
{
    const MatrixCase& c = GetParam();
    EXPECT_EQ(Converter::GetCodepage(c.form.format), c.form.codepage);
    TempDir dir;
    // The multilingual text twice over, so that many chunks are needed.
    const std::u16string text = kMultilingual + kMultilingual;
    WriteBytes(dir.File("in.txt"), IcuEncode("UTF-8", text));
    const std::string expected = Expected(c, text);
    for (unsigned chunk : {16u, 23u, 4096u, 0u}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        Converter converter(dir.File16("in.txt").c_str(), chunk, 64, 64);
        ASSERT_EQ(converter.Convert(dir.File16("out.bin").c_str(), 65001, c.form.format, c.breaks.type, c.bom),
                  Converter::CONVERTRESULT_OK)
            << text::ToUtf8(converter.GetErrorText());
        EXPECT_EQ(ReadBytes(dir.File("out.bin")), expected);
        EXPECT_EQ(converter.GetReplacementCount(), 0u);
        EXPECT_TRUE(converter.GetErrorText().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, OutputMatrix, testing::ValuesIn(AllMatrixCases()),
                         [](const testing::TestParamInfo<MatrixCase>& row) {
                             return std::string(row.param.form.name) + (row.param.bom ? "_BOM_" : "_NoBOM_") +
                                    row.param.breaks.name;
                         });

// --- Which decoding applies -----------------------------------------------------

TEST(TextFileConverter, LetsAMarkWinOverACodepageButAUnicodeSourceWinsOverTheMark)
{
    const std::u16string cyrillic = u"Привет, мир";
    struct Case {
        const char* name;
        std::string bytes;
        unsigned source;
        std::u16string expected;
    };
    const Case cases[] = {
        {"UTF-8 mark, code page 1252", "\xEF\xBB\xBF" + IcuEncode("UTF-8", cyrillic), 1252, cyrillic},
        {"UTF-8 mark, source UTF-16LE: the mark is skipped", "\xEF\xBB\xBF" + IcuEncode("UTF-16LE", u"AB"), 1200,
         u"AB"},
        {"UTF-16LE mark, code page 0", "\xFF\xFE" + IcuEncode("UTF-16LE", cyrillic), 0, cyrillic},
        {"UTF-16BE mark, code page 1251", "\xFE\xFF" + IcuEncode("UTF-16BE", cyrillic), 1251, cyrillic},
        {"UTF-32LE mark, code page 1252", std::string("\xFF\xFE\0\0", 4) + IcuEncode("UTF-32LE", cyrillic), 1252,
         cyrillic},
        {"UTF-16LE mark, source UTF-16BE", "\xFF\xFE" + IcuEncode("UTF-16BE", cyrillic), 1201, cyrillic},
        {"no mark, code page 1251", IcuEncode("windows-1251", cyrillic), 1251, cyrillic},
        {"no mark, source UTF-16BE", IcuEncode("UTF-16BE", cyrillic), 1201, cyrillic},
        {"no mark, source UCS-4 3412", EncodeUnicodeForm(3412, cyrillic), 3412, cyrillic},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("in.txt"), c.bytes);
        ASSERT_EQ(ConvertFile(dir, "in.txt", "out.txt", c.source, Converter::OUTPUTTEXTFORMAT_UTF8,
                              Converter::RETURNTYPE_NOCHANGE, false),
                  Converter::CONVERTRESULT_OK);
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), IcuEncode("UTF-8", c.expected));
    }
}

// --- Chunk boundaries ---------------------------------------------------------

TEST(TextFileConverter, KeepsASurrogatePairWholeWhereverAChunkEnds)
{
    TempDir dir;
    for (const FormRow& form : kForms) {
        for (unsigned lead = 0; lead < 20; ++lead) {
            SCOPED_TRACE(std::string(form.name) + ", pair at unit " + std::to_string(lead));
            const std::u16string text = std::u16string(lead, u'x') + u"\U0001F600\U00020000 tail";
            WriteBytes(dir.File("in.txt"), IcuEncode("UTF-16LE", text));
            Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
            ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 1200, form.format,
                                        Converter::RETURNTYPE_NOCHANGE, false),
                      Converter::CONVERTRESULT_OK);
            ASSERT_EQ(ReadBytes(dir.File("out.txt")), EncodeUnicodeForm(form.codepage, text));
            EXPECT_EQ(converter.GetReplacementCount(), 0u);
        }
    }
}

TEST(TextFileConverter, WritesOneBreakForACrLfSplitAcrossChunks)
{
    TempDir dir;
    struct Case {
        Converter::RETURNTYPE type;
        const char16_t* lineEnd;
    };
    for (const Case& c : {Case{Converter::RETURNTYPE_LF, u"\n"}, Case{Converter::RETURNTYPE_CR, u"\r"},
                          Case{Converter::RETURNTYPE_CRLF, u"\r\n"}}) {
        for (unsigned lead = 0; lead < 20; ++lead) {
            SCOPED_TRACE(text::ToUtf8(Converter::ReturnTypeToString(c.type)) + ", CR at unit " + std::to_string(lead));
            const std::u16string text = std::u16string(lead, u'a') + u"\r\nb\r\rc\n\nd\r";
            WriteBytes(dir.File("in.txt"), IcuEncode("UTF-8", text));
            ASSERT_EQ(ConvertFile(dir, "in.txt", "out.txt", 65001, Converter::OUTPUTTEXTFORMAT_UTF16LE, c.type, false),
                      Converter::CONVERTRESULT_OK);
            ASSERT_EQ(ReadBytes(dir.File("out.txt")), IcuEncode("UTF-16LE", RewriteBreaks(text, c.lineEnd)));
        }
    }
}

// The counts describe the input's breaks whatever style is written and
// wherever a chunk (16 units at least) ends, a CR LF pair split across two included.
TEST(TextFileConverter, CountsTheInputsLineEndingsWhereverAChunkEnds)
{
    const struct {
        const char* name;
        std::u16string text;
        LineEndingCounts expected;
    } rows[] = {
        {"none", u"abc", {0, 0, 0, true}},
        {"empty", u"", {0, 0, 0, true}},
        {"one of each", u"a\r\nb\nc\rd", {1, 1, 1, true}},
        {"CR CR LF is a CR, then a pair", u"\r\r\n", {1, 0, 1, true}},
        {"LF CR is two", u"\n\r", {0, 1, 1, true}},
        {"ends with CR", u"x\r\n\r", {1, 0, 1, true}},
        {"pair across the first chunk's end",
         std::u16string(15, u'a') + u"\r\n" + std::u16string(20, u'b') + u"\r\n",
         {2, 0, 0, true}},
        {"NEL and LS are no breaks here", u"a\u0085b\u2028c", {0, 0, 0, true}},
    };
    TempDir dir;
    for (const auto& row : rows) {
        for (const Converter::RETURNTYPE type : {Converter::RETURNTYPE_NOCHANGE, Converter::RETURNTYPE_CRLF}) {
            for (const unsigned lead : {0u, 1u, 7u, 14u, 15u}) {
                SCOPED_TRACE(std::string(row.name) + ", written as " +
                             text::ToUtf8(Converter::ReturnTypeToString(type)) + ", after " + std::to_string(lead));
                WriteBytes(dir.File("in.txt"), IcuEncode("UTF-8", std::u16string(lead, u'x') + row.text));
                Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
                ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                                            type, false),
                          Converter::CONVERTRESULT_OK);
                EXPECT_EQ(converter.GetLineEndings(), row.expected);
                EXPECT_EQ(converter.GetOutcome().lineEndings, row.expected);
            }
        }
    }
    // Whole-file mode counts in blocks of 65535 units: a pair across two blocks.
    WriteBytes(dir.File("in.txt"), std::string(65534, 'x') + "\r\ny\n");
    Converter whole(dir.File16("in.txt").c_str(), 0, 4096, 4096);
    ASSERT_EQ(whole.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                            Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_OK);
    EXPECT_EQ(whole.GetLineEndings(), (LineEndingCounts{1, 1, 0, true}));
    // Nothing counted for a conversion that did not happen.
    Converter failed(dir.File16("missing.txt").c_str(), 16, 64, 64);
    failed.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                   Converter::RETURNTYPE_NOCHANGE, false);
    EXPECT_FALSE(failed.GetOutcome().lineEndings.counted);
}

TEST(TextFileConverter, RaisesTinyChunksAndBuffersInsteadOfOverrunningOrLosingText)
{
    TempDir dir;
    const std::u16string text = kMultilingual + u"\U0001F600";
    WriteBytes(dir.File("in.txt"), IcuEncode("UTF-8", text));
    const std::string expected = IcuEncode("UTF-32LE", text);
    struct Case {
        unsigned chunk, readBuffer, writeBuffer;
        bool callerBuffers;
    };
    const Case cases[] = {
        {1, 64, 64, false}, {1, 64, 64, true}, {2, 64, 64, true}, {5, 64, 64, true}, {15, 64, 64, true},
        {16, 64, 64, true}, {17, 0, 0, false}, {17, 1, 1, false}, {17, 1, 1, true},  {17, 5, 7, true},
        {20, 6, 8, true},   {1, 0, 0, false},  {0, 0, 0, false},  {0, 3, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("chunk " + std::to_string(c.chunk) + ", read buffer " + std::to_string(c.readBuffer) +
                     ", write buffer " + std::to_string(c.writeBuffer) + (c.callerBuffers ? ", caller's" : ""));
        // Exactly the sizes asked for, so that an overrun shows under the sanitizer.
        std::vector<char16_t> chunk(std::max(c.chunk, 1u));
        std::vector<unsigned char> readBuffer(std::max(c.readBuffer, 1u));
        std::vector<unsigned char> writeBuffer(std::max(c.writeBuffer, 1u));
        Converter converter = c.callerBuffers
                                  ? Converter(dir.File16("in.txt").c_str(), c.chunk, c.readBuffer, c.writeBuffer,
                                              chunk.data(), readBuffer.data(), writeBuffer.data())
                                  : Converter(dir.File16("in.txt").c_str(), c.chunk, c.readBuffer, c.writeBuffer);
        ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF32LE,
                                    Converter::RETURNTYPE_NOCHANGE, false),
                  Converter::CONVERTRESULT_OK);
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), expected);
    }
}

// --- Progress and cancellation ------------------------------------------------

struct Progress {
    std::vector<std::pair<uint64_t, uint64_t>> reports;  // processed, total
    const Converter* converter = nullptr;
    int stopAfter = -1;  // continue calls answered true before the first false
    int continueCalls = 0;
};

void OnProgress(Converter* converter, uint64_t processed, uint64_t total, void* user)
{
    auto* p = static_cast<Progress*>(user);
    EXPECT_EQ(converter, p->converter);
    p->reports.emplace_back(processed, total);
}

bool OnContinue(Converter* converter, void* user)
{
    auto* p = static_cast<Progress*>(user);
    EXPECT_EQ(converter, p->converter);
    return p->stopAfter < 0 || p->continueCalls++ < p->stopAfter;
}

TEST(TextFileConverter, ReportsProcessedInputBytesUpToTheSizeLessTheMark)
{
    struct Case {
        const char* name;
        std::string mark;
        unsigned source;
        std::string body;
    };
    const std::u16string text = kMultilingual + kMultilingual + kMultilingual;
    const Case cases[] = {
        {"UTF-8 without mark", "", 65001, IcuEncode("UTF-8", text)},
        {"UTF-8 with mark", "\xEF\xBB\xBF", 0, IcuEncode("UTF-8", text)},
        {"UTF-16LE with mark", "\xFF\xFE", 0, IcuEncode("UTF-16LE", text)},
        {"code page 1251", "", 1251, std::string(300, '\xE0')},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes = c.mark + c.body;
        WriteBytes(dir.File("in.txt"), bytes);
        Converter converter(dir.File16("in.txt").c_str(), 32, 64, 64);
        Progress progress;
        progress.converter = &converter;
        converter.SetReportProgressCallback(OnProgress, &progress);
        converter.SetContinueCallback(OnContinue, &progress);
        ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), c.source, Converter::OUTPUTTEXTFORMAT_UTF8,
                                    Converter::RETURNTYPE_NOCHANGE, false),
                  Converter::CONVERTRESULT_OK);
        ASSERT_GE(progress.reports.size(), 3u);
        EXPECT_EQ(progress.continueCalls, 0);  // never asked to stop, so never counted
        uint64_t last = 0;
        for (const auto& [processed, total] : progress.reports) {
            EXPECT_EQ(total, bytes.size());
            EXPECT_GT(processed, last);
            last = processed;
        }
        EXPECT_EQ(last, bytes.size() - c.mark.size());
    }
}

TEST(TextFileConverter, LeavesNoOutputWhenCancelledAndKeepsAnOlderFile)
{
    TempDir dir;
    const std::string input = IcuEncode("UTF-8", kMultilingual + kMultilingual);
    WriteBytes(dir.File("in.txt"), input);
    for (bool older : {false, true}) {
        for (int stopAfter : {0, 2}) {
            SCOPED_TRACE(std::string(older ? "older output" : "no output yet") + ", stop after " +
                         std::to_string(stopAfter));
            std::filesystem::remove(dir.File("out.txt"));
            if (older)
                WriteBytes(dir.File("out.txt"), "older result");
            Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
            Progress progress;
            progress.converter = &converter;
            progress.stopAfter = stopAfter;
            converter.SetReportProgressCallback(OnProgress, &progress);
            converter.SetContinueCallback(OnContinue, &progress);
            EXPECT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF16BE,
                                        Converter::RETURNTYPE_CRLF, true),
                      Converter::CONVERTRESULT_CANCELLED);
            EXPECT_EQ(progress.reports.size(), static_cast<size_t>(stopAfter + 1));
            if (older) {
                EXPECT_EQ(ReadBytes(dir.File("out.txt")), "older result");
            }
            const std::set<std::string> left =
                older ? std::set<std::string>{"in.txt", "out.txt"} : std::set<std::string>{"in.txt"};
            EXPECT_EQ(Listing(dir), left);
            EXPECT_EQ(ReadBytes(dir.File("in.txt")), input);
        }
    }
}

TEST(TextFileConverter, ConvertsEmptyInputWithoutCallingBack)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::string input;
        unsigned chunk;
        Converter::OUTPUTTEXTFORMAT format;
        bool bom;
        std::string expected;
    };
    const Case cases[] = {
        {"empty, no mark", "", 16, Converter::OUTPUTTEXTFORMAT_UTF8, false, ""},
        {"empty, UTF-8 mark asked", "", 16, Converter::OUTPUTTEXTFORMAT_UTF8, true, "\xEF\xBB\xBF"},
        {"only a mark, UTF-16BE mark asked", "\xEF\xBB\xBF", 16, Converter::OUTPUTTEXTFORMAT_UTF16BE, true, "\xFE\xFF"},
        {"only a mark, UCS-4 2143 mark asked", "\xFF\xFE", 16, Converter::OUTPUTTEXTFORMAT_UCS4_2143, true,
         std::string("\0\0\xFF\xFE", 4)},
        {"whole text at once, with callbacks set", IcuEncode("UTF-8", kMultilingual), 0,
         Converter::OUTPUTTEXTFORMAT_UTF8, false, IcuEncode("UTF-8", kMultilingual)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("in.txt"), c.input);
        Converter converter(dir.File16("in.txt").c_str(), c.chunk, 64, 64);
        Progress progress;
        progress.converter = &converter;
        progress.stopAfter = 0;  // would cancel at once if asked
        converter.SetReportProgressCallback(OnProgress, &progress);
        converter.SetContinueCallback(OnContinue, &progress);
        ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 0, c.format, Converter::RETURNTYPE_NOCHANGE, c.bom),
                  Converter::CONVERTRESULT_OK);
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), c.expected);
        EXPECT_TRUE(progress.reports.empty());
        EXPECT_EQ(progress.continueCalls, 0);
    }
}

// --- Failures ---------------------------------------------------------------

TEST(TextFileConverter, RefusesInputsItCannotOpenAndCreatesNothing)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), "text");
    std::filesystem::create_directory(dir.File("folder"));
    struct Case {
        const char* name;
        const char* input;
        const char* output;
        unsigned source;
    };
    const Case cases[] = {
        {"missing input", "missing.txt", "out.txt", 65001},
        {"input is a folder", "folder", "out.txt", 65001},
        {"output folder missing", "in.txt", "nowhere/out.txt", 65001},
        {"output is a folder", "in.txt", "folder", 65001},
        {"code page nobody can read", "in.txt", "out.txt", 12345},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Converter converter(dir.File16(c.input).c_str(), 16, 64, 64);
        EXPECT_EQ(converter.Convert(dir.File16(c.output).c_str(), c.source, Converter::OUTPUTTEXTFORMAT_UTF8,
                                    Converter::RETURNTYPE_NOCHANGE, true),
                  Converter::CONVERTRESULT_OPEN_FAILED);
        EXPECT_FALSE(converter.GetErrorText().empty());
        EXPECT_EQ(Listing(dir), (std::set<std::string>{"in.txt", "folder"}));
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("folder")));
    }
}

TEST(TextFileConverter, KeepsTheOlderOutputWhenTheInputIsUnreadableOrGone)
{
    TempDir dir;
    WriteBytes(dir.File("locked.txt"), "text");
    chmod(dir.File("locked.txt").c_str(), 0);
    WriteBytes(dir.File("out.txt"), "older result");
    for (const char* input : {"locked.txt", "gone.txt"}) {
        SCOPED_TRACE(input);
        if (std::string(input) == "locked.txt" && geteuid() == 0)
            continue;  // root reads it anyway
        Converter converter(dir.File16(input).c_str(), 16, 64, 64);
        EXPECT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                                    Converter::RETURNTYPE_NOCHANGE, false),
                  Converter::CONVERTRESULT_OPEN_FAILED);
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), "older result");
        EXPECT_EQ(Listing(dir), (std::set<std::string>{"locked.txt", "out.txt"}));
    }
}

TEST(TextFileConverter, RefusesToWriteOverItsOwnInputUnderAnyName)
{
    TempDir dir;
    const std::string input = IcuEncode("UTF-8", kMultilingual);
    WriteBytes(dir.File("in.txt"), input);
    std::filesystem::create_directory(dir.File("sub"));
    std::filesystem::create_symlink(dir.File("in.txt"), dir.File("link.txt"));
    std::filesystem::create_hard_link(dir.File("in.txt"), dir.File("hard.txt"));
    struct Case {
        const char* name;
        std::string input;
        std::string output;
    };
    const Case cases[] = {
        {"same path", "in.txt", "in.txt"},
        {"another spelling", "in.txt", "sub/../in.txt"},
        {"output is a link to the input", "in.txt", "link.txt"},
        {"input is a link to the output", "link.txt", "in.txt"},
        {"hard link", "in.txt", "hard.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Converter converter(dir.File16(c.input).c_str(), 16, 64, 64);
        EXPECT_EQ(converter.Convert(dir.File16(c.output).c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF16LE,
                                    Converter::RETURNTYPE_CRLF, true),
                  Converter::CONVERTRESULT_OPEN_FAILED);
        EXPECT_EQ(ReadBytes(dir.File("in.txt")), input);
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.txt")));
        EXPECT_EQ(Listing(dir), (std::set<std::string>{"in.txt", "sub", "link.txt", "hard.txt"}));
    }
}

TEST(TextFileConverter, ReportsAReadOrWriteFailureMidwayAndLeavesTheOlderOutput)
{
    TempDir dir;
    const std::string input = IcuEncode("UTF-8", kMultilingual + kMultilingual + kMultilingual);
    WriteBytes(dir.File("in.txt"), input);
    struct Case {
        const char* name;
        int failReadFrom;
        int failWriteFrom;
        unsigned chunk;
    };
    const Case cases[] = {
        {"read fails after the first", 2, -1, 16},     {"read fails, whole-file mode", 2, -1, 0},
        {"mark written, then writes fail", -1, 1, 16}, {"every write fails", -1, 0, 16},
        {"writes fail, whole-file mode", -1, 1, 0},
    };
    for (bool older : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (older ? ", older output" : ""));
            std::filesystem::remove(dir.File("out.txt"));
            if (older)
                WriteBytes(dir.File("out.txt"), "older result");
            Converter converter(dir.File16("in.txt").c_str(), c.chunk, 64, 64);
            Converter::CONVERTRESULT result;
            {
                varnex_test::FaultInjector faults;
                faults.failReadFrom = c.failReadFrom;
                faults.failWriteFrom = c.failWriteFrom;
                result = converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                                           Converter::RETURNTYPE_NOCHANGE, true);
            }
            EXPECT_EQ(result, Converter::CONVERTRESULT_ERROR);
            EXPECT_FALSE(converter.GetErrorText().empty());
            if (older) {
                EXPECT_EQ(ReadBytes(dir.File("out.txt")), "older result");
            }
            const std::set<std::string> left =
                older ? std::set<std::string>{"in.txt", "out.txt"} : std::set<std::string>{"in.txt"};
            EXPECT_EQ(Listing(dir), left);
        }
    }
    // Without faults the same conversion succeeds and replaces the older output.
    ASSERT_EQ(ConvertFile(dir, "in.txt", "out.txt", 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                          Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_OK);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), input);
}

// Changes the input file before chosen reads, as another program would.
class ChangingInput : public platform::FileFaultInjector {
public:
    ChangingInput(std::string path, bool grow, int changes) : m_path(std::move(path)), m_grow(grow), m_changes(changes)
    {
        platform::SetFileFaultInjector(this);
    }
    ~ChangingInput() override { platform::SetFileFaultInjector(nullptr); }
    int BeforeRead(platform::FileHandle, size_t) override
    {
        if (m_changes != 0) {
            --m_changes;
            if (m_grow)
                WriteBytes(m_path, ReadBytes(m_path) + "more text\n");
            else
                EXPECT_EQ(truncate(m_path.c_str(), static_cast<off_t>(ReadBytes(m_path).size() / 2)), 0);
        }
        return 0;
    }

private:
    std::string m_path;
    bool m_grow;
    int m_changes;  // -1: before every read
};

TEST(TextFileConverter, ReadsAChangingFileAgainOnceAndNeverFollowsItForever)
{
    TempDir dir;
    const std::string original = IcuEncode("UTF-8", kMultilingual + kMultilingual);
    struct Case {
        const char* name;
        bool grow;
        int changes;
        bool warned;  // the second reading saw a change too
    };
    const Case cases[] = {
        {"grows once", true, 1, false},
        {"shrinks once", false, 1, false},
        {"keeps growing", true, -1, true},
        {"keeps shrinking", false, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("in.txt"), original);
        Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
        Converter::CONVERTRESULT result;
        {
            ChangingInput change(dir.File("in.txt"), c.grow, c.changes);
            result = converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                                       Converter::RETURNTYPE_NOCHANGE, false);
        }
        ASSERT_EQ(result, Converter::CONVERTRESULT_OK);
        EXPECT_EQ(!converter.GetInputChange().empty(), c.warned) << text::ToUtf8(converter.GetInputChange());
        const std::string output = ReadBytes(dir.File("out.txt"));
        if (!c.warned) {
            EXPECT_EQ(output, ReadBytes(dir.File("in.txt")));  // the file as it is now, read whole
        } else if (c.grow) {
            EXPECT_EQ(ReadBytes(dir.File("in.txt")).compare(0, output.size(), output), 0);  // a prefix, not endless
        }
        EXPECT_EQ(Listing(dir), (std::set<std::string>{"in.txt", "out.txt"}));
    }
}

TEST(TextFileConverter, ReplacesAndCountsAHighSurrogateThatEndsTheText)
{
    TempDir dir;
    // UTF-16 input passes lone surrogates through to the writer.
    WriteBytes(dir.File("in.txt"), IcuEncode("UTF-16LE", u"ab") + "\x3D\xD8");
    for (unsigned chunk : {16u, 17u, 0u}) {
        for (const FormRow& form : {kForms[0], kForms[3], kForms[4], kForms[5], kForms[6]}) {
            SCOPED_TRACE(std::string(form.name) + ", chunk " + std::to_string(chunk));
            Converter converter(dir.File16("in.txt").c_str(), chunk, 64, 64);
            ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 1200, form.format,
                                        Converter::RETURNTYPE_NOCHANGE, false),
                      Converter::CONVERTRESULT_OK);
            EXPECT_EQ(ReadBytes(dir.File("out.txt")), EncodeUnicodeForm(form.codepage, u"ab\uFFFD"));
            EXPECT_EQ(converter.GetReplacementCount(), 1u);
        }
    }
}

TEST(TextFileConverter, CountsWhatTheReaderReplaced)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), "a\xFF"
                                   "b\xC3");
    Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
    ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF16LE,
                                Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_OK);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), IcuEncode("UTF-16LE", u"a\uFFFDb\uFFFD"));
    EXPECT_EQ(converter.GetReplacementCount(), 2u);
    // A clean run afterwards starts counting from nothing.
    WriteBytes(dir.File("in.txt"), "ab");
    ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF16LE,
                                Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_OK);
    EXPECT_EQ(converter.GetReplacementCount(), 0u);
}

// Detection judges a file by its first megabytes. Bytes further on that its
// finding does not cover (a 7-bit start, then KOI8-R; UTF-8, then Latin-1)
// end the record with a warning that says where the first one lies, on every
// way through the converter; a file its code page covers gets none.
TEST(TextFileConverter, NamesTheFirstByteItsCodePageDoesNotCover)
{
    const std::string ascii(300000, 'a');
    const std::string koi8 = "\xF3\xDF\xC5\xDB\xD8 \xD6\xC5";  // "Съешь же"
    const struct {
        const char* name;
        unsigned codepage;
        std::string bytes;
        const char* message;  // "": none
    } cases[] = {
        {"code page 0, KOI8-R after ASCII", 0, ascii + "\n" + koi8 + "\n",
         "bytes the code page does not cover, the first at byte offset 300001: check the code page"},
        {"code page 0, UTF-8 then a Latin-1 byte", 0, "caf\xC3\xA9 " + ascii + "\xE9",
         "bytes the code page does not cover, the first at byte offset 300006: check the code page"},
        {"UTF-8, Latin-1 after ASCII", 65001, ascii + "caf\xE9 na\xEFve",
         "2 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 300003: check the code page"},
        {"UTF-8 with its mark, a NUL far on", 65001, "\xEF\xBB\xBF" + ascii + std::string(1, '\0'),
         "1 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 300003: check the code page"},
        {"Shift_JIS, a bad trail far on", 932, ascii + "\x82\xA0\x82\x20",
         "1 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 300002: check the code page"},
        {"ISO-8859-6, a byte it leaves out", 28596, ascii + "\xC7\xA1",
         "1 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 300001: check the code page"},
        {"US-ASCII, Latin-1 letters", 20127, "caf\xE9 na\xEFve",
         "2 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 3: check the code page"},
        {"code page 0, UTF-8 throughout", 0, ascii + "caf\xC3\xA9", ""},
        {"KOI8-R throughout", 20866, ascii + koi8, ""},
        {"ISO-8859-1, C1 bytes are its own", 28591, ascii + "\xE9", ""},
    };
    TempDir dir;
    for (const auto& c : cases) {
        WriteBytes(dir.File("in.txt"), c.bytes);
        for (const bool fast : {true, false}) {
            for (const unsigned chunk : {0u, 16u, 2048u}) {
                SCOPED_TRACE(std::string(c.name) + (fast ? ", fast" : ", through UTF-16") + ", chunk " +
                             std::to_string(chunk));
                Converter converter(dir.File16("in.txt").c_str(), chunk, 4096, 4096);
                converter.SetFastPaths(fast);
                ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), c.codepage, Converter::OUTPUTTEXTFORMAT_UTF8,
                                            Converter::RETURNTYPE_NOCHANGE, false),
                          Converter::CONVERTRESULT_OK);
                const FileOutcome& outcome = converter.GetOutcome();
                EXPECT_EQ(text::ToUtf8(DescribeOutcome(outcome)), c.message);
                EXPECT_EQ(outcome.state, *c.message ? VARNEXRESULTSTATE_WARNING : VARNEXRESULTSTATE_OK);
            }
        }
    }
}

TEST(TextFileConverter, WritesOutputsWithLongMultibyteNames)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), "text");
    // 80 CJK characters: 240 bytes on disk, within the 255-byte limit of a name.
    std::u16string name(80, u'\u6587');
    name += u".txt";
    const std::u16string output = text::FromUtf8(dir.Path() + "/") + name;
    Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
    ASSERT_EQ(converter.Convert(output.c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8, Converter::RETURNTYPE_NOCHANGE,
                                false),
              Converter::CONVERTRESULT_OK)
        << text::ToUtf8(converter.GetErrorText());
    EXPECT_EQ(ReadBytes(text::ToUtf8(output)), "text");
    EXPECT_EQ(Listing(dir).size(), 2u);
}

// --- Names and numbers ----------------------------------------------------------

TEST(TextFileConverter, ParsesAndNamesOutputForms)
{
    using F = Converter::OUTPUTTEXTFORMAT;
    const auto fallback = Converter::OUTPUTTEXTFORMAT_UTF32BE;
    struct Case {
        const char16_t* text;
        F expected;
    };
    const Case cases[] = {
        {u"UTF8", Converter::OUTPUTTEXTFORMAT_UTF8},
        {u"utf8", Converter::OUTPUTTEXTFORMAT_UTF8},
        {u"utf16be", Converter::OUTPUTTEXTFORMAT_UTF16BE},
        {u"Utf16Le", Converter::OUTPUTTEXTFORMAT_UTF16LE},
        {u"UTF32LE", Converter::OUTPUTTEXTFORMAT_UTF32LE},
        {u"3412", Converter::OUTPUTTEXTFORMAT_UCS4_3412},
        {u"2143", Converter::OUTPUTTEXTFORMAT_UCS4_2143},
        {u"UTF-8", fallback},
        {u" UTF8", fallback},
        {u"UTF8 ", fallback},
        {u"", fallback},
        {u"UTF16", fallback},
        {nullptr, fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? text::ToUtf8(c.text) : "(null)");
        EXPECT_EQ(Converter::ParseOutputTextFormat(c.text, fallback), c.expected);
    }
    for (const FormRow& form : kForms) {
        SCOPED_TRACE(form.name);
        const std::u16string name = Converter::OutputTextFormatToString(form.format);
        EXPECT_EQ(Converter::ParseOutputTextFormat(name.c_str(), fallback), form.format);
    }
    EXPECT_EQ(std::u16string(Converter::OutputTextFormatToString(Converter::OUTPUTTEXTFORMAT_UCS4_3412)), u"3412");
    EXPECT_EQ(std::u16string(Converter::OutputTextFormatToString(Converter::OUTPUTTEXTFORMAT_UCS4_2143)), u"2143");
    EXPECT_EQ(std::u16string(Converter::OutputTextFormatToString(static_cast<F>(7))), u"");
    EXPECT_EQ(Converter::GetCodepage(static_cast<F>(7)), 0u);
    EXPECT_EQ(Converter::GetCodepage(static_cast<F>(-1)), 0u);
}

TEST(TextFileConverter, ParsesAndNamesLineEndings)
{
    using R = Converter::RETURNTYPE;
    const auto fallback = Converter::RETURNTYPE_CR;
    struct Case {
        const char16_t* text;
        R expected;
    };
    const Case cases[] = {
        {u"CRLF", Converter::RETURNTYPE_CRLF},
        {u"crlf", Converter::RETURNTYPE_CRLF},
        {u"lf", Converter::RETURNTYPE_LF},
        {u"Cr", Converter::RETURNTYPE_CR},
        {u"nochange", Converter::RETURNTYPE_NOCHANGE},
        {u"CR LF", fallback},
        {u"LFCR", fallback},
        {u"", fallback},
        {nullptr, fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? text::ToUtf8(c.text) : "(null)");
        EXPECT_EQ(Converter::ParseReturnType(c.text, fallback), c.expected);
    }
    for (const BreakRow& row : kBreaks)
        EXPECT_EQ(std::u16string(Converter::ReturnTypeToString(row.type)), text::FromUtf8(row.name));
    EXPECT_EQ(std::u16string(Converter::ReturnTypeToString(static_cast<R>(7))), u"NOCHANGE");
}

TEST(TextFileConverter, TellsUnicodeAndMatchingCodepages)
{
    const unsigned numbers[] = {65001, 1200, 1201, 12000, 12001, 3412, 2143, 0, 1252, 65000, 1202, 12002};
    for (unsigned codepage : numbers) {
        SCOPED_TRACE(codepage);
        const bool unicode = std::any_of(std::begin(kForms), std::end(kForms),
                                         [&](const FormRow& form) { return form.codepage == codepage; });
        EXPECT_EQ(Converter::IsUTFCodepage(codepage), unicode);
        if (unicode) {
            EXPECT_TRUE(Converter::IsLegalCodepage(codepage));  // 3412 and 2143 too, though no system table has them
        }
        for (const FormRow& form : kForms)
            EXPECT_EQ(Converter::IsSameCodepage(codepage, form.format), form.codepage == codepage) << form.name;
        EXPECT_FALSE(Converter::IsSameCodepage(codepage, static_cast<Converter::OUTPUTTEXTFORMAT>(7)));
    }
    EXPECT_TRUE(Converter::IsLegalCodepage(1252));
    EXPECT_FALSE(Converter::IsLegalCodepage(12345));
}

}  // namespace
