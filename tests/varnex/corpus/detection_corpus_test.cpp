// Detection measured on a corpus: the project's own paragraphs encoded in the
// code pages each language is really written in, plus the cases detection
// must never get wrong (byte order marks, empty and binary files, BOM-less
// UTF-16 with a text extension, 7-bit text). Every file is named after the
// code page it should be detected as. A statistical answer counts as right
// when it is that code page or one that decodes the file to the same text
// (ISO-8859-8 logical text read as windows-1255, GBK text read as 936 …).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "codecs/codepage.h"
#include "reference_codec.h"
#include "support/temp_dir.h"
#include "tools/corpus/corpus_texts.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

// The engine's job defaults: 2048-byte blocks, a 4 MB sample, the binary-list
// shortcut on, GB18030 reported as 936.
constexpr unsigned kBlockSize = 2048;
constexpr unsigned kScanLimitMB = 4;

enum class Kind {
    Statistical,  // left to the statistics: measured, may have known failures
    Bom,
    Empty,
    Binary,
    BomlessUtf16,
    Ascii,
    Utf8FewNonAscii,  // valid UTF-8 that the statistics took for a legacy code page
    BomlessByStructure,
    DoubleEncoded,  // UTF-8 holding UTF-8 read as windows-1252: UTF-8, flagged
};

struct DetectionCase {
    std::string file;  // "<expected code page>-<what>.<ext>"
    int expected;
    Kind kind;
    std::string bytes;
    bool heldOut = false;
};

// Statistical cases the detector gets wrong today, by the start of their file
// names, with the reason. They stay in the corpus and in the figures (the
// warning shares included); a fix shows as a note in the output.
struct KnownFailure {
    const char* prefix;
    const char* reason;
};
constexpr const char* kTooFewForAMacReading = "a few Mac Roman letters: too few to score the text's Mac reading";
constexpr const char* kTooFewForADosReading = "a few IBM850 letters: too few to score the text's DOS reading";
const std::vector<KnownFailure> kKnownFailures = {
    {"10000-fr-short", kTooFewForAMacReading},
    {"10000-de-short", kTooFewForAMacReading},
    {"10000-es-short", kTooFewForAMacReading},
    {"10000-pt-short", kTooFewForAMacReading},
    {"850-fr-short", kTooFewForADosReading},
    {"850-de-short", kTooFewForADosReading},
    {"850-de-line", kTooFewForADosReading},
    {"850-es-short", kTooFewForADosReading},
    {"65010-vi-short", "a few VISCII letters are windows-1252 letters too"},
    {"52936-zh-hans-short", "the HZ detector needs more than a few shifted characters"},
    {"1250-comment-pl-other", "one non-ASCII byte: 0xB3 is a letter in windows-1258 too"},
    {"65010-comment-vi", "one non-ASCII byte: a VISCII letter is a windows-1252 letter too"},
};

// The calibration targets of the "unsure" rule: wrong answers warned, right
// answers not; accuracy recorded when the corpus was measured, less a margin
// for detector updates that trade one case for another.
constexpr double kLeastWrongWarned = 0.90;
constexpr double kMostRightWarned = 0.10;
constexpr double kAccuracyFloor = 0.96;      // 475 of 489 statistical cases when recorded
constexpr double kPageAccuracyFloor = 0.97;  // 201 of 205 from 1 KB: one-letter source files (kKnownFailures)
constexpr double kTextPageTarget = 0.98;     // every text file from 1 KB: 238 of 242 when recorded
constexpr double kHeldOutFloor = 0.95;       // 58 of 60

