#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <optional>
#include <string>
#include <vector>

#include "codecs/codepage.h"
#include "support/iconv_oracle.h"

namespace {

using namespace std::literals;
using codecs::CodePageDecoder;
using codecs::CodePageEncoder;

// Names parameterised cases after their row.
struct RowName {
    template <class Row> std::string operator()(const testing::TestParamInfo<Row>& row) const { return row.param.name; }
};

std::string Hex(std::string_view bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

std::string AsBytes(const std::u16string& text)
{
    std::string s;
    for (char16_t u : text) {
        s += static_cast<char>(u & 0xFF);
        s += static_cast<char>(u >> 8);
    }
    return s;
}

using testing_support::IconvBytes;

std::optional<std::u16string> IconvDecode(const char* charset, std::string_view bytes)
{
    auto le = IconvBytes("UTF-16LE", charset, bytes);
    if (!le)
        return std::nullopt;
    std::u16string text;
    for (size_t i = 0; i + 1 < le->size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<unsigned char>((*le)[i]) | static_cast<unsigned char>((*le)[i + 1]) << 8);
    return text;
}

std::optional<std::string> IconvEncode(const char* charset, const std::u16string& text)
{
    return IconvBytes(charset, "UTF-16LE", AsBytes(text));
}

struct Decoded {
    std::u16string text;
    uint64_t replaced = 0;
    uint64_t firstUncovered = CodePageDecoder::kNoOffset;
    bool stalled = false;  // a call had work and did nothing, or the output ran on
};

// Feeds bytes to one decoder in the pieces the cuts make, into an output of
// capacity units, the last piece with endOfInput.
Decoded DecodePieces(unsigned codePage, std::string_view bytes, std::vector<size_t> cuts, size_t capacity)
{
    CodePageDecoder decoder(codePage);
    Decoded result;
    std::vector<char16_t> out(capacity);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    cuts.push_back(bytes.size());
    size_t pos = 0;
    for (size_t i = 0; i < cuts.size() && !result.stalled; ++i) {
        const bool last = i + 1 == cuts.size();
        for (;;) {
            const auto r = decoder.Decode(data + pos, cuts[i] - pos, out.data(), capacity, last);
            result.text.append(out.data(), r.produced);
            pos += r.consumed;
            if (result.text.size() > 2 * bytes.size() + 64) {
                result.stalled = true;  // runs on
                break;
            }
            if (pos == cuts[i] && r.produced < capacity)
                break;
            if (r.consumed == 0 && r.produced == 0) {
                result.stalled = true;
                break;
            }
        }
    }
    result.replaced = decoder.ReplacementCount();
    result.firstUncovered = decoder.FirstUncoveredOffset();
    return result;
}

// The same for an encoder, cuts in UTF-16 units.
std::string EncodePieces(unsigned codePage, const std::u16string& text, std::vector<size_t> cuts, size_t capacity,
                         uint64_t* replaced = nullptr)
{
    CodePageEncoder encoder(codePage);
    std::string result;
    std::vector<unsigned char> out(capacity);
    cuts.push_back(text.size());
    size_t pos = 0;
    for (size_t i = 0; i < cuts.size(); ++i) {
        const bool last = i + 1 == cuts.size();
        for (;;) {
            const auto r = encoder.Encode(text.data() + pos, cuts[i] - pos, out.data(), capacity, last);
            result.append(reinterpret_cast<const char*>(out.data()), r.produced);
            pos += r.consumed;
            if (result.size() > 8 * text.size() + 64) {
                ADD_FAILURE() << "encoder runs on at unit " << pos;
                return result;
            }
            if (pos == cuts[i] && r.produced < capacity)
                break;
            if (r.consumed == 0 && r.produced == 0) {
                ADD_FAILURE() << "encoder stalled at unit " << pos;
                return result;
            }
        }
    }
    if (replaced)
        *replaced = encoder.ReplacementCount();
    return result;
}

std::vector<size_t> EveryOffset(size_t size)
{
    std::vector<size_t> cuts;
    for (size_t i = 1; i < size; ++i)
        cuts.push_back(i);
    return cuts;
}

// ---------------------------------------------------------------------------

struct Sample {
    const char* name;
    unsigned codePage;
    const char16_t* text;
    const char* iconvName;  // null where glibc has no converter
};

const char16_t kJapanese[] = u"日本語のテキスト、カタカナ。ABC 123\r\n漢字とひらがな";
const char16_t kChinese[] = u"中文文本，简体字。Hello 世界！\r\n第二行";
const char16_t kTraditional[] = u"繁體中文，臺灣。Hello 世界\r\n第二行";
const char16_t kKorean[] = u"한국어 텍스트입니다. Hello 세계! €5 ®\r\n둘째 줄";
const char16_t kRussian[] = u"Съешь же ещё этих мягких французских булок, да выпей чаю.\r\n";
const char16_t kMixed[] = u"Grüße 中文 한국어 😀 ~+-\r\n";

const Sample kSamples[] = {
    {"ShiftJis", 932, u"日本語のテキスト、ｶﾀｶﾅ。ABC 123\r\n漢字と①", "CP932"},
    {"EucJp", 20932, u"日本語のテキスト、ｶﾀｶﾅ。ABC\r\n漢字", "EUC-JP"},
    {"Iso2022Jp50220", 50220, kJapanese, "ISO-2022-JP"},
    {"Iso2022Jp50221", 50221, kJapanese, "ISO-2022-JP"},
    {"Iso2022Jp50222", 50222, kJapanese, "ISO-2022-JP"},
    {"Gb18030", 54936, u"中文文本，简体字。€ 😀 ḿ\r\nHello", "GB18030"},
    {"Gbk", 936, kChinese, "CP936"},
    {"Hz", 52936, kChinese, nullptr},
    {"Big5", 950, kTraditional, "CP950"},
    {"EucTw", 51950, kTraditional, "EUC-TW"},
    {"Uhc949", 949, u"한국어 텍스트입니다. 똠방각하 Hello!\r\n", "CP949"},
    {"EucKr", 51949, kKorean, "EUC-KR"},
    // Composed Hangul, lone jamo (initial, final-only, vowel), KS X 1001 symbols and Hanja.
    {"Johab", 1361, u"한국어 텍스트입니다. 똠방각하 ㄱㄳㅏ ※ 漢字 Hello!\r\n둘째 줄", "JOHAB"},
    {"Big5Hkscs", 1375, u"佢哋食咗飯未呀？冇嘢㗎 臺灣\r\nHello", "BIG5-HKSCS"},
    {"Iso2022Kr", 50225, kKorean, "ISO-2022-KR"},
    {"Windows1251", 1251, kRussian, "CP1251"},
    {"Koi8R", 20866, kRussian, "KOI8-R"},
    {"Iso8859_5", 28595, kRussian, "ISO-8859-5"},
    {"Dos866", 866, kRussian, "CP866"},
    {"Windows1252", 1252, u"Façade naïve — “quotes” €5 ½ Grüße, señor!\r\n", "CP1252"},
    {"Latin1", 28591, u"Façade naïve Grüße, señor ½ ¿¡ ©\r\n", "ISO-8859-1"},
    {"Latin9", 28605, u"Façade naïve Grüße, señor € œ Ÿ\r\n", "ISO-8859-15"},
    {"Dos437", 437, u"Grüße ½ ░▒▓ │┤ ±≥ π µ\r\n", "CP437"},
    {"Dos850", 850, u"Façade naïve Grüße ½ ©\r\n", "CP850"},
    {"Windows1250", 1250, u"Příliš žluťoučký kůň úpěl ďábelské ódy.\r\n", "CP1250"},
    {"Iso8859_2", 28592, u"Příliš žluťoučký kůň úpěl ďábelské ódy.\r\n", "ISO-8859-2"},
    {"Windows1253", 1253, u"Ελληνικό κείμενο, αβγδ ΑΒΓΔ.\r\n", "CP1253"},
    {"Iso8859_7", 28597, u"Ελληνικό κείμενο, αβγδ ΑΒΓΔ.\r\n", "ISO-8859-7"},
    {"Windows1255", 1255, u"שלום עולם\r\n", "CP1255"},
    {"Windows1256", 1256, u"مرحبا بالعالم\r\n", "CP1256"},
    {"Windows874", 874, u"ภาษาไทย ๑๒๓\r\n", "WINDOWS-874"},
    {"Ebcdic37", 37, u"Hello, World! 123 ¢\r\n", "IBM037"},
    {"Iso8859_10", 28600, u"Kæmi ný öxi hér, ykist þjófum nú bæði víl og ádrepa. Sámi: Đđ Ŋŋ Ŧŧ\r\n", "ISO-8859-10"},
    {"Iso8859_16", 28606, u"Științele și tehnica în România; ȘȚ „citat” 5 €\r\n", "ISO-8859-16"},
    {"Viscii", 65010, u"Tôi có thể ăn thủy tinh mà không hại gì. Ẳ Ẵ Ẫ Ỷ Ỹ Ỵ\r\n", "VISCII"},
    {"Utf8", 65001, kMixed, "UTF-8"},
    {"Utf16Le", 1200, kMixed, "UTF-16LE"},
    {"Utf16Be", 1201, kMixed, "UTF-16BE"},
    {"Utf32Le", 12000, kMixed, "UTF-32LE"},
    {"Utf32Be", 12001, kMixed, "UTF-32BE"},
    {"Utf7", 65000, kMixed, "UTF-7"},
};

void PrintTo(const Sample& row, std::ostream* os)
{
    *os << row.name;
}

class CodePageSample : public testing::TestWithParam<Sample> { };

TEST_P(CodePageSample, EncodesWithoutLossAndGlibcReadsItBack)
{
    const Sample& s = GetParam();
    std::string bytes;
    uint64_t replaced = 99;
    ASSERT_TRUE(codecs::EncodeCodePage(s.codePage, s.text, bytes, &replaced));
    EXPECT_EQ(replaced, 0u);
    if (s.iconvName == nullptr)
        return;
    EXPECT_EQ(IconvDecode(s.iconvName, bytes), std::u16string(s.text)) << Hex(bytes);
    // And bytes written by glibc read back here.
    if (auto theirs = IconvEncode(s.iconvName, s.text)) {
        std::u16string back;
        ASSERT_TRUE(codecs::DecodeCodePage(s.codePage, theirs->data(), theirs->size(), back));
        EXPECT_EQ(back, s.text) << Hex(*theirs);
    }
}

TEST_P(CodePageSample, DecodesTheSameWhereverTheInputIsCut)
{
    const Sample& s = GetParam();
    std::string bytes;
    ASSERT_TRUE(codecs::EncodeCodePage(s.codePage, s.text, bytes));
    for (size_t capacity : {1, 2, 3, 4096}) {
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << "cut at " << cut << ", capacity " << capacity);
            const Decoded d = DecodePieces(s.codePage, bytes, {cut}, capacity);
            ASSERT_FALSE(d.stalled);
            ASSERT_EQ(d.text, s.text);
            ASSERT_EQ(d.replaced, 0u);
        }
        SCOPED_TRACE(testing::Message() << "byte by byte, capacity " << capacity);
        const Decoded d = DecodePieces(s.codePage, bytes, EveryOffset(bytes.size()), capacity);
        EXPECT_FALSE(d.stalled);
        EXPECT_EQ(d.text, s.text);
        EXPECT_EQ(d.replaced, 0u);
    }
}

