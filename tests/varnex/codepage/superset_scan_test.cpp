#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "varnex/codepage/superset_scan.h"

namespace {

struct WidenCase {
    const char* name;
    std::string bytes;
    int finding;
    int expected;     // GB18030 reported as 936
    bool c1 = false;  // bytes the expected code page leaves as C1 controls
};

// A finding is read with the widest compatible code page its sample needs;
// a text that needs nothing more keeps the finding.
const WidenCase kCases[] = {
    {"GbkStaysGbk", "\xD6\xD0\xCE\xC4", 936, 936},
    {"Gb18030FourByteWidensGbk", "\xD6\xD0\x81\x30\x8B\x30", 936, 54936},
    {"GbkPairBeforeDigitsIsNoFourByte",
     "\x81\x40"
     "30\x81\x40"
     "30",
     936, 936},
    {"EucKrStaysEucKr", "\xB0\xA1\xB3\xAA", 51949, 51949},
    {"UhcSyllableWidensEucKr", "\x8C\x63\xB9\xE6", 51949, 949},
    {"UhcLeadWithHighTrailWidensEucKr", "\xB0\xA1\xA0\xA1", 51949, 949},
    {"Big5StaysBig5", "\xBB\x4F\xC6\x57", 950, 950},
    {"HkscsLeadWidensBig5", "\x9D\xEF\xBB\x4F", 950, 1375},
    {"RussianKoi8RStays", "\xD7\xD3\xC5 \xC8\xCF\xD2\xCF\xDB\xCF", 20866, 20866},
    {"UkrainianLettersMakeKoi8U", "\xB7\xD6\xC1\xCB \xA6 \xA4\xCE\xCF\xD4", 20866, 21866},
    // ╔══╕ / ║ текст ║ / ╚══╜: A6 and AD are corners here.
    {"BoxDrawingBytesStayKoi8R", "\xA5\xA0\xA0\xA6\n\xA1 \xD4\xC5\xCB\xD3\xD4 \xA1\n\xAB\xA0\xA0\xAD\n", 20866, 20866},
    {"FourByteAmongAsciiWidensGbk", "text \x81\x30\x8B\x30 more text", 936, 54936},
    {"UkrainianLetterBeforeAsciiMakesKoi8U", "\xCB\xA6x", 20866, 21866},
    {"Latin5WithoutC1Stays", "A\xF0\x61\xE7", 28599, 28599},
    {"Latin5QuotesWiden", "\x93\x41\xF0\x61\xE7\x94", 28599, 1254},
    {"Latin5UnassignedByteStillC1", "\x81\x41", 28599, 1254, true},
    {"Latin7QuotesWiden", "\x84\x4D\xFB\x73\xF8\x93", 28603, 1257},
    {"Windows1251GapIsC1", "\xC0\x98", 1251, 1251, true},
    {"Windows1252QuotesAreNoC1", "\x93Hi\x94", 1252, 1252},
    {"Iso8859_5C1Stays", "\xB0\x85", 28595, 28595, true},
};

class SupersetScanTest : public testing::TestWithParam<WidenCase> { };

TEST_P(SupersetScanTest, WidensTheFindingAndFlagsC1WhetherFedWholeOrByteByByte)
{
    const WidenCase& c = GetParam();
    CSupersetScan whole;
    whole.Feed(c.bytes.data(), c.bytes.size());
    CSupersetScan pieces;
    for (char b : c.bytes)
        pieces.Feed(&b, 1);
    // The letters alone answer the same for every finding without pairs.
    CSupersetScan letters;
    CSupersetScan letterPieces;
    letters.FeedLetters(c.bytes.data(), c.bytes.size());
    for (size_t at = 0; at < c.bytes.size(); at += 2)
        letterPieces.FeedLetters(c.bytes.data() + at, std::min<size_t>(2, c.bytes.size() - at));
    // The finding's own pairs answer the same for it.
    CSupersetScan pairsOf;
    pairsOf.FeedPairsOf(c.finding, c.bytes.data(), c.bytes.size());
    std::vector<const CSupersetScan*> scans = {&whole, &pieces, &pairsOf};
    if (!CSupersetScan::ReadsPairs(c.finding))
        scans.insert(scans.end(), {&letters, &letterPieces});
    for (const CSupersetScan* scan : scans) {
        const int widened = scan->Widen(c.finding, false);
        EXPECT_EQ(widened, c.expected);
        EXPECT_EQ(scan->DecodesToC1(widened), c.c1);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SupersetScanTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<WidenCase>& row) { return std::string(row.param.name); });

TEST(SupersetScan, Gb18030SettingNamesOnlyPureGbkText)
{
    CSupersetScan gbk;
    gbk.Feed("\xD6\xD0", 2);
    EXPECT_EQ(gbk.Widen(54936, false), 936);
    EXPECT_EQ(gbk.Widen(54936, true), 54936);
    CSupersetScan fourByte;
    fourByte.Feed("\x81\x30\x8B\x30", 4);
    EXPECT_EQ(fourByte.Widen(54936, false), 54936);
    fourByte.Reset();
    fourByte.Feed("\xD6\xD0", 2);
    EXPECT_EQ(fourByte.Widen(936, false), 936) << "Reset forgets what was seen";
}

struct StructureCase {
    const char* name;
    std::string bytes;
    int expected;
};

// Where the statistics name nothing, only a structure one code page alone
// has may decide.
const StructureCase kStructures[] = {
    // 한국어 텍스트 ㄱ ※ in Johab: Hangul trails 41..7E occur.
    {"Johab", "\xD0\x65\x8A\x82\xB4\xE1 \xC9\x42\xAF\x61\xCB\x61 \x88\x41 \xD9\x68", 1361},
    {"EucKrIsNoJohab", "\xC7\xD1\xB1\xB9\xBE\xEE \xC5\xD8\xBD\xBA\xC6\xAE", -1},
    {"TooFewHangulForJohab", "\xD0\x65 abc", -1},
    // 我哋係香港人
    {"CantoneseBig5Hkscs", "\xA7\xDA\x92\x5D\xAB\x59\xAD\xBB\xB4\xE4\xA4\x48", 1375},
    {"Big5WithoutHkscsLead", "\xA7\xDA\xA4\x54\xA4\x51", -1},
    // GBK text that happens to pair up as Big5: its leads spread to C7..F9.
    {"GbkIsNoBig5Hkscs", "\xD6\xD0\xCE\xC4\xD7\xD6\xB7\xFB\x92\x5D\xE9\xE9\xF0\xF0", -1},
    {"BadPairIsNoBig5Hkscs", "\x92\x5D\xA4\x20", -1},
    // 我哋係香港人 followed by a zero byte: not code page text.
    {"ZeroByteIsNoBig5Hkscs", std::string("\xA7\xDA\x92\x5D\xAB\x59\xAD\xBB\xB4\xE4\xA4\x48\0", 13), -1},
};

class SupersetStructureTest : public testing::TestWithParam<StructureCase> { };

TEST_P(SupersetStructureTest, NamesTheCodePageOnlyItsStructureFits)
{
    CSupersetScan scan;
    scan.Feed(GetParam().bytes.data(), static_cast<unsigned>(GetParam().bytes.size()));
    EXPECT_EQ(scan.ByStructure(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SupersetStructureTest, testing::ValuesIn(kStructures),
                         [](const testing::TestParamInfo<StructureCase>& row) { return std::string(row.param.name); });

}  // namespace
