#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"
#include "textrion_test_util.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;
using textrion_test::Bytes;
using textrion_test::ReadAll;

constexpr unsigned kCapacities[] = {2, 3, 7, 64};
constexpr unsigned kSmallestBuffer = 6;
constexpr unsigned kLargestBuffer = 40;

// --- Unicode forms ----------------------------------------------------------

struct UnicodeForm {
    const char* name;
    TEXTENCODING encoding;
};

void PrintTo(const UnicodeForm& row, std::ostream* os)
{
    *os << row.name;
}

class UnicodeRoundTrip : public testing::TestWithParam<UnicodeForm> { };

TEST_P(UnicodeRoundTrip, ReadsBackEveryCharacterAtEveryBufferSplit)
{
    TempDir dir;
    for (const bool bom : {true, false}) {
        SCOPED_TRACE(bom ? "with BOM" : "without BOM");
        const std::u16string path = dir.File16(bom ? "bom.txt" : "plain.txt");
        {
            CTextFileWriter writer(path.c_str(), GetParam().encoding, bom, false, 64);
            ASSERT_EQ(writer.Write(textrion_test::kUnicodeSample), textrion_test::kUnicodeSample.size());
            ASSERT_TRUE(writer.Close());
        }
        for (unsigned buffer = kSmallestBuffer; buffer <= kLargestBuffer; ++buffer) {
            for (unsigned capacity : kCapacities) {
                SCOPED_TRACE("buffer " + std::to_string(buffer) + ", capacity " + std::to_string(capacity));
                const std::u16string back = ReadAll(path, buffer, capacity, [&](CTextFileReader& reader) {
                    EXPECT_EQ(reader.GetEncoding(), bom ? GetParam().encoding : TEXTENCODING_CODEPAGE);
                    if (!bom)
                        reader.SetEncoding(GetParam().encoding);
                });
                ASSERT_EQ(back, textrion_test::kUnicodeSample);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, UnicodeRoundTrip,
    testing::Values(UnicodeForm{"Utf8", TEXTENCODING_UTF8}, UnicodeForm{"Utf16Le", TEXTENCODING_UTF16LE},
                    UnicodeForm{"Utf16Be", TEXTENCODING_UTF16BE}, UnicodeForm{"Utf32Le", TEXTENCODING_UTF32LE},
                    UnicodeForm{"Utf32Be", TEXTENCODING_UTF32BE}, UnicodeForm{"Ucs4_2143", TEXTENCODING_UCS4_2143},
                    UnicodeForm{"Ucs4_3412", TEXTENCODING_UCS4_3412}),
    textrion_test::RowName());

// --- Code pages ---------------------------------------------------------------

struct CodePageCase {
    const char* name;
    unsigned codePage;
    const char* iconvName;  // the oracle; null where glibc has none
    std::u16string text;
    std::string knownBytes;  // checked when there is no oracle
};

void PrintTo(const CodePageCase& row, std::ostream* os)
{
    *os << row.name;
}

class CodePageRoundTrip : public testing::TestWithParam<CodePageCase> { };

TEST_P(CodePageRoundTrip, WriterMatchesOracleAndReaderDecodesAtEveryBufferSplit)
{
    const CodePageCase& c = GetParam();
    TempDir dir;
    const std::u16string path = dir.File16("cp.txt");
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_CODEPAGE, false, false, 16);
        writer.SetCodePage(c.codePage);
        ASSERT_EQ(writer.Write(c.text), c.text.size());
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(writer.GetReplacementCount(), 0u);
    }
    const std::string written = testing_support::ReadBytes(dir.File("cp.txt"));
    const std::string expected = c.iconvName ? textrion_test::Iconv(c.iconvName, c.text) : c.knownBytes;
    ASSERT_EQ(written, expected);

    for (unsigned buffer = kSmallestBuffer; buffer <= kLargestBuffer; ++buffer) {
        for (unsigned capacity : kCapacities) {
            SCOPED_TRACE("buffer " + std::to_string(buffer) + ", capacity " + std::to_string(capacity));
            const std::u16string back =
                ReadAll(path, buffer, capacity, [&](CTextFileReader& r) { r.SetCodePage(c.codePage); });
            ASSERT_EQ(back, c.text);
        }
    }
}

// Each text switches between single- and multi-byte characters several times;
// the stateful ones switch shift states.
INSTANTIATE_TEST_SUITE_P(
    CodePages, CodePageRoundTrip,
    testing::Values(
        CodePageCase{"ShiftJis",
                     932,
                     "CP932",
                     u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8 abc \uFF76\uFF80\uFF76\uFF85\r\n\u6F22\u5B57x",
                     {}},
        CodePageCase{"Gb18030", 54936, "GB18030", u"\u4E2D\u6587 \u00E9t\u00E9 \U00020000 \u20AC\u4E2D.\U0001F600", {}},
        CodePageCase{"Big5", 950, "CP950", u"\u4E2D\u6587\u7E41\u9AD4\u5B57 abc \u4E2D\u6587.", {}},
        CodePageCase{"EucKr", 51949, "EUC-KR", u"\uD55C\uAD6D\uC5B4 \uD14D\uC2A4\uD2B8 ok \uD55C.", {}},
        CodePageCase{
            "Windows1251", 1251, "CP1251", u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440!\r\n", {}},
        CodePageCase{"Koi8R", 20866, "KOI8-R", u"\u041F\u0440\u0438\u0432\u0435\u0442, \u043C\u0438\u0440!\r\n", {}},
        CodePageCase{"Iso2022Jp",
                     50220,
                     "ISO-2022-JP",
                     u"\u65E5\u672C\u8A9E abc \u30C6\u30AD\u30B9\u30C8\r\n\u6B21\u306E\u884C x",
                     {}},
        CodePageCase{"Hz", 52936, nullptr, u"\u4E2D\u6587 ab \u4E2D\u6587\u4E2D x~y", "~{VPND~} ab ~{VPNDVP~} x~~y"},
        CodePageCase{"DefaultIsUtf8", 0, "UTF-8", u"ab\U0001F600c\u00E9\U0001F600z\U0001F600", {}}),
    textrion_test::RowName());

TEST(TextFileReader, CodePageItCannotDecodeIsAReadError)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), "abc");
    CTextFileReader reader(dir.File16("a.txt").c_str(), 64);
    reader.SetCodePage(4711);
    char16_t out[8];
    EXPECT_EQ(reader.Read(out, 8), 0u);
    EXPECT_TRUE(reader.HasReadError());
}

