#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "textrion/io/file_sample.h"
#include "varnex/codepage/codepage_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/varnex_test_util.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;
using varnex_test::Iconv;
using varnex_test::IcuEncode;

constexpr unsigned kBlock = 2048;
constexpr unsigned kLimitMB = 4;
constexpr float kCertain = 0.99f;

struct Finding {
    int codepage;
    float confidence;
    bool certain;
    uint64_t fed;
    bool failed;
};

Finding Detect(const std::u16string& path, unsigned block = kBlock, unsigned limitMB = kLimitMB,
               bool reportGB18030 = false)
{
    CCodepageDetector detector(path.c_str(), block, limitMB, reportGB18030);
    const bool certain = detector.Detect();
    return {detector.GetCodepage(), detector.GetConfidence(), certain, detector.GetBytesFed(), detector.HasFailed()};
}

Finding DetectBytes(const std::string& bytes, unsigned block = kBlock, bool reportGB18030 = false)
{
    TempDir dir;
    WriteBytes(dir.File("sample.txt"), bytes);
    return Detect(dir.File16("sample.txt"), block, kLimitMB, reportGB18030);
}

// --- Charset names ------------------------------------------------------------

TEST(CodepageDetector, MapsEveryCharsetNameToItsCodepage)
{
    struct Case {
        const char* name;
        int codepage;
    };
    const Case cases[] = {
        {"UTF-8", 65001},       {"SHIFT_JIS", 932},     {"EUC-JP", 20932},
        {"GB18030", 936},       {"UHC", 51949},         {"EUC-KR", 51949},
        {"BIG5", 950},          {"EUC-TW", 51950},      {"HZ-GB-2312", 52936},
        {"ISO-2022-CN", 50227}, {"ISO-2022-JP", 50222}, {"ISO-2022-KR", 50225},
        {"WINDOWS-1252", 1252}, {"ISO-8859-1", 1252},   {"WINDOWS-1251", 1251},
        {"KOI8-R", 20866},      {"ISO-8859-5", 28595},  {"MAC-CYRILLIC", 10007},
        {"IBM866", 866},        {"IBM855", 855},        {"ISO-8859-7", 28597},
        {"WINDOWS-1253", 1253}, {"WINDOWS-1255", 1255}, {"ISO-8859-8", 28598},
        {"ASCII", 0},           {"ISO-8859-2", 28592},  {"WINDOWS-1250", 1250},
        {"TIS-620", 874},       {"ISO-8859-11", 874},   {"ISO-8859-3", 28593},
        {"ISO-8859-4", 28594},  {"ISO-8859-6", 28596},  {"ISO-8859-9", 28599},
        {"ISO-8859-10", 28600}, {"ISO-8859-13", 28603}, {"ISO-8859-15", 28605},
        {"ISO-8859-16", 28606}, {"WINDOWS-1256", 1256}, {"WINDOWS-1257", 1257},
        {"WINDOWS-1258", 1258}, {"IBM852", 852},        {"MAC-CENTRALEUROPE", 10029},
        {"VISCII", 65010},      {"UTF-16", 1200},       {"UTF-32", 12000},
        {"Shift_JIS", 932},     {"windows-1255", 1255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CCodepageDetector::CodepageOfCharset(c.name, false), c.codepage);
        EXPECT_NE(CCodepageInfo::GetCodepageInfo(c.codepage), nullptr);
    }
    EXPECT_EQ(CCodepageDetector::CodepageOfCharset("GB18030", true), 54936);
    EXPECT_EQ(CCodepageDetector::CodepageOfCharset("BIG5", true), 950);
    EXPECT_EQ(CCodepageDetector::CodepageOfCharset("KLINGON-1", false), -1);
    EXPECT_EQ(CCodepageDetector::CodepageOfCharset(nullptr, false), -1);
}

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Collect(const std::string& text, const std::regex& pattern, std::set<std::string>& names)
{
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
}