TEST_P(CodePageSample, EncodesTheSameWhereverTheTextIsCut)
{
    const Sample& s = GetParam();
    const std::u16string text = s.text;
    std::string whole;
    ASSERT_TRUE(codecs::EncodeCodePage(s.codePage, text, whole));
    for (size_t capacity : {1, 2, 3, 4096}) {
        SCOPED_TRACE(testing::Message() << "capacity " << capacity);
        for (size_t cut = 0; cut <= text.size(); ++cut)
            ASSERT_EQ(Hex(EncodePieces(s.codePage, text, {cut}, capacity)), Hex(whole)) << "cut " << cut;
        EXPECT_EQ(Hex(EncodePieces(s.codePage, text, EveryOffset(text.size()), capacity)), Hex(whole));
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, CodePageSample, testing::ValuesIn(kSamples), RowName());

// ---------------------------------------------------------------------------

// Every byte of a single-byte code page against glibc. The differences listed
// are expected: bytes Windows assigns and glibc refuses (Windows turns the
// unassigned bytes of its 125x tables into the C1 control of the same value,
// 874 into private-use characters), and a few where IBM's and Microsoft's
// tables, which ICU and glibc follow, disagree.
struct SingleByteRow {
    unsigned codePage;
    const char* iconvName;
    const char* differences;  // bytes where the two disagree
};

const SingleByteRow kSingleByte[] = {
    {37, "IBM037", ""},
    {437, "CP437", ""},
    {500, "IBM500", ""},
    {708, "ASMO-708", ""},
    {737, "CP737", ""},
    {775, "CP775", ""},
    {850, "CP850", ""},
    {852, "CP852", ""},
    {855, "CP855", ""},
    {857, "CP857", ""},
    {858, "CP858", ""},
    {860, "CP860", ""},
    {861, "CP861", ""},
    {862, "CP862", ""},
    {863, "CP863", ""},
    {864, "CP864", "25 9F D7 D8 F1"},  // IBM's 864: '%' and two letter forms; glibc's: Microsoft's
    {865, "CP865", ""},
    {866, "CP866", ""},
    {869, "CP869", "88 EF"},  // ANO TELEIA and acute accent against middle dot and tonos
    {870, "IBM870", "B0"},
    {874, "WINDOWS-874",
     "81 82 83 84 86 87 88 89 8A 8B 8C 8D 8E 8F 90 98 99 9A 9B 9C 9D 9E 9F DB DC DD DE FC FD FE FF"},
    {875, "IBM875", "6A 74 DD"},
    {1026, "IBM1026", "9A 9D BC"},
    {1047, "IBM1047", ""},
    {1140, "IBM1140", ""},
    {1250, "CP1250", "81 83 88 90 98"},
    {1251, "CP1251", "98"},
    {1252, "CP1252", "81 8D 8F 90 9D"},
    {1253, "CP1253", "81 88 8A 8C 8D 8E 8F 90 98 9A 9C 9D 9E 9F AA"},
    {1254, "CP1254", "81 8D 8E 8F 90 9D 9E"},
    {1255, "CP1255", "81 8A 8C 8D 8E 8F 90 9A 9C 9D 9E 9F"},
    {1256, "CP1256", ""},
    {1257, "CP1257", "81 83 88 8A 8C 90 98 9A 9C 9F"},
    {1258, "CP1258", "81 8A 8D 8E 8F 90 9A 9D 9E"},
    {10000, "MACINTOSH", "C6 F0"},  // INCREMENT and the Apple logo (U+F8FF) as Windows has them
    {10007, "MAC-CYRILLIC", "FF"},  // euro sign (Apple's 1998 table) against currency sign
    {10029, "MAC-CENTRALEUROPE", ""},
    {20127, "ASCII", ""},
    {20866, "KOI8-R", ""},
    {21866, "KOI8-U", ""},
    {28591, "ISO-8859-1", ""},
    {28592, "ISO-8859-2", ""},
    {28593, "ISO-8859-3", ""},
    {28594, "ISO-8859-4", ""},
    {28595, "ISO-8859-5", ""},
    {28596, "ISO-8859-6", ""},
    {28597, "ISO-8859-7", ""},
    {28598, "ISO-8859-8", ""},
    {28599, "ISO-8859-9", ""},
    {28600, "ISO-8859-10", ""},
    {28603, "ISO-8859-13", ""},
    {28605, "ISO-8859-15", ""},
    {28606, "ISO-8859-16", ""},
    {38598, "ISO-8859-8", ""},
    {65010, "VISCII", ""},
};

TEST(CodePageTables, SingleByteCodePagesMatchGlibcByteForByte)
{
    for (const auto& row : kSingleByte) {
        SCOPED_TRACE(row.codePage);
        std::string differences;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::u16string ours;
            uint64_t replaced = 0;
            ASSERT_TRUE(codecs::DecodeCodePage(row.codePage, &byte, 1, ours, &replaced));
            ASSERT_EQ(ours.size(), 1u);
            const auto theirs = IconvDecode(row.iconvName, std::string_view(&byte, 1));
            const bool same = replaced != 0 ? !theirs : theirs == ours;
            if (!same)
                differences += (differences.empty() ? "" : " ") + Hex(std::string_view(&byte, 1));
        }
        EXPECT_EQ(differences, row.differences);
    }
}