// --- Bad input ------------------------------------------------------------------

struct BadInput {
    const char* name;
    TEXTENCODING encoding;
    std::string bytes;
    std::u16string text;
    uint64_t replaced;
    unsigned codePage = 0;                          // for TEXTENCODING_CODEPAGE
    uint64_t firstAt = CTextFileReader::kNoOffset;  // the first byte not covered
};

TEST(TextFileReader, DecodesBadInputToReplacementsAndKeepsTheRest)
{
    const std::vector<BadInput> rows = {
        {"overlong C0 80", TEXTENCODING_UTF8, "a\xC0\x80z", u"a\uFFFD\uFFFDz", 2, 0, 1},
        {"NUL byte", TEXTENCODING_UTF8, Bytes({'a', 0, 'b'}), u"a\uFFFDb", 1, 0, 1},
        {"encoded surrogate", TEXTENCODING_UTF8, "\xED\xA0\x80!", u"\uFFFD\uFFFD\uFFFD!", 3, 0, 0},
        {"above U+10FFFF", TEXTENCODING_UTF8, "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", 4, 0, 0},
        {"five-byte form", TEXTENCODING_UTF8, "\xF8\x88\x80\x80\x80.", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD.", 5, 0, 0},
        {"invalid lead mid-text", TEXTENCODING_UTF8, "\xFFok\n", u"\uFFFDok\n", 1, 0, 0},
        {"Latin-1 ending in E9 LF", TEXTENCODING_UTF8, "caf\xE9\n", u"caf\uFFFD\n", 1, 0, 3},
        {"sequence cut by the end", TEXTENCODING_UTF8, "ab\xE2\x82", u"ab\uFFFD\uFFFD", 2, 0, 2},
        {"lone four-byte lead at the end", TEXTENCODING_UTF8, "ab\xF0", u"ab\uFFFD", 1, 0, 2},
        {"UTF-16 odd byte", TEXTENCODING_UTF16LE, Bytes({'a', 0, 'b'}), u"a\uFFFD", 1, 0, 2},
        {"UTF-16 U+0000 stays", TEXTENCODING_UTF16BE, Bytes({0, 0, 0, 'x'}), std::u16string(u"\0x", 2), 0},
        {"UTF-16 lone surrogates pass", TEXTENCODING_UTF16LE, Bytes({0x00, 0xD8, 'A', 0, 0x00, 0xDC}),
         u"\xD800"
         u"A\xDC00",
         0},
        {"UTF-32 surrogate value", TEXTENCODING_UTF32LE, Bytes({0x00, 0xD8, 0, 0, 'A', 0, 0, 0}), u"\uFFFDA", 1, 0, 0},
        {"UTF-32 above U+10FFFF", TEXTENCODING_UTF32BE, Bytes({0, 0x11, 0, 0}), u"\uFFFD", 1, 0, 0},
        {"UTF-32 U+0000 stays", TEXTENCODING_UTF32BE, Bytes({0, 0, 0, 0, 0, 0, 0, 'x'}), std::u16string(u"\0x", 2), 0},
        {"UTF-32 three-byte tail", TEXTENCODING_UTF32LE, Bytes({'a', 0, 0, 0, 'b', 0, 0}), u"a\uFFFD", 1, 0, 4},
        {"UTF-32 one-byte tail", TEXTENCODING_UCS4_3412, Bytes({0, 'a', 0, 0, 'b'}), u"a\uFFFD", 1, 0, 4},
        {"Shift_JIS lead byte at the end", TEXTENCODING_CODEPAGE, "ab\x82", u"ab\uFFFD", 1, 932, 2},
        {"Shift_JIS invalid trail", TEXTENCODING_CODEPAGE, "\x82\x20z", u"\uFFFD z", 1, 932, 0},
        {"GB18030 four-byte form cut", TEXTENCODING_CODEPAGE, "a\x81\x30", u"a\uFFFD", 1, 54936, 1},
        {"ISO-2022-JP cut escape", TEXTENCODING_CODEPAGE, "a\x1B$", u"a\uFFFD", 1, 50220, 1},
        {"windows-1252 keeps E9 LF", TEXTENCODING_CODEPAGE, "caf\xE9\n", u"caf\u00E9\n", 0, 1252},
        {"after a mark", TEXTENCODING_UTF8,
         "\xEF\xBB\xBF"
         "ab\xFF",
         u"ab\uFFFD", 1, 0, 5},
        {"code page 0 reads a byte that is not UTF-8", TEXTENCODING_CODEPAGE, "\xC3\xA9t\xE9", u"\u00E9t\u00E9", 0, 0,
         3},
        {"code page 0 reads UTF-8 and ASCII whole", TEXTENCODING_CODEPAGE, "\xC3\xA9t\xE2\x82\xAC", u"\u00E9t\u20AC", 0,
         0},
    };
    TempDir dir;
    const std::u16string path = dir.File16("bad.txt");
    for (const BadInput& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.File("bad.txt"), row.bytes);
        for (unsigned buffer : {6u, 7u, 9u, 64u}) {
            for (unsigned capacity : {2u, 64u}) {
                SCOPED_TRACE("buffer " + std::to_string(buffer) + ", capacity " + std::to_string(capacity));
                CTextFileReader reader(path.c_str(), buffer);
                reader.SetEncoding(row.encoding);
                reader.SetCodePage(row.codePage);
                std::u16string back;
                std::vector<char16_t> block(capacity);
                for (size_t i = 0; i <= row.bytes.size(); ++i) {
                    const unsigned n = reader.Read(block.data(), capacity);
                    if (n == 0)
                        break;
                    back.append(block.data(), n);
                }
                EXPECT_EQ(back, row.text);
                EXPECT_EQ(reader.GetReplacementCount(), row.replaced);
                EXPECT_EQ(reader.GetFirstUncoveredOffset(), row.firstAt);
                EXPECT_FALSE(reader.HasReadError());
            }
        }
    }
}