// Which code pages each paragraph is encoded in: the ones its language is
// really written in, UTF-8 always. Held-out rows take no part in choosing the
// "unsure" rule; their accuracy is printed apart as a check against tuning.
struct LanguageRow {
    const char* id;
    std::vector<int> codepages;
    bool heldOut = false;
};
const LanguageRow kLanguages[] = {
    {"en", {1252, 10000, 65001}},  // in a DOS page English is ASCII but for a loanword
    {"fr", {1252, 28605, 10000, 850, 65001}},
    {"de", {1252, 10000, 850, 65001}},
    {"es", {1252, 10000, 850, 65001}},
    {"ru", {1251, 20866, 28595, 866, 855, 10007, 21866, 65001}},
    {"bg", {1251, 28595, 866, 855, 10007, 20866, 65001}},
    {"el", {28597, 1253, 65001}},
    {"he", {1255, 28598, 65001}},
    {"ja", {932, 20932, 50222, 50220, 50221, 65001}},
    {"zh-hans", {54936, 936, 52936, 50227, 65001}},
    {"zh-hant", {950, 51950, 1375, 65001}},
    {"ko", {51949, 50225, 1361, 949, 65001}},
    {"pl", {28592, 1250, 852, 10029, 65001}},
    {"cs", {28592, 1250, 852, 10029, 65001}},
    {"th", {874, 65001}},
    {"tr", {28599, 1254, 28593, 65001}},
    {"ro", {28606, 65001}},
    {"mixed", {65001, 54936}},
    {"uk", {21866, 1251, 10007, 65001}},
    {"ko-uhc", {949, 1361, 65001}},
    {"yue", {1375, 65001}},
    {"tr-typo", {1254, 65001}},
    {"lt-typo", {1257, 65001}},
    {"ar", {1256, 28596, 65001}},
    {"lt", {1257, 28603, 28594, 28600, 65001}, true},
    {"vi", {1258, 65010, 65001}, true},
    {"pt", {1252, 28605, 10000, 65001}, true},
};

// Sizes of the statistical cases: a short note, a page, a long document.
constexpr size_t kShortLimit = 100;
constexpr size_t kPageSize = 1000;
constexpr size_t kLongSize = 10000;

// The size class a case is counted in.
const char* SizeClass(size_t bytes)
{
    if (bytes < kShortLimit)
        return "a: under 100 B";
    if (bytes < kPageSize)
        return "b: 100 B to 1 KB";
    if (bytes < kLongSize)
        return "c: 1 KB to 10 KB";
    return "d: 10 KB and more";
}

std::string Name(int codepage, const std::string& what, const char* ext)
{
    return std::to_string(codepage) + "-" + what + ext;
}

std::string Encoded(int codepage, std::string_view utf8)
{
    std::string bytes;
    if (!corpus::EncodeForCodepage(codepage, utf8, bytes))
        throw std::runtime_error("corpus text cannot be encoded in " + std::to_string(codepage));
    return bytes;
}

std::string RandomBinary()
{
    std::mt19937 random(20240611);
    std::string bytes(8192, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    // Runs of zeros as in object files and tables; the zero-run test needs them.
    for (size_t at = 100; at + 8 < bytes.size(); at += 700)
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), 8, '\0');
    return bytes;
}

std::string FakePng()
{
    using namespace std::string_literals;
    std::string png = "\x89PNG\r\n\x1A\n"s;
    // IHDR: 256 x 200, 8-bit RGBA; the width and height fields hold a run of four zeros.
    png += "\0\0\0\x0DIHDR\0\0\x01\0\0\0\0\xC8\x08\x06\0\0\0\x5C\x72\xA8\x66"s;
    std::mt19937 random(7);
    std::string idat(1500, '\0');
    for (auto& b : idat)
        b = static_cast<char>(random() & 0xFF);
    png += "\0\0\x05\xDCIDAT"s + idat + "\x1F\x2E\x3D\x4C"s;
    png += "\0\0\0\0IEND\xAE\x42\x60\x82"s;
    return png;
}

// Source files in 7-bit code whose comment names its author with one
// non-ASCII letter: too little for the statistics, which took each of these
// for IBM852, ISO-8859-16 or windows-1258 ("Łukasz" read as "Ćukasz"). The
// code page is the legacy one the author's name is written in.
struct SourceComment {
    const char* what;
    const char* comment;
    int legacy;
};
const SourceComment kSourceComments[] = {
    {"pl", "// Author: Łukasz Nowak\n", 1250},    {"pl-other", "// Author: Michał Kowalski\n", 1250},
    {"cs", "// Author: Petr Novák\n", 1250},      {"cs-other", "// Author: Jan Dvořak\n", 28592},
    {"de", "// Author: Matthias Blümel\n", 1252}, {"de-other", "// Author: Uwe Große\n", 1252},
    {"vi", "// Author: Phạm Minh\n", 65010},      {"vi-other", "// Author: Lê Van An\n", 1258},
};

// The comment followed by 7-bit code up to at least `size` bytes.
std::string SourceFile(std::string_view comment, size_t size)
{
    std::string text(comment);
    for (int i = 0; text.size() < size; ++i)
        text += "int v" + std::to_string(i) + " = " + std::to_string(i) + ";\n";
    return text;
}