TEST(CodePageTables, EveryAssignedByteOfASingleByteCodePageRoundTrips)
{
    for (const auto& row : kSingleByte) {
        SCOPED_TRACE(row.codePage);
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::u16string unit;
            uint64_t replaced = 0;
            codecs::DecodeCodePage(row.codePage, &byte, 1, unit, &replaced);
            if (replaced != 0)
                continue;
            std::string back;
            codecs::EncodeCodePage(row.codePage, unit, back, &replaced);
            ASSERT_EQ(Hex(back), Hex(std::string(1, byte))) << "U+" << std::hex << unsigned(unit[0]);
            ASSERT_EQ(replaced, 0u);
        }
    }
}

// The tables read from glibc, encoded back by glibc: every byte the code page
// assigns comes back as itself in both directions.
TEST(CodePageTables, TablesReadFromGlibcRoundTripEveryAssignedByteThroughGlibc)
{
    for (const auto& [codePage, charset] : {std::pair{28606u, "ISO-8859-16"}, std::pair{65010u, "VISCII"}}) {
        SCOPED_TRACE(charset);
        ASSERT_TRUE(codecs::IsValidCodePage(codePage));
        int assigned = 0;
        for (int b = 0; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            std::u16string ours;
            uint64_t replaced = 0;
            ASSERT_TRUE(codecs::DecodeCodePage(codePage, byte.data(), 1, ours, &replaced));
            const auto theirs = IconvDecode(charset, byte);
            ASSERT_EQ(replaced != 0, !theirs) << Hex(byte);
            if (!theirs)
                continue;
            ++assigned;
            ASSERT_EQ(ours, *theirs) << Hex(byte);
            EXPECT_EQ(IconvEncode(charset, ours), byte) << Hex(byte);
            std::string back;
            ASSERT_TRUE(codecs::EncodeCodePage(codePage, *theirs, back, &replaced));
            EXPECT_EQ(Hex(back), Hex(byte));
            EXPECT_EQ(replaced, 0u);
        }
        EXPECT_EQ(assigned, 256);  // both assign every byte, C0 and C1 included
    }
}

