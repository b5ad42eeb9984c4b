#include "varnex/codepage/advanced_detector.h"

#include <algorithm>
#include <exception>

#include "base/text.h"
#include "textrion/encoding/bom_detector.h"
#include "textrion/encoding/bomless_unicode_detector.h"
#include "textrion/encoding/double_encoding.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/encoding/unicode_structure.h"
#include "textrion/encoding/utf8_validation.h"
#include "textrion/io/bin_file_detector.h"
#include "textrion/io/file_sample.h"
#include "textrion/io/text_file_reader.h"
#include "platform/process.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_detector.h"
#include "varnex/codepage/finding_evidence.h"

// ---------------------------------------------------------------------------
// Known extension lists

CAdvancedDetector::CKnownExtList::CKnownExtList() = default;
CAdvancedDetector::CKnownExtList::~CKnownExtList() = default;

CAdvancedDetector::CKnownExtList& CAdvancedDetector::GetKnownExtList()
{
    static CKnownExtList lists;
    return lists;
}

void CAdvancedDetector::CKnownExtList::SetFolder(const std::u16string& folder)
{
    CSingleLock lock(m_lock);
    m_folder = folder;
    m_binaryLoaded = m_textLoaded = false;
    // Fresh lists, not clear(): a splitter whose last file ended without a
    // line break would append the next file's first line to a line it no
    // longer has.
    m_binaryList = CTextLineList();
    m_textList = CTextLineList();
}

bool CAdvancedDetector::CKnownExtList::ExtInBinaryList(const char16_t* extension)
{
    return InList(extension, m_binaryList, m_binaryLoaded, u"Binary.bin");
}

bool CAdvancedDetector::CKnownExtList::ExtInTextList(const char16_t* extension)
{
    return InList(extension, m_textList, m_textLoaded, u"Text.bin");
}

std::u16string CAdvancedDetector::CKnownExtList::GetListPath(bool binary) const
{
    CSingleLock lock(m_lock);
    CLongPath path(m_folder.empty() ? platform::ProgramDataFolder() : m_folder);
    path.Append(binary ? u"Binary.bin" : u"Text.bin");
    return path.GetPath();
}

