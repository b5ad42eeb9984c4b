#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "textrion/io/text_file_writer.h"
#include "textrion_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using textrion_test::Bytes;
using textrion_test::Iconv;

// The writer's bytes for each Unicode form, by glibc's converter. UCS-4 2143 and
// 3412 are UTF-32 BE with its octets reordered.
std::string Oracle(TEXTENCODING encoding, std::u16string_view text)
{
    switch (encoding) {
    case TEXTENCODING_UTF8:
        return Iconv("UTF-8", text);
    case TEXTENCODING_UTF16LE:
        return Iconv("UTF-16LE", text);
    case TEXTENCODING_UTF16BE:
        return Iconv("UTF-16BE", text);
    case TEXTENCODING_UTF32LE:
        return Iconv("UTF-32LE", text);
    case TEXTENCODING_UTF32BE:
        return Iconv("UTF-32BE", text);
    default:
        break;
    }
    std::string be = Iconv("UTF-32BE", text);
    const int order2143[] = {1, 0, 3, 2};
    const int order3412[] = {2, 3, 0, 1};
    const int* order = encoding == TEXTENCODING_UCS4_2143 ? order2143 : order3412;
    std::string out(be.size(), '\0');
    for (size_t i = 0; i + 4 <= be.size(); i += 4)
        for (int k = 0; k < 4; ++k)
            out[i + k] = be[i + order[k]];
    return out;
}

// Writes the chunks, one Write each, and returns the file's bytes.
std::string WriteChunks(const TempDir& dir, TEXTENCODING encoding, CUTFProcessor::tagUTFPROCESSCRLFTYPE mode,
                        const std::vector<std::u16string>& chunks, unsigned bufferSize = 64)
{
    const std::u16string path = dir.File16("out.txt");
    CTextFileWriter writer(path.c_str(), encoding, false, false, bufferSize);
    EXPECT_TRUE(writer.IsOpen());
    writer.SetCrLfType(mode);
    for (const std::u16string& chunk : chunks)
        EXPECT_EQ(writer.Write(chunk), chunk.size());
    EXPECT_TRUE(writer.Close());
    return ReadBytes(dir.File("out.txt"));
}

struct Form {
    const char* name;
    TEXTENCODING encoding;
    std::string bom;
};

const Form kForms[] = {
    {"UTF-8", TEXTENCODING_UTF8, "\xEF\xBB\xBF"},
    {"UTF-16 LE", TEXTENCODING_UTF16LE, "\xFF\xFE"},
    {"UTF-16 BE", TEXTENCODING_UTF16BE, "\xFE\xFF"},
    {"UTF-32 LE", TEXTENCODING_UTF32LE, Bytes({0xFF, 0xFE, 0, 0})},
    {"UTF-32 BE", TEXTENCODING_UTF32BE, Bytes({0, 0, 0xFE, 0xFF})},
    {"UCS-4 2143", TEXTENCODING_UCS4_2143, Bytes({0, 0, 0xFF, 0xFE})},
    {"UCS-4 3412", TEXTENCODING_UCS4_3412, Bytes({0xFE, 0xFF, 0, 0})},
};

TEST(TextFileWriter, WritesEachUnicodeFormLikeTheOracleAfterItsBom)
{
    TempDir dir;
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        const std::u16string path = dir.File16("out.txt");
        {
            // A small buffer streams the text through many passes.
            CTextFileWriter writer(path.c_str(), form.encoding, true, false, 16);
            EXPECT_EQ(writer.Write(textrion_test::kUnicodeSample), textrion_test::kUnicodeSample.size());
            EXPECT_TRUE(writer.Close());
            EXPECT_EQ(writer.GetReplacementCount(), 0u);
        }
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), form.bom + Oracle(form.encoding, textrion_test::kUnicodeSample));
    }
}

