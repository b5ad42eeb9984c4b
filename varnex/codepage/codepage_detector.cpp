#include "varnex/codepage/codepage_detector.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

// uchardet's own headers: nscore.h must come first.
#include "nsCharSetProber.h"
#include "nsUniversalDetector.h"
#include "nscore.h"

#include "codecs/codepage.h"
#include "textrion/encoding/bom_detector.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/encoding/utf8_validation.h"
#include "textrion/io/file_sample.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/codepage/finding_evidence.h"
#include "varnex/codepage/latin1_prober.h"
#include "varnex/codepage/multi_byte_group.h"
#include "varnex/codepage/single_byte_group.h"

namespace {

constexpr float kCertain = 0.99f;

struct CharsetRow {
    const char* name;
    int codepage;
};

// Every name uchardet 0.0.7 can report. UHC is what its EUC-KR prober calls
// itself; ISO-8859-8-I is logical Hebrew. ISO-8859-1 is read as windows-1252,
// its superset: the two agree on every byte but 80..9F, where real files hold
// windows-1252's punctuation rather than C1 controls.
constexpr CharsetRow kCharsets[] = {
    {"UTF-8", 65001},
    {"SHIFT_JIS", 932},
    {"EUC-JP", 20932},
    {"GB18030", 54936},
    {"EUC-KR", 51949},
    {"UHC", 51949},
    {"BIG5", 950},
    {"EUC-TW", 51950},
    {"HZ-GB-2312", 52936},
    {"ISO-2022-CN", 50227},
    {"ISO-2022-JP", 50222},
    {"ISO-2022-KR", 50225},
    {"WINDOWS-1252", 1252},
    {"WINDOWS-1251", 1251},
    {"KOI8-R", 20866},
    {"ISO-8859-5", 28595},
    {"MAC-CYRILLIC", 10007},
    {"IBM866", 866},
    {"IBM855", 855},
    {"ISO-8859-7", 28597},
    {"WINDOWS-1253", 1253},
    {"WINDOWS-1255", 1255},
    {"ISO-8859-8-I", 1255},
    {"ISO-8859-8", 28598},
    {"ASCII", 0},
    {"ISO-8859-1", 1252},
    {"ISO-8859-2", 28592},
    {"WINDOWS-1250", 1250},
    {"TIS-620", 874},
    {"ISO-8859-11", 874},
    {"ISO-8859-3", 28593},
    {"ISO-8859-4", 28594},
    {"ISO-8859-6", 28596},
    {"ISO-8859-9", 28599},
    {"ISO-8859-10", 28600},
    {"ISO-8859-13", 28603},
    {"ISO-8859-15", 28605},
    {"ISO-8859-16", 28606},
    {"WINDOWS-1256", 1256},
    {"WINDOWS-1257", 1257},
    {"WINDOWS-1258", 1258},
    {"IBM852", 852},
    {"MAC-CENTRALEUROPE", 10029},
    {"VISCII", 65010},
    // Named after a byte order mark at the very start; Detect reads the byte
    // order from the mark itself, these are the names' usual forms.
    {"UTF-16", 1200},
    {"UTF-32", 12000},
};

// The code page of a byte order mark, -1 for none.
int CodepageOfBom(BOM bom)
{
    const UnicodeForm* form = FindUnicodeFormByBom(bom);
    return form ? static_cast<int>(form->codePage) : -1;
}

// uchardet's ISO-2022-CN state machine never leaves ESC: its class table
// gives '$' no class of its own. So the designators are looked for here:
// ESC $ ) A (GB2312), ESC $ ) G (CNS 11643 plane 1), ESC $ * H (plane 2) and
// ESC $ + I..M (planes 3 to 7). The state carries over block boundaries.
class Iso2022CnDesignatorScanner {
public:
    void Reset()
    {
        m_state = kNone;
        m_found = false;
    }
    bool Found() const { return m_found; }

