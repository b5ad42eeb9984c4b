#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/encoding/bomless_unicode_detector.h"
#include "textrion/io/file_sample.h"
#include "tools/corpus/corpus_texts.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/varnex_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using varnex_test::ExtListFolder;
using varnex_test::IcuEncode;
using Result = CAdvancedDetector::DETECTIONRESULT;

constexpr unsigned kBlock = 2048;
constexpr unsigned kLimitMB = 4;

const std::string kAscii = [] {
    std::string s;
    for (int i = 0; i < 30; ++i)
        s += "Plain seven-bit text, line " + std::to_string(i) + ".\n";
    return s;
}();

// UTF-16LE that only the late BOM-less test for the text list takes: 7-bit,
// with a stray control that the structure test refuses.
const std::string kUtf16WithAControl = IcuEncode("UTF-16LE", u"\x01" + text::FromUtf8(kAscii));

// A detector whose statistical step answers what the test says, and counts
// how often it was asked.
class ForcedDetector : public CAdvancedDetector {
public:
    ForcedDetector(const std::u16string& path, int codepage, float confidence, bool shortcut = true)
        : CAdvancedDetector({.blockSize = kBlock, .scanLimitMB = kLimitMB, .binaryListShortcut = shortcut}),
          m_path(path),
          m_forcedCodepage(codepage),
          m_forcedConfidence(confidence)
    {
        Detect(m_path);
    }

    void Force(int codepage, float confidence)
    {
        m_forcedCodepage = codepage;
        m_forcedConfidence = confidence;
    }
    void Rerun() { Detect(m_path); }
    int StatisticsCalls() const { return m_calls; }

protected:
    bool DetectStatistically(int& codepage, float& confidence) override
    {
        ++m_calls;
        codepage = m_forcedCodepage;
        confidence = m_forcedConfidence;
        return true;
    }

private:
    std::u16string m_path;
    int m_forcedCodepage;
    float m_forcedConfidence;
    int m_calls = 0;
};

// The findings for path, with the options most tests use unless others are given.
CAdvancedDetector DetectFile(const std::u16string& path,
                             CAdvancedDetector::Options options = {.blockSize = kBlock, .scanLimitMB = kLimitMB})
{
    CAdvancedDetector detector(std::move(options));
    detector.Detect(path);
    return detector;
}

// A folder with lists of our own: ".txt" and ".log" are text, ".exe" binary.
class WithLists : public testing::Test {
protected:
    WithLists()
    {
        WriteBytes(m_lists.File("Text.bin"), ".txt\n.log\n");
        WriteBytes(m_lists.File("Binary.bin"), ".exe\n.zip\n");
    }

    const std::u16string& ListFolder() const { return m_listFolder; }

    TempDir m_lists;
    std::u16string m_listFolder = text::FromUtf8(m_lists.Path());
    ExtListFolder m_use{m_listFolder};
    TempDir m_dir;
};

// --- Confidence thresholds ------------------------------------------------------

TEST_F(WithLists, JudgesAStatisticalFindingByItsConfidenceAndTheTextList)
{
    WriteBytes(m_dir.File("notes.txt"), kAscii);
    WriteBytes(m_dir.File("notes.dat"), kAscii);
    struct Case {
        float confidence;
        Result inTextList;
        Result elsewhere;
    };
    const Case cases[] = {
        {1.0f, Result::DETECTIONRESULT_OK, Result::DETECTIONRESULT_OK},
        {0.7f, Result::DETECTIONRESULT_OK, Result::DETECTIONRESULT_OK},
        {0.6999f, Result::DETECTIONRESULT_OK, Result::DETECTIONRESULT_UNSURE},
        {0.6f, Result::DETECTIONRESULT_OK, Result::DETECTIONRESULT_UNSURE},
        {0.5999f, Result::DETECTIONRESULT_UNSURE, Result::DETECTIONRESULT_UNSURE},
        {0.5101f, Result::DETECTIONRESULT_UNSURE, Result::DETECTIONRESULT_UNSURE},
        {0.51f, Result::DETECTIONRESULT_UNSURE, Result::DETECTIONRESULT_UNSURE},
        {0.5f, Result::DETECTIONRESULT_UNSURE, Result::DETECTIONRESULT_UNSURE},
        {0.21f, Result::DETECTIONRESULT_UNSURE, Result::DETECTIONRESULT_UNSURE},
    };
    for (const Case& c : cases) {
        for (const char* name : {"notes.txt", "notes.dat"}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(c.confidence));
            ForcedDetector detector(m_dir.File16(name), 1251, c.confidence);
            EXPECT_EQ(detector.GetResult(), name == std::string("notes.txt") ? c.inTextList : c.elsewhere);
            EXPECT_EQ(detector.GetCodepage(), 1251);  // the finding stands, sure or not
            EXPECT_EQ(detector.GetConfidence(), c.confidence);
            EXPECT_FALSE(detector.HasBom());
            EXPECT_EQ(detector.StatisticsCalls(), 1);
        }
    }
}

