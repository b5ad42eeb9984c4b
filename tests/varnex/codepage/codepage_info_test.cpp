#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "codecs/codepage.h"
#include "support/temp_dir.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/varnex_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct Row {
    int codepage;
    int fontCharset;
    const char16_t* name;
    const char16_t* shortName;
    const char16_t* group;
};

// The fixed head of the catalogue, typing slips included: users' filters and
// exports hold these texts.
constexpr Row kFixedRows[] = {
    {-1, 1, u"Binary", u"Binary", u"N/A"},
    {0, 1, u"ASCII/UTF-8", u"ASCII", u"System Default"},
    {1252, 0, u"Western (Windows-1252)", u"Windows-1252", u"Western"},
    {65001, 1, u"Unicode (UTF-8)", u"UTF-8", u"Global"},
    {1200, 1, u"Unicode (UTF-16 Little Endian)", u"UTF-16LE", u"Global"},
    {1201, 1, u"Unicode (UTF-16 Big Endian)", u"UTF-16BE", u"Global"},
    {12000, 1, u"Unicode (UTF-32 Little Endian)", u"UTF-32LE", u"Global"},
    {12001, 1, u"Unicode (UTF-32 Big Endian)", u"UTF-32BE", u"Global"},
    {3412, 1, u"Unicode (UCS-4-3412)", u"UCS-4-3412", u"Global"},
    {2143, 1, u"Unicode (UCS-4-2143)", u"UCS-4-2143", u"Global"},
    {855, 204, u"Cyrillic (IBM855)", u"IBM85", u"Cyrillic"},
    {866, 204, u"Cyrillic (IBM866)", u"IBM866", u"Cyrillic"},
    {1251, 204, u"Cyrillic (Windows-1251)", u"Windows-1251", u"Cyrillic"},
    {10007, 204, u"Cyrillic (MAC-Cyrillic)", u"MAC-Cyrillic", u"Cyrillic"},
    {28595, 204, u"Cyrillic (ISO-8859-5)", u"ISO-8859-5", u"Cyrillic"},
    {20866, 204, u"Cyrillic (KOI8-R", u"KOI8-4", u"Cyrillic"},
    {1253, 161, u"Greek (Windows-1253)", u"Windows-1253", u"Greek"},
    {28597, 161, u"Greek (ISO-8859-7)", u"ISO-8859-7", u"Greek"},
    {28598, 177, u"Hebrew (ISO-8859-8)", u"ISO-8859-8", u"Hebrew"},
    {1255, 177, u"Hebrew (Windows-1255)", u"Windows-1255", u"Hebrew"},
    {950, 136, u"Chinese (Big5)", u"Big5", u"Chinese"},
    {51950, 136, u"Chinese (EUC-TW)", u"EUC-TW", u"Chinese"},
    {936, 134, u"Chinese (GB2312)", u"GB2312", u"Chinese"},
    {50227, 134, u"Chinese (ISO-2022-CN)", u"ISO-2022-CN", u"Chinese"},
    {52936, 134, u"Chinese (HZ-GB-2312)", u"HZ-GB-2312", u"Chinese"},
    {54936, 134, u"Chinese (GB18030)", u"GB18030", u"Chinese"},
    {932, 128, u"Japanese (Shift-JIS)", u"Shift-JIS", u"Japanese"},
    {20932, 128, u"Japanese (EUC-JP)", u"EUC-JP", u"Japanese"},
    {50222, 128, u"Japanese (JIS-Allow 1 byte Kana - SO/SI)", u"JIS", u"Japanese"},
    {50225, 130, u"Korean (ISO-2022-KR)", u"ISO-2022-KR", u"Korean"},
    {51949, 130, u"Korean (EUC-KR)", u"EUC-KR", u"Korean"},
    {28592, 238, u"Central European (ISO-8859-2)", u"ISO-8859-2", u"Central European"},
    {1250, 238, u"Central European (Windows-1250)", u"Windows-1250", u"Central European"},
    {874, 222, u"Thai (Windows-874)", u"Windows-874", u"Thai"},
};

std::string Utf8(const std::u16string& s)
{
    return text::ToUtf8(s);
}