    void Scan(const char* data, unsigned length)
    {
        for (unsigned i = 0; i < length && !m_found; ++i) {
            const char c = data[i];
            switch (m_state) {
            case kEsc:
                m_state = c == '$' ? kEscDollar : kNone;
                break;
            case kEscDollar:
                m_state = c == ')' ? kSo : c == '*' ? kSs2 : c == '+' ? kSs3 : kNone;
                break;
            case kSo:
                m_found = c == 'A' || c == 'G';
                m_state = kNone;
                break;
            case kSs2:
                m_found = c == 'H';
                m_state = kNone;
                break;
            case kSs3:
                m_found = c >= 'I' && c <= 'M';
                m_state = kNone;
                break;
            default:
                break;
            }
            if (c == '\033')
                m_state = kEsc;
        }
    }

private:
    enum State { kNone, kEsc, kEscDollar, kSo, kSs2, kSs3 };
    State m_state = kNone;
    bool m_found = false;
};

// Whether a byte stream fed in pieces is valid UTF-8 so far. A sequence cut
// by the end of the sample is not held against it.
class Utf8Validator {
public:
    void Reset()
    {
        m_valid = true;
        m_carried = 0;
    }
    bool IsValid() const { return m_valid; }

    void Scan(const char* data, unsigned length)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(data);
        // The sequence the last piece cut, completed a byte at a time.
        while (m_valid && m_carried > 0 && length > 0) {
            m_carry[m_carried++] = *p++;
            --length;
            const Utf8Validity v = ValidateUtf8(m_carry, m_carried);
            m_valid = v.status != Utf8Validity::kInvalid;
            if (v.status == Utf8Validity::kValid)
                m_carried = 0;
        }
        if (!m_valid || length == 0)
            return;
        const Utf8Validity v = ValidateUtf8(p, length);
        m_valid = v.status != Utf8Validity::kInvalid;
        if (v.status == Utf8Validity::kTruncated) {
            m_carried = static_cast<unsigned>(length - v.position);
            std::memcpy(m_carry, p + v.position, m_carried);
        }
    }

private:
    bool m_valid = true;
    unsigned char m_carry[4] = {};  // a lead and at most two more bytes, then the next
    unsigned m_carried = 0;
};

// Data the detector would name ASCII with certainty once fed to the end: no
// byte above 7F (no prober starts), no zero byte (the zero-byte rules) and
// no ESC or "~{" (the escape probers). Checked in blocks without branching
// on each byte.
bool PlainSevenBit(const unsigned char* bytes, uint64_t size)
{
    constexpr uint64_t kBlock = 4096;
    unsigned char previous = 0;
    for (uint64_t at = 0; at < size; at += kBlock) {
        const uint64_t end = std::min(size, at + kBlock);
        unsigned bad = 0;
        for (uint64_t i = at; i < end; ++i) {
            const unsigned char c = bytes[i];
            bad |= static_cast<unsigned>(c >= 0x80) | static_cast<unsigned>(c == 0) | static_cast<unsigned>(c == 0x1B) |
                   static_cast<unsigned>(c == '{' && previous == '~');
            previous = c;
        }
        if (bad != 0)
            return false;
    }
    return true;
}

constexpr float kMinimumConfidence = 0.20f;
// Given to a finding made from the byte structure alone: sure enough to
// convert, not to pass for a statistical certainty.
constexpr float kStructureConfidence = 0.7f;
// A short sample's structure: a finding, but one the engine warns about.
constexpr float kWeakStructureConfidence = 0.5f;

}  // namespace

// The detector class with the reporting rules of this system on top.
class CCodepageDetector::UniversalDetector : public nsUniversalDetector {
public:
    UniversalDetector() : nsUniversalDetector(NS_FILTER_ALL)
    {
        // Made now instead of at the first high byte: the same probers, and
        // kept through Reset like the others.
        mCharSetProbers[0] = new CMultiByteGroup(mLanguageFilter);
        mCharSetProbers[1] = new CSingleByteGroup;
        mCharSetProbers[2] = new CLatin1Prober;
    }

    void Restart()
    {
        Reset();
        m_reported = nullptr;
        m_confidence = 0.0f;
        m_blocks = 0;
        m_blocksWithZeros = 0;
        m_bytes = 0;
        m_zeros = 0;
        m_headLength = 0;
        m_iso2022Cn.Reset();
        m_utf8.Reset();
    }

