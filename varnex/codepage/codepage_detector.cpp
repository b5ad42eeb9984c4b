#include "varnex/codepage/codepage_detector.h"

#include <cstring>
#include <vector>

// uchardet's own headers: nscore.h must come first.
#include "nscore.h"
#include "nsCharSetProber.h"
#include "nsUniversalDetector.h"

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
    {"UTF-8", 65001},        {"SHIFT_JIS", 932},       {"EUC-JP", 20932},
    {"GB18030", 54936},      {"EUC-KR", 51949},        {"UHC", 51949},
    {"BIG5", 950},           {"EUC-TW", 51950},        {"HZ-GB-2312", 52936},
    {"ISO-2022-CN", 50227},  {"ISO-2022-JP", 50222},   {"ISO-2022-KR", 50225},
    {"WINDOWS-1252", 1252},  {"WINDOWS-1251", 1251},   {"KOI8-R", 20866},
    {"ISO-8859-5", 28595},   {"MAC-CYRILLIC", 10007},  {"IBM866", 866},
    {"IBM855", 855},         {"ISO-8859-7", 28597},    {"WINDOWS-1253", 1253},
    {"WINDOWS-1255", 1255},  {"ISO-8859-8-I", 1255},   {"ISO-8859-8", 28598},
    {"ASCII", 0},            {"ISO-8859-1", 1252},    {"ISO-8859-2", 28592},
    {"WINDOWS-1250", 1250},  {"TIS-620", 874},         {"ISO-8859-11", 874},
    {"ISO-8859-3", 28593},   {"ISO-8859-4", 28594},    {"ISO-8859-6", 28596},
    {"ISO-8859-9", 28599},   {"ISO-8859-10", 28600},   {"ISO-8859-13", 28603},
    {"ISO-8859-15", 28605},  {"ISO-8859-16", 28606},   {"WINDOWS-1256", 1256},
    {"WINDOWS-1257", 1257},  {"WINDOWS-1258", 1258},   {"IBM852", 852},
    {"MAC-CENTRALEUROPE", 10029}, {"VISCII", 65010},
};

}  // namespace

// The detector class with the reporting rules of this system on top.
class CCodepageDetector::UniversalDetector : public nsUniversalDetector {
public:
    UniversalDetector() : nsUniversalDetector(NS_FILTER_ALL) {}

    void Restart()
    {
        Reset();
        m_reported = nullptr;
        m_confidence = 0.0f;
        m_blocks = 0;
        m_blocksWithZeros = 0;
    }

    void Feed(const char* data, unsigned length)
    {
        unsigned zeros = 0;
        for (unsigned i = 0; i < length && zeros <= 2; ++i)
            zeros += data[i] == 0;
        ++m_blocks;
        if (zeros > 2)
            ++m_blocksWithZeros;
        HandleData(data, length);
    }

    bool IsDone() const { return mDone; }

    // Ends the data and returns the charset reported (null for none).
    const char* Finish(float& confidence)
    {
        const bool certainBefore = mDone;
        const nsInputState state = mInputState;
        DataEnd();
        confidence = 0.0f;
        if (m_reported == nullptr)
            return nullptr;
        if (!certainBefore && state != eHighbyte) {
            // 7-bit data, NBSP bytes included, is code page 0 text; but only
            // when some block was not riddled with zero bytes.
            if (m_blocksWithZeros == m_blocks)
                return nullptr;
            confidence = kCertain;
            return "ASCII";
        }
        if (certainBefore) {
            confidence = kCertain;
        } else {
            confidence = m_confidence;
        }
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
    const char* m_reported = nullptr;
    float m_confidence = 0.0f;
    unsigned m_blocks = 0;
    unsigned m_blocksWithZeros = 0;
};

CCodepageDetector::CCodepageDetector(const char16_t* path, unsigned blockSize, unsigned scanLimitMB,
                                     bool reportGB18030)
    : CBinaryFileReader(path, false),
      m_blockSize(blockSize),
      m_scanLimitMB(scanLimitMB),
      m_reportGB18030(reportGB18030),
      m_detector(std::make_unique<UniversalDetector>())
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
    m_codepage = -1;
    m_confidence = 0.0f;
    m_bytesFed = 0;
    m_failed = false;
    if (!Open()) {
        m_failed = true;
        return false;
    }
    SeekToBegin();
    m_detector->Restart();

    // 64-bit: a large limit must not wrap to nothing.
    const uint64_t limit = static_cast<uint64_t>(m_scanLimitMB) * 1048576u;
    if (limit > 0 && m_blockSize > 0) {
        std::vector<char> block(m_blockSize);
        uint64_t requested = 0;
        while (!Eof() && !m_detector->IsDone() && requested < limit) {
            requested += m_blockSize;
            const unsigned n = Read(block.data(), m_blockSize);
            if (n > 0) {
                m_detector->Feed(block.data(), n);
                m_bytesFed += n;
            }
        }
    }
    m_failed = HasReadError();
    const bool certain = m_detector->IsDone();
    float confidence = 0.0f;
    const char* charset = m_detector->Finish(confidence);
    Close();
    const int codepage = CodepageOfCharset(charset, m_reportGB18030);
    if (codepage != -1 || charset == nullptr) {
        m_codepage = codepage;
        m_confidence = codepage == -1 ? 0.0f : confidence;
    }
    return certain;
}
