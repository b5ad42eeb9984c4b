#include "varnex/codepage/advanced_detector.h"

#include <algorithm>
#include <exception>

#include "base/text.h"
#include "platform/process.h"
#include "textrion/encoding/bom_detector.h"
#include "textrion/encoding/bomless_unicode_detector.h"
#include "textrion/encoding/double_encoding.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/encoding/unicode_structure.h"
#include "textrion/encoding/utf8_validation.h"
#include "textrion/io/bin_file_detector.h"
#include "textrion/io/file_sample.h"
#include "textrion/io/text_file_reader.h"
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

CAdvancedDetector::CWorkspace::CWorkspace() : m_sample(std::make_unique<CFileSample>())
{
}

CAdvancedDetector::CWorkspace::~CWorkspace() = default;

CCodepageDetector& CAdvancedDetector::CWorkspace::Statistics(unsigned blockSize, unsigned scanLimitMB,
                                                             bool reportGB18030)
{
    if (!m_statistics || blockSize != m_blockSize || scanLimitMB != m_scanLimitMB || reportGB18030 != m_reportGB18030) {
        m_statistics = std::make_unique<CCodepageDetector>(blockSize, scanLimitMB, reportGB18030);
        m_blockSize = blockSize;
        m_scanLimitMB = scanLimitMB;
        m_reportGB18030 = reportGB18030;
    }
    return *m_statistics;
}

// ---------------------------------------------------------------------------

CAdvancedDetector::CAdvancedDetector(Options options) : m_options(std::move(options))
{
}

CAdvancedDetector::CAdvancedDetector(const std::u16string& name, const std::vector<unsigned char>* head, bool whole,
                                     CWorkspace* workspace, unsigned blockSize, unsigned scanLimitMB,
                                     bool binaryListShortcut, bool reportGB18030, std::function<bool()> canContinue)
    : CAdvancedDetector(
          Options{blockSize, scanLimitMB, binaryListShortcut, reportGB18030, std::move(canContinue), workspace})
{
    if (head != nullptr)
        DetectStream(name, *head, whole);
    else
        Detect(name);
}

CAdvancedDetector::~CAdvancedDetector() = default;

const CAdvancedDetector::Findings& CAdvancedDetector::Detect(const std::u16string& path)
{
    m_path = path;
    Run();
    return m_found;
}

const CAdvancedDetector::Findings& CAdvancedDetector::DetectStream(const std::u16string& name,
                                                                   const std::vector<unsigned char>& head, bool whole)
{
    m_path = name;
    m_head = &head;
    m_headWhole = whole;
    Run();
    m_head = nullptr;
    return m_found;
}

bool CAdvancedDetector::ZeroRuns(unsigned threshold, bool& binary)
{
    CBinFileDetector detector(m_path.c_str(), threshold, m_options.blockSize, m_options.scanLimitMB);
    detector.SetContinueCheck(m_options.canContinue);
    binary = detector.Detect(m_workspace->Sample());
    if (detector.WasStopped())
        m_found.stopped = true;
    return !detector.HasReadError() && !detector.WasStopped();
}