// Letters at their places in the published tables, so that the new tables are
// checked by more than the converter they were read from.
TEST(CodePageTables, NewSingleByteTablesHoldTheirPublishedLetters)
{
    const struct {
        unsigned codePage;
        unsigned char byte;
        char16_t unit;
    } rows[] = {
        {28600, 0xA1, u'Ą'}, {28600, 0xAA, u'Š'}, {28600, 0xBD, u'―'}, {28600, 0xDE, u'Þ'}, {28600, 0xFF, u'ĸ'},
        {28606, 0xA4, u'€'}, {28606, 0xA5, u'„'}, {28606, 0xAA, u'Ș'}, {28606, 0xBA, u'ș'}, {28606, 0xDE, u'Ț'},
        {28606, 0xFE, u'ț'}, {65010, 0x02, u'Ẳ'}, {65010, 0x05, u'Ẵ'}, {65010, 0x06, u'Ẫ'}, {65010, 0x14, u'Ỷ'},
        {65010, 0x19, u'Ỹ'}, {65010, 0x1E, u'Ỵ'}, {65010, 0x80, u'Ạ'}, {65010, 0xA1, u'ắ'}, {65010, 0xBD, u'ơ'},
        {65010, 0xFF, u'Ữ'}, {65010, 0x41, u'A'},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.codePage << " byte " << Hex(std::string(1, char(row.byte))));
        std::u16string text;
        ASSERT_TRUE(codecs::DecodeCodePage(row.codePage, &row.byte, 1, text));
        EXPECT_EQ(text, std::u16string(1, row.unit));
        std::string bytes;
        ASSERT_TRUE(codecs::EncodeCodePage(row.codePage, std::u16string(1, row.unit), bytes));
        EXPECT_EQ(Hex(bytes), Hex(std::string(1, char(row.byte))));
    }
}

// ICU's IBM PC tables put U+001C, U+007F and U+001A at bytes 1A, 1C and 7F;
// Windows (and glibc) keep them in place, so a DOS file's Ctrl-Z stays one.
TEST(CodePageTables, KeepsControlCharactersInPlaceOnIbmPcCodePages)
{
    const std::string controls = "\x1A\x1C\x7F";
    for (unsigned cp : {437u, 720u, 850u, 852u, 866u, 932u}) {
        SCOPED_TRACE(cp);
        std::u16string text;
        ASSERT_TRUE(codecs::DecodeCodePage(cp, controls.data(), controls.size(), text));
        EXPECT_EQ(text, u"\x1A\x1C\x7F");
        std::string back;
        ASSERT_TRUE(codecs::EncodeCodePage(cp, text, back));
        EXPECT_EQ(Hex(back), Hex(controls));
    }
}

// Every two-byte sequence of the double-byte code pages against glibc. Where
// both read a sequence, they must agree, except for the listed ones: EUC-JP
// and EUC-TW where ICU follows Microsoft's mapping of a few symbols (wave
// dash, double vertical line, minus...) and glibc the national standard, and
// GB18030 where ICU keeps the private-use code points of GB18030-2000 and
// glibc has the 2005 vertical forms. Sequences only ICU reads are the user-
// defined areas Windows maps to private use; EUC-KR is the one where glibc
// reads more: the single shifts 8E and 8F as C1 controls.
struct DoubleByteRow {
    unsigned codePage;
    const char* iconvName;
    const char* differences;
    bool glibcReadsMore;
};

const DoubleByteRow kDoubleByte[] = {
    {932, "CP932", "", false},
    {936, "CP936", "", false},
    {949, "CP949", "", false},
    {950, "CP950", "", false},
    {51949, "EUC-KR", "", true},
    {20932, "EUC-JP", "A1C1 A1C2 A1DD A1F1 A1F2 A2CC", false},
    {54936, "GB18030",
     "A6D9 A6DA A6DB A6DC A6DD A6DE A6DF A6EC A6ED A6F3 FE51 FE52 FE53 FE59 FE61 FE66 FE67 FE6C "
     "FE6D FE76 FE7E FE90 FE91 FEA0",
     false},
    {51950, "EUC-TW", "A1A6 A1B6 A1B8 A1B9 A1EA A1EB A2C2 A2C3 A2D3 A2D4 A2DD A2DE A4BF", false},
};

TEST(CodePageTables, DoubleByteCodePagesMatchGlibcOnEveryPair)
{
    for (const auto& row : kDoubleByte) {
        SCOPED_TRACE(row.codePage);
        std::string differences;
        bool glibcReadsMore = false;
        CodePageDecoder decoder(row.codePage);
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x21; trail <= 0xFE; ++trail) {
                const unsigned char pair[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
                char16_t out[8];
                const uint64_t before = decoder.ReplacementCount();
                const auto r = decoder.Decode(pair, 2, out, 8, true);
                ASSERT_EQ(r.consumed, 2u);
                const bool oursRead = decoder.ReplacementCount() == before;
                const std::string_view bytes(reinterpret_cast<const char*>(pair), 2);
                const auto theirs = IconvDecode(row.iconvName, bytes);
                if (oursRead && theirs && *theirs != std::u16string(out, r.produced))
                    differences += (differences.empty() ? "" : " ") + Hex(bytes).erase(2, 1);
                glibcReadsMore |= !oursRead && theirs.has_value();
            }
        }
        EXPECT_EQ(differences, row.differences);
        EXPECT_EQ(glibcReadsMore, row.glibcReadsMore);
    }
}