// UTF-8 read once more as windows-1252 and saved as UTF-8 again.
std::string EncodedTwice(std::string_view utf8)
{
    std::u16string misread;
    if (!codecs::DecodeCodePage(1252, utf8.data(), utf8.size(), misread, nullptr))
        throw std::runtime_error("windows-1252 is not available");
    return text::ToUtf8(misread);
}

// The text whole copies of the paragraph make, at least `size` bytes once encoded.
std::string Repeated(int codepage, std::string_view text, size_t size)
{
    std::string utf8(text), bytes = Encoded(codepage, utf8);
    while (bytes.size() < size) {
        utf8 += text;
        bytes = Encoded(codepage, utf8);
    }
    return utf8;
}

size_t Utf8Length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// A short note: from a word a little before the first non-ASCII character,
// as much as stays under kShortLimit bytes once encoded, ending after a word
// where the script spaces its words.
std::string ShortNote(int codepage, std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) < 0x80)
        ++first;
    size_t start = first > 30 ? text.rfind(' ', first - 30) : std::string_view::npos;
    start = start == std::string_view::npos ? 0 : start + 1;
    std::string best, bestAtWord;
    for (size_t end = start; end < text.size();) {
        end += Utf8Length(static_cast<unsigned char>(text[end]));
        const std::string candidate(text.substr(start, end - start));
        if (Encoded(codepage, candidate).size() >= kShortLimit)
            break;
        best = candidate;
        if (end == text.size() || text[end] == ' ' || text[end] == '\n')
            bestAtWord = candidate;
    }
    return bestAtWord.size() * 2 > best.size() ? bestAtWord : best;
}

// Text as DOS-era files hold it: the DOS pages have no typographic quotes,
// dashes, euro sign or oe ligature.
std::string DosTypography(std::string_view utf8)
{
    static const std::pair<std::string_view, std::string_view> kPlain[] = {
        {"\u201C", "\""}, {"\u201D", "\""}, {"\u201E", "\""},  {"\u2018", "'"},   {"\u2019", "'"},  {"\u201A", "'"},
        {"\u2013", "-"},  {"\u2014", "-"},  {"\u2026", "..."}, {"\u20AC", "EUR"}, {"\u0153", "oe"}, {"\u0152", "OE"},
    };
    std::string text(utf8);
    for (const auto& [from, to] : kPlain)
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    return text;
}

std::vector<DetectionCase> BuildCorpus()
{
    std::vector<DetectionCase> cases;
    for (const auto& row : kLanguages) {
        for (int cp : row.codepages) {
            const std::string text = cp == 850 ? DosTypography(corpus::ParagraphById(row.id).utf8)
                                               : std::string(corpus::ParagraphById(row.id).utf8);
            // The first line alone as well: a short note is the harder case.
            const std::string firstLine = text.substr(0, text.find('\n') + 1);
            const std::string id(row.id);
            const auto add = [&](const std::string& what, std::string_view utf8) {
                cases.push_back({Name(cp, what, ".txt"), cp, Kind::Statistical, Encoded(cp, utf8), row.heldOut});
            };
            add(id, text);
            add(id + "-line", firstLine);
            add(id + "-short", ShortNote(cp, text));
            add(id + "-page", Repeated(cp, text, kPageSize));
            add(id + "-long", Repeated(cp, text, kLongSize));
        }
    }
    const auto mixed = corpus::ParagraphById("mixed").utf8;
    for (int cp : {65001, 1200, 1201, 12000, 12001, 2143, 3412})
        cases.push_back({Name(cp, "bom", ".txt"), cp, Kind::Bom, corpus::BomOf(cp) + Encoded(cp, mixed)});
    // A byte order mark decides whatever the extension says.
    cases.push_back({Name(65001, "bom", ".dat"), 65001, Kind::Bom, corpus::BomOf(65001) + Encoded(65001, mixed)});
    for (const char* id : {"en", "fr", "de", "ru", "el"})
        cases.push_back({Name(1200, std::string("bomless-") + id, ".txt"), 1200, Kind::BomlessUtf16,
                         Encoded(1200, corpus::ParagraphById(id).utf8)});
    for (const auto& [what, comment, legacy] : kSourceComments) {
        for (size_t size : {size_t{60}, kPageSize, kLongSize}) {
            const std::string text = SourceFile(comment, size);
            const std::string tag = std::string(what) + "-" + std::to_string(size);
            cases.push_back({Name(65001, "comment-" + tag, ".c"), 65001, Kind::Utf8FewNonAscii, text});
            // The same file saved in the author's legacy code page: the statistics
            // have one letter to go by.
            cases.push_back({Name(legacy, "comment-" + tag, ".c"), legacy, Kind::Statistical, Encoded(legacy, text)});
        }
    }
    // Without a mark and with an extension the text list does not name.
    for (const char* id : {"en", "fr", "de", "pl"})
        for (int cp : {1201, 12000, 12001})
            cases.push_back({Name(cp, std::string("bomless-") + id, ".dat"), cp, Kind::BomlessByStructure,
                             Encoded(cp, corpus::ParagraphById(id).utf8)});
    for (const char* id : {"fr", "de", "pt", "es", "pl", "vi"})
        cases.push_back({Name(65001, std::string("twice-") + id, ".txt"), 65001, Kind::DoubleEncoded,
                         EncodedTwice(corpus::ParagraphById(id).utf8)});
    cases.push_back({Name(0, "ascii", ".txt"), 0, Kind::Ascii, std::string(corpus::ParagraphById("ascii").utf8)});
    cases.push_back({Name(0, "ascii", ".dat"), 0, Kind::Ascii, std::string(corpus::ParagraphById("ascii").utf8)});
    cases.push_back({Name(-1, "empty", ".txt"), -1, Kind::Empty, ""});
    cases.push_back({Name(-1, "empty", ""), -1, Kind::Empty, ""});
    cases.push_back({Name(-1, "random", ".dat"), -1, Kind::Binary, RandomBinary()});
    cases.push_back({Name(-1, "image", ".png"), -1, Kind::Binary, FakePng()});
    cases.push_back({Name(-1, "image-renamed", ".txt"), -1, Kind::Binary, FakePng()});
    return cases;
}