bool CAdvancedDetector::UnicodeStructure(const UnicodeForm*& form)
{
    form = nullptr;
    CFileSample& sample = m_workspace->Sample();
    // First the block read already: nearly every binary fails on it, so only
    // text is read on to the scan limit.
    const uint64_t prefix = std::max<uint64_t>(m_options.blockSize, kUnicodeStructureMinimum);
    const uint64_t limit = std::max<uint64_t>(ScanLimit(), prefix);
    if (!sample.Fill(prefix))
        return false;
    const auto judge = [&] {
        const uint64_t n = std::min(sample.Size(), limit);
        return JudgeUnicodeStructure(sample.Data(), n, !sample.AtEnd() || n < sample.Size());
    };
    if (judge() == nullptr)
        return true;
    for (uint64_t end = prefix; end < limit && !sample.AtEnd();) {
        if (m_options.canContinue && !m_options.canContinue()) {
            m_found.stopped = true;
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
    const uint64_t limit = ScanLimit();
    uint64_t checked = 0;  // whole characters up to here
    bool multiByte = false;
    while (checked < limit) {
        if (m_options.canContinue && checked > 0 && !m_options.canContinue()) {
            m_found.stopped = true;
            return false;
        }
        const uint64_t end =
            std::min(limit, std::max<uint64_t>(checked, m_options.blockSize) + CFileSample::kLargestRead);
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
    CCodepageDetector& detector =
        m_workspace->Statistics(m_options.blockSize, m_options.scanLimitMB, m_options.reportGB18030);
    detector.SetContinueCheck(m_options.canContinue);
    // The finding "certain" adds nothing here: the confidence says it.
    (void)detector.Detect(m_workspace->Sample());
    // The check belongs to this file's caller; the detector serves the next file.
    detector.SetContinueCheck(nullptr);
    if (detector.WasStopped()) {
        m_found.stopped = true;
        return false;
    }
    codepage = detector.GetCodepage();
    confidence = detector.GetConfidence();
    m_found.c1Controls = detector.HasC1Controls();
    // Escape encodings and certain findings are 7-bit by nature or need no more.
    const bool symbolsInWords =
        detector.GetSymbolsInWords() >= kLeastSymbolsInWords && detector.GetSymbolInWordShare() > kMostSymbolsInWords;
    m_found.weakEvidence =
        detector.GetConfidence() < kStructureConfidence &&
        (detector.GetNonAsciiBytes() < kLeastNonAsciiBytes || detector.GetDistinctNonAsciiBytes() < 2 ||
         detector.GetMixedCaseShare() > CCodepageDetector::kMostMixedCaseWords || symbolsInWords);
    return !detector.HasFailed();
}

void CAdvancedDetector::Run()
{
    // A second run starts from nothing: a code page left from the first
    // would pass for a byte order mark.
    m_found = {};
    std::unique_ptr<CWorkspace> own;
    try {
        if (m_options.workspace == nullptr)
            own = std::make_unique<CWorkspace>();
        m_workspace = own ? own.get() : m_options.workspace;
        RunSteps();
    } catch (const std::exception&) {
        m_found.result = DETECTIONRESULT_ERROR;
        m_found.method = DetectionMethod::None;
    }
    // No file stays open between detections.
    if (m_workspace != nullptr)
        m_workspace->Sample().Close();
    m_workspace = nullptr;
}

void CAdvancedDetector::RunSteps()
{
    const std::u16string extension = text::AsciiLowered(CLongPath(m_path).GetExtension());
    CKnownExtList& lists = GetKnownExtList();
    if (m_options.binaryListShortcut && lists.ExtInBinaryList(extension.c_str())) {
        m_found.method = DetectionMethod::Extension;
        return;
    }

    // Every test below reads from this one sample of the file.
    CFileSample& sample = m_workspace->Sample();
    if (m_head != nullptr) {
        sample.Hold(m_head->data(), m_head->size(), m_headWhole);
    } else if (!sample.Open(m_path.c_str(), m_options.blockSize, ScanLimit())) {
        m_found.result = DETECTIONRESULT_ERROR;  // unreadable is not binary
        return;
    }
    // The structure before the zero-byte test, which takes such text for binary.
    if (ByBom(sample) || ByStructure() || ByZeroRuns(4) || ByUtf8(sample))
        return;
    if (ByStatistics(sample, lists, extension) || ByZeroRuns(3))
        return;
    if (lists.ExtInTextList(extension.c_str()))
        ByTextList(sample);
    if (m_found.codepage == -1)
        JudgeUnfound(sample);
}

bool CAdvancedDetector::ByBom(CFileSample& sample)
{
    constexpr unsigned kLongestMark = 4;
    if (!sample.Fill(kLongestMark)) {
        m_found.result = DETECTIONRESULT_ERROR;  // unreadable is not binary
        return true;
    }
    const BOM bom =
        CBomDetector::Judge(sample.Data(), static_cast<unsigned>(std::min<uint64_t>(sample.Size(), kLongestMark)));
    const UnicodeForm* form = FindUnicodeFormByBom(bom);
    if (form == nullptr)
        return false;
    m_found.codepage = static_cast<int>(form->codePage);
    m_found.confidence = 1.0f;
    m_found.hasBom = true;
    m_found.method = DetectionMethod::Bom;
    // Tools that encode twice often mark their output; the block read
    // already is looked at, nothing more is read for it.
    if (bom == BOM_UTF8)
        m_found.doubleEncoded = DoubleEncodedUtf8(sample.Data() + 3, sample.Size() - 3);
    return true;
}

bool CAdvancedDetector::ByStructure()
{
    const UnicodeForm* structured = nullptr;
    if (!UnicodeStructure(structured)) {
        m_found.result = DETECTIONRESULT_ERROR;
        return true;
    }
    if (structured == nullptr)
        return false;
    m_found.codepage = static_cast<int>(structured->codePage);
    m_found.confidence = kStructureConfidence;
    m_found.method = DetectionMethod::Bomless;
    return true;
}

bool CAdvancedDetector::ByZeroRuns(unsigned threshold)
{
    bool binary = false;
    if (!ZeroRuns(threshold, binary)) {
        m_found.result = DETECTIONRESULT_ERROR;
        return true;
    }
    if (binary)
        m_found.method = DetectionMethod::ZeroBytes;
    return binary;
}

bool CAdvancedDetector::ByUtf8(CFileSample& sample)
{
    // Valid UTF-8 decides before the statistics, which misjudge UTF-8 with
    // few non-ASCII characters as some legacy code page; 7-bit text is left
    // to them.
    bool utf8 = false;
    if (!MultiByteUtf8(utf8)) {
        m_found.result = DETECTIONRESULT_ERROR;
        return true;
    }
    if (!utf8)
        return false;
    m_found.codepage = static_cast<int>(FindUnicodeForm(TEXTENCODING_UTF8)->codePage);
    m_found.confidence = kStructureConfidence;
    m_found.method = DetectionMethod::Utf8Check;
    const uint64_t n = std::min<uint64_t>(sample.Size(), ScanLimit());
    m_found.doubleEncoded = LooksDoubleEncoded(std::string_view(sample.Chars(), static_cast<size_t>(n)));
    return true;
}

bool CAdvancedDetector::ByStatistics(CFileSample& sample, CKnownExtList& lists, const std::u16string& extension)
{
    int codepage = -1;
    float confidence = 0.0f;
    if (!DetectStatistically(codepage, confidence)) {
        m_found.result = DETECTIONRESULT_ERROR;
        return true;
    }
    m_found.codepage = codepage;
    m_found.confidence = confidence;
    if (codepage == -1)
        return false;
    m_found.method = DetectionMethod::Statistics;
    if (confidence >= kSureConfidence)
        m_found.result = DETECTIONRESULT_OK;
    else if (confidence >= kTextListConfidence)
        m_found.result = lists.ExtInTextList(extension.c_str()) ? DETECTIONRESULT_OK : DETECTIONRESULT_UNSURE;
    else
        m_found.result = DETECTIONRESULT_UNSURE;
    // Whatever the confidence: a legacy code page told by a few bytes, a
    // script whose capitals land inside words, or 7-bit text with HZ
    // shifts the detector could not confirm is a guess.
    const bool hz = codepage == 0 && finding_evidence::HasHzShift(sample.Chars(), sample.Size());
    if ((codepage > 0 && m_found.weakEvidence) || hz)
        m_found.result = DETECTIONRESULT_UNSURE;
    return true;
}

void CAdvancedDetector::ByTextList(CFileSample& sample)
{
    // Reads past the sample only when the sample size is 0; like the
    // test on a file, a failed read leaves it the bytes it got.
    (void)sample.Fill(CBomlessUnicodeDetector::kSampleSize);
    const BOMLESS_UNICODE bomless = CBomlessUnicodeDetector::Judge(sample.Data(), sample.Size());
    if (bomless == BOMLESS_NONE)
        return;
    m_found.codepage = static_cast<int>(
        FindUnicodeForm(bomless == BOMLESS_UTF16BE ? TEXTENCODING_UTF16BE : TEXTENCODING_UTF16LE)->codePage);
    m_found.method = DetectionMethod::Bomless;
}

void CAdvancedDetector::JudgeUnfound(CFileSample& sample)
{
    // At least one block to judge by, even with a sample size of 0.
    if (!sample.Fill(m_options.blockSize) && sample.HasReadError()) {
        m_found.result = DETECTIONRESULT_ERROR;
        return;
    }
    m_found.method = DetectionMethod::TextTest;
    // An empty file stays binary: there is no text to lose.
    if (sample.Size() == 0 || !LooksLikeText(sample.Data(), sample.Size()))
        return;
    m_found.codepage = kUnknownTextCodepage;
    m_found.result = DETECTIONRESULT_UNKNOWN_TEXT;
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
