// Read-ahead and write-behind: the reader and writer moving long streams in
// large blocks must give the same text and bytes as with their own buffers,
// in fewer system calls, and must still report every failure.

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"
#include "textrion_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using textrion_test::kUnicodeSample;

constexpr unsigned kBlock = 64 * 1024;

using textrion_test::FaultInjector;

struct StreamRow {
    const char* name;
    TEXTENCODING encoding;
    unsigned codePage;  // for TEXTENCODING_CODEPAGE
    CUTFProcessor::tagUTFPROCESSCRLFTYPE breaks;
    std::u16string text;  // repeated to fill the stream
};

const std::u16string kJapanese = u"\u65E5\u672C\u8A9E\u306E\u6587\u7AE0\u3002\uFF76\uFF85 ABC\r\n\u6F22\u5B57\r";
const std::u16string kChinese = u"\u4E2D\u6587\u7F16\u7801\uFF0C\U00020BB7 x\u00E9\r\n\u6587\u4EF6\n";

const StreamRow kStreams[] = {
    {"Utf8", TEXTENCODING_UTF8, 0, CUTFProcessor::UTFCRLF_KEEP, kUnicodeSample},
    {"Utf8ToLf", TEXTENCODING_UTF8, 0, CUTFProcessor::UTFCRLF_LF, kUnicodeSample},
    {"Utf16LeToCrLf", TEXTENCODING_UTF16LE, 0, CUTFProcessor::UTFCRLF_CRLF, kUnicodeSample},
    {"Utf16Be", TEXTENCODING_UTF16BE, 0, CUTFProcessor::UTFCRLF_KEEP, kUnicodeSample},
    {"Ucs4_3412ToCr", TEXTENCODING_UCS4_3412, 0, CUTFProcessor::UTFCRLF_CR, kUnicodeSample},
    {"ShiftJis", TEXTENCODING_CODEPAGE, 932, CUTFProcessor::UTFCRLF_KEEP, kJapanese},
    {"Iso2022Jp", TEXTENCODING_CODEPAGE, 50220, CUTFProcessor::UTFCRLF_KEEP, kJapanese},
    {"Gb18030", TEXTENCODING_CODEPAGE, 54936, CUTFProcessor::UTFCRLF_KEEP, kChinese},
};

void PrintTo(const StreamRow& row, std::ostream* os)
{
    *os << row.name;
}

class StreamBlocks : public testing::TestWithParam<StreamRow> {
protected:
    // About 300 KB of the row's text, numbered so that no two stretches are alike.
    std::u16string LongText() const
    {
        std::u16string text;
        for (int i = 0; text.size() < 150000; ++i)
            text += GetParam().text + text::FromNumber(i);
        return text;
    }

    // Writes the text in Writes of random length (cutting pairs and CR LF
    // anywhere), presenting again what a Write left; the file's bytes.
    std::string WritePieces(const std::u16string& text, bool writeBehind, int* writes = nullptr)
    {
        const StreamRow& row = GetParam();
        const std::u16string path = m_dir.File16("out.txt");
        std::mt19937 rng(7);
        {
            CTextFileWriter writer(path.c_str(), row.encoding, true, false, 4096);
            writer.SetCodePage(row.codePage);
            writer.SetCrLfType(row.breaks);
            FaultInjector counter;
            if (writeBehind)
                writer.SetWriteBehind(kBlock);
            size_t pos = 0;
            while (pos < text.size()) {
                const size_t n = std::min<size_t>(text.size() - pos, 1 + rng() % 3000);
                pos += writer.Write(text.data() + pos, static_cast<unsigned>(n));
            }
            EXPECT_TRUE(writer.Close());
            EXPECT_FALSE(writer.HasWriteError());
            if (writes)
                *writes = counter.Writes();
        }
        return ReadBytes(m_dir.File("out.txt"));
    }

    TempDir m_dir;
};

TEST_P(StreamBlocks, WriteBehindWritesTheSameBytesInFewerWrites)
{
    const std::u16string text = LongText();
    int plainWrites = 0, blockWrites = 0;
    const std::string plain = WritePieces(text, false, &plainWrites);
    const std::string blocks = WritePieces(text, true, &blockWrites);
    ASSERT_GT(plain.size(), 2 * kBlock);
    EXPECT_TRUE(blocks == plain);
    EXPECT_LE(blockWrites, static_cast<int>(plain.size() / kBlock) + 2);
    EXPECT_GT(plainWrites, 2 * blockWrites);
}