TEST(TextFileWriter, WritesU10000InEveryOctetOrder)
{
    TempDir dir;
    EXPECT_EQ(WriteChunks(dir, TEXTENCODING_UTF8, CUTFProcessor::UTFCRLF_KEEP, {u"\U00010000"}), "\xF0\x90\x80\x80");
    EXPECT_EQ(WriteChunks(dir, TEXTENCODING_UCS4_2143, CUTFProcessor::UTFCRLF_KEEP, {u"\U00010000"}),
              Bytes({0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(WriteChunks(dir, TEXTENCODING_UCS4_3412, CUTFProcessor::UTFCRLF_KEEP, {u"\U00010000"}),
              Bytes({0x00, 0x00, 0x00, 0x01}));
}

// --- Line endings ---------------------------------------------------------------

TEST(TextFileWriter, RewritesEveryLineBreakIntoTheChosenStyle)
{
    struct Row {
        const char* name;
        std::vector<std::u16string> chunks;
        std::u16string keep, cr, lf, crlf;
    };
    const Row rows[] = {
        {"lone CR", {u"a\rb"}, u"a\rb", u"a\rb", u"a\nb", u"a\r\nb"},
        {"lone LF", {u"a\nb"}, u"a\nb", u"a\rb", u"a\nb", u"a\r\nb"},
        {"CR LF", {u"a\r\nb"}, u"a\r\nb", u"a\rb", u"a\nb", u"a\r\nb"},
        {"CR ends one write, LF starts the next", {u"a\r", u"\nb"}, u"a\r\nb", u"a\rb", u"a\nb", u"a\r\nb"},
        {"CR ends a write, text follows", {u"a\r", u"b"}, u"a\rb", u"a\rb", u"a\nb", u"a\r\nb"},
        {"CR, LF as single writes", {u"\r", u"\n", u"\n"}, u"\r\n\n", u"\r\r", u"\n\n", u"\r\n\r\n"},
        {"mixed run",
         {u"a\r\nb\rc\nd\n\r"},
         u"a\r\nb\rc\nd\n\r",
         u"a\rb\rc\rd\r\r",
         u"a\nb\nc\nd\n\n",
         u"a\r\nb\r\nc\r\nd\r\n\r\n"},
    };
    const TEXTENCODING encodings[] = {TEXTENCODING_UTF8, TEXTENCODING_UTF16LE, TEXTENCODING_UTF32BE};
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (TEXTENCODING encoding : encodings) {
            SCOPED_TRACE(encoding);
            EXPECT_EQ(WriteChunks(dir, encoding, CUTFProcessor::UTFCRLF_KEEP, row.chunks), Oracle(encoding, row.keep));
            EXPECT_EQ(WriteChunks(dir, encoding, CUTFProcessor::UTFCRLF_CR, row.chunks), Oracle(encoding, row.cr));
            EXPECT_EQ(WriteChunks(dir, encoding, CUTFProcessor::UTFCRLF_LF, row.chunks), Oracle(encoding, row.lf));
            EXPECT_EQ(WriteChunks(dir, encoding, CUTFProcessor::UTFCRLF_CRLF, row.chunks), Oracle(encoding, row.crlf));
        }
    }
}

TEST(TextFileWriter, LineEndingOneByteShortOfTheBufferGoesIntoTheNextPass)
{
    struct Row {
        TEXTENCODING encoding;
        unsigned prefixUnits;
        unsigned bufferSize;  // the prefix plus a CR LF, less one byte
    };
    const Row rows[] = {{TEXTENCODING_UTF8, 15, 16}, {TEXTENCODING_UTF16LE, 7, 17}, {TEXTENCODING_UTF32LE, 4, 23}};
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.encoding);
        const std::u16string text = std::u16string(row.prefixUnits, u'x') + u"\nyz";
        const std::u16string expected = std::u16string(row.prefixUnits, u'x') + u"\r\nyz";
        EXPECT_EQ(WriteChunks(dir, row.encoding, CUTFProcessor::UTFCRLF_CRLF, {text}, row.bufferSize),
                  Oracle(row.encoding, expected));
    }
}

TEST(TextFileWriter, BufferTooSmallForAUtf32CrLfIsRaisedToTheMinimum)
{
    TempDir dir;
    EXPECT_EQ(WriteChunks(dir, TEXTENCODING_UTF32LE, CUTFProcessor::UTFCRLF_CRLF, {u"a\n\U0001F600"}, 0),
              Oracle(TEXTENCODING_UTF32LE, u"a\r\n\U0001F600"));
}

TEST(TextFileWriter, CrLfHelpersFollowTheLineEndingStyle)
{
    TempDir dir;
    const std::u16string path = dir.File16("out.txt");
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF8, false, false, 64);
        writer.SetCrLfType(CUTFProcessor::UTFCRLF_CR);
        writer.WriteCRLF();
        writer.WriteLF();
        writer.SetCrLfType(CUTFProcessor::UTFCRLF_KEEP);
        writer.WriteCR();
        writer << u"x" << std::u16string(u"y") << u'z';
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "\r\r\rxyz");
}

// --- Surrogates -------------------------------------------------------------------