struct Outcome {
    const DetectionCase* c;
    int codepage;
    float confidence;
    bool hasBom;
    CAdvancedDetector::DETECTIONRESULT result;
    bool doubleEncoded;
    bool right;
    // What the engine warns about: an unsure or unknown-text result, C1
    // controls in the text found, or double encoding.
    bool warned;
};

// Decoding the file with both code pages gives the same, complete text.
bool DecodeEquivalent(int expected, int detected, const std::string& bytes)
{
    if (detected < 0 || expected < 0)
        return false;
    std::u16string want, got;
    uint64_t wantLost = 0, gotLost = 0;
    if (!codecs::DecodeCodePage(static_cast<unsigned>(expected), bytes.data(), bytes.size(), want, &wantLost) ||
        !codecs::DecodeCodePage(static_cast<unsigned>(detected), bytes.data(), bytes.size(), got, &gotLost))
        return false;
    return wantLost == 0 && gotLost == 0 && want == got;
}

const char* KnownFailureReason(const std::string& file)
{
    for (const auto& k : kKnownFailures)
        if (file.starts_with(k.prefix))
            return k.reason;
    return nullptr;
}

std::string ShortName(int codepage)
{
    const CCodepageInfo* info = CCodepageInfo::GetCodepageInfo(codepage);
    return info ? text::ToUtf8(info->GetCodepageShortName()) : std::to_string(codepage);
}

// The corpus on disk and what the detector made of each file, built once.
struct DetectionRun {
    TempDir dir;
    std::vector<DetectionCase> cases = BuildCorpus();
    std::vector<Outcome> outcomes;
};

class DetectionCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
        s_run = std::make_unique<DetectionRun>();
        for (const auto& c : s_run->cases) {
            WriteBytes(s_run->dir.File(c.file), c.bytes);
            CAdvancedDetector d({.blockSize = kBlockSize, .scanLimitMB = kScanLimitMB});
            d.Detect(s_run->dir.File16(c.file));
            const bool right = d.GetCodepage() == c.expected ||
                               (c.kind == Kind::Statistical && DecodeEquivalent(c.expected, d.GetCodepage(), c.bytes));
            const bool flagRight = d.IsDoubleEncoded() == (c.kind == Kind::DoubleEncoded);
            const bool warned = d.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNSURE ||
                                d.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNKNOWN_TEXT || d.HasC1Controls() ||
                                d.IsDoubleEncoded();
            s_run->outcomes.push_back({&c, d.GetCodepage(), d.GetConfidence(), d.HasBom(), d.GetResult(),
                                       d.IsDoubleEncoded(), right && flagRight, warned});
        }
    }
    static void TearDownTestSuite() { s_run.reset(); }

    static inline std::unique_ptr<DetectionRun> s_run;
};