// ISO-2022-KR carries KS X 1001 in 7 bits: each of its characters must read
// as the EUC-KR pair with the high bits set, and as glibc reads it where both
// read it. Only this side reads the user-defined rows (as private use, like
// Windows); only glibc reads the postal mark KS X 1001 gained in 2002.
TEST(CodePageTables, Iso2022KrReadsKsX1001AsGlibcAndEucKrDo)
{
    std::string onlyGlibc;
    for (int a = 0x21; a <= 0x7E; ++a) {
        for (int b = 0x21; b <= 0x7E; ++b) {
            const std::string iso = std::string("\x1B$)C\x0E") + char(a) + char(b) + "\x0F";
            const std::string euc = {char(a | 0x80), char(b | 0x80)};
            std::u16string fromIso, fromEuc;
            uint64_t replaced = 0;
            codecs::DecodeCodePage(50225, iso.data(), iso.size(), fromIso, &replaced);
            codecs::DecodeCodePage(51949, euc.data(), euc.size(), fromEuc);
            ASSERT_EQ(fromIso, fromEuc) << Hex(euc);
            const auto glibc = IconvDecode("ISO-2022-KR", iso);
            if (replaced == 0 && glibc)
                ASSERT_EQ(fromIso, glibc) << Hex(euc);
            else if (replaced == 0)
                ASSERT_TRUE(fromIso[0] >= 0xE000 && fromIso[0] <= 0xF8FF) << Hex(euc);
            else if (glibc)
                onlyGlibc += Hex(euc).erase(2, 1);
        }
    }
    EXPECT_EQ(onlyGlibc, "A2E8");
    // Its ASCII half is ASCII: no won sign for the backslash.
    std::u16string text;
    codecs::DecodeCodePage(50225, "\x1B$)Cc:\\dir", 10, text);
    EXPECT_EQ(text, u"c:\\dir");
}

// ---------------------------------------------------------------------------

struct BadInput {
    const char* name;
    unsigned codePage;
    std::string_view bytes;
    std::u16string_view text;
    uint64_t replaced;
    uint64_t firstAt;  // where the first replaced sequence starts
};

constexpr uint64_t kNone = CodePageDecoder::kNoOffset;

const BadInput kBadInputs[] = {
    {"ShiftJisCutLeadAtEnd", 932, "a\x82", u"a\uFFFD"sv, 1, 1},
    {"ShiftJisBadTrailResumesAtIt", 932,
     "a\x82\x20"
     "b",
     u"a\uFFFD b"sv, 1, 1},
    {"ShiftJisBadSingleByte", 932,
     "a\xFF"
     "b",
     u"a\uFFFDb"sv, 1, 1},
    {"GbkCutLeadAtEnd", 936, "a\x81", u"a\uFFFD"sv, 1, 1},
    {"Gb18030CutFourByteAtEnd", 54936, "a\x81\x30", u"a\uFFFD"sv, 1, 1},
    {"Gb18030CutThreeOfFour", 54936, "a\x81\x30\x81", u"a\uFFFD"sv, 1, 1},
    {"UhcBadTrail", 949,
     "\xB0\x20"
     "A",
     u"\uFFFD A"sv, 1, 0},
    {"JohabBadTrailResumesAtIt", 1361,
     "\x88\x20"
     "A",
     u"\uFFFD A"sv, 1, 0},
    {"JohabCutLeadAtEnd", 1361, "a\x88", u"a\uFFFD"sv, 1, 1},
    {"JohabBadSingleByte", 1361,
     "a\xFF"
     "b",
     u"a\uFFFDb"sv, 1, 1},
    {"JohabJamoCellOfTheSymbolArea", 1361, "\xDA\xA1", u"\uFFFD"sv, 1, 0},
    {"JohabUserDefinedArea", 1361, "\xD8\x31", u"\uFFFD"sv, 1, 0},
    {"Big5CutLeadAtEnd", 950, "a\xA4", u"a\uFFFD"sv, 1, 1},
    {"EucJpCutThreeByte", 20932, "a\x8F\xB0", u"a\uFFFD"sv, 1, 1},
    {"EucTwCutFourByte", 51950, "a\x8E\xA1", u"a\uFFFD"sv, 1, 1},
    {"Iso2022JpCutCharacter", 50220, "a\x1B$B0", u"a\uFFFD"sv, 1, 4},
    {"Iso2022JpCutEscape", 50220, "a\x1B$", u"a\uFFFD"sv, 1, 1},
    {"Iso2022KrCutCharacter", 50225, "\x1B$)C\x0E\x30", u"\uFFFD"sv, 1, 5},
    {"HzLoneTildeAtEnd", 52936, "a~", u"a\uFFFD"sv, 1, 1},
    {"HzCutCharacter", 52936, "~{V", u"\uFFFD"sv, 1, 2},
    {"HzTildeAfterCharacter", 52936, "~{VP~", u"中\uFFFD"sv, 1, 4},
    {"HzBadEscapeResumesAtIt", 52936, "a~xb", u"a\uFFFDxb"sv, 1, 1},
    {"Utf8CutSequence", 65001, "a\xE2\x82", u"a\uFFFD"sv, 1, 1},
    {"Utf8Overlong", 65001,
     "\xC0\x80"
     "A",
     u"\uFFFD\uFFFDA"sv, 2, 0},
    {"Utf8EncodedSurrogate", 65001, "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"sv, 3, 0},
    {"Utf16OddByte", 1200, "a\0b"sv, u"a\uFFFD"sv, 1, 2},
    {"Utf32CutUnit", 12000, "a\0\0\0b\0"sv, u"a\uFFFD"sv, 1, 4},
    {"AsciiHighByte", 20127, "a\x80", u"a\uFFFD"sv, 1, 1},
    {"Iso8859_6Unassigned", 28596, "a\xA1", u"a\uFFFD"sv, 1, 1},
    // Code page 0 covers ASCII and UTF-8; any other byte is read in the
    // fallback code page (windows-1252 here), not replaced, but not covered.
    {"DefaultLatinAfterUtf8", 0, "\xC3\xA9t\xE9", u"\u00E9t\u00E9"sv, 0, 3},
    {"DefaultUtf8CutAtEnd", 0, "ab\xE2\x82", u"ab\u00E2\u201A"sv, 0, 2},
    {"DefaultLeadWithoutTrail", 0, "\xC3(x", u"\u00C3(x"sv, 0, 0},
    {"DefaultUtf8Whole", 0, "\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u20AC\U0001F600"sv, 0, kNone},
    {"ZeroBytesPassWhole", 932, "a\0\x82\xA0\0b"sv, u"a\0あ\0b"sv, 0, kNone},
    {"ZeroBytesInUtf16", 1200, "a\0\0\0b\0"sv, u"a\0b"sv, 0, kNone},
};

