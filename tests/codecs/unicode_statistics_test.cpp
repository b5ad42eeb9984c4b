#include <gtest/gtest.h>

#include <string>

#include "codecs/codepage.h"
#include "codecs/unicode_statistics.h"

namespace {

using namespace std::literals;
using namespace codecs;

std::string Le(std::u16string_view text)
{
    std::string bytes;
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

std::string Be(std::u16string_view text)
{
    std::string bytes;
    for (char16_t u : text) {
        bytes += static_cast<char>(u >> 8);
        bytes += static_cast<char>(u & 0xFF);
    }
    return bytes;
}

// 8-bit text, cut to an even length so that only its content can refuse it.
std::string In(unsigned codePage, std::u16string_view text)
{
    std::string bytes;
    EncodeCodePage(codePage, text, bytes);
    bytes.resize(bytes.size() & ~size_t(1));
    return bytes;
}

// Little-endian 16-bit values, the way a binary file stores small integers.
std::string Int16s(std::initializer_list<unsigned> values)
{
    std::string bytes;
    for (unsigned v : values) {
        bytes += static_cast<char>(v & 0xFF);
        bytes += static_cast<char>(v >> 8);
    }
    return bytes;
}

const char16_t kChinese[] = u"北京是中华人民共和国的首都，也是全国的政治、文化中心。\r\n"
                            u"上海是中国最大的经济中心城市之一，位于长江入海口。\r\n";
const char16_t kJapanese[] = u"吾輩は猫である。名前はまだ無い。\r\nどこで生れたかとんと見当がつかぬ。\r\n";
const char16_t kRussian[] = u"Съешь же ещё этих мягких французских булок, да выпей чаю.\r\n";

struct Sample {
    const char* name;
    std::string bytes;
    bool unicode;
    unsigned flag;  // the flag that decided
};

const Sample kSamples[] = {
    {"EnglishLe", Le(u"The quick brown fox jumps over the lazy dog.\r\n"), true, TEXT_UNICODE_ASCII16},
    {"OneCharacterLe", Le(u"A"), true, TEXT_UNICODE_ASCII16},
    {"RussianLe", Le(kRussian), true, TEXT_UNICODE_STATISTICS},
    {"GreekLe", Le(u"Ελληνικό κείμενο, αβγδ ΑΒΓΔ.\r\n"), true, TEXT_UNICODE_STATISTICS},
    {"GermanLe", Le(u"Grüße aus München, schöne Straße.\r\n"), true, TEXT_UNICODE_STATISTICS},
    {"ChineseLe", Le(kChinese), true, TEXT_UNICODE_STATISTICS},
    {"ShortChineseLe", Le(u"中文文本，简体字。\r\n这是第二行文字。\r\n"), true, TEXT_UNICODE_STATISTICS},
    {"ChineseWithSpacesLe", Le(u"中文 文本 简体 字 这是 第二 行 文字"), true, TEXT_UNICODE_STATISTICS},
    {"JapaneseLe", Le(kJapanese), true, TEXT_UNICODE_STATISTICS},
    {"KoreanLe", Le(u"대한민국은 민주공화국이다. 모든 권력은 국민으로부터 나온다.\r\n"), true, TEXT_UNICODE_STATISTICS},
    {"EmojiPairsLe", Le(u"Hello 😀 world 🎉 ok\r\n"), true, TEXT_UNICODE_STATISTICS},
    {"PairCutAtTheEndLe", Le(u"Hello world \xD83D"), true, TEXT_UNICODE_STATISTICS},
    {"ManyScriptsLe", Le(u"English, Русский, Ελληνικά, 中文, 日本語, 한국어, العربية, עברית\r\n"), true,
     TEXT_UNICODE_STATISTICS},

    // 8-bit text has no zero byte; most of it also pairs bytes into lone
    // surrogates (D8..DF at an odd offset), which refuses it first.
    {"BushHidTheFacts", "Bush hid the facts", false, TEXT_UNICODE_NO_ZERO_HIGH},
    {"ThisAppCanBreak", "this app can break", false, TEXT_UNICODE_NO_ZERO_HIGH},
    {"AsciiText", In(20127, u"Plain ASCII text, nothing more.\r\n"), false, TEXT_UNICODE_NO_ZERO_HIGH},
    {"Windows1252", In(1252, u"Façade naïve — “quotes” Grüße!\r\n"), false, TEXT_UNICODE_ILLEGAL_CHARS},
    {"Koi8R", In(20866, kRussian), false, TEXT_UNICODE_ILLEGAL_CHARS},
    {"ShiftJis", In(932, kJapanese), false, TEXT_UNICODE_ILLEGAL_CHARS},
    {"Gbk", In(936, kChinese), false, TEXT_UNICODE_ILLEGAL_CHARS},
    {"Utf8", In(65001, kChinese), false, TEXT_UNICODE_NO_ZERO_HIGH},

    {"EnglishBe", Be(u"The quick brown fox jumps over the lazy dog.\r\n"), false, TEXT_UNICODE_REVERSE},
    {"RussianBe", Be(kRussian), false, TEXT_UNICODE_REVERSE},
    {"ChineseBe", Be(kChinese), false, TEXT_UNICODE_REVERSE},
    {"ReversedBom", Be(u"\uFEFFHello"), false, TEXT_UNICODE_ILLEGAL_CHARS},

    {"SmallInt16s", Int16s({1, 2, 3, 5, 8, 13, 21, 34, 55, 89}), false, TEXT_UNICODE_CONTROLS},
    {"SmallInt32s", Int16s({1, 0, 2, 0, 300, 0, 4, 0}), false, TEXT_UNICODE_NUL},
    {"Int16sWithTextBlanks", Int16s({0x20, 0x0A, 0x1234, 0x4321, 0x8001, 0xA5A5, 0x0D, 0x7FFF, 0x6000, 0x0101}), false,
     0},
    {"RandomishWords",
     Int16s({0x20, 0x3A7F, 0xA1B2, 0x1F00, 0xE123, 0x9ABC, 0x0441, 0x5C3D, 0x7E11, 0x2AF0, 0xB00B, 0x0D, 0x0A}), false,
     0},

    {"Empty", "", false, 0},
    {"OneByte", "A", false, 0},
    {"OddLength", Le(u"Hello") + "!", false, TEXT_UNICODE_ODD_LENGTH},
    {"NulUnit", Le(u"Hel\0lo"sv), false, TEXT_UNICODE_NUL},
    {"UnpairedLowSurrogate", Le(u"Hello \xDC00 world"), false, TEXT_UNICODE_ILLEGAL_CHARS},
    {"UnpairedHighSurrogate", Le(u"Hello \xD800 world"), false, TEXT_UNICODE_ILLEGAL_CHARS},
};

TEST(UnicodeStatistics, JudgesEachSampleAsAUserWould)
{
    for (const auto& s : kSamples) {
        SCOPED_TRACE(s.name);
        unsigned flags = 0xDEAD;
        EXPECT_EQ(IsTextUnicode(s.bytes.data(), s.bytes.size(), &flags), s.unicode);
        EXPECT_EQ(flags, s.flag);
    }
}

// A sample cut from a longer file: the detector reads at most 2048 bytes.
TEST(UnicodeStatistics, JudgesTheFirst2048BytesOfALongChineseFile)
{
    std::u16string text;
    while (text.size() < 4096)
        text += kChinese;
    const std::string bytes = Le(text).substr(0, 2048);
    EXPECT_TRUE(IsTextUnicode(bytes.data(), bytes.size()));
    const std::string gbk = In(936, text).substr(0, 2048);
    EXPECT_FALSE(IsTextUnicode(gbk.data(), gbk.size()));
}

TEST(UnicodeStatistics, RefusesANullPointer)
{
    EXPECT_FALSE(IsTextUnicode(nullptr, 16));
}

TEST(UnicodeStatistics, DescribesWhatATextTestAsksOfACharacter)
{
    const int latin = DescribeCharacter(U'a').script;
    const int han = DescribeCharacter(U'\u4E2D').script;
    const int cyrillic = DescribeCharacter(U'\u0416').script;
    EXPECT_NE(latin, CharacterTraits::kNoScript);
    EXPECT_NE(han, CharacterTraits::kNoScript);
    EXPECT_NE(cyrillic, latin);
    EXPECT_NE(han, latin);
    struct Row {
        char32_t c;
        CharacterTraits::Use use;
        int script;
    };
    const Row rows[] = {
        {U'\u00E9', CharacterTraits::TEXT, latin},
        {U'\u044F', CharacterTraits::TEXT, cyrillic},
        {U'\u3042', CharacterTraits::TEXT, han},  // Hiragana
        {U'\u3105', CharacterTraits::TEXT, han},  // Bopomofo
        {U'7', CharacterTraits::TEXT, CharacterTraits::kNoScript},
        {U'\u3002', CharacterTraits::TEXT, CharacterTraits::kNoScript},
        {U'\u0301', CharacterTraits::TEXT, CharacterTraits::kNoScript},  // combining acute
        {U'\U0001F600', CharacterTraits::TEXT, CharacterTraits::kNoScript},
        {U'\uE000', CharacterTraits::PRIVATE_USE, CharacterTraits::kNoScript},
        {U'\u0378', CharacterTraits::NOT_TEXT, CharacterTraits::kNoScript},  // unassigned
        {0xFDD0, CharacterTraits::NOT_TEXT, CharacterTraits::kNoScript},
        {0xD800, CharacterTraits::NOT_TEXT, CharacterTraits::kNoScript},
        {0x0085, CharacterTraits::NOT_TEXT, CharacterTraits::kNoScript},
        {0x110000, CharacterTraits::NOT_TEXT, CharacterTraits::kNoScript},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<unsigned>(row.c));
        const CharacterTraits traits = DescribeCharacter(row.c);
        EXPECT_EQ(traits.use, row.use);
        EXPECT_EQ(traits.script, row.script);
    }
}

}  // namespace
