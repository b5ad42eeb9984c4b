#include <gtest/gtest.h>

#include <string>

#include "base/text.h"

namespace {

TEST(Text, Utf8DecodingReplacesEachMaximalBadSubpartOnce)
{
    const struct {
        std::string bytes;
        std::u16string expected;
    } rows[] = {
        {"abc", u"abc"},
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xE2\x82" "A", u"\uFFFDA"},          // a cut 3-byte sequence, then ASCII
        {"\x80\x80", u"\uFFFD\uFFFD"},          // stray continuation bytes
        {"\xC0\x80", u"\uFFFD\uFFFD"},          // overlong: C0 is never a lead byte
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                // cut at the end
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        EXPECT_EQ(text::FromUtf8(row.bytes), row.expected);
    }
}

TEST(Text, Utf8EncodingNeverWritesALoneSurrogate)
{
    EXPECT_EQ(text::ToUtf8(u"a\U0001F600"), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(text::ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(text::ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(Text, NumbersAndAsciiCase)
{
    EXPECT_EQ(text::FromNumber(-9223372036854775807LL - 1), u"-9223372036854775808");
    EXPECT_EQ(text::FromUnsigned(0), u"0");
    EXPECT_TRUE(text::EqualsNoCase(u"UTF16le", u"utf16LE"));
    EXPECT_FALSE(text::EqualsNoCase(u"\u00C9", u"\u00E9")) << "only ASCII letters fold";
}

}  // namespace