void PrintTo(const BadInput& row, std::ostream* os)
{
    *os << row.name;
}

class CodePageBadInput : public testing::TestWithParam<BadInput> { };

TEST_P(CodePageBadInput, BecomesCountedReplacementsWhereverTheInputIsCut)
{
    const BadInput& c = GetParam();
    const std::u16string expected(c.text);
    std::u16string whole;
    uint64_t replaced = 0;
    ASSERT_TRUE(codecs::DecodeCodePage(c.codePage, c.bytes.data(), c.bytes.size(), whole, &replaced));
    EXPECT_EQ(whole, expected);
    EXPECT_EQ(replaced, c.replaced);
    // Behind whole characters of every form (zeros are U+0000 in UTF-16 and UTF-32).
    const bool wide = c.codePage == 1200 || c.codePage == 12000;
    const std::string padded = std::string(36, wide ? '\0' : ' ') + std::string(c.bytes);
    EXPECT_EQ(DecodePieces(c.codePage, padded, {}, 4096).firstUncovered, c.firstAt == kNone ? kNone : 36 + c.firstAt);
    for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "cut at " << cut);
        for (size_t capacity : {1, 4096}) {
            const Decoded d = DecodePieces(c.codePage, c.bytes, {cut}, capacity);
            ASSERT_FALSE(d.stalled);
            EXPECT_EQ(d.text, expected);
            EXPECT_EQ(d.replaced, c.replaced);
            EXPECT_EQ(d.firstUncovered, c.firstAt) << "capacity " << capacity;
        }
    }
    const Decoded bytewise = DecodePieces(c.codePage, c.bytes, EveryOffset(c.bytes.size()), 1);
    EXPECT_EQ(bytewise.firstUncovered, c.firstAt) << "byte by byte";
}

INSTANTIATE_TEST_SUITE_P(Cases, CodePageBadInput, testing::ValuesIn(kBadInputs), RowName());

struct Unmappable {
    const char* name;
    unsigned codePage;
    std::u16string text;
    std::string_view bytes;
    uint64_t replaced;
};

const Unmappable kUnmappables[] = {
    {"TableLoneHighAtEnd", 1252, u"a\xD83D", "a?", 1},
    {"TableLoneLow", 1252,
     u"\xDE00"
     "b",
     "?b", 1},
    {"TablePairIsOneCharacter", 1252, u"😀b", "?b", 1},
    {"TableIgnorableIsNotDropped", 1252, u"a\u200Bb", "a?b", 1},
    {"EbcdicQuestionMark", 37, u"A€", "\xC1\x6F", 1},
    {"ShiftJisPair", 932, u"a😀", "a?", 1},
    {"ShiftJisLoneSurrogate", 932,
     u"\xD800"
     "a",
     "?a", 1},
    {"ShiftJisIgnorableIsNotDropped", 932, u"a\uFEFFb", "a?b", 1},
    {"Iso2022JpInsideKanjiRun", 50220, u"日€", "\x1B$BF|\x1B(B?", 1},
    {"Iso2022KrInsideHangulRun", 50225, u"가ก", "\x1B$)C\x0E\x30\x21\x0F?", 1},
    {"HzInsideGbRun", 52936, u"中€", "~{VP~}?", 1},
    {"JohabThai", 1361, u"가ก", "\x88\x61?", 1},
    {"JohabPair", 1361, u"😀a", "?a", 1},
    {"HzTildeLeavesGbRunFirst", 52936, u"中~a", "~{VP~}~~a", 0},
    {"HzAsciiStaysAscii", 52936, u"plain ~ text", "plain ~~ text", 0},
    {"Utf8LoneSurrogate", 65001, u"a\xDC00", "a\xEF\xBF\xBD", 1},
    {"ZeroUnitsPassWhole", 1252, u"a\0b"s, "a\0b"sv, 0},
    {"ZeroUnitsInShiftJis", 932, u"\0あ"s, "\0\x82\xA0"sv, 0},
};

void PrintTo(const Unmappable& row, std::ostream* os)
{
    *os << row.name;
}

class CodePageUnmappable : public testing::TestWithParam<Unmappable> { };

TEST_P(CodePageUnmappable, IsWrittenAsTheDefaultCharacterAndCounted)
{
    const Unmappable& c = GetParam();
    std::string whole;
    uint64_t replaced = 0;
    ASSERT_TRUE(codecs::EncodeCodePage(c.codePage, c.text, whole, &replaced));
    EXPECT_EQ(Hex(whole), Hex(c.bytes));
    EXPECT_EQ(replaced, c.replaced);
    for (size_t cut = 0; cut <= c.text.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "cut at " << cut);
        replaced = 0;
        EXPECT_EQ(Hex(EncodePieces(c.codePage, c.text, {cut}, 1, &replaced)), Hex(c.bytes));
        EXPECT_EQ(replaced, c.replaced);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, CodePageUnmappable, testing::ValuesIn(kUnmappables), RowName());