    void Feed(const char* data, unsigned length)
    {
        unsigned zeros = 0;
        for (unsigned i = 0; i < length; ++i)
            zeros += data[i] == 0;
        ++m_blocks;
        if (zeros > 2)
            ++m_blocksWithZeros;
        m_bytes += length;
        m_zeros += zeros;
        for (unsigned i = 0; i < length && m_headLength < sizeof(m_head); ++i)
            m_head[m_headLength++] = static_cast<unsigned char>(data[i]);
        m_utf8.Scan(data, length);
        // Past the first high byte the state can change no more: the base
        // class's walk of every byte for it would find nothing, and no
        // ISO-2022-CN finding is made from such data.
        if (mInputState == eHighbyte && !mStart) {
            FeedProbers(data, length);
            return;
        }
        m_iso2022Cn.Scan(data, length);
        HandleData(data, length);
    }

    // Certain before the end of the data: reading more changes nothing.
    bool IsDone() const { return mDone || IsIso2022Cn(); }

    // The code page of the byte order mark the data starts with, -1 for none.
    int BomCodepage() const { return CodepageOfBom(CBomDetector::Judge(m_head, m_headLength)); }

    // Ends the data and returns the charset reported (null for none).
    const char* Finish(float& confidence)
    {
        const bool iso2022Cn = IsIso2022Cn();
        const bool certainBefore = mDone;
        const nsInputState state = mInputState;
        DataEnd();
        confidence = 0.0f;
        if (m_reported == nullptr && !iso2022Cn)
            return nullptr;
        // Text in a code page holds no zero bytes; UTF-16 or UTF-32 without a
        // mark is full of them, and whatever the probers make of its other
        // bytes is no finding. A mark at the start is trusted as it is.
        const bool markedUnicode = certainBefore && BomCodepage() != -1;
        if (!markedUnicode && (m_blocksWithZeros == m_blocks || m_zeros * kZeroShare >= m_bytes))
            return nullptr;
        if (iso2022Cn) {
            confidence = kCertain;
            return "ISO-2022-CN";
        }
        if (!certainBefore && state != eHighbyte) {
            // 7-bit data, NBSP bytes included, is code page 0 text.
            confidence = kCertain;
            return "ASCII";
        }
        if (certainBefore) {
            confidence = kCertain;
            return m_reported;
        }
        if (std::strcmp(m_reported, "UTF-8") == 0 && !m_utf8.IsValid())
            return BestSingleByteGroup(confidence);
        confidence = m_confidence;
        return m_reported;
    }

protected:
    void Report(const char* charset) override
    {
        m_reported = charset;
        // The best group's confidence, as the base class chose it (a later
        // group wins only when strictly higher).
        float best = 0.0f;
        for (auto* prober : mCharSetProbers)
            if (prober != nullptr && prober->GetConfidence() > best)
                best = prober->GetConfidence();
        m_confidence = best;
    }

private:
    // What HandleData does with data once the input has high bytes.
    void FeedProbers(const char* data, unsigned length)
    {
        if (mDone)
            return;
        if (length > 0)
            mGotData = PR_TRUE;
        for (nsCharSetProber* prober : mCharSetProbers) {
            if (prober != nullptr && prober->HandleData(data, length) == eFoundIt) {
                mDone = PR_TRUE;
                mDetectedCharset = prober->GetCharSetName();
                return;
            }
        }
    }

    // uchardet's UTF-8 prober stops counting at an invalid sequence yet keeps
    // the confidence of the characters before it (0.75 after two), so a few
    // chance pairs in other data make a UTF-8 finding. Data that is not UTF-8
    // gets the better of the other two groups instead, or nothing.
    const char* BestSingleByteGroup(float& confidence)
    {
        const char* best = nullptr;
        confidence = 0.0f;
        for (unsigned i = 1; i < NUM_OF_CHARSET_PROBERS; ++i) {
            nsCharSetProber* prober = mCharSetProbers[i];
            if (prober != nullptr && prober->GetConfidence() > kMinimumConfidence &&
                prober->GetConfidence() > confidence) {
                best = prober->GetCharSetName();
                confidence = prober->GetConfidence();
            }
        }
        return best;
    }

    // An ISO-2022-CN designator in data that stayed 7-bit, and no other
    // escape encoding found first.
    bool IsIso2022Cn() const { return m_iso2022Cn.Found() && !mDone && mInputState == eEscAscii; }

