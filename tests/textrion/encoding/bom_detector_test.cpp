#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "textrion/encoding/bom_detector.h"
#include "textrion/encoding/bomless_unicode_detector.h"
#include "textrion/io/text_file_reader.h"
#include "textrion_test_util.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;
using textrion_test::Bytes;

// The reader judges the start of a file as the detector does; both are checked
// on every row.
TEST(BomDetector, JudgesTheFirstFourBytes)
{
    struct Row {
        const char* name;
        std::string bytes;
        BOM bom;
        TEXTENCODING encoding;
    };
    const Row rows[] = {
        {"empty", "", BOM_NONE, TEXTENCODING_CODEPAGE},
        {"FF FE alone", Bytes({0xFF, 0xFE}), BOM_UTF16LE, TEXTENCODING_UTF16LE},
        {"FF FE 00, three bytes", Bytes({0xFF, 0xFE, 0x00}), BOM_UTF16LE, TEXTENCODING_UTF16LE},
        {"FF FE 00 00", Bytes({0xFF, 0xFE, 0x00, 0x00}), BOM_UTF32LE, TEXTENCODING_UTF32LE},
        {"FF FE 41 00", Bytes({0xFF, 0xFE, 0x41, 0x00}), BOM_UTF16LE, TEXTENCODING_UTF16LE},
        {"FF FF", Bytes({0xFF, 0xFF, 0x41, 0x00}), BOM_NONE, TEXTENCODING_CODEPAGE},
        {"FE FF 00 41", Bytes({0xFE, 0xFF, 0x00, 0x41}), BOM_UTF16BE, TEXTENCODING_UTF16BE},
        {"FE FF 00 00", Bytes({0xFE, 0xFF, 0x00, 0x00}), BOM_UCS4_3412, TEXTENCODING_UCS4_3412},
        {"FE FF alone", Bytes({0xFE, 0xFF}), BOM_UTF16BE, TEXTENCODING_UTF16BE},
        {"FE FE", Bytes({0xFE, 0xFE, 0, 0}), BOM_NONE, TEXTENCODING_CODEPAGE},
        {"00 00 FE FF", Bytes({0x00, 0x00, 0xFE, 0xFF}), BOM_UTF32BE, TEXTENCODING_UTF32BE},
        {"00 00 FE, three bytes", Bytes({0x00, 0x00, 0xFE}), BOM_NONE, TEXTENCODING_CODEPAGE},
        {"00 00 FF FE", Bytes({0x00, 0x00, 0xFF, 0xFE}), BOM_UCS4_2143, TEXTENCODING_UCS4_2143},
        {"00 01 FE FF", Bytes({0x00, 0x01, 0xFE, 0xFF}), BOM_NONE, TEXTENCODING_CODEPAGE},
        {"EF BB BF alone", "\xEF\xBB\xBF", BOM_UTF8, TEXTENCODING_UTF8},
        {"EF BB BF text", "\xEF\xBB\xBFtext", BOM_UTF8, TEXTENCODING_UTF8},
        {"EF BB", "\xEF\xBB", BOM_NONE, TEXTENCODING_CODEPAGE},
        {"mark not at the start", Bytes({0x20, 0x00, 0xFE, 0xFF}), BOM_NONE, TEXTENCODING_CODEPAGE},
    };
    TempDir dir;
    const std::u16string path = dir.File16("b.txt");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.File("b.txt"), row.bytes);
        CBomDetector detector(path.c_str());
        EXPECT_EQ(detector.GetResult(), row.bom);
        EXPECT_EQ(detector.IsShortFile(), row.bytes.size() < 4);
        EXPECT_FALSE(detector.HasReadError());
        CTextFileReader reader(path.c_str(), 64);
        EXPECT_EQ(reader.GetEncoding(), row.encoding);
    }
}

TEST(BomDetector, MissingFileIsNoneWithReadError)
{
    TempDir dir;
    CBomDetector detector(dir.File16("missing").c_str());
    EXPECT_EQ(detector.GetResult(), BOM_NONE);
    EXPECT_TRUE(detector.HasReadError());
}

TEST(BomlessUnicodeDetector, RecognisesUtf16LeTextOnly)
{
    struct Row {
        const char* name;
        std::string bytes;
        BOMLESS_UNICODE result;
    };
    const std::string utf16 = textrion_test::Iconv("UTF-16LE", u"Hello, world.\r\nSecond line \u00E9\u4E2D\r\n");
    const std::string longUtf16 = textrion_test::Iconv("UTF-16LE", std::u16string(3000, u'a'));
    const Row rows[] = {
        {"short UTF-16 LE", utf16, BOMLESS_UTF16LE},
        {"one UTF-16 unit", Bytes({'a', 0}), BOMLESS_UTF16LE},
        {"more than the sample", longUtf16, BOMLESS_UTF16LE},
        {"8-bit text", "Hello, world.\r\nSecond line \xE9\r\n", BOMLESS_NONE},
        {"\"Bush hid the facts\"", "Bush hid the facts", BOMLESS_NONE},
        {"UTF-16 BE", textrion_test::Iconv("UTF-16BE", u"Hello, world.\r\n"), BOMLESS_NONE},
        {"one byte", "a", BOMLESS_NONE},
        {"empty", "", BOMLESS_NONE},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.File("u.txt"), row.bytes);
        CBomlessUnicodeDetector detector(dir.File16("u.txt").c_str());
        EXPECT_EQ(detector.Detect(), row.result);
        EXPECT_EQ(detector.GetResult(), row.result);
        EXPECT_EQ(detector.IsShortFile(), row.bytes.size() < CBomlessUnicodeDetector::kSampleSize);
    }
    CBomlessUnicodeDetector missing(dir.File16("missing").c_str());
    EXPECT_EQ(missing.Detect(), BOMLESS_NONE);
}

}  // namespace