TEST_F(WithLists, FallsBackToZeroRunsAndBomlessUtf16WhenNothingIsFound)
{
    const std::string utf16 = IcuEncode("UTF-16LE", text::FromUtf8(kAscii));
    // Three zero bytes in a row (U+0000 after a Latin letter), past the
    // sample that the UTF-16 test looks at.
    const std::string utf16Nul = utf16 + utf16 + IcuEncode("UTF-16LE", std::u16string(u"A\0B", 3)) + utf16;
    struct Case {
        const char* file;
        std::string bytes;
        int codepage;
        int statisticsCalls;
        Result result = Result::DETECTIONRESULT_OK;
    };
    const Case cases[] = {
        {"utf16.txt", kUtf16WithAControl, 1200, 1},
        {"utf16.LOG", kUtf16WithAControl, 1200, 1},
        {"utf16.dat", kUtf16WithAControl, -1, 1},
        {"utf16-nul.txt", utf16Nul, -1, 1},
        {"ascii.txt", kAscii, CAdvancedDetector::kUnknownTextCodepage, 1, Result::DETECTIONRESULT_UNKNOWN_TEXT},
        {"four-zeros.txt", kAscii + std::string(4, '\0') + kAscii, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(m_dir.File(c.file), c.bytes);
        ForcedDetector detector(m_dir.File16(c.file), -1, 0.0f);
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        EXPECT_EQ(detector.GetConfidence(), 0.0f);
        EXPECT_EQ(detector.GetResult(), c.result);
        EXPECT_FALSE(detector.HasBom());
        EXPECT_EQ(detector.StatisticsCalls(), c.statisticsCalls);
    }
    // Only the second zero-run test keeps the file with U+0000 from passing for UTF-16.
    EXPECT_EQ(CBomlessUnicodeDetector(m_dir.File16("utf16-nul.txt").c_str()).Detect(), BOMLESS_UTF16LE);
}

TEST_F(WithLists, StartsFromNothingWhenRunAgain)
{
    WriteBytes(m_dir.File("notes.dat"), kAscii);
    ForcedDetector detector(m_dir.File16("notes.dat"), 1251, 0.9f);
    ASSERT_EQ(detector.GetCodepage(), 1251);
    detector.Force(-1, 0.0f);
    detector.Rerun();
    EXPECT_EQ(detector.GetCodepage(), CAdvancedDetector::kUnknownTextCodepage);
    EXPECT_EQ(detector.GetConfidence(), 0.0f);
    EXPECT_FALSE(detector.HasBom());
    EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_UNKNOWN_TEXT);
}

// --- Binary list, marks, failures ---------------------------------------------------

TEST_F(WithLists, TrustsTheBinaryListWithoutOpeningTheFileOnlyWhenAllowed)
{
    WriteBytes(m_dir.File("tool.EXE"), kAscii);
    struct Case {
        const char* file;
        bool shortcut;
        int codepage;
        Result result;
        int statisticsCalls;
    };
    const Case cases[] = {
        {"missing.exe", true, -1, Result::DETECTIONRESULT_OK, 0},
        {"tool.EXE", true, -1, Result::DETECTIONRESULT_OK, 0},
        {"missing.exe", false, -1, Result::DETECTIONRESULT_ERROR, 0},
        {"tool.EXE", false, 1252, Result::DETECTIONRESULT_OK, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.shortcut ? ", shortcut on" : ", shortcut off"));
        ForcedDetector detector(m_dir.File16(c.file), 1252, 0.9f, c.shortcut);
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        EXPECT_EQ(detector.GetResult(), c.result);
        EXPECT_EQ(detector.StatisticsCalls(), c.statisticsCalls);
    }
}

TEST_F(WithLists, TakesAByteOrderMarkWhateverFollows)
{
    const std::string zeros(16, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        int codepage;
    };
    const Case cases[] = {
        {"UTF-8", "\xEF\xBB\xBF" + zeros, 65001},
        {"UTF-16LE", "\xFF\xFEx" + zeros, 1200},
        {"UTF-16BE", "\xFE\xFF", 1201},
        {"UTF-32LE", std::string("\xFF\xFE\0\0", 4) + zeros, 12000},
        {"UTF-32BE", std::string("\0\0\xFE\xFF", 4) + zeros, 12001},
        {"UCS-4 2143", std::string("\0\0\xFF\xFE", 4) + zeros, 2143},
        {"UCS-4 3412", std::string("\xFE\xFF\0\0", 4) + zeros, 3412},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(m_dir.File("marked.dat"), c.bytes);
        ForcedDetector detector(m_dir.File16("marked.dat"), 1252, 0.9f);
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        EXPECT_EQ(detector.GetConfidence(), 1.0f);
        EXPECT_TRUE(detector.HasBom());
        EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_OK);
        EXPECT_EQ(detector.StatisticsCalls(), 0);
        EXPECT_FALSE(detector.IsDoubleEncoded());
    }
    // Text after a UTF-8 mark is still looked at for double encoding.
    WriteBytes(m_dir.File("marked.dat"), "\xEF\xBB\xBFLe caf\xC3\x83\xC2\xA9 est pr\xC3\x83\xC2\xAAt.\n");
    EXPECT_TRUE(ForcedDetector(m_dir.File16("marked.dat"), 1252, 0.9f).IsDoubleEncoded());
}

