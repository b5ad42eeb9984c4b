#include <gtest/gtest.h>
#include <unicode/ustring.h>

#include <random>
#include <string>

#include "platform/native_path.h"

namespace {

using namespace std::literals;
using platform::FromNativePath;
using platform::ToNativePath;

// ICU's strict UTF-8 reader: nullopt-like empty result plus false for input
// that is not well-formed UTF-8.
bool StrictUtf8(std::string_view bytes, std::u16string& text)
{
    UErrorCode err = U_ZERO_ERROR;
    int32_t length = 0;
    text.assign(bytes.size() + 1, u'\0');
    u_strFromUTF8(text.data(), static_cast<int32_t>(text.size()), &length, bytes.data(),
                  static_cast<int32_t>(bytes.size()), &err);
    text.resize(U_SUCCESS(err) ? static_cast<size_t>(length) : 0);
    return U_SUCCESS(err);
}

struct PathCase {
    const char* name;
    std::string_view native;
    std::u16string_view path;
};

const PathCase kCases[] = {
    {"Ascii", "/home/user/file.txt"sv, u"/home/user/file.txt"sv},
    {"TwoThreeFourByteUtf8", "/caf\xC3\xA9/\xE2\x82\xAC/\xF0\x9F\x98\x80"sv, u"/café/€/😀"sv},
    {"Latin1Byte", "caf\xE9.txt"sv, u"caf\xDCE9.txt"sv},
    {"EncodedSurrogate", "\xED\xA0\x80"sv, u"\xDCED\xDCA0\xDC80"sv},
    {"EncodedLowSurrogateAfterText", "a\xED\xB2\x80"sv, u"a\xDCED\xDCB2\xDC80"sv},
    {"Overlong", "\xC0\xAF\xE0\x80\xAF"sv, u"\xDCC0\xDCAF\xDCE0\xDC80\xDCAF"sv},
    {"AboveU10FFFF", "\xF4\x90\x80\x80"sv, u"\xDCF4\xDC90\xDC80\xDC80"sv},
    {"CutAtEnd", "ab\xE2\x82"sv, u"ab\xDCE2\xDC82"sv},
    {"StrayContinuation",
     "\x80"
     "a\xBF"sv,
     u"\xDC80"
     "a\xDCBF"sv},
    {"FiveByteLead", "\xF8\x88\x80\x80\x80"sv, u"\xDCF8\xDC88\xDC80\xDC80\xDC80"sv},
    {"LastCharacter", "\xF4\x8F\xBF\xBF"sv, u"\U0010FFFF"sv},
    {"ValidAfterInvalid", "\xFF\xC3\xA9"sv, u"\xDCFFé"sv},
    {"LowSurrogateRangeCharacter", "\xF0\x90\x82\x80"sv, u"\U00010080"sv},  // its low half is DC80
};

TEST(NativePath, MapsBytesAndBackLikeTheTable)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FromNativePath(c.native), c.path);
        EXPECT_EQ(ToNativePath(c.path), c.native);
    }
}

// Every byte string survives the trip, and valid UTF-8 reads as what it says.
TEST(NativePath, RoundTripsRandomBytes)
{
    std::mt19937 random(20240611);
    // Bytes drawn mostly from the ranges where UTF-8 goes wrong.
    const std::string alphabet = "a/.\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xED\xEF\xF0\xF4\xF5\xFF";
    for (int round = 0; round < 20000; ++round) {
        std::string native(random() % 12, '\0');
        for (char& b : native) {
            const bool anyByte = random() % 4 == 0;
            b = anyByte ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        }
        const std::u16string path = FromNativePath(native);
        ASSERT_EQ(ToNativePath(path), native) << "round " << round;
        std::u16string strict;
        if (StrictUtf8(native, strict)) {
            ASSERT_EQ(path, strict) << "round " << round;
        }
    }
}

TEST(NativePath, WritesSurrogatesOutsideTheByteRangeAsReplacementCharacters)
{
    // Only U+DC80..U+DCFF stand for bytes; other lone surrogates never come
    // from a name on disk and must not become ill-formed UTF-8.
    EXPECT_EQ(ToNativePath(u"a\xD800"
                           "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(ToNativePath(u"\xDC7F"), "\xEF\xBF\xBD");
    EXPECT_EQ(ToNativePath(u"\xDBFF"), "\xEF\xBF\xBD");
}

}  // namespace
