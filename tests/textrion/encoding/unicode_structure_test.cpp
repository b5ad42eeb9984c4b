#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/iconv_oracle.h"
#include "textrion/encoding/unicode_structure.h"
#include "textrion_test_util.h"

namespace {

using testing_support::Iconv;
using textrion_test::Bytes;

constexpr unsigned kNone = 0;

// Code points as UTF-16BE, UTF-32LE or UTF-32BE bytes, lone surrogates and
// all (which no converter writes).
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

const char* Charset(unsigned codePage)
{
    switch (codePage) {
    case 1200:
        return "UTF-16LE";
    case 1201:
        return "UTF-16BE";
    case 12000:
        return "UTF-32LE";
    default:
        return "UTF-32BE";
    }
}

unsigned Judge(const std::string& bytes, bool cut = false)
{
    const UnicodeForm* form =
        JudgeUnicodeStructure(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), cut);
    return form ? form->codePage : kNone;
}

std::u16string Times(const std::u16string& text, int n)
{
    std::u16string out;
    for (int i = 0; i < n; ++i)
        out += text;
    return out;
}

const std::u32string kLatin = U"Zażółć gęślą jaźń, Łukasz: \"Grüße aus Köln\" \U0001F600.\r\n";

// Texts whose UTF-16 units have few zero bytes or none.
const std::u16string kCyrillic = u"Старый смотритель маяка.\n";
const std::u16string kJapanese = u"吾輩は猫である。名前はまだ無い。\n";
const std::u16string kChineseOneLine = u"老灯塔看守人每天晚上都爬楼梯，数着台阶：一百一十二级。";
const std::u16string kGlossary = u"apple яблоко μήλο תפוח تفاحة 苹果 りんご 사과 แอปเปิล सेब\n";

// The detector's tests cover scripts, forms and names; these are the texts
// with the fewest separators.
TEST(UnicodeStructure, RecognisesTextInEveryFormAndByteOrder)
{
    for (unsigned cp : {1200u, 1201u, 12000u, 12001u}) {
        SCOPED_TRACE(Charset(cp));
        EXPECT_EQ(Judge(Iconv(Charset(cp), kJapanese)), cp);
        // One long line, its punctuation its only separators.
        EXPECT_EQ(Judge(Iconv(Charset(cp), Times(kChineseOneLine, 100))), cp);
    }
    for (unsigned cp : {1201u, 12000u, 12001u})
        EXPECT_EQ(Judge(Encode(kLatin, cp)), cp);
}

// Below 64 characters, text outside Latin-1 needs a space or a line break,
// and words of three letters on average between changes of script.
TEST(UnicodeStructure, AsksMoreOfAShortSample)
{
    struct Row {
        std::u16string text;
        bool once;
        bool fourTimes;
    };
    const Row rows[] = {
        {kChineseOneLine, false, true},
        {kChineseOneLine + u"\n", true, true},
        {u"ผู้ดูแลประภาคารชราปีนบันได", false, false},  // no separator at all
        {u"ผู้ดูแลประภาคาร ชราปีนบันได", false, true},  // one
        {u"ผู้ดูแลประภาคาร ชราปีนบันได\n", true, true},
        {u"Старыйсмотритель маяка", false, true},
        {u"Старый смотритель маяка", true, true},
        {u"大韓民國은 民主共和國이다. 모든 權力은 國民으로부터 나온다.\n", true, true},
        {u"大은韓이民은國이 民은主이다 大은韓이民은國이다.\n", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Iconv("UTF-8", row.text));
        EXPECT_EQ(Judge(Iconv("UTF-16LE", row.text)), row.once ? 1200u : kNone);
        EXPECT_EQ(Judge(Iconv("UTF-16LE", Times(row.text, 4))), row.fourTimes ? 1200u : kNone);
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
    const std::string le = Iconv("UTF-16LE", kCyrillic);
    const Row rows[] = {
        {"shorter than the minimum", Encode(U"a b\n", 1201), false},
        {"UTF-16BE, odd length", be + "x", false},
        {"UTF-16BE, lone low surrogate", Encode(U"abc def ", 1201) + Bytes({0xDC, 0x00}) + be, false},
        {"UTF-16BE, high surrogate then a letter", Bytes({0xD8, 0x3D, 0x00, 0x41}) + be, false},
        {"UTF-16BE, high surrogate at the end of the file", be + Bytes({0xD8, 0x3D}), false},
        {"UTF-16BE with U+0000", be + Encode(std::u32string(U"a\0b", 3), 1201), false},
        {"UTF-16BE with a control", be + Encode(U"a\x01", 1201), false},
        {"UTF-16BE with a C1 control", be + Encode(U"a\x85", 1201), false},
        {"UTF-16BE without white space", Encode(std::u32string(40, U'a'), 1201), false},
        {"UTF-16LE with a noncharacter", le + Iconv("UTF-16LE", u"\uFDD0") + le, false},
        {"UTF-16LE with U+FFFF", le + Bytes({0xFF, 0xFF}) + le, false},
        {"UTF-16LE with an unassigned code point", le + Iconv("UTF-16LE", u"\u0378") + le, false},
        {"UTF-16LE, one private-use character in 30", Iconv("UTF-16LE", Times(u"Старый \uE000смотритель маяка.\n", 9)),
         false},
        {"UTF-16LE, Cyrillic without a separator", Iconv("UTF-16LE", Times(u"Старыйсмотрительмаяка", 4)), false},
        {"UTF-16LE, a byte order mark read the wrong way", Bytes({0xFE, 0xFF}) + le, false},
        {"UTF-32LE above U+10FFFF", Encode(kLatin, 12000) + Bytes({0, 0, 0x11, 0}), false},
        {"UTF-32LE surrogate", Encode(kLatin, 12000) + Bytes({0, 0xD8, 0, 0}), false},
        {"UTF-32LE, length not a multiple of 4", Encode(kLatin, 12000) + Bytes({0x41, 0}), false},
        // One letter of each script after the other: what noise that passed
        // every other test would look like.
        {"letters of ten scripts in turn", Iconv("UTF-16LE", Times(u"a я μ ת ت 苹 り 사 แ स\n", 4)), false},
        {"little-endian integers", Bytes({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0}), false},
        {"ELF header", Bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0x3E, 0}), false},
        {"PNG header", Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R'}), false},
        {"message catalogue header", Bytes({0xDE, 0x12, 0x04, 0x95, 0, 0, 0, 0, 0x2A, 0, 0, 0, 0x1C, 0, 0, 0}), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Judge(row.bytes, row.cut), kNone);
    }
}