TEST(TextFileReader, FourByteCharacterWaitsForTwoFreeUnits)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), "\xF0\x9F\x98\x80");
    CTextFileReader reader(dir.File16("a.txt").c_str(), 64);
    reader.SetEncoding(TEXTENCODING_UTF8);
    char16_t out[2];
    unsigned consumed = 99;
    EXPECT_EQ(reader.Read(out, 1, &consumed), 0u);
    EXPECT_EQ(consumed, 0u);
    ASSERT_EQ(reader.Read(out, 2, &consumed), 2u);
    EXPECT_EQ(std::u16string(out, 2), u"\U0001F600");
    EXPECT_EQ(consumed, 4u);
}

// --- Opening, buffers and strings -------------------------------------------------

TEST(TextFileReader, MissingFileIsNotOpenAndReadsNothing)
{
    TempDir dir;
    CTextFileReader reader(dir.File16("missing.txt").c_str(), 64);
    EXPECT_FALSE(reader.IsOpen());
    std::u16string s = u"keep";
    EXPECT_EQ(reader.Read(s, 8), 0u);
    EXPECT_EQ(s, u"keep");
    EXPECT_EQ(reader.ReadToEnd(s, 8), 0u);
}

TEST(TextFileReader, StringReadReplacesTheStringAndCapacityZeroLeavesIt)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), "\xEF\xBB\xBFhello");
    CTextFileReader reader(dir.File16("a.txt").c_str(), 64);
    std::u16string s = u"old";
    EXPECT_EQ(reader.Read(s, 0), 0u);
    EXPECT_EQ(s, u"old");
    EXPECT_EQ(reader.Read(s, 3), 3u);
    EXPECT_EQ(s, u"hel");
    EXPECT_EQ(reader.ReadToEnd(s, 1), 2u);
    EXPECT_EQ(s, u"hello");
}