TEST(TextFileWriter, HighSurrogateEndingAWriteWaitsForTheNextOne)
{
    TempDir dir;
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        const bool sixteen = form.encoding == TEXTENCODING_UTF16LE || form.encoding == TEXTENCODING_UTF16BE;
        const std::u16string path = dir.File16("out.txt");
        {
            CTextFileWriter writer(path.c_str(), form.encoding, false, false, 64);
            const std::u16string first = u"a\xD83D";
            const unsigned taken = writer.Write(first);
            EXPECT_EQ(taken, sixteen ? 2u : 1u);
            // The caller presents what was not taken again, with the low half.
            const std::u16string second = first.substr(taken) + u"\xDE00"
                                                                u"b";
            EXPECT_EQ(writer.Write(second), second.size());
            EXPECT_TRUE(writer.Close());
        }
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), Oracle(form.encoding, u"a\U0001F600b"));
    }
}

TEST(TextFileWriter, UnpairedSurrogatesBecomeReplacementsExceptInUtf16)
{
    TempDir dir;
    const std::u16string text = u"a\xD800"
                                u"b\xDC00\xDC01"
                                u"c";
    for (const Form& form : kForms) {
        SCOPED_TRACE(form.name);
        const bool sixteen = form.encoding == TEXTENCODING_UTF16LE || form.encoding == TEXTENCODING_UTF16BE;
        const std::u16string path = dir.File16("out.txt");
        CTextFileWriter writer(path.c_str(), form.encoding, false, false, 64);
        EXPECT_EQ(writer.Write(text), text.size());
        EXPECT_TRUE(writer.Close());
        if (sixteen) {
            EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), 2 * text.size());
            EXPECT_EQ(writer.GetReplacementCount(), 0u);
        } else {
            EXPECT_EQ(ReadBytes(dir.File("out.txt")), Oracle(form.encoding, u"a\uFFFDb\uFFFD\uFFFDc"));
            EXPECT_EQ(writer.GetReplacementCount(), 3u);
        }
    }
}

TEST(TextFileWriter, FileNameBytesComeBackAsTheBytesOnDisk)
{
    TempDir dir;
    // "caf" + byte E9 (Latin-1, not UTF-8) + a lone high surrogate that no name can hold.
    const std::u16string text = u"caf\xDCE9|\xD800.";
    const std::u16string path = dir.File16("report.txt");
    struct Case {
        TEXTENCODING encoding;
        std::string bytes;
        uint64_t replaced;
    };
    const Case cases[] = {
        {TEXTENCODING_UTF8, "caf\xE9|\xEF\xBF\xBD.", 1},
        {TEXTENCODING_UTF16LE, std::string("c\0a\0f\0\xE9\xDC|\0\0\xD8.\0", 14), 0},
        {TEXTENCODING_UTF32BE, std::string("\0\0\0c\0\0\0a\0\0\0f\0\0\xDC\xE9\0\0\0|\0\0\xFF\xFD\0\0\0.", 28), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        CTextFileWriter writer(path.c_str(), c.encoding, false, false, 64);
        writer.SetFileNameBytes(true);
        EXPECT_EQ(writer.Write(text), text.size());
        EXPECT_TRUE(writer.Close());
        EXPECT_EQ(ReadBytes(dir.File("report.txt")), c.bytes);
        EXPECT_EQ(writer.GetReplacementCount(), c.replaced);
    }
}

// --- BOM and appending --------------------------------------------------------------

TEST(TextFileWriter, AppendingAddsABomOnlyToAnEmptyFile)
{
    TempDir dir;
    const std::u16string path = dir.File16("log.txt");
    auto append = [&](const std::u16string& text) {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF8, true, true, 64);
        writer.Write(text);
        EXPECT_TRUE(writer.Close());
    };
    append(u"new");
    EXPECT_EQ(ReadBytes(dir.File("log.txt")), "\xEF\xBB\xBFnew");
    append(u" more");
    EXPECT_EQ(ReadBytes(dir.File("log.txt")), "\xEF\xBB\xBFnew more");

    WriteBytes(dir.File("log.txt"), "");
    append(u"x");
    EXPECT_EQ(ReadBytes(dir.File("log.txt")), "\xEF\xBB\xBFx");

    WriteBytes(dir.File("log.txt"), "old");
    append(u"y");
    EXPECT_EQ(ReadBytes(dir.File("log.txt")), "oldy");
}

// --- Code pages -----------------------------------------------------------------------