// Text in an 8-bit code page, read two or four bytes at a time, from its
// first byte or its second: ASCII pairs read as Han, legacy CJK as Han and
// Hangul, all of it without a unit that is white space or punctuation.
TEST(UnicodeStructure, NeverTakes8BitTextForUnicode)
{
    const std::u16string latin = u"The old lighthouse keeper counted the steps, \"one hundred and twelve\".\r\n";
    const std::u16string french = u"Le vieux gardien du phare comptait les marches : cent douze. Très bien !\n";
    const std::u16string greek = u"Ο γέρος φαροφύλακας ανέβαινε τη σκάλα κάθε βράδυ.\n";
    const std::u16string hebrew = u"שומר המגדלור הזקן טיפס במדרגות בכל ערב.\n";
    const std::u16string arabic = u"كان حارس المنارة العجوز يصعد الدرج كل مساء.\n";
    const std::u16string chinese = u"老灯塔看守人每天晚上都爬楼梯，数着台阶：一百一十二级。\n";
    const std::u16string korean = u"늙은 등대지기는 매일 저녁 계단을 오르며 계단 수를 세었다.\n";
    const std::u16string thai = u"ผู้ดูแลประภาคารชราปีนบันไดทุกเย็น นับขั้นบันได\n";
    struct Row {
        const char* charset;
        std::u16string text;
    };
    const Row rows[] = {
        {"ASCII", latin},           {"WINDOWS-1252", french},
        {"UTF-8", french},          {"WINDOWS-1251", kCyrillic},
        {"KOI8-R", kCyrillic},      {"CP866", kCyrillic},
        {"UTF-8", kCyrillic},       {"WINDOWS-1253", greek},
        {"WINDOWS-1255", hebrew},   {"WINDOWS-1256", arabic},
        {"SHIFT_JIS", kJapanese},   {"EUC-JP", kJapanese},
        {"ISO-2022-JP", kJapanese}, {"UTF-8", kJapanese},
        {"GBK", chinese},           {"BIG5", u"老燈塔看守人每天晚上都爬樓梯。\n"},
        {"EUC-KR", korean},         {"ISO-2022-KR", korean},
        {"TIS-620", thai},          {"UTF-8", kGlossary},
    };
    for (const Row& row : rows) {
        const std::string once = Iconv(row.charset, row.text);
        std::string many;
        for (int i = 0; i < 60; ++i)
            many += once;
        for (size_t skip : {0, 1, 2, 3}) {
            SCOPED_TRACE(std::string(row.charset) + " from byte " + std::to_string(skip));
            EXPECT_EQ(Judge(once.substr(skip), true), kNone);
            EXPECT_EQ(Judge(many.substr(skip), true), kNone);
            EXPECT_EQ(Judge(many.substr(skip, (many.size() - skip) & ~size_t{3})), kNone);
        }
    }
}

TEST(UnicodeStructure, NeverTakesRandomBytesOrSmallIntegersForUnicode)
{
    std::mt19937 random(20261209);
    for (size_t size : {16, 20, 40, 100, 2048, 65536}) {
        for (int i = 0; i < 50; ++i) {
            std::string bytes(size, '\0');
            for (char& b : bytes)
                b = static_cast<char>(random());
            SCOPED_TRACE(std::to_string(size) + " random bytes, round " + std::to_string(i));
            EXPECT_EQ(Judge(bytes), kNone);
        }
    }
    // 16-bit samples of a quiet sound, and values in one narrow range (a
    // table that reads as Cyrillic letters without a space).
    std::string quiet, narrow;
    for (int i = 0; i < 4096; ++i) {
        const int sample = static_cast<int>(random() % 400) - 200;
        quiet += static_cast<char>(sample & 0xFF);
        quiet += static_cast<char>((sample >> 8) & 0xFF);
        narrow += static_cast<char>(0x30 + random() % 0x30);
        narrow += '\x04';
    }
    EXPECT_EQ(Judge(quiet), kNone);
    EXPECT_EQ(Judge(narrow), kNone);
}

// A sample that the scan limit cuts may end inside a unit or a pair.
TEST(UnicodeStructure, TakesAUnitCutByTheSampleOnlyWhenTheFileGoesOn)
{
    const std::string be = Encode(kLatin, 1201) + Bytes({0xD8, 0x3D, 0xDE});
    EXPECT_EQ(Judge(be, true), 1201u);
    EXPECT_EQ(Judge(be, false), kNone);
    const std::string le = Iconv("UTF-16LE", kJapanese) + Bytes({0x3D, 0xD8});
    EXPECT_EQ(Judge(le, true), 1200u);
    EXPECT_EQ(Judge(le, false), kNone);
    const std::string le32 = Encode(kLatin, 12000) + Bytes({0x41, 0});
    EXPECT_EQ(Judge(le32, true), 12000u);
    EXPECT_EQ(Judge(le32, false), kNone);
}

}  // namespace
