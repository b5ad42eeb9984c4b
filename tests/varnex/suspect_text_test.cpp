#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;
using Converter = CTextFileConverter;

// --- C1 controls and U+FFFD already in the decoded text ------------------------

struct SuspectRow {
    const char* name;
    std::string bytes;
    unsigned codepage;
    uint64_t replaced;  // what decoding replaced
    uint64_t c1;
    uint64_t inText;    // U+FFFD the input held itself
};

// Padding pushes the units past chunk ends of every size tried.
const std::string kPad = "Plain words that fill a chunk or two. ";

const SuspectRow kSuspectRows[] = {
    {"Clean", kPad + "caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D", 65001, 0, 0, 0},
    // The units just outside both ranges.
    {"Neighbours", kPad + "\x7F\xC2\xA0\xEF\xBF\xBC\xEF\xBF\xBE", 65001, 0, 0, 0},
    {"C1InUtf8", kPad + "a\xC2\x80" "b" + kPad + "\xC2\x9F", 65001, 0, 2, 0},
    {"MarkInUtf8", kPad + "\xEF\xBF\xBD" + kPad + "\xEF\xBF\xBD\xEF\xBF\xBD", 65001, 0, 0, 3},
    // Decoding's own replacements are not counted twice.
    {"MarkBesideBadBytes", kPad + "\xFF\xEF\xBF\xBD" + kPad + "\xC3", 65001, 2, 0, 1},
    {"Both", "\xC2\x85" + kPad + "\xEF\xBF\xBD", 65001, 0, 1, 1},
    {"C1InUtf16", std::string("a\0\x80\0\x9F\0\xFD\xFF\x7F\0\xA0\0", 12), 1200, 0, 2, 1},
    {"C1FromLatin1", kPad + "\x80\x9F\xA0", 28591, 0, 2, 0},
};

class SuspectText : public testing::TestWithParam<SuspectRow> {};

TEST_P(SuspectText, CountsWhatTheTextHoldsAndWarnsWithTheCount)
{
    const SuspectRow& row = GetParam();
    TempDir dir;
    WriteBytes(dir.File("in.txt"), row.bytes);
    for (unsigned chunk : {16u, 17u, 2048u, 0u}) {
        for (auto format : {Converter::OUTPUTTEXTFORMAT_UTF8, Converter::OUTPUTTEXTFORMAT_UTF16LE}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk) + ", format " + std::to_string(format));
            Converter converter(dir.File16("in.txt").c_str(), chunk, 64, 64);
            ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), row.codepage, format,
                                        Converter::RETURNTYPE_NOCHANGE, false),
                      Converter::CONVERTRESULT_OK);
            EXPECT_EQ(converter.GetReplacementCount(), row.replaced);
            EXPECT_EQ(converter.GetC1ControlCount(), row.c1);
            EXPECT_EQ(converter.GetReplacementsInTextCount(), row.inText);
            const VARNEXFILEOUTCOME& outcome = converter.GetOutcome();
            const bool suspect = row.replaced + row.c1 + row.inText > 0;
            EXPECT_EQ(outcome.state, suspect ? VARNEXRESULTSTATE_WARNING : VARNEXRESULTSTATE_OK);
            std::vector<VARNEXREASONNOTE> expected;
            if (row.replaced)
                expected.push_back(VARNEXREASONNOTE::Of(VARNEXREASON_REPLACED_CHARACTERS, row.replaced));
            if (row.c1)
                expected.push_back(VARNEXREASONNOTE::Of(VARNEXREASON_C1_CONTROLS, row.c1));
            if (row.inText)
                expected.push_back(VARNEXREASONNOTE::Of(VARNEXREASON_REPLACEMENT_IN_TEXT, row.inText));
            ASSERT_EQ(outcome.reasons.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                EXPECT_EQ(outcome.reasons[i].reason, expected[i].reason) << i;
                EXPECT_EQ(outcome.reasons[i].number, expected[i].number) << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, SuspectText, testing::ValuesIn(kSuspectRows),
                         [](const testing::TestParamInfo<SuspectRow>& info) { return info.param.name; });

TEST(SuspectText, RestartsTheCountsForEachFile)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), "\xC2\x85\xEF\xBF\xBD");
    Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
    ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                                Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_OK);
    EXPECT_EQ(converter.GetC1ControlCount(), 1u);
    WriteBytes(dir.File("in.txt"), "clean");
    ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 65001, Converter::OUTPUTTEXTFORMAT_UTF8,
                                Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_OK);
    EXPECT_EQ(converter.GetC1ControlCount(), 0u);
    EXPECT_EQ(converter.GetReplacementsInTextCount(), 0u);
    EXPECT_EQ(converter.GetOutcome().state, VARNEXRESULTSTATE_OK);
}

TEST(SuspectText, NamesTheCountInTheMessage)
{
    const struct {
        VARNEXREASONNOTE note;
        const char* text;
    } cases[] = {
        {VARNEXREASONNOTE::Of(VARNEXREASON_C1_CONTROLS, 4),
         "4 invisible control characters (U+0080 to U+009F) in the text: check the code page"},
        {VARNEXREASONNOTE::Of(VARNEXREASON_C1_CONTROLS),
         "the detected code page reads some bytes as invisible control characters: check the code page"},
        {VARNEXREASONNOTE::Of(VARNEXREASON_REPLACEMENT_IN_TEXT, 2),
         "2 U+FFFD characters in the text: something replaced characters before this conversion"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::ToUtf8(DescribeReason(c.note)), c.text);
}

}  // namespace