TEST(TextFileWriter, CodePageTextIsWrittenInFullWithZerosAndDefaultCharactersAndNoBom)
{
    TempDir dir;
    const std::u16string path = dir.File16("out.txt");
    const std::u16string text(u"a\0b\u4E2D\r\n", 6);
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_CODEPAGE, true, false, 16);  // code pages have no BOM
        writer.SetCodePage(1252);
        writer.SetCrLfType(CUTFProcessor::UTFCRLF_LF);  // not applied to code page text
        EXPECT_EQ(writer.Write(text), text.size());
        EXPECT_TRUE(writer.Close());
        EXPECT_EQ(writer.GetReplacementCount(), 1u);
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), std::string("a\0b?\r\n", 6));
}

TEST(TextFileWriter, StatefulCodePageIsClosedWithItsShiftSequence)
{
    TempDir dir;
    const std::u16string path = dir.File16("out.txt");
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_CODEPAGE, false, false, 16);
        writer.SetCodePage(50220);
        writer.Write(u"a\u65E5");
        writer.Write(u"\u672C");
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), Iconv("ISO-2022-JP", u"a\u65E5\u672C"));
}

// --- Formatting ---------------------------------------------------------------------------

TEST(TextFileWriter, WriteFormatWritesTheFormattedTextInTheFileEncoding)
{
    TempDir dir;
    const std::u16string path = dir.File16("out.txt");
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF16LE, false, false, 16);
        EXPECT_EQ(writer.WriteFormat("%d;%s;%.2f;%05u", -42, "caf\xC3\xA9", 1.5, 7u), 19u);
        EXPECT_EQ(writer.WriteFormat("%s", ""), 0u);
        const std::string longArgument(300, 'z');
        EXPECT_EQ(writer.WriteFormat("<%s>", longArgument.c_str()), 302u);
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")),
              Iconv("UTF-16LE", u"-42;caf\u00E9;1.50;00007<" + std::u16string(300, u'z') + u">"));
}

// --- Failures ---------------------------------------------------------------------------------

TEST(TextFileWriter, WriterOnAnUncreatablePathReportsTheFailure)
{
    TempDir dir;
    CTextFileWriter writer(dir.File16("no/such/folder.txt").c_str(), TEXTENCODING_UTF8, true, false, 64);
    EXPECT_FALSE(writer.IsOpen());
    writer.Write(u"lost");
    EXPECT_TRUE(writer.HasWriteError());
    EXPECT_FALSE(writer.Close());
}

TEST(TextFileWriter, InjectedWriteFailureMakesCloseFail)
{
    TempDir dir;
    for (const TEXTENCODING encoding : {TEXTENCODING_UTF8, TEXTENCODING_CODEPAGE}) {
        SCOPED_TRACE(encoding);
        CTextFileWriter writer(dir.File16("out.txt").c_str(), encoding, false, false, 64);
        writer.Write(u"fine");
        EXPECT_FALSE(writer.HasWriteError());
        textrion_test::FaultInjector faults;
        faults.failWriteFrom = 0;
        writer.Write(u"this one fails");
        EXPECT_TRUE(writer.HasWriteError());
        EXPECT_FALSE(writer.Close());
    }
}

TEST(TextFileWriter, FileSizeLimitMakesTheWriteFail)
{
    TempDir dir;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = signal(SIGXFSZ, SIG_IGN);
    bool closed = true;
    bool writeError = false;
    {
        CTextFileWriter writer(dir.File16("out.txt").c_str(), TEXTENCODING_UTF8, false, false, 256);
        rlimit small = saved;
        small.rlim_cur = 1000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        writer.Write(std::u16string(5000, u'x'));
        writeError = writer.HasWriteError();
        closed = writer.Close();
        setrlimit(RLIMIT_FSIZE, &saved);
    }
    signal(SIGXFSZ, savedHandler);
    EXPECT_TRUE(writeError);
    EXPECT_FALSE(closed);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), 1000u);
}

TEST(TextFileWriter, FailedFlushThrowsWithTheErrorAndPath)
{
    TempDir dir;
    const std::u16string path = dir.File16("out.txt");
    CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF8, false, false, 64);
    writer.Write(u"data");
    EXPECT_NO_THROW(writer.Flush());
    textrion_test::FaultInjector faults;
    faults.failFlush = true;
    try {
        writer.Flush();
        ADD_FAILURE() << "Flush did not throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetErrorCode(), EIO);
        EXPECT_EQ(e.GetPath(), path);
    }
    EXPECT_TRUE(writer.HasWriteError());
    EXPECT_FALSE(writer.Close());
}

}  // namespace