TEST(CodepageCatalogue, StartsWithTheFixedRowsVerbatimAndInOrder)
{
    const CCodepageInfoCache& cache = CCodepageInfo::GetCodepageInfoCache();
    ASSERT_GE(cache.size(), std::size(kFixedRows));
    for (size_t i = 0; i < std::size(kFixedRows); ++i) {
        const Row& want = kFixedRows[i];
        const CCodepageInfo* got = cache[i];
        SCOPED_TRACE("row " + std::to_string(i + 1) + ": " + std::to_string(want.codepage));
        ASSERT_NE(got, nullptr);
        EXPECT_EQ(got->GetCodepage(), want.codepage);
        EXPECT_EQ(got->GetFontLocaleFamily(), want.fontCharset);
        EXPECT_EQ(Utf8(got->GetCodepageName()), Utf8(want.name));
        EXPECT_EQ(Utf8(got->GetCodepageShortName()), Utf8(want.shortName));
        EXPECT_EQ(Utf8(got->GetLanguageGroup()), Utf8(want.group));
    }
}

TEST(CodepageCatalogue, ExtraRowsFollowWithUniqueNumbersAndFullTexts)
{
    const CCodepageInfoCache& cache = CCodepageInfo::GetCodepageInfoCache();
    std::set<int> seen;
    for (size_t i = 0; i < cache.size(); ++i) {
        const CCodepageInfo* info = cache[i];
        SCOPED_TRACE("entry " + std::to_string(i) + ": " + std::to_string(info->GetCodepage()));
        EXPECT_TRUE(seen.insert(info->GetCodepage()).second) << "number used twice";
        EXPECT_FALSE(info->GetCodepageName().empty());
        EXPECT_FALSE(info->GetCodepageShortName().empty());
        EXPECT_FALSE(info->GetLanguageGroup().empty());
        if (i >= std::size(kFixedRows)) {
            // An extra row is a real code page shown by its own name.
            EXPECT_GT(info->GetCodepage(), 0);
            EXPECT_NE(info->GetCodepageName().find(info->GetCodepageShortName()), std::u16string::npos);
        }
    }
    // The extra rows the detector needs, so that no text finding lacks an entry.
    for (int codepage : {28605, 852,  10029, 28606, 28593, 28599, 28594, 28603, 1257, 28600, 1256,  28596, 1258,
                         65010, 1254, 949,   21866, 10000, 1375,  50220, 50221, 1361, 850,   28591, 20127})
        EXPECT_TRUE(seen.count(codepage)) << codepage;
}

TEST(CodepageCatalogue, LooksUpEveryEntryByNumberAndRefusesOthers)
{
    const CCodepageInfoCache& cache = CCodepageInfo::GetCodepageInfoCache();
    for (const CCodepageInfo* info : cache) {
        SCOPED_TRACE(info->GetCodepage());
        EXPECT_EQ(CCodepageInfo::GetCodepageInfo(info->GetCodepage()), info);
        EXPECT_EQ(cache.GetCodepageInfo(info->GetCodepage()), info);
    }
    EXPECT_EQ(Utf8(CCodepageInfo::GetCodepageInfo(-1)->GetCodepageName()), "Binary");
    EXPECT_EQ(Utf8(CCodepageInfo::GetCodepageInfo(0)->GetCodepageName()), "ASCII/UTF-8");
    for (int unknown : {437, -2, 1, 65000, 20})
        EXPECT_EQ(CCodepageInfo::GetCodepageInfo(unknown), nullptr) << unknown;
}

TEST(CodepageCatalogue, NamesMeanTheirOwnCodePage)
{
    // Latin-1 and ASCII are pages of their own under every common name; their neighbours keep theirs.
    const std::pair<const char16_t*, int> names[] = {
        {u"latin1", 28591},         {u"ISO-8859-1", 28591}, {u"iso_8859-1", 28591},  {u"l1", 28591},
        {u"IBM819", 28591},         {u"ascii", 20127},      {u"US-ASCII", 20127},    {u"us", 20127},
        {u"ANSI_X3.4-1968", 20127}, {u"cp1252", 1252},      {u"ISO-8859-15", 28605}, {u"0", 0},
    };
    for (const auto& [name, codepage] : names) {
        const CCodepageInfo* info = CCodepageInfo::GetCodepageInfoByName(name);
        EXPECT_EQ(info ? info->GetCodepage() : -2, codepage) << Utf8(name);
    }
    // The pseudo entries go by number only.
    for (const char16_t* name : {u"Binary", u"ASCII/UTF-8"})
        EXPECT_EQ(CCodepageInfo::GetCodepageInfoByName(name), nullptr) << Utf8(name);
}