    const char* m_reported = nullptr;
    float m_confidence = 0.0f;
    // Data with at least one zero byte in kZeroShare is not code page text,
    // nor is data in which every block holds more than two.
    static constexpr uint64_t kZeroShare = 8;

    unsigned m_blocks = 0;
    unsigned m_blocksWithZeros = 0;
    uint64_t m_bytes = 0;
    uint64_t m_zeros = 0;
    unsigned char m_head[4] = {};
    unsigned m_headLength = 0;
    Iso2022CnDesignatorScanner m_iso2022Cn;
    Utf8Validator m_utf8;
};

CCodepageDetector::CCodepageDetector(const char16_t* path, unsigned blockSize, unsigned scanLimitMB, bool reportGB18030)
    : m_path(path ? path : u""),
      m_blockSize(blockSize),
      m_scanLimitMB(scanLimitMB),
      m_reportGB18030(reportGB18030),
      m_detector(std::make_unique<UniversalDetector>())
{
}

CCodepageDetector::CCodepageDetector(unsigned blockSize, unsigned scanLimitMB, bool reportGB18030)
    : CCodepageDetector(nullptr, blockSize, scanLimitMB, reportGB18030)
{
}

CCodepageDetector::~CCodepageDetector() = default;

int CCodepageDetector::CodepageOfCharset(const char* charset, bool reportGB18030)
{
    if (charset == nullptr)
        return -1;
    for (const auto& row : kCharsets) {
        if (strcasecmp(row.name, charset) == 0) {
            if (row.codepage == 54936 && !reportGB18030)
                return 936;
            return row.codepage;
        }
    }
    return -1;
}

bool CCodepageDetector::Detect()
{
    CFileSample sample;
    if (!sample.Open(m_path.c_str(), m_blockSize, static_cast<uint64_t>(m_scanLimitMB) * 1048576u)) {
        m_found = {};  // no measure of an earlier file stays
        m_found.failed = true;
        return false;
    }
    return Detect(sample);
}

bool CCodepageDetector::Detect(CFileSample& sample)
{
    m_found = {};
    m_detector->Restart();
    m_scan.Reset();

    // 64-bit: a large limit must not wrap to nothing. The last block is cut
    // to the limit, so no block size makes it read more.
    const uint64_t limit = static_cast<uint64_t>(m_scanLimitMB) * 1048576u;
    // Plain 7-bit data held to the end already (the UTF-8 check reads it
    // all): fed block by block it would come out as ASCII, certain.
    if (const uint64_t held = std::min(sample.Size(), limit);
        held > 0 && m_blockSize > 0 && (sample.AtEnd() || held == limit) && PlainSevenBit(sample.Data(), held)) {
        m_found.bytesFed = held;
        m_found.codepage = CodepageOfCharset("ASCII", m_reportGB18030);
        m_found.confidence = kCertain;
        return false;
    }
    if (limit > 0 && m_blockSize > 0) {
        uint64_t requested = 0;
        uint64_t nextCheck = 64 * 1024;
        bool ended = false;
        while (!ended && !m_detector->IsDone() && requested < limit) {
            if (m_canContinue && requested >= nextCheck) {
                nextCheck = requested + 64 * 1024;
                if (!m_canContinue()) {
                    m_found.stopped = true;
                    return false;
                }
            }
            const auto want = static_cast<unsigned>(std::min<uint64_t>(m_blockSize, limit - requested));
            if (!sample.Fill(requested + want))
                m_found.failed = true;
            const uint64_t held = sample.Size() > requested ? sample.Size() - requested : 0;
            const auto n = static_cast<unsigned>(std::min<uint64_t>(want, held));
            if (n > 0) {
                m_detector->Feed(sample.Chars() + requested, n);
                m_found.nonAscii += finding_evidence::NonAsciiBytes(sample.Chars() + requested, n);
                m_found.bytesFed += n;
            }
            requested += want;
            ended = n < want;
        }
    }
    const bool certain = m_detector->IsDone();
    float confidence = 0.0f;
    const char* charset = m_detector->Finish(confidence);
    int codepage = CodepageOfCharset(charset, m_reportGB18030);
    if (charset != nullptr && (strcasecmp(charset, "UTF-16") == 0 || strcasecmp(charset, "UTF-32") == 0)) {
        // The name leaves the byte order open; the mark it was named after does not.
        const int byMark = m_detector->BomCodepage();
        if (byMark != -1)
            codepage = byMark;
    }
    // Where the statistics are lost, a byte structure that only one code page
    // has decides. Widening keeps -1, 0 and 65001, so this is known before.
    const bool structureDecides =
        codepage == -1 || (confidence < kStructureConfidence && codepage != 0 && codepage != 65001);
    // The fed bytes are all held: scanned once, for what the finding needs.
    if (structureDecides)
        m_scan.Feed(sample.Chars(), static_cast<size_t>(m_found.bytesFed));
    else if (CSupersetScan::ReadsPairs(codepage))
        m_scan.FeedPairsOf(codepage, sample.Chars(), static_cast<size_t>(m_found.bytesFed));
    else
        m_scan.FeedLetters(sample.Chars(), static_cast<size_t>(m_found.bytesFed));
    // Read with the widest compatible code page the data needs.
    codepage = m_scan.Widen(codepage, m_reportGB18030);
    if (structureDecides) {
        bool strong = false;
        if (const int byStructure = m_scan.ByStructure(&strong); byStructure != -1) {
            codepage = byStructure;
            confidence = strong ? kStructureConfidence : kWeakStructureConfidence;
        }
    }
    if (codepage != -1 || charset == nullptr) {
        m_found.codepage = codepage;
        m_found.c1Controls = m_scan.DecodesToC1(codepage);
        m_found.confidence = codepage == -1 ? 0.0f : confidence;
    }
    if (m_found.codepage > 0 && m_found.confidence < kCertain) {
        // The start of the text is enough to see a misplaced script.
        constexpr uint64_t kCaseSample = 64 * 1024;
        const std::string_view start(sample.Chars(), static_cast<size_t>(std::min(m_found.bytesFed, kCaseSample)));
        m_found.distinctNonAscii = finding_evidence::DistinctNonAsciiBytes(start.data(), start.size());
        MeasureText(start);
        if (m_found.confidence < kUnmodelledReadingBelow)
            ReadInUnmodelledPage(start);
    }
    return certain;
}

