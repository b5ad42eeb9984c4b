#include "varnex/codepage/finding_evidence.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace finding_evidence;

TEST(FindingEvidence, CountsOnlyBytesFrom80)
{
    const std::string bytes = "abc\x7F\x80\xFF z\xA0";
    EXPECT_EQ(NonAsciiBytes(bytes.data(), bytes.size()), 3u);
    EXPECT_EQ(NonAsciiBytes(bytes.data(), 0), 0u);
}

TEST(FindingEvidence, SharesWordsCapitalisedInsideByALetterOutsideAscii)
{
    // Natural text: capitals open words only.
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"Мама мыла раму. Она ОЧЕНЬ устала."), 0.0);
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"Καλημέρα Ελλάδα"), 0.0);
    // Small letters read as capitals from the wrong code page.
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"моЯ книга"), 0.5);
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"καλΗ μέρα"), 0.5);
    // Latin camel case is code, not a misplaced script; one letter is no word.
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"camelCase iPhone я Я"), 0.0);
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u""), 0.0);
    // Latin letters outside ASCII read from another page's places; words of
    // ASCII letters alone are not counted.
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"le cafŽ est prs d'ici, ÉCOLE Élan"), 1.0 / 3);
    EXPECT_DOUBLE_EQ(MixedCaseWordShare(u"Über Straße, MÜNCHEN"), 0.0);
}

TEST(FindingEvidence, FindsHzShiftIn)
{
    const std::string hz = "note ~{<:Ky~} end";
    EXPECT_TRUE(HasHzShift(hz.data(), hz.size()));
    const std::string plain = "a ~ { b";
    EXPECT_FALSE(HasHzShift(plain.data(), plain.size()));
}

}  // namespace
