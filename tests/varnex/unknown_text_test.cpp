#include <random>
#include <string>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex_test_util.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;
using varnex_test::IcuEncode;
using Result = CAdvancedDetector::DETECTIONRESULT;

// Random bytes without a run of zeros: only the text test can call them binary.
std::string NoisyBinary(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    for (size_t i = 1; i < bytes.size(); ++i)
        if (bytes[i] == '\0' && bytes[i - 1] == '\0')
            bytes[i] = '\x01';
    return bytes;
}

TEST(TextTest, TellsTextFromControlHeavyBytes)
{
    struct Row {
        const char* name;
        std::string bytes;
        bool text;
    };
    const std::string line = "Plain line of text with eighty bytes or so, ending in a line break..........\r\n";
    const Row rows[] = {
        {"empty", "", true},
        {"text with tab, form feed, escape colours, SO/SI, backspace and a DOS end", "a\tb\x0C\x1B[1mc\x0E\x0F_\x08_" + line + "\x1A", true},
        {"8-bit text", "\xC7" "a va tr\xE8s bien, merci \xE0 vous\xA0!", true},
        {"one foreign control in a hundred bytes", std::string(99, 'a') + '\x01', true},
        {"two in a hundred", std::string(98, 'a') + "\x01\x02", false},
        {"a lone NUL in a short line", std::string("abc\0def", 7), false},
        {"random bytes", NoisyBinary(4096, 1), false},
        {"short random bytes", NoisyBinary(40, 5), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CAdvancedDetector::LooksLikeText(reinterpret_cast<const unsigned char*>(row.bytes.data()),
                                                   row.bytes.size()),
                  row.text);
    }
}

// Short legacy texts whose code page the statistics cannot name.
struct ShortText {
    const char* charset;
    const char16_t* text;
};
const ShortText kShortTexts[] = {
    {"windows-1252", u"Keyboard test: ÀÉÎÕÜ ñ ç ß, done by the team.\n"},
    {"windows-1252", u"ÀÉÎÕÜ ñ ç ß ÀÉÎÕÜ ñ ç ß ÀÉÎÕÜ ñ ç ß\n"},
    {"windows-1250", u"Keyboard test: ĄĘŁŃŚŹŻ ąęłńśźż, done by the team.\n"},
    {"windows-1250", u"Reply to the list: ĄĘŁŃŚŹŻ ąęłńśźż by Friday\n"},
    {"KOI8-R", u"Keyboard test: ЩЪЫЬЭЮЯ щъыьэюя, done by the team.\n"},
    {"KOI8-R", u"Test ЩЪЫЬЭЮЯ ЖКХ ЁЖЗ done, see the list.\n"},
};

class DetectsShortText : public testing::TestWithParam<ShortText> {};

TEST_P(DetectsShortText, AsUnknownTextNotBinary)
{
    TempDir dir;
    const std::string bytes = IcuEncode(GetParam().charset, GetParam().text);
    ASSERT_GE(bytes.size(), 35u);
    ASSERT_LE(bytes.size(), 80u);
    for (const char* name : {"note.dat", "note.txt"}) {
        SCOPED_TRACE(name);
        WriteBytes(dir.File(name), bytes);
        const CAdvancedDetector detector(dir.File16(name), 2048, 4, true, false);
        EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_UNKNOWN_TEXT) << detector.GetCodepage();
        EXPECT_EQ(detector.GetCodepage(), CAdvancedDetector::kUnknownTextCodepage);
        EXPECT_EQ(CCodepageInfo::GetCodepageInfo(detector.GetCodepage()), nullptr);  // never "Binary"
        EXPECT_FALSE(detector.HasBom());
    }
}

INSTANTIATE_TEST_SUITE_P(Legacy, DetectsShortText, testing::ValuesIn(kShortTexts));

TEST(UnknownText, OnlyEmptinessZeroRunsOrForeignControlsMakeAFileBinary)
{
    const varnex_test::ExtListFolder shipped(text::FromUtf8(VARNEL_DATA_DIR));
    TempDir dir;
    struct Row {
        const char* file;
        std::string bytes;
        unsigned limitMB;
        int codepage;
        Result result;
    };
    const std::string unknown = IcuEncode("KOI8-R", kShortTexts[4].text);
    const Row rows[] = {
        {"empty.txt", "", 4, -1, Result::DETECTIONRESULT_OK},
        {"noise.dat", NoisyBinary(60, 11), 4, -1, Result::DETECTIONRESULT_OK},
        {"noise.txt", NoisyBinary(8192, 12), 4, -1, Result::DETECTIONRESULT_OK},
        {"zero-run.dat", unknown + std::string(4, '\0') + unknown, 4, -1, Result::DETECTIONRESULT_OK},
        {"listed.exe", unknown, 4, -1, Result::DETECTIONRESULT_OK},
        // With no sample the first block still tells text from binary.
        {"unsampled.dat", unknown, 0, CAdvancedDetector::kUnknownTextCodepage, Result::DETECTIONRESULT_UNKNOWN_TEXT},
        {"unsampled-noise.dat", NoisyBinary(4096, 13), 0, -1, Result::DETECTIONRESULT_OK},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        WriteBytes(dir.File(row.file), row.bytes);
        const CAdvancedDetector detector(dir.File16(row.file), 2048, row.limitMB, true, false);
        EXPECT_EQ(detector.GetCodepage(), row.codepage);
        EXPECT_EQ(detector.GetResult(), row.result);
    }
}

}  // namespace
