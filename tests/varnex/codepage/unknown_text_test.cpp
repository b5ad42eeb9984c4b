#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/varnex_test_util.h"

namespace {

using Result = CAdvancedDetector::DETECTIONRESULT;
using varnex_test::IcuEncode;

// Random bytes without a run of zeros: only the text test can call them binary.
std::string Noise(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i > 0 && bytes[i - 1] == '\0' ? 1 : random() & 0xFF);
    return bytes;
}

TEST(UnknownText, IsTextNoStatisticNamesAndOnlyEmptinessZeroRunsOrControlsMakeBinary)
{
    testing_support::TempDir dir;
    constexpr int kUnknown = CAdvancedDetector::kUnknownTextCodepage;
    // 50 bytes.
    const std::string koi8 = IcuEncode("KOI8-R", u"Keyboard test: ЩЪЫЬЭЮЯ щъыьэюя, done by the team.\n");
    struct Row {
        const char* file;
        std::string bytes;
        int codepage;
        unsigned limitMB = 4;
    };
    const Row rows[] = {
        // Short legacy texts (35-80 bytes) the statistics cannot name.
        {"w1252.dat", IcuEncode("windows-1252", u"Keyboard test: ÀÉÎÕÜ ñ ç ß, done by the team.\n"), kUnknown},
        {"w1250.dat", IcuEncode("windows-1250", u"Keyboard test: ĄĘŁŃŚŹŻ ąęłńśźż, done by the team.\n"), kUnknown},
        {"koi8.dat", koi8, kUnknown},
        {"koi8.txt", IcuEncode("KOI8-R", u"Test ЩЪЫЬЭЮЯ ЖКХ ЁЖЗ done, see the list.\n"), kUnknown},
        // Controls text does use: tab, form feed, colours, shifts, overstrike, DOS end.
        {"controls.dat", "\t\x0C\x1B[1m\x0E\x0F_\x08_" + koi8 + "\x1A", kUnknown},
        {"one-control-in-100.dat", koi8 + "\x01" + koi8.substr(1), kUnknown},
        // With no sample the first block still tells text from binary.
        {"unsampled.dat", koi8, kUnknown, 0},
        {"unsampled-noise.dat", Noise(4096, 13), -1, 0},
        {"empty.txt", "", -1},
        {"two-controls-in-100.dat", koi8 + "\x01\x02" + koi8.substr(2), -1},
        {"noise.dat", Noise(60, 11), -1},
        {"noise.txt", Noise(8192, 12), -1},
        {"zero-run.dat", koi8 + std::string(4, '\0') + koi8, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        testing_support::WriteBytes(dir.File(row.file), row.bytes);
        CAdvancedDetector detector({.blockSize = 2048, .scanLimitMB = row.limitMB});
        detector.Detect(dir.File16(row.file));
        EXPECT_EQ(detector.GetCodepage(), row.codepage);
        EXPECT_EQ(detector.GetResult(),
                  row.codepage == kUnknown ? Result::DETECTIONRESULT_UNKNOWN_TEXT : Result::DETECTIONRESULT_OK);
    }
    EXPECT_EQ(CCodepageInfo::GetCodepageInfo(kUnknown), nullptr);  // never shown as "Binary"
}

}  // namespace