TEST_P(StreamBlocks, ReadAheadReadsTheSameTextInFewerReads)
{
    const StreamRow& row = GetParam();
    const std::u16string text = LongText();
    WritePieces(text, false);
    for (unsigned buffer : {64u, 4096u}) {
        SCOPED_TRACE("buffer " + std::to_string(buffer));
        int reads[2] = {};
        std::u16string read[2];
        for (int ahead = 0; ahead < 2; ++ahead) {
            FaultInjector counter;
            read[ahead] = textrion_test::ReadAll(m_dir.File16("out.txt"), buffer, 2048, [&](CTextFileReader& reader) {
                if (row.encoding == TEXTENCODING_CODEPAGE)
                    reader.SetCodePage(row.codePage);  // no mark: the code page is the caller's
                if (ahead)
                    reader.SetReadAhead(kBlock);
            });
            reads[ahead] = counter.Reads();
        }
        // (Compared as truth values: a difference would print a whole file.)
        EXPECT_TRUE(read[1] == read[0]);
        // The Unicode forms kept as written read back as the text (the mark is skipped).
        if (row.encoding != TEXTENCODING_CODEPAGE && row.breaks == CUTFProcessor::UTFCRLF_KEEP) {
            EXPECT_TRUE(read[0] == text);
        }
        // Growing by doubling to the block, then a block each.
        const int bytes = static_cast<int>(ReadBytes(m_dir.File("out.txt")).size());
        EXPECT_LE(reads[1], bytes / static_cast<int>(kBlock) + 12);
        EXPECT_LT(reads[1], reads[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamBlocks, testing::ValuesIn(kStreams), textrion_test::RowName());

TEST(StreamBlocks, WriteBehindHoldsBytesUntilTheBlockFillsOrAFlushOrClose)
{
    TempDir dir;
    const std::u16string path = dir.File16("out.txt");
    CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF16LE, true, false, 64);
    writer.SetWriteBehind(1024);
    EXPECT_EQ(writer.Write(u"abc"), 3u);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "\xFF\xFE");  // only the mark, written on creation
    writer.Flush();
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), std::string("\xFF\xFE"
                                                          "a\0b\0c\0",
                                                          8));
    // A change of buffer keeps what was gathered.
    writer.Write(u"de");
    writer.SetInternalWriteBufferSize(32);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), 12u);
    // Past the block, the gathered bytes go out.
    writer.SetWriteBehind(1024);
    writer.Write(std::u16string(700, u'x'));
    EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), 12u + 1024u);
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), 12u + 1400u);
}

// A mark and a block make two writes, so the rest, written on Close or
// Flush, would be the first to start the background thread: it must be
// written there and then, before the file is closed or flushed.
TEST(StreamBlocks, BackgroundWritesLeaveNothingBehindOnCloseOrFlush)
{
    TempDir dir;
    for (const bool close : {true, false}) {
        SCOPED_TRACE(close ? "close" : "flush");
        CTextFileWriter writer(dir.File16("out.txt").c_str(), TEXTENCODING_UTF16LE, true, false, 64);
        writer.SetWriteBehind(1024);
        writer.SetBackgroundWrites(true);
        writer.Write(std::u16string(700, u'x'));
        EXPECT_TRUE(close ? writer.Close() : (writer.Flush(), true));
        EXPECT_EQ(ReadBytes(dir.File("out.txt")).size(), 2u + 1400u);
    }
}

TEST(StreamBlocks, WriteBehindReportsAFailedBlockByTheCloseAtTheLatest)
{
    TempDir dir;
    struct Case {
        const char* name;
        unsigned units;    // written after the failure is armed
        bool seenAtWrite;  // the block was written (and failed) within the Write
    };
    const Case cases[] = {
        {"gathered, fails on close", 10, false},
        {"past the block, fails at once", 3000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTextFileWriter writer(dir.File16("out.txt").c_str(), TEXTENCODING_UTF8, false, false, 64);
        writer.SetWriteBehind(1024);
        writer.Write(u"fine");
        FaultInjector counter;
        counter.failWriteFrom = 0;
        writer.Write(std::u16string(c.units, u'y'));
        EXPECT_EQ(writer.HasWriteError(), c.seenAtWrite);
        EXPECT_FALSE(writer.Close());
        EXPECT_TRUE(writer.HasWriteError());
    }
}

TEST(StreamBlocks, ReadAheadStillReportsAReadErrorMidway)
{
    TempDir dir;
    std::u16string text;
    for (int i = 0; text.size() < 200000; ++i)
        text += u"line " + text::FromNumber(i) + u" \u00E9\u4E2D\U0001F600\n";
    testing_support::WriteBytes(dir.File("big.txt"), text::ToUtf8(text));
    CTextFileReader reader(dir.File16("big.txt").c_str(), 4096);
    reader.SetEncoding(TEXTENCODING_UTF8);
    reader.SetReadAhead(kBlock);
    FaultInjector counter;
    counter.failReadFrom = 4;
    std::u16string back, part;
    for (int i = 0; i < 10000 && reader.Read(part, 2048) > 0; ++i)
        back += part;
    EXPECT_TRUE(reader.HasReadError());
    // The text read is the start of the file, but for a character the failure
    // cut, which ends it as a replacement.
    ASSERT_GT(back.size(), 40000u);  // four reads of doubling size
    ASSERT_LT(back.size(), text.size());
    const size_t whole = back.size() - 1;
    EXPECT_TRUE(back.compare(0, whole, text, 0, whole) == 0);
}

}  // namespace