bool CAdvancedDetector::CKnownExtList::InList(const char16_t* extension, CTextLineList& list, bool& loaded,
                                              const char16_t* fileName)
{
    if (extension == nullptr || extension[0] == 0)
        return false;
    // One lock for loading and lookups: the first lookups of several threads
    // load a list once, the others wait for it.
    CSingleLock lock(m_lock);
    if (!loaded) {
        CLongPath path(m_folder.empty() ? platform::ProgramDataFolder() : m_folder);
        path.Append(fileName);
        CTextFileReader reader(path.c_str(), 2048);
        if (reader.IsOpen()) {
            std::u16string portion;
            while (reader.Read(portion, 4096) > 0)
                list.HandleData(portion.data(), static_cast<unsigned>(portion.size()));
        }
        loaded = true;
    }
    const std::u16string_view wanted(extension);
    for (const auto& line : list)
        if (line == wanted)
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// Workspace

CAdvancedDetector::CWorkspace::CWorkspace() : m_sample(std::make_unique<CFileSample>()) {}

CAdvancedDetector::CWorkspace::~CWorkspace() = default;

CCodepageDetector& CAdvancedDetector::CWorkspace::Statistics(unsigned blockSize, unsigned scanLimitMB,
                                                             bool reportGB18030)
{
    if (!m_statistics || blockSize != m_blockSize || scanLimitMB != m_scanLimitMB ||
        reportGB18030 != m_reportGB18030) {
        m_statistics = std::make_unique<CCodepageDetector>(blockSize, scanLimitMB, reportGB18030);
        m_blockSize = blockSize;
        m_scanLimitMB = scanLimitMB;
        m_reportGB18030 = reportGB18030;
    }
    return *m_statistics;
}

// ---------------------------------------------------------------------------

CAdvancedDetector::CAdvancedDetector(const std::u16string& path, unsigned blockSize, unsigned scanLimitMB,
                                     bool binaryListShortcut, bool reportGB18030)
    : CAdvancedDetector(path, blockSize, scanLimitMB, binaryListShortcut, reportGB18030, true)
{
}

CAdvancedDetector::CAdvancedDetector(const std::u16string& path, unsigned blockSize, unsigned scanLimitMB,
                                     bool binaryListShortcut, bool reportGB18030, bool detectNow)
    : m_path(path),
      m_blockSize(blockSize),
      m_scanLimitMB(scanLimitMB),
      m_reportGB18030(reportGB18030),
      m_binaryListShortcut(binaryListShortcut)
{
    if (detectNow)
        CAdvancedDetector::Detect();
}

CAdvancedDetector::CAdvancedDetector(const std::u16string& path, unsigned blockSize, unsigned scanLimitMB,
                                     bool binaryListShortcut, bool reportGB18030, std::function<bool()> canContinue)
    : CAdvancedDetector(path, blockSize, scanLimitMB, binaryListShortcut, reportGB18030, false)
{
    m_canContinue = std::move(canContinue);
    CAdvancedDetector::Detect();
}

CAdvancedDetector::CAdvancedDetector(const std::u16string& path, CWorkspace& workspace, unsigned blockSize,
                                     unsigned scanLimitMB, bool binaryListShortcut, bool reportGB18030,
                                     std::function<bool()> canContinue)
    : CAdvancedDetector(path, blockSize, scanLimitMB, binaryListShortcut, reportGB18030, false)
{
    m_canContinue = std::move(canContinue);
    m_keptWorkspace = &workspace;
    CAdvancedDetector::Detect();
    m_keptWorkspace = nullptr;
}

CAdvancedDetector::CAdvancedDetector(const std::u16string& name, const std::vector<unsigned char>& head, bool whole,
                                     unsigned blockSize, unsigned scanLimitMB, bool binaryListShortcut,
                                     bool reportGB18030)
    : CAdvancedDetector(name, blockSize, scanLimitMB, binaryListShortcut, reportGB18030, false)
{
    m_head = &head;
    m_headWhole = whole;
    CAdvancedDetector::Detect();
    m_head = nullptr;
}

CAdvancedDetector::CAdvancedDetector(const std::u16string& name, const std::vector<unsigned char>* head, bool whole,
                                     CWorkspace* workspace, unsigned blockSize, unsigned scanLimitMB,
                                     bool binaryListShortcut, bool reportGB18030, std::function<bool()> canContinue)
    : CAdvancedDetector(name, blockSize, scanLimitMB, binaryListShortcut, reportGB18030, false)
{
    m_canContinue = std::move(canContinue);
    m_keptWorkspace = workspace;
    m_head = head;
    m_headWhole = whole;
    CAdvancedDetector::Detect();
    m_head = nullptr;
    m_keptWorkspace = nullptr;
}

CAdvancedDetector::~CAdvancedDetector() = default;

bool CAdvancedDetector::ZeroRuns(unsigned threshold, bool& binary)
{
    CBinFileDetector detector(m_path.c_str(), threshold, m_blockSize, m_scanLimitMB);
    detector.SetContinueCheck(m_canContinue);
    binary = detector.Detect(m_workspace->Sample());
    if (detector.WasStopped())
        m_stopped = true;
    return !detector.HasReadError() && !detector.WasStopped();
}

bool CAdvancedDetector::UnicodeStructure(const UnicodeForm*& form)
{
    form = nullptr;
    CFileSample& sample = m_workspace->Sample();
    // First the block read already: nearly every binary fails on it, so only
    // text is read on to the scan limit.
    const uint64_t prefix = std::max<uint64_t>(m_blockSize, kUnicodeStructureMinimum);
    const uint64_t limit = std::max<uint64_t>(static_cast<uint64_t>(m_scanLimitMB) * 1048576u, prefix);
    if (!sample.Fill(prefix))
        return false;
    const auto judge = [&] {
        const uint64_t n = std::min(sample.Size(), limit);
        return JudgeUnicodeStructure(sample.Data(), n, !sample.AtEnd() || n < sample.Size());
    };
    if (judge() == nullptr)
        return true;
    for (uint64_t end = prefix; end < limit && !sample.AtEnd();) {
        if (m_canContinue && !m_canContinue()) {
            m_stopped = true;
            return false;
        }
        end = std::min(limit, end + CFileSample::kLargestRead);
        if (!sample.Fill(end))
            return false;
    }
    form = judge();
    return true;
}

namespace {

// Bytes not checked yet are UTF-8 (a character cut at the end aside) whose
// text was encoded twice.
bool DoubleEncodedUtf8(const unsigned char* bytes, uint64_t n)
{
    const Utf8Validity v = ValidateUtf8(bytes, static_cast<size_t>(n));
    return v.status != Utf8Validity::kInvalid &&
           LooksDoubleEncoded(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n)));
}

}  // namespace