TEST_F(DetectionCorpus, GivesMarksEmptyBinaryBomlessUtf16AndAsciiFilesTheirCodepage)
{
    for (const auto& o : s_run->outcomes) {
        if (o.c->kind == Kind::Statistical)
            continue;
        SCOPED_TRACE(o.c->file);
        EXPECT_EQ(o.codepage, o.c->expected);
        EXPECT_EQ(o.result, CAdvancedDetector::DETECTIONRESULT_OK);
        EXPECT_EQ(o.hasBom, o.c->kind == Kind::Bom);
        EXPECT_EQ(o.doubleEncoded, o.c->kind == Kind::DoubleEncoded);
        if (o.c->kind == Kind::Bom) {
            EXPECT_EQ(o.confidence, 1.0f);
        } else if (o.c->kind == Kind::Ascii || o.c->kind == Kind::Utf8FewNonAscii ||
                   o.c->kind == Kind::BomlessByStructure || o.c->kind == Kind::DoubleEncoded) {
            EXPECT_FLOAT_EQ(o.confidence, 0.99f);
        }
    }
}

TEST_F(DetectionCorpus, DetectsEveryTextOutsideTheKnownFailures)
{
    for (const auto& o : s_run->outcomes) {
        if (o.c->kind != Kind::Statistical)
            continue;
        SCOPED_TRACE(o.c->file + " detected as " + std::to_string(o.codepage) + " with confidence " +
                     std::to_string(o.confidence));
        // A text file never ends as binary or in error, known failure or not.
        EXPECT_NE(o.codepage, -1);
        EXPECT_NE(o.result, CAdvancedDetector::DETECTIONRESULT_ERROR);
        if (const char* reason = KnownFailureReason(o.c->file)) {
            if (o.right)
                std::cout << "[ NOTE     ] known failure now detected right: " << o.c->file << " (" << reason << ")\n";
            continue;
        }
        EXPECT_TRUE(o.right);
    }
}

TEST_F(DetectionCorpus, KnownFailuresNameCorpusFiles)
{
    for (const auto& k : kKnownFailures) {
        SCOPED_TRACE(k.prefix);
        EXPECT_TRUE(std::any_of(s_run->cases.begin(), s_run->cases.end(),
                                [&](const DetectionCase& c) { return c.file.starts_with(k.prefix); }));
    }
}

struct Tally {
    int cases = 0;
    int right = 0;
    void Add(bool ok) { ++cases, right += ok ? 1 : 0; }
    double Share() const { return cases ? static_cast<double>(right) / cases : 0.0; }
};

void PrintLine(std::ostream& out, const std::string& key, const Tally& t)
{
    out << "  " << std::left << std::setw(28) << key << std::right << std::setw(5) << t.right << "/" << std::setw(5)
        << t.cases << "  " << std::fixed << std::setprecision(1) << 100.0 * t.Share() << "%\n";
}

// The figures the "unsure" rule is judged by.
struct Calibration {
    Tally statistical, all, page;    // right answers; page: statistical from 1 KB on
    Tally textPage;                  // every text file from 1 KB on
    Tally heldOut, heldOutPage;      // the same for the held-out rows
    Tally wrongWarned, rightWarned;  // warnings among wrong and among right answers
    std::map<std::string, Tally> perSize;
};

Calibration Measure(const std::vector<Outcome>& outcomes)
{
    Calibration m;
    for (const auto& o : outcomes) {
        const bool text = o.c->kind != Kind::Empty && o.c->kind != Kind::Binary;
        m.all.Add(o.right);
        if (text)
            m.perSize[SizeClass(o.c->bytes.size())].Add(o.right);
        if (text && !o.c->heldOut && o.c->bytes.size() >= kPageSize)
            m.textPage.Add(o.right);
        if (o.c->kind == Kind::Statistical) {
            (o.c->heldOut ? m.heldOut : m.statistical).Add(o.right);
            if (o.c->bytes.size() >= kPageSize)
                (o.c->heldOut ? m.heldOutPage : m.page).Add(o.right);
        }
        // Double encoding is found by its warning; it is no false alarm.
        if (o.c->kind == Kind::DoubleEncoded)
            continue;
        (o.right ? m.rightWarned : m.wrongWarned).Add(o.warned);
    }
    return m;
}