TEST_F(WithLists, ReportsAFileItCannotReadAsAnErrorNotAsBinary)
{
    WriteBytes(m_dir.File("locked.txt"), kAscii);
    chmod(m_dir.File("locked.txt").c_str(), 0);
    for (const char* file : {"locked.txt", "vanished.txt", "folder.txt"}) {
        SCOPED_TRACE(file);
        if (std::string(file) == "locked.txt" && geteuid() == 0)
            continue;  // root reads it anyway; the fault injection below covers it
        if (std::string(file) == "folder.txt")
            mkdir(m_dir.File(file).c_str(), 0700);
        const CAdvancedDetector detector = DetectFile(m_dir.File16(file));
        EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_ERROR);
        EXPECT_EQ(detector.GetCodepage(), -1);
    }
}

TEST_F(WithLists, ReportsAReadErrorInAnyTestAsAnError)
{
    // 7-bit text too long to be read whole at once: the mark, the zero runs
    // and the statistics each read it. Fail the n-th read and every one
    // after it, for n rising until all tests get through.
    std::string text;
    while (text.size() < 80 * 1024)
        text += kAscii;
    WriteBytes(m_dir.File("text.txt"), text);
    int firstClean = -1;
    for (int n = 0; n < 64 && firstClean < 0; ++n) {
        SCOPED_TRACE("reads fail from " + std::to_string(n));
        Result result;
        int codepage;
        {
            varnex_test::FaultInjector faults;
            faults.failReadFrom = n;
            const CAdvancedDetector detector =
                DetectFile(m_dir.File16("text.txt"), {.blockSize = 512, .scanLimitMB = kLimitMB});
            result = detector.GetResult();
            codepage = detector.GetCodepage();
        }
        if (result == Result::DETECTIONRESULT_OK) {
            firstClean = n;
            EXPECT_EQ(codepage, 0);
        } else {
            EXPECT_EQ(result, Result::DETECTIONRESULT_ERROR);
            EXPECT_EQ(codepage, -1);
        }
    }
    // The mark (one read), the zero runs and the statistics (a read per block and one at the end).
    EXPECT_GE(firstClean, 3);
}

// --- The whole chain on real files ----------------------------------------------

TEST_F(WithLists, AStopEndsALongScanWithinOneCheckInEveryStep)
{
    // A 4 MiB text: the zero-run scan and the statistics would read all of it.
    std::string text;
    while (text.size() < (4u << 20))
        text += "The quick brown fox jumps over the lazy dog. ";
    WriteBytes(m_dir.File("long.txt"), text);
    WriteBytes(m_dir.File("zeros.dat"), std::string(4u << 20, 'a') + std::string(64, '\0') + "a");
    for (const char* file : {"long.txt", "zeros.dat"}) {
        for (int allowed : {0, 1, 2}) {  // stop at the first, second or third check
            SCOPED_TRACE(std::string(file) + " after " + std::to_string(allowed));
            int checks = 0;
            const CAdvancedDetector detector =
                DetectFile(m_dir.File16(file),
                           {.blockSize = 2048, .scanLimitMB = 64, .binaryListShortcut = false, .canContinue = [&] {
                                return checks++ < allowed;
                            }});
            EXPECT_TRUE(detector.WasStopped());
            EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_ERROR);
            EXPECT_EQ(checks, allowed + 1);
        }
    }
}

TEST_F(WithLists, DetectsRealFilesThroughTheWholeChain)
{
    const std::u16string french = varnex_test::kFrenchProse;
    struct Case {
        const char* file;
        std::string bytes;
        unsigned limitMB;
        bool gb18030;
        int codepage;
        float minConfidence;
        Result result;
        bool bom;
    };
    const Case cases[] = {
        {"empty.txt", "", kLimitMB, false, -1, 0.0f, Result::DETECTIONRESULT_OK, false},
        {"ascii.dat", kAscii, kLimitMB, false, 0, 0.99f, Result::DETECTIONRESULT_OK, false},
        {"ascii.txt", kAscii, 0, false, CAdvancedDetector::kUnknownTextCodepage, 0.0f,
         Result::DETECTIONRESULT_UNKNOWN_TEXT, false},
        {"utf16.txt", kUtf16WithAControl, 0, false, 1200, 0.0f, Result::DETECTIONRESULT_OK, false},
        {"utf16.txt", IcuEncode("UTF-16LE", text::FromUtf8(kAscii)), 0, false, 1200, 0.99f, Result::DETECTIONRESULT_OK,
         false},
        {"french16.txt", IcuEncode("UTF-16LE", french), kLimitMB, false, 1200, 0.99f, Result::DETECTIONRESULT_OK,
         false},
        {"french16.dat", IcuEncode("UTF-16LE", french), kLimitMB, false, 1200, 0.99f, Result::DETECTIONRESULT_OK,
         false},
        {"utf8.dat", "\xEF\xBB\xBF" + IcuEncode("UTF-8", french), kLimitMB, false, 65001, 1.0f,
         Result::DETECTIONRESULT_OK, true},
        {"russian.dat", IcuEncode("KOI8-R", varnex_test::kRussianProse), kLimitMB, false, 20866, 0.7f,
         Result::DETECTIONRESULT_OK, false},
        {"chinese.dat", IcuEncode("GB18030", varnex_test::kChineseProse), kLimitMB, false, 936, 0.9f,
         Result::DETECTIONRESULT_OK, false},
        {"chinese.dat", IcuEncode("GB18030", varnex_test::kChineseProse), kLimitMB, true, 54936, 0.9f,
         Result::DETECTIONRESULT_OK, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ", limit " + std::to_string(c.limitMB) + (c.gb18030 ? ", GB18030" : ""));
        WriteBytes(m_dir.File(c.file), c.bytes);
        const CAdvancedDetector detector = DetectFile(
            m_dir.File16(c.file), {.blockSize = kBlock, .scanLimitMB = c.limitMB, .reportGB18030 = c.gb18030});
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        if (c.minConfidence == 0.0f) {
            EXPECT_EQ(detector.GetConfidence(), 0.0f);
        } else {
            EXPECT_GE(detector.GetConfidence(), c.minConfidence);
        }
        EXPECT_EQ(detector.GetResult(), c.result);
        EXPECT_EQ(detector.HasBom(), c.bom);
    }
}