TEST(TextFileReader, ShortFilesAreJudgedOnTheBytesThereAre)
{
    TempDir dir;
    struct Row {
        std::string bytes;
        TEXTENCODING encoding;
        std::u16string text;
    };
    const Row rows[] = {
        {"", TEXTENCODING_CODEPAGE, u""},
        {"\xFF\xFE", TEXTENCODING_UTF16LE, u""},
        {"\xFF\xFE"
         "A",
         TEXTENCODING_UTF16LE, u"\uFFFD"},
        {"\xEF\xBB\xBF", TEXTENCODING_UTF8, u""},
        {"ab", TEXTENCODING_CODEPAGE, u"ab"},
        {Bytes({0xFE, 0xFF, 0x00, 0x41}), TEXTENCODING_UTF16BE, u"A"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        WriteBytes(dir.File("s.txt"), row.bytes);
        CTextFileReader reader(dir.File16("s.txt").c_str(), 6);
        ASSERT_TRUE(reader.IsOpen());
        EXPECT_EQ(reader.GetEncoding(), row.encoding);
        std::u16string back;
        reader.ReadToEnd(back, 4);
        EXPECT_EQ(back, row.text);
    }
}

TEST(TextFileReader, BufferBelowTheMinimumIsRaised)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), "\xEF\xBB\xBF"
                                  "ab\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
    for (unsigned size : {0u, 1u, 5u})
        EXPECT_EQ(ReadAll(dir.File16("a.txt"), size, 2), u"ab\U0001F600\U0010FFFF") << size;
}