TEST(CodepageList, TakesTheMapKeysInSignedOrderAndDropsWhatItHeld)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int, unsigned>> map;
        std::vector<unsigned> expected;
    };
    const Case cases[] = {
        {"empty map", {}, {}},
        {"binary sorts first", {{1252, 3}, {-1, 7}, {65001, 0}}, {0xFFFFFFFFu, 1252u, 65001u}},
        {"counts are ignored", {{936, 100}, {0, 1}}, {0u, 936u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CLockableMap<int, unsigned int> statistics;
        for (const auto& [codepage, count] : c.map)
            statistics[codepage] = count;
        CCodepageList list;
        list.push_back(42);  // whatever the list held goes
        list = statistics;
        EXPECT_EQ(std::vector<unsigned>(list.begin(), list.end()), c.expected);
    }
}

// --- Every real code page carries text of its script --------------------------

struct ScriptSample {
    int codepage;
    const char16_t* sample;
    // ICU has no table for it yet; the platform layer is to get one.
    bool expectedUnavailable = false;
};

const ScriptSample kSamples[] = {
    {0, u"Plain text, and UTF-8: Grüße"},
    {1252, u"Façade naïve, déjà vu – 5 € „quoted“"},
    {65001, nullptr},
    {1200, nullptr},
    {1201, nullptr},
    {12000, nullptr},
    {12001, nullptr},
    {3412, nullptr},
    {2143, nullptr},
    {855, u"Съешь же ещё этих мягких французских булок"},
    {866, u"Съешь же ещё этих мягких французских булок"},
    {1251, u"Съешь же ещё этих мягких французских булок"},
    {10007, u"Съешь же ещё этих мягких французских булок"},
    {28595, u"Съешь же ещё этих мягких французских булок"},
    {20866, u"Съешь же ещё этих мягких французских булок"},
    {1253, u"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία"},
    {28597, u"Ξεσκεπάζω την ψυχοφθόρα βδελυγμία"},
    {28598, u"דג סקרן שט בים מאוכזב ולפתע מצא חברה"},
    {1255, u"דג סקרן שט בים מאוכזב ולפתע מצא חברה"},
    {950, u"臺灣的夜市小吃聞名世界"},
    {51950, u"臺灣的夜市小吃聞名世界"},
    {936, u"中华人民共和国的首都是北京"},
    {50227, u"中华人民共和国的首都是北京"},
    {52936, u"中华人民共和国的首都是北京"},
    {54936, u"中华人民共和国的首都是北京 😀"},
    {932, u"日本語のテキスト、カタカナとひらがな"},
    {20932, u"日本語のテキスト、カタカナとひらがな"},
    {50222, u"日本語のテキスト、カタカナとひらがな"},
    {50225, u"다람쥐 헌 쳇바퀴에 타고파"},
    {51949, u"다람쥐 헌 쳇바퀴에 타고파"},
    {28592, u"Zażółć gęślą jaźń; Příliš žluťoučký kůň"},
    {1250, u"Zażółć gęślą jaźń; Příliš žluťoučký kůň"},
    {874, u"เป็นมนุษย์สุดประเสริฐเลิศคุณค่า"},
    {28605, u"Œuvre, façade, 5 €, Šš Žž Ÿ"},
    {852, u"Zażółć gęślą jaźń; Příliš žluťoučký kůň"},
    {10029, u"Zażółć gęślą jaźń; Příliš žluťoučký kůň"},
    {28606, u"Științele și tehnica în România"},
    {28593, u"Ħaġar Qim, ċ ġ ħ ż; ĉu ŝi ŭ"},
    {28599, u"Pijamalı hasta yağız şoföre çabucak güvendi"},
    {28594, u"Ąžuolų šaka, ēna, ģimene, ķēķis, ļaudis, ņem"},
    {28603, u"Ąžuolų šaka, ēna, ģimene, ķēķis, ļaudis, ņem"},
    {1257, u"Ąžuolų šaka, ēna, ģimene, ķēķis, ļaudis, ņem"},
    {28600, u"Þórður, Ægir, ðæ; Sámi: Đđ Ŋŋ Ŧŧ"},
    {1256, u"مرحبا بالعالم"},
    {28596, u"مرحبا بالعالم"},
    // Windows-1258 writes most tone marks as combining characters.
    {1258, u"Ti\u00EA\u0301ng Vi\u00EA\u0323t"},
    {65010, u"Tiếng Việt"},
    {1254, u"Pijamalı hasta yağız şoföre çabucak güvendi – „tırnak“ €"},
    {949, u"똠방각하 쓩 뷁 햏 다람쥐 헌 쳇바퀴에 타고파"},
    {21866, u"Їжак, єнот і ґава: Чуєш їх, доцю, га? Кумедна ж ти, прощайся без ґольфів!"},
    {10000, u"Façade naïve, déjà vu – “quoted” ™ ∑ π"},
    {1375, u"佢哋食咗飯未呀？冇嘢㗎 臺灣"},
    {50220, u"日本語のテキスト、カタカナとひらがな"},
    {50221, u"日本語のテキスト、カタカナとひらがな"},
    {1361, u"똠방각하 ㄱㄳㅏ ※ 漢字 다람쥐 헌 쳇바퀴에 타고파"},
    {850, u"Dès Noël où un zéphyr haï me vêt de glaçons würmiens ÆØÅ æøå ß"},
    {28591, u"Dès Noël où un zéphyr haï me vêt de glaçons würmiens ÆØÅ æøå ß ¤ \u0080\u009F"},
    {20127, u"Plain 7-bit text: [brackets], {braces}, ~tilde, \\backslash"},
};

TEST(CodepageCatalogue, EverySampleRowNamesACatalogueEntryAndEveryEntryHasARow)
{
    std::set<int> sampled;
    for (const ScriptSample& s : kSamples) {
        EXPECT_NE(CCodepageInfo::GetCodepageInfo(s.codepage), nullptr) << s.codepage;
        sampled.insert(s.codepage);
    }
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache()) {
        if (info->GetCodepage() != -1) {
            EXPECT_TRUE(sampled.count(info->GetCodepage())) << info->GetCodepage() << " has no sample";
        }
    }
    EXPECT_FALSE(CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(-1)));
}