// --- One sample per file --------------------------------------------------------

// Counts the opens, and the bytes asked of reads and the most at once.
struct FileCounter : platform::FileFaultInjector {
    FileCounter() { platform::SetFileFaultInjector(this); }
    ~FileCounter() override { platform::SetFileFaultInjector(nullptr); }
    int BeforeOpen(std::u16string_view, uint32_t) override
    {
        ++opens;
        return 0;
    }
    int BeforeRead(platform::FileHandle, size_t count) override
    {
        requested += count;
        largest = std::max(largest, count);
        return 0;
    }
    int opens = 0;
    size_t requested = 0;
    size_t largest = 0;
};

std::string RepeatTo(const std::string& piece, size_t size)
{
    std::string out;
    while (out.size() < size)
        out += piece;
    return out;
}

TEST_F(WithLists, OpensEachFileOnceAndReadsNoByteTwice)
{
    const std::string french = IcuEncode("UTF-8", varnex_test::kFrenchProse);
    struct Case {
        const char* file;
        std::string bytes;
        int codepage;
        size_t maxRequested;
    };
    const Case cases[] = {
        {"marked.dat", "\xEF\xBB\xBF" + french, 65001, kBlock},
        {"ascii.dat", kAscii, 0, kBlock},
        // Every test runs, the BOM-less one last.
        {"utf16.txt", kUtf16WithAControl, 1200, kBlock},
        {"early-zeros.dat", std::string("a\0\0\0\0a", 6) + RepeatTo(kAscii, 3u << 20), -1, kBlock},
        {"longer-than-the-sample.txt", RepeatTo(kAscii, 3u << 20), 0, 1u << 20},
    };
    // The lists are read on their first lookup: not here.
    ASSERT_TRUE(CAdvancedDetector::GetKnownExtList().ExtInTextList(u".txt"));
    ASSERT_TRUE(CAdvancedDetector::GetKnownExtList().ExtInBinaryList(u".exe"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(m_dir.File(c.file), c.bytes);
        FileCounter counter;
        const CAdvancedDetector detector = DetectFile(m_dir.File16(c.file), {.blockSize = kBlock, .scanLimitMB = 1});
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_OK);
        EXPECT_EQ(counter.opens, 1);
        EXPECT_LE(counter.requested, c.maxRequested);
        EXPECT_LE(counter.largest, size_t{CFileSample::kLargestRead});  // a stop waits for no more
    }
}

TEST_F(WithLists, AReusedWorkspaceCarriesNothingFromOneFileToTheNext)
{
    // UTF-8 whose 1 MiB sample ends inside a two-byte sequence.
    std::string cut = RepeatTo(IcuEncode("UTF-8", varnex_test::kFrenchProse), 1u << 21);
    size_t lead = (1u << 20) - 1;
    while (static_cast<unsigned char>(cut[lead]) < 0xC2 || static_cast<unsigned char>(cut[lead]) > 0xDF)
        --lead;
    cut.insert(0, (1u << 20) - 1 - lead, ' ');
    struct Step {
        const char* file;
        std::string bytes;  // "-": the file is missing
        int codepage;
        bool stop = false;  // at the first check
        bool readFails = false;
    };
    const Step steps[] = {
        {"marked.txt", "\xFF\xFE" + RepeatTo(IcuEncode("UTF-16LE", varnex_test::kFrenchProse), 100000), 1200},
        {"empty.txt", "", -1},
        {"russian.dat", IcuEncode("KOI8-R", varnex_test::kRussianProse), -1, false, true},
        {"russian.dat", IcuEncode("KOI8-R", varnex_test::kRussianProse), 20866},
        {"missing.dat", "-", -1},
        {"cut.dat", cut, 65001},
        {"cut.dat", cut, -1, true},
        {"notes.txt", RepeatTo(kAscii, 1u << 21), 0},
        // The same file, rewritten shorter between two detections.
        {"notes.txt", IcuEncode("UTF-16LE", text::FromUtf8(kAscii)), 1200},
        {"zeros.dat", std::string(64, '\0'), -1},
    };
    CAdvancedDetector::CWorkspace workspace;
    // One detector for every file too: nothing of a file is left for the next.
    bool stop = false;
    CAdvancedDetector kept(
        {.blockSize = kBlock, .scanLimitMB = 1, .canContinue = [&stop] { return !stop; }, .workspace = &workspace});
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.file) + (step.stop ? ", stopped" : step.readFails ? ", unreadable" : ""));
        if (step.bytes != "-")
            WriteBytes(m_dir.File(step.file), step.bytes);
        std::optional<varnex_test::FaultInjector> faults;
        if (step.readFails)
            faults.emplace().failReadFrom = 0;
        const auto canContinue = [&step] { return !step.stop; };
        const CAdvancedDetector reused =
            DetectFile(m_dir.File16(step.file),
                       {.blockSize = kBlock, .scanLimitMB = 1, .canContinue = canContinue, .workspace = &workspace});
        const CAdvancedDetector fresh =
            DetectFile(m_dir.File16(step.file), {.blockSize = kBlock, .scanLimitMB = 1, .canContinue = canContinue});
        stop = step.stop;
        EXPECT_TRUE(kept.Detect(m_dir.File16(step.file)) == fresh.GetFindings());
        EXPECT_TRUE(reused.GetFindings() == fresh.GetFindings());
        EXPECT_EQ(reused.GetCodepage(), step.codepage);
        EXPECT_EQ(reused.WasStopped(), step.stop);
        EXPECT_EQ(reused.GetCodepage(), fresh.GetCodepage());
        EXPECT_EQ(reused.GetConfidence(), fresh.GetConfidence());
        EXPECT_EQ(reused.HasBom(), fresh.HasBom());
        EXPECT_EQ(reused.GetResult(), fresh.GetResult());
    }
}