TEST(TextFileReader, KeepsReadAheadBytesWhenTheBufferChanges)
{
    TempDir dir;
    const std::u16string text = u"\u00E9\u00E8\u00EA\u4E2D\U0001F600 and some more text after it";
    WriteBytes(dir.File("a.txt"), text::ToUtf8(text));
    unsigned char external[7];
    CTextFileReader reader(dir.File16("a.txt").c_str(), external, sizeof external);
    reader.SetEncoding(TEXTENCODING_UTF8);
    std::u16string back, part;
    reader.Read(part, 3);
    back += part;
    EXPECT_EQ(reader.SetInternalReadBufferSize(2), 7u);  // raised to the minimum
    reader.Read(part, 3);
    back += part;
    reader.SetInternalReadBufferSize(4096);
    reader.ReadToEnd(back, 5);
    EXPECT_EQ(back, text);
}

// --- The file changing or failing underneath --------------------------------------

class ReaderOnChangingFile : public testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 2000; ++i)
            text += u"line " + text::FromNumber(i) + u" \u00E9\u4E2D\U0001F600\n";
        WriteBytes(dir.File("big.txt"), text::ToUtf8(text));
        path = dir.File16("big.txt");
    }

    // Reads what is left; every call must progress, so the loop is bounded.
    static std::u16string ReadRest(CTextFileReader& reader)
    {
        std::u16string rest, part;
        for (int i = 0; i < 100000 && reader.Read(part, 1000) > 0; ++i)
            rest += part;
        return rest;
    }

    TempDir dir;
    std::u16string text;
    std::u16string path;
};

TEST_F(ReaderOnChangingFile, FileTruncatedBetweenReadsEndsTheDataCleanly)
{
    CTextFileReader reader(path.c_str(), 4096);
    reader.SetEncoding(TEXTENCODING_UTF8);
    std::u16string back;
    ASSERT_GT(reader.Read(back, 1000), 0u);
    ASSERT_EQ(truncate(dir.File("big.txt").c_str(), 10), 0);
    back += ReadRest(reader);
    EXPECT_LT(back.size(), text.size());
    EXPECT_EQ(back, text.substr(0, back.size()));
    EXPECT_FALSE(reader.HasReadError());
}

TEST_F(ReaderOnChangingFile, FileUnlinkedWhileReadIsStillReadToTheEnd)
{
    CTextFileReader reader(path.c_str(), 4096);
    reader.SetEncoding(TEXTENCODING_UTF8);
    std::u16string back;
    ASSERT_GT(reader.Read(back, 1000), 0u);
    ASSERT_EQ(unlink(dir.File("big.txt").c_str()), 0);
    back += ReadRest(reader);
    EXPECT_EQ(back, text);
}

TEST_F(ReaderOnChangingFile, ReadErrorIsReportedApartFromTheEnd)
{
    for (const unsigned codePage : {0u, 65001u}) {
        SCOPED_TRACE(codePage);
        CTextFileReader reader(path.c_str(), 4096);
        if (codePage == 65001)
            reader.SetEncoding(TEXTENCODING_UTF8);
        std::u16string back;
        ASSERT_GT(reader.Read(back, 1000), 0u);
        EXPECT_FALSE(reader.HasReadError());
        {
            textrion_test::FaultInjector faults;
            faults.failReadFrom = 0;
            back += ReadRest(reader);
        }
        EXPECT_TRUE(reader.HasReadError());
        EXPECT_TRUE(reader.Eof());
        EXPECT_LT(back.size(), text.size());
    }
}

// --- Large files -------------------------------------------------------------------

TEST(TextFileReader, StreamsALargeFileLikeTheWholeFileDecode)
{
    std::u16string text;
    const std::u16string pieces[] = {u"plain ascii words ", u"\u00E9\u00E8 ", u"\u4E2D\u6587 ",
                                     u"\U0001F600\U00020000 ", u"\r\n"};
    for (unsigned i = 0; text.size() < 6500u * 1024; ++i)
        text += pieces[(i * 7 + i / 3) % 5];
    TempDir dir;
    const std::u16string path = dir.File16("big.txt");
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF8, false, false, 65536);
        ASSERT_EQ(writer.Write(text), text.size());
        ASSERT_TRUE(writer.Close());
    }
    const std::string bytes = testing_support::ReadBytes(dir.File("big.txt"));
    ASSERT_GT(bytes.size(), 8u * 1024 * 1024);
    const std::u16string whole = text::FromUtf8(bytes);

    CTextFileReader reader(path.c_str(), 65536);
    reader.SetEncoding(TEXTENCODING_UTF8);
    std::u16string streamed;
    streamed.reserve(whole.size());
    EXPECT_EQ(reader.ReadToEnd(streamed, 65536), whole.size());
    EXPECT_TRUE(streamed == whole);
    EXPECT_TRUE(streamed == text);
}