class ScriptSampleRoundTrip : public testing::TestWithParam<ScriptSample> { };

TEST_P(ScriptSampleRoundTrip, DecodesAndEncodesWithoutReplacement)
{
    const ScriptSample& s = GetParam();
    const auto codepage = static_cast<unsigned>(s.codepage);
    if (s.expectedUnavailable) {
        // Not convertible here yet, so it must not be offered for assignment.
        EXPECT_FALSE(CTextFileConverter::IsLegalCodepage(codepage));
        return;
    }
    ASSERT_TRUE(CTextFileConverter::IsLegalCodepage(codepage));

    const std::u16string sample = s.sample ? std::u16string(s.sample) : varnex_test::kMultilingual;
    std::string bytes;
    if (CTextFileConverter::IsUTFCodepage(codepage)) {
        bytes = varnex_test::EncodeUnicodeForm(codepage, sample);
    } else {
        uint64_t replaced = 1;
        ASSERT_TRUE(codecs::EncodeCodePage(codepage, sample, bytes, &replaced));
        EXPECT_EQ(replaced, 0u);
        std::u16string back;
        replaced = 1;
        ASSERT_TRUE(codecs::DecodeCodePage(codepage, bytes.data(), bytes.size(), back, &replaced));
        EXPECT_EQ(Utf8(back), Utf8(sample));
        EXPECT_EQ(replaced, 0u);
    }

    // And the same bytes through a whole conversion to UTF-16LE.
    TempDir dir;
    WriteBytes(dir.File("in.txt"), bytes);
    CTextFileConverter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
    ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), codepage, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE,
                                CTextFileConverter::RETURNTYPE_NOCHANGE, false),
              CTextFileConverter::CONVERTRESULT_OK);
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), varnex_test::IcuEncode("UTF-16LE", sample));
    EXPECT_EQ(converter.GetReplacementCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, ScriptSampleRoundTrip, testing::ValuesIn(kSamples),
                         [](const testing::TestParamInfo<ScriptSample>& row) {
                             return "cp" + std::to_string(row.param.codepage) +
                                    (row.param.expectedUnavailable ? "_expectedUnavailable" : "");
                         });

}  // namespace