// --- Valid UTF-8 and BOM-less Unicode by structure ------------------------------

// UTF-8 at least as long as size whose byte size - 1 is the lead of a two-byte
// character: a sample of that size ends inside it.
std::string Utf8CutAt(size_t size)
{
    std::string text = RepeatTo(IcuEncode("UTF-8", varnex_test::kFrenchProse), size + (1u << 16));
    size_t lead = size - 1;
    while (static_cast<unsigned char>(text[lead]) < 0xC2 || static_cast<unsigned char>(text[lead]) > 0xDF)
        --lead;
    text.insert(0, size - 1 - lead, ' ');
    return text;
}

// The statistics would say windows-1250 every time; only what is not valid
// UTF-8 nor Unicode by structure may reach them.
TEST_F(WithLists, DecidesUtf8AndBomlessUnicodeBeforeTheStatistics)
{
    const std::u16string latin = u"Łukasz Kołodziej, Jürgen Groß, café.\n";
    std::u16string many;
    for (int i = 0; i < 60; ++i)
        many += latin;
    const std::string utf8 = IcuEncode("UTF-8", latin);
    struct Case {
        const char* file;
        std::string bytes;
        int codepage;
        bool statistics;
        bool doubleEncoded;
    };
    const Case cases[] = {
        {"comment.c", "// Author: " + utf8 + kAscii, 65001, false, false},
        {"seven-bit.txt", kAscii, 1250, true, false},
        {"latin1.txt", IcuEncode("ISO-8859-1", u"caf\u00E9 cr\u00E8me\n") + kAscii, 1250, true, false},
        {"overlong.txt", kAscii + "\xC0\xAF" + utf8, 1250, true, false},
        {"surrogate.txt", kAscii + "\xED\xA0\x80" + utf8, 1250, true, false},
        {"above-10FFFF.txt", kAscii + "\xF4\x90\x80\x80" + utf8, 1250, true, false},
        {"ends-mid-character.txt", utf8 + "\xC5", 1250, true, false},
        {"twice.txt", "Le caf\xC3\x83\xC2\xA9 est d\xC3\x83\xC2\xA9j\xC3\x83\xC2\xA0 pr\xC3\x83\xC2\xAAt.\n", 65001,
         false, true},
        {"utf16be.dat", IcuEncode("UTF-16BE", many), 1201, false, false},
        {"utf32le.dat", IcuEncode("UTF-32LE", many), 12000, false, false},
        {"utf32be.dat", IcuEncode("UTF-32BE", many), 12001, false, false},
        // Text resources inside a binary: the zero runs after them decide.
        {"resource.dat", IcuEncode("UTF-16BE", many) + std::string(64, '\0') + "\x01\x02", -1, false, false},
        {"utf16le.dat", IcuEncode("UTF-16LE", many), 1200, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(m_dir.File(c.file), c.bytes);
        ForcedDetector detector(m_dir.File16(c.file), 1250, 0.9f);
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        EXPECT_EQ(detector.StatisticsCalls(), c.statistics ? 1 : 0);
        EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_OK);
        EXPECT_EQ(detector.IsDoubleEncoded(), c.doubleEncoded);
        EXPECT_FALSE(detector.HasBom());
        if (!c.statistics && c.codepage != -1) {
            EXPECT_EQ(detector.GetConfidence(), CAdvancedDetector::kStructureConfidence);
        }
    }
}