bool CAdvancedDetector::MultiByteUtf8(bool& utf8)
{
    utf8 = false;
    CFileSample& sample = m_workspace->Sample();
    const uint64_t limit = static_cast<uint64_t>(m_scanLimitMB) * 1048576u;
    uint64_t checked = 0;  // whole characters up to here
    bool multiByte = false;
    while (checked < limit) {
        if (m_canContinue && checked > 0 && !m_canContinue()) {
            m_stopped = true;
            return false;
        }
        const uint64_t end = std::min(limit, std::max<uint64_t>(checked, m_blockSize) + CFileSample::kLargestRead);
        if (!sample.Fill(end))
            return false;
        const uint64_t held = std::min(sample.Size(), end);
        const Utf8Validity v = ValidateUtf8(sample.Data() + checked, held - checked);
        multiByte = multiByte || v.multiByte;
        if (v.status == Utf8Validity::kInvalid)
            return true;
        checked += v.position;
        const bool fileEnded = sample.AtEnd() && held == sample.Size();
        if (v.status == Utf8Validity::kTruncated) {
            // A character cut by the end of the file is ill-formed; one cut
            // by the scan limit may well go on beyond it.
            if (fileEnded)
                return true;
            if (held >= limit) {
                // A file exactly as long as the limit ends there too.
                if (!sample.Fill(limit + 1))
                    return false;
                if (sample.Size() <= limit)
                    return true;
                break;
            }
        } else if (fileEnded) {
            break;
        }
    }
    utf8 = multiByte;
    return true;
}

bool CAdvancedDetector::DetectStatistically(int& codepage, float& confidence)
{
    CCodepageDetector& detector = m_workspace->Statistics(m_blockSize, m_scanLimitMB, m_reportGB18030);
    detector.SetContinueCheck(m_canContinue);
    detector.Detect(m_workspace->Sample());
    // The check belongs to this file's caller; the detector serves the next file.
    detector.SetContinueCheck(nullptr);
    if (detector.WasStopped()) {
        m_stopped = true;
        return false;
    }
    codepage = detector.GetCodepage();
    confidence = detector.GetConfidence();
    m_c1Controls = detector.HasC1Controls();
    // Escape encodings and certain findings are 7-bit by nature or need no more.
    const bool symbolsInWords = detector.GetSymbolsInWords() >= kLeastSymbolsInWords &&
                                detector.GetSymbolInWordShare() > kMostSymbolsInWords;
    m_weakEvidence = detector.GetConfidence() < kStructureConfidence &&
                     (detector.GetNonAsciiBytes() < kLeastNonAsciiBytes || detector.GetDistinctNonAsciiBytes() < 2 ||
                      detector.GetMixedCaseShare() > CCodepageDetector::kMostMixedCaseWords || symbolsInWords);
    return !detector.HasFailed();
}