const finding_evidence::ByteKinds* CCodepageDetector::KindsOf(int codepage)
{
    for (const auto& [page, kinds] : m_byteKinds)
        if (page == codepage)
            return kinds.get();
    auto kinds = std::make_unique<finding_evidence::ByteKinds>();
    if (codepage <= 0 || !finding_evidence::MakeByteKinds(static_cast<unsigned>(codepage), *kinds))
        kinds.reset();
    return m_byteKinds.emplace_back(codepage, std::move(kinds)).second.get();
}

void CCodepageDetector::MeasureText(std::string_view bytes)
{
    // A page with a character per byte is measured on the bytes themselves.
    if (const finding_evidence::ByteKinds* kinds = KindsOf(m_found.codepage)) {
        const finding_evidence::TextShares shares = finding_evidence::MeasureBytes(bytes, *kinds);
        m_found.mixedCase = shares.mixedCase;
        m_found.symbolShare = shares.symbolShare;
        m_found.symbolsInWords = shares.symbols;
        return;
    }
    std::u16string text;
    if (!codecs::DecodeCodePage(static_cast<unsigned>(m_found.codepage), bytes.data(), bytes.size(), text, nullptr))
        return;
    m_found.mixedCase = finding_evidence::MixedCaseWordShare(text);
    m_found.symbolShare = finding_evidence::SymbolInWordShare(text, &m_found.symbolsInWords);
}

namespace {

// A page the statistics have no model (or a poor one) for, and the Windows
// page with the same letters; Cyrillic ones are tried on Cyrillic findings
// only, Latin ones on the rest. 850 stands for the DOS Western pages: 437 and
// 865 put their letters in the same places.
struct UnmodelledPage {
    unsigned page;
    unsigned windows;
    bool cyrillic;
};
constexpr UnmodelledPage kUnmodelledPages[] = {
    {10000, 1252, false}, {10029, 1250, false}, {850, 1252, false}, {10007, 1251, true}};

// Enough bytes for the language models, few enough to cost little per file.
constexpr size_t kUnmodelledReadingSample = 64 * 1024;
// Fewer letters outside ASCII than this and the models only guess.
constexpr uint64_t kUnmodelledReadingEvidence = 8;
// How much better the moved text must score to overrule the finding.
constexpr float kUnmodelledReadingMargin = 0.05f;

}  // namespace