// A character that the scan limit cuts may go on past it; one that the end
// of the file cuts is ill-formed, also when the file is as long as the limit.
TEST_F(WithLists, TakesUtf8CutByTheScanLimitButNotByTheEndOfTheFile)
{
    constexpr size_t kLimit = size_t{kLimitMB} << 20;
    const std::string cut = Utf8CutAt(kLimit);
    struct Case {
        const char* file;
        std::string bytes;
        int codepage;
    };
    const Case cases[] = {
        {"longer.dat", cut, 65001},
        {"as-long-as-the-limit.dat", cut.substr(0, kLimit), 1250},
        {"shorter.dat", Utf8CutAt(1u << 16).substr(0, 1u << 16), 1250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(m_dir.File(c.file), c.bytes);
        ForcedDetector detector(m_dir.File16(c.file), 1250, 0.9f);
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
    }
}

// --- BOM-less Unicode in any script -------------------------------------------

struct ScriptText {
    const char* script;
    std::u16string shortText;  // about 20 characters
    std::u16string line;       // repeated into a long text
};

const ScriptText kScriptTexts[] = {
    {"Latin", u"Grüße aus Köln, café.\n",
     u"The old lighthouse keeper climbed the stairs every evening, counting the steps: 112.\n"},
    {"Cyrillic", u"Старый смотритель маяка.\n",
     u"Старый смотритель маяка каждый вечер поднимался по лестнице, считая ступени.\n"},
    {"Greek", u"Ο γέρος φαροφύλακας.\n", u"Ο γέρος φαροφύλακας ανέβαινε τη σκάλα κάθε βράδυ, μετρώντας τα σκαλιά.\n"},
    {"Arabic", u"حارس المنارة العجوز.\n", u"كان حارس المنارة العجوز يصعد الدرج كل مساء، ويعد الدرجات.\n"},
    {"Hebrew", u"שומר המגדלור הזקן.\n", u"שומר המגדלור הזקן טיפס במדרגות בכל ערב, וספר את המדרגות.\n"},
    {"Chinese", u"老灯塔看守人每天晚上都爬楼梯。\n", u"老灯塔看守人每天晚上都爬楼梯，数着台阶：一百一十二级。\n"},
    {"Japanese", u"吾輩は猫である。名前はまだ無い。\n",
     u"年老いた灯台守は毎晩階段を上り、段数を数えた。百十二段だった。\n"},
    {"Hangul", u"늙은 등대지기는 계단을 올랐다.\n", u"늙은 등대지기는 매일 저녁 계단을 오르며 계단 수를 세었다.\n"},
    {"Thai", u"สวัสดีครับ ยินดีต้อนรับ\n", u"ผู้ดูแลประภาคารชราปีนบันไดทุกเย็น นับขั้นบันได หนึ่งร้อยสิบสองขั้น\n"},
    {"Devanagari", u"बूढ़ा रक्षक हर शाम।\n", u"बूढ़ा प्रकाशस्तंभ रक्षक हर शाम सीढ़ियाँ चढ़ता था, सीढ़ियाँ गिनता था।\n"},
    {"emoji-heavy", u"Party 🎉🎉 snacks 🍕🍔 😀👍\n", u"Party tonight 🎉🎉 bring snacks 🍕🍔 and music 🎶 see you 😀👍\n"},
    {"many scripts", u"apple яблоко μήλο 苹果 사과\n", u"apple яблоко μήλο תפוח تفاحة 苹果 りんご 사과 แอปเปิล सेब\n"},
};

// Text without a byte order mark in any script, form and extension is text:
// found by its structure, before the statistics and the zero-byte test.
TEST_F(WithLists, FindsBomlessUnicodeInEveryScriptFormAndExtension)
{
    const std::pair<const char*, int> forms[] = {
        {"UTF-16LE", 1200}, {"UTF-16BE", 1201}, {"UTF-32LE", 12000}, {"UTF-32BE", 12001}};
    for (const ScriptText& text : kScriptTexts) {
        std::u16string longText;
        while (longText.size() < 4096)
            longText += text.line;
        for (const auto& [charset, codepage] : forms) {
            for (const auto& [size, content] : {std::pair{"short", text.shortText}, {"long", longText}}) {
                for (const char* name : {"text.txt", "text.dat", "text"}) {
                    SCOPED_TRACE(std::string(text.script) + ", " + charset + ", " + name + ", " + size);
                    WriteBytes(m_dir.File(name), IcuEncode(charset, content));
                    ForcedDetector detector(m_dir.File16(name), 1251, 0.9f);
                    EXPECT_EQ(detector.GetCodepage(), codepage);
                    EXPECT_EQ(detector.GetConfidence(), CAdvancedDetector::kStructureConfidence);
                    EXPECT_EQ(detector.GetMethod(), DetectionMethod::Bomless);
                    EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_OK);
                    EXPECT_FALSE(detector.HasBom());
                    EXPECT_EQ(detector.StatisticsCalls(), 0);
                }
            }
        }
    }
}