// Every name the library can hand over, read from its sources: the language
// models, the escape-sequence machines, the probers' own names, the Hebrew
// decision and the literals of the universal detector.
std::set<std::string> ReportableCharsetNames()
{
    const std::filesystem::path src = std::filesystem::path(VARNEL_UCHARDET_SOURCE_DIR) / "src";
    std::set<std::string> names;
    const std::regex modelName(R"re(\n\s*"([A-Za-z0-9_-]+)"\s*,?\s*\n)re");
    for (const auto& entry : std::filesystem::directory_iterator(src / "LangModels"))
        Collect(ReadText(entry.path()), modelName, names);
    Collect(ReadText(src / "nsEscSM.cpp"), modelName, names);
    for (const auto& entry : std::filesystem::directory_iterator(src))
        if (entry.path().extension() == ".h")
            Collect(ReadText(entry.path()), std::regex(R"re(GetCharSetName\(\)\s*\{\s*return\s*"([^"]+)")re"), names);
    Collect(ReadText(src / "nsHebrewProber.cpp"), std::regex(R"re(#define \w+_HEBREW_NAME \("([^"]+)"\))re"), names);
    Collect(ReadText(src / "nsUniversalDetector.cpp"), std::regex(R"re(mDetectedCharset = "([^"]+)")re"), names);
    return names;
}

TEST(CodepageDetector, MapsEveryNameTheDetectorLibraryCanReport)
{
    const std::set<std::string> names = ReportableCharsetNames();
    // A sanity floor, so that a moved source tree cannot pass unseen.
    ASSERT_GE(names.size(), 40u);
    for (const char* known : {"UHC", "ISO-8859-8", "ISO-2022-JP", "UTF-16", "UTF-32", "ASCII", "VISCII"})
        EXPECT_TRUE(names.count(known)) << known;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const int codepage = CCodepageDetector::CodepageOfCharset(name.c_str(), false);
        EXPECT_NE(codepage, -1);
        EXPECT_NE(CCodepageInfo::GetCodepageInfo(codepage), nullptr);
    }
}

// --- Reporting rules ------------------------------------------------------------

std::string Repeat(const std::string& s, size_t times)
{
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += s;
    return out;
}

const std::string kAscii = Repeat("The quick brown fox jumps over the lazy dog.\r\n", 20);

TEST(CodepageDetector, AppliesTheReportingRules)
{
    const std::u16string japanese = u"日本語のテキストです。カタカナもあります。";
    const std::u16string chinese = u"中华人民共和国的首都是北京。";
    const std::u16string korean = u"대한민국의 수도는 서울이다.";
    struct Case {
        const char* name;
        std::string bytes;
        int codepage;
        float confidence;  // at least this; exactly 0 when nothing is found
    };
    const Case cases[] = {
        {"7-bit text", kAscii, 0, kCertain},
        {"7-bit text with NBSP bytes",
         "Price:\xA0"
         "100\xA0"
         "EUR\n" +
             kAscii,
         0, kCertain},
        {"7-bit text with terminal escapes", "\x1B[31mred\x1B[0m plain\n" + kAscii, 0, kCertain},
        {"7-bit text with two zero bytes", kAscii + std::string(2, '\0') + kAscii, 0, kCertain},
        {"7-bit text with three zero bytes in its one block", kAscii + std::string(3, '\0') + kAscii, -1, 0},
        {"three zero bytes in the first block, none in the next", std::string(3, '\0') + Repeat(kAscii, 4), 0,
         kCertain},
        {"ISO-2022-JP", Iconv("ISO-2022-JP", japanese), 50222, kCertain},
        {"ISO-2022-KR", Iconv("ISO-2022-KR", korean), 50225, kCertain},
        {"ISO-2022-CN", Iconv("ISO-2022-CN", chinese), 50227, kCertain},
        {"ISO-2022-CN, CNS plane 2 designator", "plain \x1B$*H\x1BN!!", 50227, kCertain},
        {"HZ", "Chinese is ~{VPND~} in HZ.\n" + kAscii, 52936, kCertain},
        {"UTF-8", IcuEncode("UTF-8", varnex_test::kRussianProse), 65001, 0.9f},
        {"UTF-16LE ASCII without mark", IcuEncode("UTF-16LE", std::u16string(kAscii.begin(), kAscii.end())), -1, 0},
        {"UTF-16LE French without mark", IcuEncode("UTF-16LE", varnex_test::kFrenchProse), -1, 0},
        {"UTF-16BE Russian without mark", IcuEncode("UTF-16BE", varnex_test::kRussianProse), -1, 0},
        {"UTF-32LE without mark", IcuEncode("UTF-32LE", varnex_test::kFrenchProse), -1, 0},
        {"UTF-16LE ASCII whose last block is short",
         IcuEncode("UTF-16LE", std::u16string(2 * kBlock / 2, u'a') + u"\n"), -1, 0},
        {"UTF-16LE mark", "\xFF\xFE" + IcuEncode("UTF-16LE", u"text"), 1200, kCertain},
        {"UTF-16BE mark", "\xFE\xFF" + IcuEncode("UTF-16BE", u"text"), 1201, kCertain},
        {"UTF-32LE mark", std::string("\xFF\xFE\0\0", 4) + IcuEncode("UTF-32LE", u"text"), 12000, kCertain},
        {"UTF-32BE mark", std::string("\0\0\xFE\xFF", 4) + IcuEncode("UTF-32BE", u"text"), 12001, kCertain},
        {"UCS-4 3412 mark", std::string("\xFE\xFF\0\0", 4) + varnex_test::EncodeUnicodeForm(3412, u"text"), 3412,
         kCertain},
        {"UTF-8 mark", "\xEF\xBB\xBF" + kAscii, 65001, kCertain},
        {"empty", "", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Finding f = DetectBytes(c.bytes);
        EXPECT_EQ(f.codepage, c.codepage);
        if (c.confidence == 0) {
            EXPECT_EQ(f.confidence, 0.0f);
        } else {
            EXPECT_GE(f.confidence, c.confidence);
            EXPECT_LE(f.confidence, 1.0f);
        }
        EXPECT_FALSE(f.failed);
    }
}

TEST(CodepageDetector, FindsTheCodepageOfProse)
{
    using namespace varnex_test;
    struct Case {
        const char* charset;  // ICU's name
        const std::u16string& text;
        std::set<int> codepages;  // any of these: some code pages agree on every byte of the text
        float confidence;
    };
    const Case cases[] = {
        {"KOI8-R", kRussianProse, {20866}, 0.7f},
        {"windows-1251", kRussianProse, {1251}, 0.7f},
        {"ibm-866", kRussianProse, {866}, 0.7f},
        {"ISO-8859-5", kRussianProse, {28595}, 0.7f},
        {"x-mac-cyrillic", kRussianProse, {10007}, 0.7f},
        {"ibm-855", kRussianProse, {855}, 0.7f},
        {"ISO-8859-7", kGreekProse, {28597, 1253}, 0.7f},
        {"Shift_JIS", kJapaneseProse, {932}, kCertain},
        {"EUC-JP", kJapaneseProse, {20932}, kCertain},
        {"GB18030", kChineseProse, {936}, kCertain},
        {"Big5", kTraditionalChineseProse, {950}, kCertain},
        {"EUC-TW", kTraditionalChineseProse, {51950}, kCertain},
        {"EUC-KR", kKoreanProse, {51949}, kCertain},
        {"windows-1252", kFrenchProse, {1252}, 0.7f},
        {"windows-1255", kHebrewProse, {1255}, 0.7f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.charset);
        const Finding f = DetectBytes(IcuEncode(c.charset, c.text));
        EXPECT_TRUE(c.codepages.count(f.codepage)) << "found " << f.codepage;
        EXPECT_GE(f.confidence, c.confidence);
    }
}

// Paragraphs of their own, apart from the corpus the rules were measured on.
const std::u16string kMacFrench =
    u"Le vieux marché de la place était déjà plein quand nous sommes arrivés. Les marchands déballaient leurs "
    u"légumes, et l'odeur du pain chaud flottait près de la boulangerie. Ma grand-mère achetait des pêches mûres, "
    u"puis elle s'arrêtait au café pour boire un crème. Ça me paraissait être le plus bel endroit du monde.";
const std::u16string kMacGerman =
    u"Über die Brücke gingen wir langsam zurück, während die Sonne hinter den Hügeln verschwand. Mein Großvater "
    u"erzählte von früheren Zeiten, als die Straßen noch nicht geteert waren. Später saßen wir in der Küche, "
    u"tranken heißen Tee und hörten dem Regen zu, der gegen die Fenster schlug.";
const std::u16string kMacPortuguese =
    u"Quando chegámos à aldeia, a praça já estava cheia de gente. As crianças corriam à volta da fonte e os velhos "
    u"conversavam à sombra das árvores. A minha tia preparou um jantar extraordinário: bacalhau com batatas, pão "
    u"acabado de sair do forno e um vinho da região. Ninguém queria voltar tão cedo para casa.";
const std::u16string kMacSwedish =
    u"När vi kom fram till byn var torget redan fullt av folk. Barnen sprang runt fontänen och de gamla pratade i "
    u"skuggan under träden. Min moster lagade en fantastisk middag: köttbullar, nybakat bröd och lingonsylt. "
    u"Efteråt gick vi en promenad längs ån under en himmel full av stjärnor. Det var en kväll vi aldrig glömmer.";
const std::u16string kMacBulgarian =
    u"Когато пристигнахме в селото, площадът вече беше пълен с хора. Децата тичаха около чешмата, а старците си "
    u"говореха на сянка под дърветата. Леля ми приготви невероятна вечеря: баница, прясно изпечен хляб и домашно "
    u"вино. След това се разходихме покрай реката под небе, пълно със звезди. Това беше вечер, която помня.";

TEST(CodepageDetector, ReadsMacAndDosTextTheStatisticsGiveToAWindowsPage)
{
    struct Case {
        const char* charset;  // ICU's name
        const std::u16string& text;
        int codepage;
    };
    const Case cases[] = {
        {"macintosh", kMacFrench, 10000},
        {"macintosh", kMacGerman, 10000},
        {"macintosh", kMacPortuguese, 10000},
        {"macintosh", kMacSwedish, 10000},
        {"x-mac-cyrillic", kMacBulgarian, 10007},
        {"x-mac-cyrillic", varnex_test::kRussianProse, 10007},
        {"ibm-850", kMacFrench, 850},
        {"ibm-850", kMacGerman, 850},
        {"ibm-850", kMacSwedish, 850},
        // The Windows pages' own text keeps its finding.
        {"windows-1252", kMacFrench, 1252},
        {"windows-1252", kMacGerman, 1252},
        {"windows-1252", kMacPortuguese, 1252},
        {"windows-1252", kMacSwedish, 1252},
        {"windows-1251", kMacBulgarian, 1251},
        {"windows-1251", varnex_test::kRussianProse, 1251},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.charset) + " " + std::to_string(c.codepage));
        const Finding f = DetectBytes(IcuEncode(c.charset, c.text));
        EXPECT_EQ(f.codepage, c.codepage);
        EXPECT_GE(f.confidence, 0.6f);
    }
}

TEST(CodepageDetector, TakesNoUtf8ThatTurnsInvalid)
{
    // Two well-formed UTF-8 characters, then windows-1252 text: the UTF-8
    // prober of the detector library stops counting at the first bad byte
    // but would still claim 0.75.
    const std::string bytes = "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 " + IcuEncode("windows-1252", varnex_test::kFrenchProse);
    const Finding f = DetectBytes(bytes);
    EXPECT_EQ(f.codepage, 1252);
    EXPECT_GT(f.confidence, 0.2f);
    // Valid UTF-8 with as few characters stays UTF-8.
    EXPECT_EQ(DetectBytes("Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu\n" + kAscii).codepage, 65001);
}

// The blocks cut characters of two to four bytes anywhere: the UTF-8 check
// carries a cut one over, and still finds a bad byte right after a cut.
TEST(CodepageDetector, ChecksUtf8AcrossEveryBlockCut)
{
    const std::string valid = "Caf\xC3\xA9 \xE2\x80\x99 \xF0\x9F\x98\x80 d\xC3\xA9j\xC3\xA0 vu\n" + kAscii;
    const std::string badAfterLead = "Caf\xC3\xA9 \xE2\x80\x99 \xE2\x28 d\xC3\xA9j\xC3\xA0 vu\n" + kAscii;
    for (unsigned block : {1u, 2u, 3u, 7u, kBlock}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(DetectBytes(valid, block).codepage, 65001);
        EXPECT_NE(DetectBytes(badAfterLead, block).codepage, 65001);
    }
}

TEST(CodepageDetector, ReportsGB18030OnlyWhenAsked)
{
    const std::string bytes = IcuEncode("GB18030", varnex_test::kChineseProse);
    EXPECT_EQ(DetectBytes(bytes, kBlock, false).codepage, 936);
    EXPECT_EQ(DetectBytes(bytes, kBlock, true).codepage, 54936);
}

TEST(CodepageDetector, JudgesBy8BitBytesAfterA7BitFirstBlock)
{
    // A UTF-8 file whose first blocks are plain ASCII is still UTF-8, not
    // code page 0 (which would read it in the fallback code page).
    const std::string bytes = Repeat("x", 3 * kBlock) + IcuEncode("UTF-8", varnex_test::kRussianProse);
    for (unsigned block : {kBlock, 512u, 7u}) {
        SCOPED_TRACE(block);
        const Finding f = DetectBytes(bytes, block);
        EXPECT_EQ(f.codepage, 65001);
    }
}

TEST(CodepageDetector, GivesShortRandomBytesNoSureFinding)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(8 + random() % 56, '\0');
        for (char& b : bytes)
            b = static_cast<char>(0x80 | random());  // all 8-bit: no 7-bit verdict possible
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(bytes.size()) + " bytes");
        const Finding f = DetectBytes(bytes);
        if (f.codepage != -1) {
            EXPECT_LT(f.confidence, 0.7f) << "found " << f.codepage;
        }
    }
}

// Everything a run reports, to compare two runs.
struct FullFinding {
    int codepage;
    float confidence;
    bool certain;
    uint64_t fed;
    bool failed;
    bool c1;
    uint64_t nonAscii;
    unsigned distinctNonAscii;
    double mixedCase;
    double symbolShare;
    uint64_t symbolsInWords;
    bool operator==(const FullFinding&) const = default;
};

FullFinding Report(CCodepageDetector& detector, bool certain)
{
    return {detector.GetCodepage(),
            detector.GetConfidence(),
            certain,
            detector.GetBytesFed(),
            detector.HasFailed(),
            detector.HasC1Controls(),
            detector.GetNonAsciiBytes(),
            detector.GetDistinctNonAsciiBytes(),
            detector.GetMixedCaseShare(),
            detector.GetSymbolInWordShare(),
            detector.GetSymbolsInWords()};
}

std::ostream& operator<<(std::ostream& out, const FullFinding& f)
{
    return out << "codepage " << f.codepage << ", confidence " << f.confidence << ", certain " << f.certain << ", fed "
               << f.fed << ", failed " << f.failed << ", c1 " << f.c1 << ", non-ASCII " << f.nonAscii;
}

TEST(CodepageDetector, FindsTheSameInASampleHeldWholeAsInOneReadBlockByBlock)
{
    // Plain 7-bit data held whole is judged without feeding it; everything
    // near that case must come out as when every block is fed.
    const std::string tilde = Repeat("a", kBlock - 1) + "~" + "{VPND~}" + kAscii;
    const std::string ascii1MB = Repeat(kAscii, (1u << 20) / kAscii.size() + 1).substr(0, 1u << 20);
    const struct Case {
        const char* name;
        std::string bytes;
        unsigned limitMB = kLimitMB;
    } cases[] = {
        {"7-bit text", kAscii},
        {"one byte", "x"},
        {"7-bit text of many blocks", Repeat(kAscii, 200)},
        {"7-bit text with a zero byte", kAscii + std::string(1, '\0') + kAscii},
        {"7-bit text with three zero bytes", kAscii + std::string(3, '\0') + kAscii},
        {"zero bytes only", std::string(100, '\0')},
        {"7-bit text with NBSP", kAscii + "\xA0" + kAscii},
        {"7-bit text with an escape", "\x1B[1mbold\x1B[0m " + kAscii},
        {"HZ", "Chinese is ~{VPND~} in HZ.\n" + kAscii},
        {"HZ shift cut by a block", tilde},
        {"tilde and brace with a blank between", "~ {" + kAscii},
        {"ISO-2022-JP", Iconv("ISO-2022-JP", u"日本語のテキスト") + kAscii},
        {"a high byte in the last block", Repeat(kAscii, 40) + "caf\xE9"},
        {"7-bit up to the limit, a high byte after it", ascii1MB + "\xE9t\xE9", 1},
        {"7-bit up to the limit and one byte more", ascii1MB + "x", 1},
        {"7-bit exactly the limit", ascii1MB, 1},
        {"a high byte at the last place of the limit", ascii1MB.substr(0, (1u << 20) - 1) + "\xE9", 1},
        {"control characters", "a\x01"
                               "b\x7F"
                               "c\x1A\x0E\x0F\r\n" +
                                   kAscii},
        {"KOI8-R", IcuEncode("KOI8-R", varnex_test::kRussianProse)},
        {"UTF-8", IcuEncode("UTF-8", varnex_test::kRussianProse)},
        {"UTF-16LE mark", "\xFF\xFE" + IcuEncode("UTF-16LE", u"text")},
        {"UTF-32BE mark", std::string("\0\0\xFE\xFF", 4) + IcuEncode("UTF-32BE", u"text")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteBytes(dir.File("sample.txt"), c.bytes);
        CCodepageDetector read(dir.File16("sample.txt").c_str(), kBlock, c.limitMB, false);
        const bool readCertain = read.Detect();

        CFileSample sample;
        ASSERT_TRUE(sample.Open(dir.File16("sample.txt").c_str(), kBlock, uint64_t{c.limitMB} << 20));
        ASSERT_TRUE(sample.Fill(uint64_t{c.limitMB} << 20));
        CCodepageDetector held(kBlock, c.limitMB, false);
        const bool heldCertain = held.Detect(sample);
        EXPECT_EQ(Report(held, heldCertain), Report(read, readCertain));
        // A sample holding only its first block reads the rest as it goes.
        CFileSample started;
        ASSERT_TRUE(started.Open(dir.File16("sample.txt").c_str(), kBlock, uint64_t{c.limitMB} << 20));
        ASSERT_TRUE(started.Fill(kBlock));
        CCodepageDetector fromStart(kBlock, c.limitMB, false);
        const bool startCertain = fromStart.Detect(started);
        EXPECT_EQ(Report(fromStart, startCertain), Report(read, readCertain));
        // A stream's head, the same.
        CFileSample head;
        head.Hold(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), true);
        CCodepageDetector fromHead(kBlock, c.limitMB, false);
        const bool headCertain = fromHead.Detect(head);
        EXPECT_EQ(Report(fromHead, headCertain), Report(read, readCertain));
    }
}

TEST(CodepageDetector, KeepsNothingOfTheLastFileWhenTheNextIsPlainSevenBit)
{
    // One detector serves file after file: a 7-bit file judged without
    // feeding must not report the legacy text before it.
    CCodepageDetector reused(kBlock, kLimitMB, false);
    const std::string texts[] = {IcuEncode("windows-1251", varnex_test::kRussianProse), Repeat(kAscii, 3),
                                 IcuEncode("windows-1252", varnex_test::kFrenchProse), kAscii};
    for (const std::string& bytes : texts) {
        CFileSample sample;
        sample.Hold(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), true);
        const bool reusedCertain = reused.Detect(sample);
        CCodepageDetector fresh(kBlock, kLimitMB, false);
        const bool freshCertain = fresh.Detect(sample);
        EXPECT_EQ(Report(reused, reusedCertain), Report(fresh, freshCertain));
    }
    EXPECT_EQ(reused.GetCodepage(), 0);
    EXPECT_EQ(reused.GetConfidence(), kCertain);
    EXPECT_EQ(reused.GetNonAsciiBytes(), 0u);
    EXPECT_EQ(reused.GetBytesFed(), kAscii.size());
}

TEST(CodepageDetector, KeepsNothingOfTheLastRunWhenTheFileCannotBeOpened)
{
    TempDir dir;
    WriteBytes(dir.File("gone.txt"), IcuEncode("windows-1251", varnex_test::kRussianProse));
    CCodepageDetector detector(dir.File16("gone.txt").c_str(), kBlock, kLimitMB, false);
    (void)detector.Detect();
    ASSERT_GT(detector.GetNonAsciiBytes(), 0u);
    ASSERT_GT(detector.GetDistinctNonAsciiBytes(), 0u);
    ASSERT_EQ(unlink(dir.File("gone.txt").c_str()), 0);
    const bool certain = detector.Detect();
    EXPECT_TRUE(detector.HasFailed());
    CCodepageDetector fresh(dir.File16("gone.txt").c_str(), kBlock, kLimitMB, false);
    const bool freshCertain = fresh.Detect();
    EXPECT_EQ(Report(detector, certain), Report(fresh, freshCertain));
}

// --- How much is read ---------------------------------------------------------

TEST(CodepageDetector, FeedsNothingWithAZeroScanLimitOrBlockSize)
{
    TempDir dir;
    WriteBytes(dir.File("text.txt"), kAscii);
    for (auto [block, limit] : {std::pair{kBlock, 0u}, std::pair{0u, kLimitMB}}) {
        SCOPED_TRACE("block " + std::to_string(block) + ", limit " + std::to_string(limit));
        const Finding f = Detect(dir.File16("text.txt"), block, limit);
        EXPECT_EQ(f.fed, 0u);
        EXPECT_EQ(f.codepage, -1);
        EXPECT_EQ(f.confidence, 0.0f);
        EXPECT_FALSE(f.failed);
    }
}

TEST(CodepageDetector, NeverReadsPastTheScanLimit)
{
    TempDir dir;
    const std::string path = dir.File("big.txt");
    WriteBytes(path, kAscii);
    // 64 MB without writing them: the rest of the file is a hole of zero bytes.
    ASSERT_EQ(truncate(path.c_str(), 64ll << 20), 0);
    for (unsigned block : {kBlock, 3000u, (1u << 20) + 1}) {
        SCOPED_TRACE(block);
        const Finding f = Detect(dir.File16("big.txt"), block, 4);
        EXPECT_EQ(f.fed, 4u << 20);
        EXPECT_FALSE(f.failed);
    }
}

TEST(CodepageDetector, ReadsSmallFilesWholeWhateverTheLimit)
{
    // A limit whose byte count does not fit 32 bits must not wrap to nothing.
    const std::string bytes = kAscii + "\xA0";
    for (unsigned limit : {1u, 4096u, 8192u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(limit);
        TempDir dir;
        WriteBytes(dir.File("text.txt"), bytes);
        const Finding f = Detect(dir.File16("text.txt"), kBlock, limit);
        EXPECT_EQ(f.fed, bytes.size());
        EXPECT_EQ(f.codepage, 0);
    }
}

TEST(CodepageDetector, StopsReadingOnceCertain)
{
    const std::string bytes = Iconv("ISO-2022-JP", u"日本語のテキスト") + Repeat(kAscii, 200);
    for (const auto& [name, head] : {std::pair{"ISO-2022-JP", bytes},
                                     std::pair{"ISO-2022-CN", Iconv("ISO-2022-CN", u"中文") + Repeat(kAscii, 200)}}) {
        SCOPED_TRACE(name);
        const Finding f = DetectBytes(head);
        EXPECT_TRUE(f.certain);
        EXPECT_EQ(f.fed, kBlock);
        EXPECT_EQ(f.confidence, kCertain);
    }
    // Uncertain findings read on to the end.
    const Finding ascii = DetectBytes(Repeat(kAscii, 20));
    EXPECT_FALSE(ascii.certain);
    EXPECT_EQ(ascii.fed, Repeat(kAscii, 20).size());
}

// --- Failures ---------------------------------------------------------------

TEST(CodepageDetector, FailsOnFilesItCannotOpenOrRead)
{
    TempDir dir;
    const Finding missing = Detect(dir.File16("missing.txt"));
    EXPECT_TRUE(missing.failed);
    EXPECT_EQ(missing.codepage, -1);
    EXPECT_FALSE(missing.certain);

    // Past the first read, which takes a small file whole.
    WriteBytes(dir.File("text.txt"), Repeat(kAscii, 100));
    Finding broken;
    {
        varnex_test::FaultInjector faults;
        faults.failReadFrom = 1;
        broken = Detect(dir.File16("text.txt"));
    }
    EXPECT_TRUE(broken.failed);

    const Finding fine = Detect(dir.File16("text.txt"));
    EXPECT_FALSE(fine.failed);
    EXPECT_EQ(fine.codepage, 0);
}

}  // namespace
