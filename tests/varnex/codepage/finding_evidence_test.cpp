#include "varnex/codepage/finding_evidence.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "codecs/codepage.h"
#include "tools/corpus/corpus_texts.h"

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
    for (const char16_t* text : {u"Über Straße, MÜNCHEN", u"camelCase iPhone я Я", u"", u"моЯ книга", u"le cafŽ"})
        EXPECT_EQ(HasMixedCaseWord(text), MixedCaseWordShare(text) > 0);
}

TEST(FindingEvidence, SharesSymbolsStandingInsideWords)
{
    struct Case {
        const char16_t* text;
        double share;
        uint64_t symbols;
    };
    const Case cases[] = {
        // Letters, marks and the marks of words that join them are at home.
        {u"l\u2019\u00E9t\u00E9, Vi\u00EA\u0323t, ca\u00B7la", 0.0, 0},
        // Danish from a DOS page read in windows-1257: punctuation for letters.
        {u"h\u203Ajre p\u2020ble \u00E6ble", 1.0, 2},
        {u"na\u00EFve a\u2020x", 1.0 / 2, 1},
        {u"plain ASCII", 0.0, 0},
    };
    for (const Case& c : cases) {
        uint64_t symbols = 99;
        EXPECT_DOUBLE_EQ(SymbolInWordShare(c.text, &symbols), c.share);
        EXPECT_EQ(symbols, c.symbols);
    }
    const std::string oneValue = "a\xFF b\xFF c\xFF", two = "\x82t\xE9";
    EXPECT_EQ(DistinctNonAsciiBytes(oneValue.data(), oneValue.size()), 1u);
    EXPECT_EQ(DistinctNonAsciiBytes(two.data(), two.size()), 2u);
}

TEST(FindingEvidence, FindsHzShiftIn)
{
    const std::string hz = "note ~{<:Ky~} end";
    EXPECT_TRUE(HasHzShift(hz.data(), hz.size()));
    const std::string plain = "a ~ { b";
    EXPECT_FALSE(HasHzShift(plain.data(), plain.size()));
}

// The shares taken from the bytes with a page's table are those of the
// decoded text: for the right page and for readings in the wrong one.
TEST(FindingEvidence, BytesMeasureAsTheirDecodedText)
{
    struct Written {
        const char* paragraph;
        unsigned codepage;
    };
    const Written written[] = {{"ru", 1251}, {"ru", 20866}, {"fr", 1252}, {"de", 1252}, {"el", 1253}, {"pl", 1250}};
    for (const Written& w : written) {
        std::string bytes;
        ASSERT_TRUE(codecs::EncodeCodePage(w.codepage, text::FromUtf8(corpus::ParagraphById(w.paragraph).utf8), bytes));
        for (unsigned page : {w.codepage, 1251u, 20866u, 1252u, 10000u, 10007u, 850u}) {
            SCOPED_TRACE(std::string(w.paragraph) + " read as " + std::to_string(page));
            ByteKinds kinds;
            ASSERT_TRUE(MakeByteKinds(page, kinds));
            std::u16string text;
            ASSERT_TRUE(codecs::DecodeCodePage(page, bytes.data(), bytes.size(), text));
            const TextShares shares = MeasureBytes(bytes, kinds);
            uint64_t symbols = 0;
            EXPECT_DOUBLE_EQ(shares.mixedCase, MixedCaseWordShare(text));
            EXPECT_DOUBLE_EQ(shares.symbolShare, SymbolInWordShare(text, &symbols));
            EXPECT_EQ(shares.symbols, symbols);
            EXPECT_EQ(MeasureBytes(bytes, kinds, Measure::kAnyMixedCase).mixedCase > 0, HasMixedCaseWord(text));
        }
    }
    ByteKinds kinds;
    EXPECT_FALSE(MakeByteKinds(932, kinds));
}

}  // namespace
