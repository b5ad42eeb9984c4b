#include <string>

#include <gtest/gtest.h>

#include "textrion/encoding/unicode_structure.h"
#include "textrion_test_util.h"

namespace {

using textrion_test::Bytes;

constexpr unsigned kNone = 0;

// Code points as UTF-16BE, UTF-32LE or UTF-32BE bytes.
std::string Encode(const std::u32string& text, unsigned codePage)
{
    std::string out;
    const auto put16 = [&](char32_t u) {
        out += static_cast<char>(u >> 8);
        out += static_cast<char>(u & 0xFF);
    };
    for (char32_t c : text) {
        if (codePage == 1201) {
            if (c >= 0x10000) {
                put16(0xD800 + ((c - 0x10000) >> 10));
                put16(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                put16(c);
            }
        } else {
            const char b[4] = {static_cast<char>(c >> 24), static_cast<char>(c >> 16), static_cast<char>(c >> 8),
                               static_cast<char>(c)};
            for (int i = 0; i < 4; ++i)
                out += b[codePage == 12001 ? i : 3 - i];
        }
    }
    return out;
}

unsigned Judge(const std::string& bytes, bool cut = false)
{
    const UnicodeForm* form =
        JudgeUnicodeStructure(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), cut);
    return form ? form->codePage : kNone;
}

const std::u32string kLatin = U"Zażółć gęślą jaźń, Łukasz: \"Grüße aus Köln\" \U0001F600.\r\n";

TEST(UnicodeStructure, RecognisesTextInEachFormItCovers)
{
    for (unsigned cp : {1201u, 12000u, 12001u}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(Judge(Encode(kLatin, cp)), cp);
        EXPECT_EQ(Judge(Encode(kLatin + kLatin + kLatin, cp)), cp);
    }
}

TEST(UnicodeStructure, RefusesWhatTextDoesNotHold)
{
    struct Row {
        const char* name;
        std::string bytes;
        bool cut;
    };
    const std::string be = Encode(kLatin, 1201);
    const Row rows[] = {
        {"shorter than the minimum", Encode(U"a b\n", 1201), false},
        {"UTF-16BE, odd length", be + "x", false},
        {"UTF-16BE, lone low surrogate", Encode(U"abc def ", 1201) + Bytes({0xDC, 0x00}) + be, false},
        {"UTF-16BE, high surrogate then a letter", Bytes({0xD8, 0x3D, 0x00, 0x41}) + be, false},
        {"UTF-16BE, high surrogate at the end of the file", be + Bytes({0xD8, 0x3D}), false},
        {"UTF-16BE with U+0000", be + Encode(std::u32string(U"a\0b", 3), 1201), false},
        {"UTF-16BE with a control", be + Encode(U"a\x01", 1201), false},
        {"UTF-16BE, mostly outside Latin-1", Encode(U"Привет, как дела? Хорошо.\n", 1201), false},
        {"UTF-16BE without white space", Encode(std::u32string(40, U'a'), 1201), false},
        {"UTF-32LE above U+10FFFF", Encode(kLatin, 12000) + Bytes({0, 0, 0x11, 0}), false},
        {"UTF-32LE surrogate", Encode(kLatin, 12000) + Bytes({0, 0xD8, 0, 0}), false},
        {"UTF-32LE, length not a multiple of 4", Encode(kLatin, 12000) + Bytes({0x41, 0}), false},
        {"little-endian integers", Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0}), false},
        {"ELF header", Bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0x3E, 0}), false},
        {"UTF-16LE text", Bytes({'a', 0, ' ', 0, 'b', 0, ' ', 0, 'c', 0, '\n', 0, 'd', 0, ' ', 0, 'e', 0}), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Judge(row.bytes, row.cut), kNone);
    }
}

// A sample that the scan limit cuts may end inside a unit or a pair.
TEST(UnicodeStructure, TakesAUnitCutByTheSampleOnlyWhenTheFileGoesOn)
{
    const std::string be = Encode(kLatin, 1201) + Bytes({0xD8, 0x3D, 0xDE});
    EXPECT_EQ(Judge(be, true), 1201u);
    EXPECT_EQ(Judge(be, false), kNone);
    const std::string le32 = Encode(kLatin, 12000) + Bytes({0x41, 0});
    EXPECT_EQ(Judge(le32, true), 12000u);
    EXPECT_EQ(Judge(le32, false), kNone);
}

}  // namespace