void CCodepageDetector::ReadInUnmodelledPage(std::string_view bytes)
{
    // The detector has no Mac Roman or DOS Western model and takes Mac
    // Cyrillic and Mac Central European text for the Windows pages that share
    // most of their letters. Each such reading is moved into its Windows page
    // and scored by that page's language models; one that scores clearly
    // better, or that alone keeps capitals out of the middle of words, is the
    // text.
    bytes = bytes.substr(0, std::min(bytes.size(), kUnmodelledReadingSample));
    const uint64_t nonAscii = finding_evidence::NonAsciiBytes(bytes.data(), bytes.size());
    if (nonAscii < kUnmodelledReadingEvidence)
        return;
    const CCodepageInfo* finding = CCodepageInfo::GetCodepageInfo(m_found.codepage);
    const bool cyrillic = finding != nullptr && finding->GetLanguageGroup() == u"Cyrillic";
    int best = -1;
    float bestConfidence = 0.0f;
    for (const UnmodelledPage& page : kUnmodelledPages) {
        if (static_cast<int>(page.page) == m_found.codepage || page.cyrillic != cyrillic)
            continue;
        // A reading with more capitals inside words than the finding wins
        // at no score, and scoring it is most of this step's cost. Against
        // a finding with none, one such word settles it. A page that gives
        // each byte a character tells from the bytes, before decoding.
        const finding_evidence::ByteKinds* kinds = KindsOf(static_cast<int>(page.page));
        const auto decode = [&](std::u16string& text) {
            return codecs::DecodeCodePage(page.page, bytes.data(), bytes.size(), text, nullptr);
        };
        std::u16string text;
        if (kinds == nullptr && !decode(text))
            continue;
        bool fewerCapitals = false, mendsCapitals = false;
        if (m_found.mixedCase == 0.0) {
            fewerCapitals = kinds != nullptr ? finding_evidence::MeasureBytes(bytes, *kinds,
                                                                              finding_evidence::Measure::kAnyMixedCase)
                                                       .mixedCase == 0.0
                                             : !finding_evidence::HasMixedCaseWord(text);
        } else {
            const double mixed =
                kinds != nullptr
                    ? finding_evidence::MeasureBytes(bytes, *kinds, finding_evidence::Measure::kMixedCase).mixedCase
                    : finding_evidence::MixedCaseWordShare(text);
            fewerCapitals = mixed <= m_found.mixedCase;
            mendsCapitals = m_found.mixedCase > kMostMixedCaseWords && mixed * 4 <= kMostMixedCaseWords;
        }
        if (!fewerCapitals && !mendsCapitals)
            continue;
        if (kinds != nullptr && !decode(text))
            continue;
        std::string moved;
        uint64_t lost = 0;
        if (!codecs::EncodeCodePage(page.windows, text, moved, &lost) || lost * 50 > nonAscii)
            continue;
        m_detector->Restart();
        for (size_t at = 0; at < moved.size() && !m_detector->IsDone(); at += m_blockSize)
            m_detector->Feed(moved.data() + at,
                             static_cast<unsigned>(std::min<size_t>(m_blockSize, moved.size() - at)));
        float confidence = 0.0f;
        const int named = CodepageOfCharset(m_detector->Finish(confidence), true);
        std::u16string again;
        if (named != static_cast<int>(page.windows) &&
            (named <= 0 ||
             !codecs::DecodeCodePage(static_cast<unsigned>(named), moved.data(), moved.size(), again, nullptr) ||
             again != text))
            continue;
        const bool scoresBetter = fewerCapitals && confidence >= m_found.confidence + kUnmodelledReadingMargin;
        const bool keepsScore = mendsCapitals && confidence + kUnmodelledReadingMargin / 5 >= m_found.confidence;
        if ((scoresBetter || keepsScore) && confidence > bestConfidence) {
            best = static_cast<int>(page.page);
            bestConfidence = confidence;
        }
    }
    if (best == -1)
        return;
    m_found.codepage = best;
    m_found.confidence = bestConfidence;
    m_found.c1Controls = false;  // these pages give every byte a character
    MeasureText(bytes);
}