void CAdvancedDetector::Detect()
{
    std::unique_ptr<CWorkspace> own;
    try {
        if (m_keptWorkspace == nullptr)
            own = std::make_unique<CWorkspace>();
        m_workspace = own ? own.get() : m_keptWorkspace;
        RunSteps();
    } catch (const std::exception&) {
        m_result = DETECTIONRESULT_ERROR;
        m_method = VARNEXDETECTIONMETHOD_NONE;
    }
    // No file stays open between detections.
    if (m_workspace != nullptr)
        m_workspace->Sample().Close();
    m_workspace = nullptr;
}

void CAdvancedDetector::RunSteps()
{
    // A second run starts from nothing: a code page left from the first
    // would pass for a byte order mark below.
    m_result = DETECTIONRESULT_OK;
    m_stopped = false;
    m_c1Controls = false;
    m_weakEvidence = false;
    m_codepage = -1;
    m_confidence = 0.0f;
    m_hasBom = false;
    m_doubleEncoded = false;
    m_method = VARNEXDETECTIONMETHOD_NONE;
    const std::u16string extension = text::AsciiLowered(CLongPath(m_path).GetExtension());
    CKnownExtList& lists = GetKnownExtList();

    if (m_binaryListShortcut && lists.ExtInBinaryList(extension.c_str())) {
        m_method = VARNEXDETECTIONMETHOD_EXTENSION;
        return;
    }

    // Every test below reads from this one sample of the file.
    CFileSample& sample = m_workspace->Sample();
    constexpr unsigned kLongestMark = 4;
    if (m_head != nullptr)
        sample.Hold(m_head->data(), m_head->size(), m_headWhole);
    else if (!sample.Open(m_path.c_str(), m_blockSize, static_cast<uint64_t>(m_scanLimitMB) * 1048576u)) {
        m_result = DETECTIONRESULT_ERROR;  // unreadable is not binary
        return;
    }
    if (!sample.Fill(kLongestMark)) {
        m_result = DETECTIONRESULT_ERROR;  // unreadable is not binary
        return;
    }
    const BOM bom =
        CBomDetector::Judge(sample.Data(), static_cast<unsigned>(std::min<uint64_t>(sample.Size(), kLongestMark)));
    if (const UnicodeForm* form = FindUnicodeFormByBom(bom))
        m_codepage = static_cast<int>(form->codePage);
    if (m_codepage != -1) {
        m_confidence = 1.0f;
        m_hasBom = true;
        m_method = VARNEXDETECTIONMETHOD_BOM;
        // Tools that encode twice often mark their output; the block read
        // already is looked at, nothing more is read for it.
        if (bom == BOM_UTF8)
            m_doubleEncoded = DoubleEncodedUtf8(sample.Data() + 3, sample.Size() - 3);
        return;
    }
    m_confidence = 0.0f;
    m_hasBom = false;

    // Before the zero-byte test, which takes such text for binary.
    const UnicodeForm* structured = nullptr;
    if (!UnicodeStructure(structured)) {
        m_result = DETECTIONRESULT_ERROR;
        return;
    }
    if (structured != nullptr) {
        m_codepage = static_cast<int>(structured->codePage);
        m_confidence = kStructureConfidence;
        m_method = VARNEXDETECTIONMETHOD_BOMLESS;
        return;
    }

    bool binary = false;
    if (!ZeroRuns(4, binary)) {
        m_result = DETECTIONRESULT_ERROR;
        return;
    }
    if (binary) {
        m_method = VARNEXDETECTIONMETHOD_ZERO_BYTES;
        return;
    }

    // Valid UTF-8 decides before the statistics, which misjudge UTF-8 with
    // few non-ASCII characters as some legacy code page; 7-bit text is left
    // to them.
    bool utf8 = false;
    if (!MultiByteUtf8(utf8)) {
        m_result = DETECTIONRESULT_ERROR;
        return;
    }
    if (utf8) {
        m_codepage = static_cast<int>(FindUnicodeForm(TEXTENCODING_UTF8)->codePage);
        m_confidence = kStructureConfidence;
        m_method = VARNEXDETECTIONMETHOD_UTF8_CHECK;
        const uint64_t n = std::min<uint64_t>(sample.Size(), static_cast<uint64_t>(m_scanLimitMB) * 1048576u);
        m_doubleEncoded = LooksDoubleEncoded(std::string_view(sample.Chars(), static_cast<size_t>(n)));
        return;
    }

    int codepage = -1;
    float confidence = 0.0f;
    if (!DetectStatistically(codepage, confidence)) {
        m_result = DETECTIONRESULT_ERROR;
        return;
    }
    m_codepage = codepage;
    m_confidence = confidence;
    if (m_codepage != -1) {
        m_method = VARNEXDETECTIONMETHOD_STATISTICS;
        if (m_confidence >= kSureConfidence)
            m_result = DETECTIONRESULT_OK;
        else if (m_confidence >= kTextListConfidence)
            m_result = lists.ExtInTextList(extension.c_str()) ? DETECTIONRESULT_OK : DETECTIONRESULT_UNSURE;
        else
            m_result = DETECTIONRESULT_UNSURE;
        // Whatever the confidence: a legacy code page told by a few bytes, a
        // script whose capitals land inside words, or 7-bit text with HZ
        // shifts the detector could not confirm is a guess.
        const bool hz = m_codepage == 0 && finding_evidence::HasHzShift(sample.Chars(), sample.Size());
        if ((m_codepage > 0 && m_weakEvidence) || hz)
            m_result = DETECTIONRESULT_UNSURE;
        return;
    }

    if (!ZeroRuns(3, binary)) {
        m_result = DETECTIONRESULT_ERROR;
        return;
    }
    if (binary) {
        m_method = VARNEXDETECTIONMETHOD_ZERO_BYTES;
        return;
    }
    if (lists.ExtInTextList(extension.c_str())) {
        // Reads past the sample only when the sample size is 0; like the
        // test on a file, a failed read leaves it the bytes it got.
        sample.Fill(CBomlessUnicodeDetector::kSampleSize);
        const BOMLESS_UNICODE bomless = CBomlessUnicodeDetector::Judge(sample.Data(), sample.Size());
        if (bomless != BOMLESS_NONE) {
            m_codepage = static_cast<int>(
                FindUnicodeForm(bomless == BOMLESS_UTF16BE ? TEXTENCODING_UTF16BE : TEXTENCODING_UTF16LE)->codePage);
            m_method = VARNEXDETECTIONMETHOD_BOMLESS;
        }
    }
    if (m_codepage == -1)
        JudgeUnfound(sample);
}