TEST_F(WithLists, KeepsBinariesBinary)
{
    std::mt19937 random(20261209);
    const auto noise = [&random](size_t size) {
        std::string bytes(size, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        return bytes;
    };
    std::string quietSound;  // 16-bit samples close to silence
    for (int i = 0; i < 8192; ++i) {
        const int sample = static_cast<int>(random() % 64) - 32;
        quietSound += static_cast<char>(sample & 0xFF);
        quietSound += static_cast<char>((sample >> 8) & 0xFF);
    }
    std::string resource;  // NUL-terminated UTF-16 strings of a program's resources
    for (const char16_t* s : {u"Open", u"Старый смотритель маяка", u"吾輩は猫である", u"Close"})
        resource += IcuEncode("UTF-16LE", s) + std::string(2, '\0');
    struct Case {
        const char* file;
        std::string bytes;
    };
    const Case cases[] = {
        {"program", std::string("\x7F"
                                "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0\x3E\0",
                                20) +
                        noise(4000)},
        {"logo.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x20", 20) + noise(3000)},
        {"photo.jpg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01", 12) + noise(3000)},
        {"notes.gz", std::string("\x1F\x8B\x08\0\0\0\0\0\0\x03", 10) + noise(5000)},
        {"messages.mo", std::string("\xDE\x12\x04\x95\0\0\0\0\x2A\0\0\0\x1C\0\0\0", 16) + noise(2000)},
        {"font.ttf", std::string("\0\x01\0\0\0\x0F\0\x80\0\x03\0\x70", 12) + noise(3000)},
        {"resource.dat", resource + resource},
        {"samples.raw", quietSound},
        {"key.bin", noise(32)},
        {"seed", noise(512)},
        {"blob.dat", noise(70000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(m_dir.File(c.file), c.bytes);
        ForcedDetector detector(m_dir.File16(c.file), -1, 0.0f, false);
        EXPECT_EQ(detector.GetCodepage(), -1);
        EXPECT_NE(detector.GetMethod(), DetectionMethod::Bomless);
        EXPECT_EQ(detector.GetResult(), Result::DETECTIONRESULT_OK);
    }
}

// --- The extension lists --------------------------------------------------------

TEST_F(WithLists, LowerCasesTheExtensionButNeverTheList)
{
    WriteBytes(m_lists.File("Text.bin"), ".TXT\n.log\n\n");
    CAdvancedDetector::GetKnownExtList().SetFolder(ListFolder());
    struct Case {
        const char* file;
        int codepage;
    };
    const Case cases[] = {
        {"upper.TXT", -1},                                       // lowered to ".txt", which the list does not hold
        {"lower.txt", -1}, {"mixed.LoG", 1200}, {"README", -1},  // no extension is in no list, blank lines or not
        {".log", 1200},                                          // a hidden file's name is its extension
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteBytes(m_dir.File(c.file), kUtf16WithAControl);
        EXPECT_EQ(DetectFile(m_dir.File16(c.file)).GetCodepage(), c.codepage);
    }
    CAdvancedDetector::CKnownExtList& lists = CAdvancedDetector::GetKnownExtList();
    EXPECT_FALSE(lists.ExtInTextList(u""));
    EXPECT_FALSE(lists.ExtInBinaryList(u""));
    EXPECT_FALSE(lists.ExtInTextList(nullptr));
}

TEST(KnownExtList, ReadsListsInAnyLineEndAndMark)
{
    struct Case {
        const char* name;
        const char* charset;
        std::string mark;
        const char16_t* lineEnd;
        bool finalBreak;
    };
    const Case cases[] = {
        {"LF", "UTF-8", "", u"\n", true},
        {"CR LF", "UTF-8", "", u"\r\n", true},
        {"CR", "UTF-8", "", u"\r", false},
        {"CR LF, UTF-8 mark", "UTF-8", "\xEF\xBB\xBF", u"\r\n", false},
        {"LF, UTF-16LE mark", "UTF-16LE", "\xFF\xFE", u"\n", true},
        {"CR, UTF-16BE mark", "UTF-16BE", "\xFE\xFF", u"\r", true},
        {"CR LF, UTF-32LE mark", "UTF-32LE", std::string("\xFF\xFE\0\0", 4), u"\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir lists;
        std::u16string content;
        for (const char16_t* line : {u".aaa", u".bbb", u".ccc"})
            content += std::u16string(line) + c.lineEnd;
        if (!c.finalBreak)
            content.resize(content.size() - std::u16string(c.lineEnd).size());
        WriteBytes(lists.File("Text.bin"), c.mark + IcuEncode(c.charset, content));
        WriteBytes(lists.File("Binary.bin"), c.mark + IcuEncode(c.charset, u".bin" + std::u16string(c.lineEnd)));
        ExtListFolder use(text::FromUtf8(lists.Path()));
        CAdvancedDetector::CKnownExtList& known = CAdvancedDetector::GetKnownExtList();
        for (const char16_t* ext : {u".aaa", u".bbb", u".ccc"})
            EXPECT_TRUE(known.ExtInTextList(ext)) << text::ToUtf8(ext);
        for (const char16_t* ext : {u".aa", u"aaa", u".aaa\r", u".bbb ", u".AAA", u".bin"})
            EXPECT_FALSE(known.ExtInTextList(ext)) << text::ToUtf8(ext);
        EXPECT_TRUE(known.ExtInBinaryList(u".bin"));
        EXPECT_FALSE(known.ExtInBinaryList(u".aaa"));
    }
}

TEST(KnownExtList, LoadsEachListOnceUntilPointedElsewhere)
{
    TempDir lists;
    const std::u16string folder = text::FromUtf8(lists.Path());
    ExtListFolder use(folder);
    CAdvancedDetector::CKnownExtList& known = CAdvancedDetector::GetKnownExtList();
    EXPECT_FALSE(known.ExtInTextList(u".txt"));  // no file: an empty list
    WriteBytes(lists.File("Text.bin"), ".txt");  // no line break at the end
    EXPECT_FALSE(known.ExtInTextList(u".txt"));  // read once only
    known.SetFolder(folder);
    EXPECT_TRUE(known.ExtInTextList(u".txt"));
    // A list whose last line had no break must not run into the next list read.
    WriteBytes(lists.File("Text.bin"), ".md\n.txt\n");
    known.SetFolder(folder);
    EXPECT_TRUE(known.ExtInTextList(u".md"));
    EXPECT_TRUE(known.ExtInTextList(u".txt"));
    EXPECT_FALSE(known.ExtInTextList(u".txt.md"));
}

TEST(KnownExtList, LoadsOnceForThreadsThatAskTogether)
{
    TempDir lists;
    std::string content;
    for (int i = 0; i < 2000; ++i)
        content += ".e" + std::to_string(i) + "\n";
    WriteBytes(lists.File("Binary.bin"), content);
    ExtListFolder use(text::FromUtf8(lists.Path()));
    std::atomic<int> found{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&found, t] {
            const std::u16string ext = text::FromUtf8(".e" + std::to_string(1999 - t));
            found += CAdvancedDetector::GetKnownExtList().ExtInBinaryList(ext.c_str()) ? 1 : 0;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(found.load(), 8);
    EXPECT_TRUE(CAdvancedDetector::GetKnownExtList().ExtInBinaryList(u".e0"));
}

TEST(KnownExtList, ShipsWellFormedDisjointLists)
{
    const std::string folder = VARNEL_DATA_DIR;
    ExtListFolder use(text::FromUtf8(folder));
    CAdvancedDetector::CKnownExtList& known = CAdvancedDetector::GetKnownExtList();
    for (const char* name : {"Binary.bin", "Text.bin"}) {
        SCOPED_TRACE(name);
        const std::string content = ReadBytes(folder + "/" + name);
        ASSERT_FALSE(content.empty());
        size_t start = 0;
        int lines = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            if (end == std::string::npos)
                end = content.size();
            const std::string line = content.substr(start, end - start);
            start = end + 1;
            SCOPED_TRACE(line);
            ++lines;
            ASSERT_GE(line.size(), 2u);
            EXPECT_EQ(line[0], '.');
            for (char ch : line)
                EXPECT_TRUE((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '.' || ch == '_' || ch == '-')
                    << "unexpected character";
            const std::u16string ext = text::FromUtf8(line);
            const bool binary = std::string(name) == "Binary.bin";
            EXPECT_EQ(known.ExtInBinaryList(ext.c_str()), binary);
            EXPECT_EQ(known.ExtInTextList(ext.c_str()), !binary);
        }
        EXPECT_GT(lines, 10);
    }
    EXPECT_TRUE(known.ExtInTextList(u".txt"));
    EXPECT_TRUE(known.ExtInBinaryList(u".exe"));
}

}  // namespace

namespace {

// A single-byte finding whose text would keep C1 controls is flagged, so the
// engine warns; punctuation the finding's code page has there is no C1.
TEST(AdvancedDetector, FlagsAFindingThatLeavesC1ControlsInTheText)
{
    const auto paragraph = [](const char* id) { return text::FromUtf8(corpus::ParagraphById(id).utf8); };
    const std::string russian = IcuEncode("windows-1251", paragraph("ru"));
    const std::string turkish = IcuEncode("windows-1254", paragraph("tr-typo"));
    const struct {
        const char* name;
        std::string bytes;
        int codepage;
        bool c1;
    } cases[] = {
        {"clean windows-1251", russian, 1251, false},
        // ISO-8859-5 has no superset that gives 85 a character.
        {"ISO-8859-5 with 85", IcuEncode("ISO-8859-5", paragraph("ru")) + "\x85\n", 28595, true},
        {"windows-1254 quotes", turkish, 1254, false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteBytes(dir.File("c1.txt"), c.bytes);
        const CAdvancedDetector detector = DetectFile(dir.File16("c1.txt"));
        EXPECT_EQ(detector.GetCodepage(), c.codepage);
        EXPECT_EQ(detector.HasC1Controls(), c.c1);
    }
}

}  // namespace

namespace {

// A finding made from one byte value says nothing of the code page: French
// text whose only byte above 7F is a DOS no-break space (FF) is a guess.
TEST(AdvancedDetector, CallsAFindingFromASingleByteValueUnsure)
{
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "Voici la ligne " + std::to_string(i) + "\xFF: un exemple\xFF; encore une phrase.\n";
    TempDir dir;
    WriteBytes(dir.File("nbsp.txt"), text);
    const CAdvancedDetector detector = DetectFile(dir.File16("nbsp.txt"));
    EXPECT_NE(detector.GetCodepage(), -1);
    EXPECT_EQ(detector.GetResult(), CAdvancedDetector::DETECTIONRESULT_UNSURE);
}

}  // namespace
