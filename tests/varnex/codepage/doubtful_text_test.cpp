#include <string>
#include <utility>
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

struct DoubtfulRow {
    const char* name;
    std::string bytes;
    unsigned codepage;
    uint64_t replaced;  // what decoding replaced
    uint64_t c1;
    uint64_t inText;               // U+FFFD the input held itself
    uint64_t firstReplacedAt = 0;  // where decoding first replaced, when it did
};

// Padding pushes the units past chunk ends of every size tried.
const std::string kPad = "Plain words that fill a chunk or two. ";

const DoubtfulRow kDoubtfulRows[] = {
    {"Clean", kPad + "caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D", 65001, 0, 0, 0},
    // The units just outside both ranges.
    {"Neighbours", kPad + "\x7F\xC2\xA0\xEF\xBF\xBC\xEF\xBF\xBE", 65001, 0, 0, 0},
    {"C1InUtf8",
     kPad +
         "a\xC2\x80"
         "b" +
         kPad + "\xC2\x9F",
     65001, 0, 2, 0},
    {"MarkInUtf8", kPad + "\xEF\xBF\xBD" + kPad + "\xEF\xBF\xBD\xEF\xBF\xBD", 65001, 0, 0, 3},
    // Decoding's own replacements are not counted twice.
    {"MarkBesideBadBytes", kPad + "\xFF\xEF\xBF\xBD" + kPad + "\xC3", 65001, 2, 0, 1, kPad.size()},
    {"Both", "\xC2\x85" + kPad + "\xEF\xBF\xBD", 65001, 0, 1, 1},
    {"C1InUtf16", std::string("a\0\x80\0\x9F\0\xFD\xFF\x7F\0\xA0\0", 12), 1200, 0, 2, 1},
    {"C1FromLatin1", kPad + "\x80\x9F\xA0", 28591, 0, 2, 0},
};

class DoubtfulText : public testing::TestWithParam<DoubtfulRow> { };

TEST_P(DoubtfulText, CountsWhatTheTextHoldsAndWarnsWithTheCount)
{
    const DoubtfulRow& row = GetParam();
    TempDir dir;
    WriteBytes(dir.File("in.txt"), row.bytes);
    std::vector<std::pair<OutcomeReason, uint64_t>> expected;
    for (auto [reason, count] :
         {std::pair{OutcomeReason::ReplacedCharacters, row.replaced},
          std::pair{OutcomeReason::UncoveredBytes, row.replaced ? row.firstReplacedAt : 0},
          std::pair{OutcomeReason::C1Controls, row.c1}, std::pair{OutcomeReason::ReplacementInText, row.inText}})
        if (count != 0)
            expected.emplace_back(reason, count);
    for (unsigned chunk : {16u, 17u, 2048u, 0u}) {
        // One converter for both forms: counts must start again for each file.
        Converter converter(dir.File16("in.txt").c_str(), chunk, 64, 64);
        for (auto format : {Converter::OUTPUTTEXTFORMAT_UTF8, Converter::OUTPUTTEXTFORMAT_UTF16LE}) {
            SCOPED_TRACE("chunk " + std::to_string(chunk) + ", format " + std::to_string(format));
            ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), row.codepage, format,
                                        Converter::RETURNTYPE_NOCHANGE, false),
                      Converter::CONVERTRESULT_OK);
            EXPECT_EQ(converter.GetReplacementCount(), row.replaced);
            EXPECT_EQ(converter.GetC1ControlCount(), row.c1);
            EXPECT_EQ(converter.GetReplacementsInTextCount(), row.inText);
            const FileOutcome& outcome = converter.GetOutcome();
            EXPECT_EQ(outcome.state, expected.empty() ? VARNEXRESULTSTATE_OK : VARNEXRESULTSTATE_WARNING);
            std::vector<std::pair<OutcomeReason, uint64_t>> got;
            for (const ReasonNote& note : outcome.reasons)
                got.emplace_back(note.reason, note.number);
            EXPECT_EQ(got, expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, DoubtfulText, testing::ValuesIn(kDoubtfulRows),
                         [](const testing::TestParamInfo<DoubtfulRow>& row) { return row.param.name; });

TEST(DoubtfulText, NamesTheCountInTheMessage)
{
    EXPECT_EQ(text::ToUtf8(DescribeReason(ReasonNote::Of(OutcomeReason::C1Controls, 4))),
              "4 invisible control characters (U+0080 to U+009F) in the text: check the code page");
    EXPECT_EQ(text::ToUtf8(DescribeReason(ReasonNote::Of(OutcomeReason::ReplacementInText, 2))),
              "2 U+FFFD characters in the text: something replaced characters before this conversion");
}

}  // namespace
