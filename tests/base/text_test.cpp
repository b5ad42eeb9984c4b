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
        {"\xE2\x82"
         "A",
         u"\uFFFDA"},                                       // a cut 3-byte sequence, then ASCII
        {"\x80\x80", u"\uFFFD\uFFFD"},                      // stray continuation bytes
        {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong: C0 is never a lead byte
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                            // cut at the end
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

TEST(Text, TerminalTextShowsWhatIsThereAndCannotDriveTheTerminal)
{
    const struct {
        std::u16string text;
        const char* shown;
    } rows[] = {
        {u"plain caf\u00e9 \U0001F600", "plain caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {u"red\x1B[31mname\x07", "red\\u001B[31mname\\u0007"},
        {u"line\nbreak\rtab\t", "line\\u000Abreak\\u000Dtab\\u0009"},
        {u"c1\u0085del\u007F", "c1\\u0085del\\u007F"},
        {u"bidi\u202Etxt.exe", "bidi\\u202Etxt.exe"},
        {u"raw\xDCE9"
         u"byte",
         "raw\\xE9byte"},  // a name byte that is not UTF-8
        {u"lone\xD800", "lone\\uD800"},
        {u"back\\slash", "back\\\\slash"},  // so "\\xE9" typed in a name cannot pass for a byte
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        EXPECT_EQ(text::ForTerminal(row.text), row.shown);
    }
}

TEST(Text, NumbersAndAsciiCase)
{
    EXPECT_EQ(text::FromNumber(-9223372036854775807LL - 1), u"-9223372036854775808");
    EXPECT_EQ(text::FromUnsigned(0), u"0");
    EXPECT_TRUE(text::EqualsNoCase(u"UTF16le", u"utf16LE"));
    EXPECT_FALSE(text::EqualsNoCase(u"\u00C9", u"\u00E9")) << "only ASCII letters fold";
}

}  // namespace