// ICU's own HZ writer is the oracle for the GB codes. It opens every stream
// with "~}" and leaves the last GB run open; this one closes it.
TEST(CodePageHz, WritesTheGbCodesIcuWritesWithoutItsOpeningEscape)
{
    const std::u16string text = u"Hello 中文文本，简体字。\r\n第二行 é";
    std::string ours;
    ASSERT_TRUE(codecs::EncodeCodePage(52936, text, ours));
    UErrorCode err = U_ZERO_ERROR;
    UConverter* icu = ucnv_open("HZ", &err);
    ASSERT_TRUE(U_SUCCESS(err));
    std::string theirs(256, '\0');
    theirs.resize(static_cast<size_t>(
        ucnv_fromUChars(icu, theirs.data(), 256, text.data(), static_cast<int32_t>(text.size()), &err)));
    ucnv_close(icu);
    ASSERT_TRUE(U_SUCCESS(err));
    EXPECT_EQ("~}" + ours, theirs + "~}");
}

// ---------------------------------------------------------------------------
// Code page 0: UTF-8 where the bytes are UTF-8, windows-1252 elsewhere.

struct DefaultCase {
    const char* name;
    std::string_view bytes;
    const char16_t* text;
};

const DefaultCase kDefaultCases[] = {
    {"Ascii", "plain text\r\n", u"plain text\r\n"},
    {"Utf8", "caf\xC3\xA9 \xE2\x82\xAC", u"café €"},
    {"Utf8FourBytes", "a\xF0\x9F\x98\x80z", u"a😀z"},
    {"Latin1Byte", "caf\xE9!", u"café!"},
    {"Windows1252Specials", "\x80\x93\x94\x81", u"€“”\u0081"},
    {"CutUtf8AtEnd", "ab\xE2\x82", u"abâ‚"},
    {"LeadThenAscii",
     "\xC3"
     "A",
     u"ÃA"},
    {"EncodedSurrogateIsNotUtf8", "\xED\xA0\x80", u"í\u00A0€"},
    {"OverlongIsNotUtf8", "\xC0\xAF", u"À¯"},
    {"FourByteCutByAscii",
     "\xF0\x9F\x98"
     "x",
     u"ðŸ˜x"},
    {"MixedInOneLine", "\xE9t\xC3\xA9 \xE9", u"été é"},
};

void PrintTo(const DefaultCase& row, std::ostream* os)
{
    *os << row.name;
}

class DefaultCodePage : public testing::TestWithParam<DefaultCase> { };

TEST_P(DefaultCodePage, ReadsUtf8AndFallsBackPerByteWhereverTheInputIsCut)
{
    if (codecs::FallbackCodePage() != 1252)
        GTEST_SKIP() << "the locale names fallback code page " << codecs::FallbackCodePage();
    const DefaultCase& c = GetParam();
    for (size_t capacity : {1, 2, 3, 4096}) {
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << "cut at " << cut << ", capacity " << capacity);
            const Decoded d = DecodePieces(0, c.bytes, {cut}, capacity);
            ASSERT_FALSE(d.stalled);
            ASSERT_EQ(d.text, c.text);
            ASSERT_EQ(d.replaced, 0u);
        }
        const Decoded d = DecodePieces(0, c.bytes, EveryOffset(c.bytes.size()), capacity);
        EXPECT_EQ(d.text, c.text) << "byte by byte, capacity " << capacity;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DefaultCodePage, testing::ValuesIn(kDefaultCases), RowName());