void CAdvancedDetector::JudgeUnfound(CFileSample& sample)
{
    // At least one block to judge by, even with a sample size of 0.
    if (!sample.Fill(m_blockSize) && sample.HasReadError()) {
        m_result = DETECTIONRESULT_ERROR;
        return;
    }
    m_method = VARNEXDETECTIONMETHOD_TEXT_TEST;
    // An empty file stays binary: there is no text to lose.
    if (sample.Size() == 0 || !LooksLikeText(sample.Data(), sample.Size()))
        return;
    m_codepage = kUnknownTextCodepage;
    m_result = DETECTIONRESULT_UNKNOWN_TEXT;
}

bool CAdvancedDetector::LooksLikeText(const unsigned char* bytes, uint64_t size)
{
    // C0 controls that text does not use. Allowed: BS (overstrike), TAB to CR,
    // SO/SI (ISO-2022 shifts), SUB (the DOS end of file) and ESC (terminal
    // colours, ISO-2022 escapes). Random bytes hit the rest 22 times in 256.
    static constexpr uint32_t kForeign = 0xF3FF00FFu;  // bits 0x00-0x07, 0x10-0x19, 0x1C-0x1F
    uint64_t foreign = 0;
    for (uint64_t i = 0; i < size; ++i)
        if (bytes[i] < 0x20 && (kForeign >> bytes[i] & 1u) != 0)
            ++foreign;
    return foreign * 100 <= size;
}