// --- First line ----------------------------------------------------------------------

// A stream whose head was taken for detection reads as the same bytes in a
// file: the BOM may lie in the head, and a character may straddle the point
// where the head ends and the pipe goes on.
TEST(TextFileReader, StreamWithHeadReadsLikeTheWholeText)
{
    const std::string text = "\xEF\xBB\xBF"
                             "caf\xC3\xA9 \xF0\x9F\x98\x80 end";
    for (size_t split : {size_t{0}, size_t{2}, size_t{5}, size_t{7}, size_t{12}, text.size()}) {
        SCOPED_TRACE(split);
        int pipe_[2];
        ASSERT_EQ(pipe(pipe_), 0);
        const std::string rest = text.substr(split);
        ASSERT_EQ(write(pipe_[1], rest.data(), rest.size()), static_cast<ssize_t>(rest.size()));
        close(pipe_[1]);
        CTextFileReader reader(pipe_[0], std::vector<unsigned char>(text.begin(), text.begin() + split), u"-", 6);
        ASSERT_TRUE(reader.IsOpen());
        EXPECT_EQ(reader.GetEncoding(), TEXTENCODING_UTF8);
        std::u16string got;
        char16_t block[3];
        for (unsigned n; (n = reader.Read(block, 3)) > 0;)
            got.append(block, n);
        EXPECT_EQ(got, u"caf\u00e9 \U0001F600 end");
        EXPECT_EQ(reader.GetPosition(), text.size());
        EXPECT_FALSE(reader.HasReadError());
    }
}

TEST(FirstLineTextReader, ReturnsTheTextBeforeTheFirstLineBreak)
{
    struct Row {
        const char* name;
        std::string bytes;
        int maxChars;
        std::u16string line;
    };
    const std::string longLine(5000, 'a');
    const Row rows[] = {
        {"CR LF", "abc\r\ndef", 100, u"abc"},
        {"lone CR", "abc\rdef", 100, u"abc"},
        {"cut to the maximum", "abc\r\ndef", 2, u"ab"},
        {"no line break", "abc", 100, u"abc"},
        {"empty file", "", 100, u""},
        {"UTF-16 LE BOM", Bytes({0xFF, 0xFE, 'x', 0, 'y', 0, '\n', 0, 'z', 0}), 100, u"xy"},
        {"UTF-8 BOM", "\xEF\xBB\xBF\xC3\xA9t\xC3\xA9\nnext", 100, u"\u00E9t\u00E9"},
        {"UTF-8 without BOM", "h\xC3\xA9llo \xF0\x9F\x98\x80\nx", 100, u"h\u00E9llo \U0001F600"},
        {"longer than one block", longLine + "\n", 4500, std::u16string(4500, u'a')},
        {"cut inside a surrogate pair", "a\xF0\x9F\x98\x80z", 2, u"a"},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.File("f.txt"), row.bytes);
        CFirstLineTextReader reader(dir.File16("f.txt").c_str());
        std::u16string line = u"stale";
        EXPECT_TRUE(reader.Read(row.maxChars, line));
        EXPECT_EQ(line, row.line);
    }
}

TEST(FirstLineTextReader, FailsForEmptyPathAndMissingFile)
{
    TempDir dir;
    std::u16string line;
    EXPECT_FALSE(CFirstLineTextReader(u"").Read(10, line));
    EXPECT_FALSE(CFirstLineTextReader(dir.File16("missing").c_str()).Read(10, line));
}

}  // namespace