TEST(DefaultCodePage, WritesUtf8)
{
    std::string bytes;
    ASSERT_TRUE(codecs::EncodeCodePage(0, u"café 😀", bytes));
    EXPECT_EQ(bytes, "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

TEST(DefaultCodePage, FallbackIsTheLocalesSingleByteCodePage)
{
    const struct {
        const char* locale;
        unsigned codePage;
    } rows[] = {
        {"ru_RU.KOI8-R", 20866},
        {"uk_UA.KOI8-U", 21866},
        {"ru_RU.CP1251", 1251},
        {"de_DE.ISO-8859-15@euro", 28605},
        {"pl_PL.ISO-8859-2", 28592},
        {"ar_EG.ISO-8859-6", 28596},  // not 708, which shares its table
        {"he_IL.ISO-8859-8", 28598},
        {"th_TH.TIS-620", 874},
        {"se_NO.ISO-8859-10", 28600},
        {"ro_RO.ISO-8859-16", 28606},  // tables read from glibc count too
        {"vi_VN.VISCII", 65010},
        {"en_US.UTF-8", 1252},
        {"en_US.utf8", 1252},
        {"C", 1252},
        {"POSIX", 1252},
        {"C.UTF-8", 1252},
        {"en_US.ANSI_X3.4-1968", 1252},
        {"ja_JP.eucJP", 1252},  // multi-byte
        {"zh_CN.GB18030", 1252},
        {"ko_KR.EUC-KR", 1252},
        {"xx_YY.NOT-A-CHARSET", 1252},
        {"en_US.", 1252},
        {"", 1252},
    };
    for (const auto& row : rows)
        EXPECT_EQ(codecs::LegacyCodePageOfLocale(row.locale), row.codePage) << row.locale;
}

// ---------------------------------------------------------------------------

TEST(CodePageCatalogue, EveryCodePageOfTheCatalogueConvertsHere)
{
    const unsigned catalogue[] = {
        0,     37,    437,   500,   708,   720,   737,   775,   850,   852,   855,   857,   858,   860,   861,
        862,   863,   864,   865,   866,   869,   870,   874,   875,   932,   936,   949,   950,   1026,  1047,
        1140,  1200,  1201,  1250,  1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,  10000, 10006, 10007,
        10029, 10081, 12000, 12001, 20127, 20866, 20932, 21866, 28591, 28592, 28593, 28594, 28595, 28596, 28597,
        28598, 28599, 28600, 28603, 28605, 28606, 38598, 50220, 50221, 50222, 50225, 50227, 50229, 51932, 51936,
        51949, 51950, 52936, 54936, 65000, 65001, 65010, 1361,  1375,  1,     2,     3,  // symbolic numbers (42 writes
                                                                                         // no plain letter: see
                                                                                         // SymbolicCodePage)
    };
    for (unsigned cp : catalogue) {
        SCOPED_TRACE(cp);
        EXPECT_TRUE(codecs::IsValidCodePage(cp));
        EXPECT_TRUE(CodePageDecoder(cp).IsOpen());
        EXPECT_TRUE(CodePageEncoder(cp).IsOpen());
        std::string bytes;
        std::u16string back;
        uint64_t lost = 1;
        ASSERT_TRUE(codecs::EncodeCodePage(cp, u"Hello, World 42", bytes, &lost));
        EXPECT_EQ(lost, 0u);
        ASSERT_TRUE(codecs::DecodeCodePage(cp, bytes.data(), bytes.size(), back, &lost));
        EXPECT_EQ(back, u"Hello, World 42");
        EXPECT_EQ(lost, 0u);
        // Nothing in, nothing out; and a finished stream stays finished.
        ASSERT_TRUE(codecs::EncodeCodePage(cp, u"", bytes));
        EXPECT_EQ(Hex(bytes), "");
        CodePageEncoder encoder(cp);
        unsigned char out[64];
        encoder.Encode(u"Hi", 2, out, sizeof out, true);
        EXPECT_EQ(encoder.Encode(u"", 0, out, sizeof out, true).produced, 0u);
    }
}

TEST(CodePageCatalogue, RefusesNumbersItDoesNotKnow)
{
    for (unsigned cp : {4u, 41u, 999u, 1259u, 28601u, 65002u, 65011u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(cp);
        EXPECT_FALSE(codecs::IsValidCodePage(cp));
        EXPECT_FALSE(CodePageDecoder(cp).IsOpen());
        std::u16string text = u"kept?";
        EXPECT_FALSE(codecs::DecodeCodePage(cp, "abc", 3, text));
        EXPECT_TRUE(text.empty());
    }
}

// ---------------------------------------------------------------------------
// The symbolic numbers: 1 (OEM) is 437, 2 (Mac) is 10000, 3 (the thread's code
// page) is 0, and 42 is symbol.

TEST(SymbolicCodePage, OemAndMacCodePagesConvertAsTheirTables)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    for (const auto& [symbolic, real] : {std::pair{1u, 437u}, std::pair{2u, 10000u}}) {
        SCOPED_TRACE(symbolic);
        EXPECT_TRUE(codecs::IsValidCodePage(symbolic));
        EXPECT_EQ(CodePageDecoder(symbolic).GetCodePage(), symbolic);  // readers compare it
        std::u16string ours, theirs;
        uint64_t oursLost = 1, theirsLost = 2;
        ASSERT_TRUE(codecs::DecodeCodePage(symbolic, all.data(), all.size(), ours, &oursLost));
        ASSERT_TRUE(codecs::DecodeCodePage(real, all.data(), all.size(), theirs, &theirsLost));
        EXPECT_EQ(ours, theirs);
        EXPECT_EQ(oursLost, theirsLost);
        std::string encoded, expected;
        ASSERT_TRUE(codecs::EncodeCodePage(symbolic, theirs + u"€中", encoded, &oursLost));
        ASSERT_TRUE(codecs::EncodeCodePage(real, theirs + u"€中", expected, &theirsLost));
        EXPECT_EQ(Hex(encoded), Hex(expected));
        EXPECT_EQ(oursLost, theirsLost);
    }
    // A line of each, as glibc writes it.
    std::string bytes;
    ASSERT_TRUE(codecs::EncodeCodePage(1, u"Grüße ½ ░▒▓ │┤", bytes));
    EXPECT_EQ(IconvDecode("CP437", bytes), u"Grüße ½ ░▒▓ │┤");
    ASSERT_TRUE(codecs::EncodeCodePage(2, u"Façade naïve ‰ ﬁ", bytes));
    EXPECT_EQ(IconvDecode("MACINTOSH", bytes), u"Façade naïve ‰ ﬁ");
}

TEST(SymbolicCodePage, ThreadCodePageConvertsAsTheDefaultCodePage)
{
    EXPECT_TRUE(codecs::IsValidCodePage(3));
    const std::string_view bytes = "caf\xC3\xA9 \xE9t\xE9 \xF0\x9F\x98\x80 \x80";
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "cut at " << cut);
        const Decoded ours = DecodePieces(3, bytes, {cut}, 2);
        const Decoded theirs = DecodePieces(0, bytes, {cut}, 2);
        ASSERT_FALSE(ours.stalled);
        EXPECT_EQ(ours.text, theirs.text);
        EXPECT_EQ(ours.replaced, theirs.replaced);
    }
    EXPECT_EQ(DecodePieces(3, bytes, {}, 64).text.substr(0, 5), u"café ");
    std::string out;
    ASSERT_TRUE(codecs::EncodeCodePage(3, u"café 😀", out));
    EXPECT_EQ(out, "caf\xC3\xA9 \xF0\x9F\x98\x80");
}

TEST(SymbolicCodePage, SymbolMapsBytesToThePrivateUseGlyphsAndBack)
{
    EXPECT_TRUE(codecs::IsValidCodePage(42));
    std::string all;
    std::u16string expected;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
        expected += static_cast<char16_t>(b < 0x20 ? b : 0xF000 + b);
    }
    uint64_t lost = 1;
    std::u16string text;
    ASSERT_TRUE(codecs::DecodeCodePage(42, all.data(), all.size(), text, &lost));
    EXPECT_EQ(AsBytes(text), AsBytes(expected));
    EXPECT_EQ(lost, 0u);
    std::string back;
    ASSERT_TRUE(codecs::EncodeCodePage(42, text, back, &lost));
    EXPECT_EQ(Hex(back), Hex(all));
    EXPECT_EQ(lost, 0u);
    // Characters outside the two ranges, plain letters included, are the default character.
    ASSERT_TRUE(codecs::EncodeCodePage(42, u"\uF061A\uF01F\uF100\t😀", back, &lost));
    EXPECT_EQ(Hex(back), Hex("a???\t?"));
    EXPECT_EQ(lost, 4u);
}

}  // namespace