TEST_F(DetectionCorpus, KeepsOverallAccuracyAboveTheRecordedFloor)
{
    std::map<std::string, Tally> perEncoding;
    std::ostringstream wrong, equivalent;
    for (const auto& o : s_run->outcomes) {
        std::string key;
        switch (o.c->kind) {
        case Kind::Statistical:
            key = ShortName(o.c->expected);
            break;
        case Kind::Bom:
            key = "BOM " + ShortName(o.c->expected);
            break;
        case Kind::BomlessUtf16:
            key = "UTF-16LE without BOM";
            break;
        case Kind::Ascii:
            key = "7-bit";
            break;
        case Kind::Utf8FewNonAscii:
            key = "UTF-8, few non-ASCII";
            break;
        case Kind::BomlessByStructure:
            key = ShortName(o.c->expected) + " without BOM";
            break;
        case Kind::DoubleEncoded:
            key = "UTF-8 encoded twice";
            break;
        case Kind::Empty:
            key = "empty";
            break;
        case Kind::Binary:
            key = "binary";
            break;
        }
        perEncoding[key].Add(o.right);
        if (!o.right || o.codepage != o.c->expected) {
            (o.right ? equivalent : wrong)
                << "  " << std::left << std::setw(32) << o.c->file << " -> " << o.codepage << " ("
                << ShortName(o.codepage) << ", confidence " << std::fixed << std::setprecision(2) << o.confidence
                << (o.warned ? ", warned" : "") << ")\n";
        }
    }
    const Calibration m = Measure(s_run->outcomes);
    std::ostringstream table;
    table << "Detection accuracy (block " << kBlockSize << ", sample " << kScanLimitMB << " MB):\n";
    for (const auto& [key, t] : perEncoding)
        PrintLine(table, key, t);
    table << "By size (text files):\n";
    for (const auto& [key, t] : m.perSize)
        PrintLine(table, key, t);
    PrintLine(table, "statistical cases", m.statistical);
    PrintLine(table, "statistical from 1 KB", m.page);
    PrintLine(table, "text files from 1 KB", m.textPage);
    PrintLine(table, "held-out statistical", m.heldOut);
    PrintLine(table, "held-out from 1 KB", m.heldOutPage);
    PrintLine(table, "all files", m.all);
    table << "Warnings:\n";
    PrintLine(table, "wrong answers warned", m.wrongWarned);
    PrintLine(table, "right answers warned", m.rightWarned);
    if (!equivalent.str().empty())
        table << "Right by decoding to the same text:\n" << equivalent.str();
    if (!wrong.str().empty())
        table << "Wrong answers:\n" << wrong.str();
    std::cout << table.str();
    RecordProperty("statistical_accuracy", std::to_string(m.statistical.Share()));
    RecordProperty("overall_accuracy", std::to_string(m.all.Share()));
    RecordProperty("cases", m.all.cases);

    EXPECT_GE(m.statistical.Share(), kAccuracyFloor);
    EXPECT_GE(m.page.Share(), kPageAccuracyFloor);
    EXPECT_GE(m.textPage.Share(), kTextPageTarget);
    EXPECT_GE(m.heldOut.Share(), kHeldOutFloor);
}

TEST_F(DetectionCorpus, WarnsOnWrongAnswersAndRarelyOnRightOnes)
{
    const Calibration m = Measure(s_run->outcomes);
    std::cout << "wrong answers warned " << m.wrongWarned.right << "/" << m.wrongWarned.cases
              << ", right answers warned " << m.rightWarned.right << "/" << m.rightWarned.cases << "\n";
    EXPECT_GE(m.wrongWarned.Share(), kLeastWrongWarned);
    EXPECT_LE(m.rightWarned.Share(), kMostRightWarned);
    for (const auto& o : s_run->outcomes) {
        SCOPED_TRACE(o.c->file);
        // A short note may be read wrong, never silently.
        if (o.c->bytes.size() < kShortLimit && !o.right) {
            EXPECT_TRUE(o.warned);
        }
        // Valid UTF-8 is UTF-8, and no text ends as binary.
        if (o.c->expected == 65001) {
            EXPECT_EQ(o.codepage, 65001);
        }
        if (o.c->kind != Kind::Empty && o.c->kind != Kind::Binary) {
            EXPECT_NE(o.codepage, -1);
        }
        if (o.c->kind == Kind::Utf8FewNonAscii || (o.c->expected == 65001 && o.c->kind == Kind::Statistical)) {
            EXPECT_FALSE(o.warned);
        }
    }
}

}  // namespace
