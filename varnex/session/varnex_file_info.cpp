#include "varnex/session/varnex_file_info.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
__extension__ using Wide = unsigned __int128;

bool CopyToBuffer(const std::u16string& path, char16_t* buffer, unsigned size)
{
    if (buffer == nullptr || size == 0)
        return false;
    if (path.size() + 1 > size) {
        buffer[0] = 0;  // never a cut path
        return false;
    }
    std::copy(path.begin(), path.end(), buffer);
    buffer[path.size()] = 0;
    return true;
}

// Records made without a job share one of default options.
const std::shared_ptr<const JobRequest>& DefaultJob()
{
    static const auto job = std::make_shared<const JobRequest>();
    return job;
}

std::shared_ptr<const JobRequest> JobOf(const ConversionOptions& options)
{
    auto job = std::make_shared<JobRequest>();
    job->options = options;
    return job;
}

// A copy ending in a zero; null for an empty path.
std::unique_ptr<char16_t[]> StoredPath(std::u16string_view path)
{
    if (path.empty())
        return nullptr;
    std::unique_ptr<char16_t[]> stored(new char16_t[path.size() + 1]);
    std::copy(path.begin(), path.end(), stored.get());
    stored[path.size()] = 0;
    return stored;
}

}  // namespace

struct CVarnexFileInfo::Rare {
    std::u16string message;
    std::vector<OutcomeReason> reasons;
    uint64_t replaced = 0;
    // Set when the output is not the one the job gives the file.
    std::optional<std::u16string> outputFile;
    // Set when the record has options of its own.
    std::shared_ptr<const ConversionOptions> options;
};

CVarnexFileInfo::CVarnexFileInfo(unsigned sessionUniqueId, const char16_t* inputFile, const char16_t* outputFile,
                                 void* ownerData)
    : CVarnexFileInfo(sessionUniqueId, inputFile ? inputFile : u"", outputFile ? outputFile : u"", nullptr, ownerData)
{
}

CVarnexFileInfo::CVarnexFileInfo(unsigned sessionUniqueId, const char16_t* inputFile, const char16_t* outputFile,
                                 const ConversionOptions& options, void* ownerData)
    : CVarnexFileInfo(sessionUniqueId, inputFile ? inputFile : u"", outputFile ? outputFile : u"", JobOf(options),
                      ownerData)
{
}

CVarnexFileInfo::CVarnexFileInfo(unsigned sessionUniqueId, const std::u16string& inputFile,
                                 const std::u16string& outputFile, std::shared_ptr<const JobRequest> job,
                                 void* ownerData)
    : m_ownerData(ownerData),
      m_job(job ? std::move(job) : DefaultJob()),
      m_sessionUniqueId(sessionUniqueId)
{
    // A path ends at its first zero, as a C string passed in does.
    const std::u16string_view input(inputFile.c_str());
    const std::u16string& folder = m_job->inputFolder;
    m_inputBelowJob = !folder.empty() && input.size() > folder.size() && input.starts_with(folder);
    m_input = StoredPath(m_inputBelowJob ? input.substr(folder.size()) : input);
    if (const std::u16string_view output(outputFile.c_str()); output != DerivedOutputFile())
        MakeRare().outputFile = std::u16string(output);
    // A negative number names no code page: the file is detected.
    const ConversionOptions& options = m_job->options;
    if (options.inputCodepage && *options.inputCodepage > -1) {
        m_allowAutoDetect.store(false, kRelaxed);
        m_codepageInfo.store(CCodepageInfo::GetCodepageInfo(*options.inputCodepage), kRelaxed);
    }
}

CVarnexFileInfo::CVarnexFileInfo(const CVarnexFileInfo& other)
    : CLockable(),
      m_job(other.m_job),
      m_sessionUniqueId(other.m_sessionUniqueId)
{
    m_inputBelowJob = other.m_inputBelowJob;
    m_input = StoredPath(other.m_input ? other.m_input.get() : u"");
    CSingleLock lock(other.GetCriticalSection());
    m_ownerData.store(other.m_ownerData.load(kRelaxed), kRelaxed);
    m_status.store(other.m_status.load(kRelaxed), kRelaxed);
    if (other.m_rare)
        m_rare = std::make_unique<Rare>(*other.m_rare);
    m_codepageInfo.store(other.m_codepageInfo.load(kRelaxed), kRelaxed);
    m_confidence.store(other.m_confidence.load(kRelaxed), kRelaxed);
    m_hasBom.store(other.m_hasBom.load(kRelaxed), kRelaxed);
    m_resultState.store(other.m_resultState.load(kRelaxed), kRelaxed);
    m_resultOperation.store(other.m_resultOperation.load(kRelaxed), kRelaxed);
    m_allowAutoDetect.store(other.m_allowAutoDetect.load(kRelaxed), kRelaxed);
    m_processedBytes.store(other.m_processedBytes.load(kRelaxed), kRelaxed);
    m_totalBytes.store(other.m_totalBytes.load(kRelaxed), kRelaxed);
    m_progress.store(other.m_progress.load(kRelaxed), kRelaxed);
    m_bytesIn.store(other.m_bytesIn.load(kRelaxed), kRelaxed);
    m_bytesOut.store(other.m_bytesOut.load(kRelaxed), kRelaxed);
    m_method.store(other.m_method.load(kRelaxed), kRelaxed);
    m_crlf = other.m_crlf;
    m_lf = other.m_lf;
    m_cr = other.m_cr;
    m_lineEndingsCounted = other.m_lineEndingsCounted;
}

CVarnexFileInfo::~CVarnexFileInfo() = default;

// Every locking accessor holds the record's lock for its single read or
// write, so a caller holding the lock sees the fields it reads consistent.
#define VARNEX_LOCKED_FIELD(Type, Getter, Setter, member)                                                              \
    Type CVarnexFileInfo::Getter() const                                                                               \
    {                                                                                                                  \
        CSingleLock lock(GetCriticalSection());                                                                        \
        return member.load(kRelaxed);                                                                                  \
    }                                                                                                                  \
    void CVarnexFileInfo::Setter(Type value)                                                                           \
    {                                                                                                                  \
        CSingleLock lock(GetCriticalSection());                                                                        \
        member.store(value, kRelaxed);                                                                                 \
    }

VARNEX_LOCKED_FIELD(VARNEXFILESTATUS, GetStatus, SetStatus, m_status)
VARNEX_LOCKED_FIELD(float, GetConfidence, SetConfidence, m_confidence)
VARNEX_LOCKED_FIELD(bool, GetHasBom, SetHasBom, m_hasBom)
VARNEX_LOCKED_FIELD(VARNEXRESULTSTATE, GetResultState, SetResultState, m_resultState)
VARNEX_LOCKED_FIELD(VARNEXRESULTOPERATION, GetResultOperation, SetResultOperation, m_resultOperation)
VARNEX_LOCKED_FIELD(bool, GetAllowAutoDetect, SetAllowAutoDetect, m_allowAutoDetect)

#undef VARNEX_LOCKED_FIELD

void CVarnexFileInfo::SetOwnerData(void* data)
{
    CSingleLock lock(GetCriticalSection());
    m_ownerData.store(data, kRelaxed);
}

CVarnexFileInfo::Rare& CVarnexFileInfo::MakeRare()
{
    if (!m_rare)
        m_rare = std::make_unique<Rare>();
    return *m_rare;
}

std::u16string CVarnexFileInfo::GetInputFile() const
{
    const char16_t* stored = m_input ? m_input.get() : u"";
    if (!m_inputBelowJob)
        return stored;
    return m_job->inputFolder + stored;
}

bool CVarnexFileInfo::GetInputFile(char16_t* buffer, unsigned size) const
{
    return CopyToBuffer(GetInputFile(), buffer, size);
}

std::u16string CVarnexFileInfo::GetInputFileName() const
{
    return CLongPath(GetInputFile()).GetFileName();
}

std::u16string CVarnexFileInfo::DerivedOutputFile() const
{
    if (!m_inputBelowJob || m_job->outputFolder.empty())
        return {};
    return m_job->outputFolder + m_input.get();
}

std::u16string CVarnexFileInfo::GetOutputFile() const
{
    CSingleLock lock(GetCriticalSection());
    return FastGetOutputFile();
}

std::u16string CVarnexFileInfo::FastGetOutputFile() const
{
    if (m_rare && m_rare->outputFile)
        return *m_rare->outputFile;
    return DerivedOutputFile();
}

bool CVarnexFileInfo::GetOutputFile(char16_t* buffer, unsigned size) const
{
    return CopyToBuffer(GetOutputFile(), buffer, size);
}

std::u16string CVarnexFileInfo::GetOutputFileName() const
{
    return CLongPath(GetOutputFile()).GetFileName();
}

std::u16string CVarnexFileInfo::FastGetOutputFileName() const
{
    return CLongPath(FastGetOutputFile()).GetFileName();
}

void CVarnexFileInfo::SetOutputFile(const char16_t* path)
{
    const std::u16string output = path ? path : u"";
    CSingleLock lock(GetCriticalSection());
    if (output != DerivedOutputFile())
        MakeRare().outputFile = output;
    else if (m_rare)
        m_rare->outputFile.reset();
}

const ConversionOptions& CVarnexFileInfo::LockedOptions() const
{
    return m_rare && m_rare->options ? *m_rare->options : m_job->options;
}

ConversionOptions CVarnexFileInfo::GetOptions() const
{
    CSingleLock lock(GetCriticalSection());
    return LockedOptions();
}

void CVarnexFileInfo::SetOptions(const ConversionOptions& options)
{
    auto own = std::make_shared<const ConversionOptions>(options);
    CSingleLock lock(GetCriticalSection());
    MakeRare().options = std::move(own);
}

CTextFileConverter::OUTPUTTEXTFORMAT CVarnexFileInfo::GetOutputTextFormat() const
{
    CSingleLock lock(GetCriticalSection());
    return LockedOptions().outputTextFormat;
}

void CVarnexFileInfo::SetOutputTextFormat(CTextFileConverter::OUTPUTTEXTFORMAT format)
{
    CSingleLock lock(GetCriticalSection());
    auto own = std::make_shared<ConversionOptions>(LockedOptions());
    own->outputTextFormat = format;
    MakeRare().options = std::move(own);
}

bool CVarnexFileInfo::GetWriteBOM() const
{
    CSingleLock lock(GetCriticalSection());
    return LockedOptions().writeBom;
}

unsigned CVarnexFileInfo::GetOutputCodepage() const
{
    return CTextFileConverter::GetCodepage(GetOutputTextFormat());
}

const CCodepageInfo* CVarnexFileInfo::GetCodepageInfo() const
{
    CSingleLock lock(GetCriticalSection());
    return m_codepageInfo.load(kRelaxed);
}

void CVarnexFileInfo::SetCodepage(int codepage)
{
    // The catalogue is read before the record's lock is taken.
    const CCodepageInfo* info = CCodepageInfo::GetCodepageInfo(codepage);
    CSingleLock lock(GetCriticalSection());
    m_codepageInfo.store(info, kRelaxed);
}

uint64_t CVarnexFileInfo::GetProcessedBytes() const
{
    CSingleLock lock(GetCriticalSection());
    return m_processedBytes.load(kRelaxed);
}

uint64_t CVarnexFileInfo::GetTotalBytes() const
{
    CSingleLock lock(GetCriticalSection());
    return m_totalBytes.load(kRelaxed);
}

unsigned CVarnexFileInfo::GetProgress() const
{
    CSingleLock lock(GetCriticalSection());
    return m_progress.load(kRelaxed);
}

void CVarnexFileInfo::SetConverterProgress(uint64_t processed, uint64_t total)
{
    CSingleLock lock(GetCriticalSection());
    m_processedBytes.store(processed, kRelaxed);
    m_totalBytes.store(total, kRelaxed);
    unsigned percent = 0;
    if (total != 0)  // 128-bit: processed x 100 must not wrap
        percent = processed >= total ? 100 : static_cast<unsigned>(static_cast<Wide>(processed) * 100 / total);
    m_progress.store(percent, kRelaxed);
}

void CVarnexFileInfo::ResetProgress()
{
    CSingleLock lock(GetCriticalSection());
    m_processedBytes.store(0, kRelaxed);
    m_totalBytes.store(0, kRelaxed);
    m_progress.store(0, kRelaxed);
}

std::u16string CVarnexFileInfo::GetMessage() const
{
    CSingleLock lock(GetCriticalSection());
    return FastGetMessage();
}

const std::u16string& CVarnexFileInfo::FastGetMessage() const
{
    static const std::u16string none;
    return m_rare ? m_rare->message : none;
}

void CVarnexFileInfo::SetMessage(const std::u16string& message)
{
    CSingleLock lock(GetCriticalSection());
    if (m_rare || !message.empty())
        MakeRare().message = message;
}

uint64_t CVarnexFileInfo::GetReplacedCount() const
{
    CSingleLock lock(GetCriticalSection());
    return m_rare ? m_rare->replaced : 0;
}

void CVarnexFileInfo::SetReplacedCount(uint64_t count)
{
    CSingleLock lock(GetCriticalSection());
    if (m_rare || count != 0)
        MakeRare().replaced = count;
}

void CVarnexFileInfo::SetOutcome(const FileOutcome& outcome)
{
    // The catalogue is read before the record's lock is taken.
    const CCodepageInfo* info = outcome.hasFindings ? CCodepageInfo::GetCodepageInfo(outcome.codepage) : nullptr;
    std::u16string message = DescribeOutcome(outcome);
    CSingleLock lock(GetCriticalSection());
    if (outcome.hasFindings) {
        m_codepageInfo.store(info, kRelaxed);
        m_confidence.store(outcome.confidence, kRelaxed);
        m_hasBom.store(outcome.hasBom, kRelaxed);
        if (m_rare || outcome.replaced != 0)
            MakeRare().replaced = outcome.replaced;
        m_method.store(outcome.method, kRelaxed);
    }
    m_crlf = outcome.lineEndings.crlf;
    m_lf = outcome.lineEndings.lf;
    m_cr = outcome.lineEndings.cr;
    m_lineEndingsCounted = outcome.lineEndings.counted;
    m_resultState.store(outcome.state, kRelaxed);
    m_resultOperation.store(outcome.operation, kRelaxed);
    if (m_rare || !message.empty() || !outcome.reasons.empty()) {
        Rare& rare = MakeRare();
        rare.message = std::move(message);
        rare.reasons.clear();
        for (const ReasonNote& note : outcome.reasons)
            rare.reasons.push_back(note.reason);
    }
    m_bytesIn.store(outcome.bytesIn, kRelaxed);
    m_bytesOut.store(outcome.bytesOut, kRelaxed);
}

bool CVarnexFileInfo::HasReason(OutcomeReason reason) const
{
    CSingleLock lock(GetCriticalSection());
    for (OutcomeReason held : FastGetReasons())
        if (held == reason)
            return true;
    return false;
}

std::vector<OutcomeReason> CVarnexFileInfo::GetReasons() const
{
    CSingleLock lock(GetCriticalSection());
    return FastGetReasons();
}

const std::vector<OutcomeReason>& CVarnexFileInfo::FastGetReasons() const
{
    static const std::vector<OutcomeReason> none;
    return m_rare ? m_rare->reasons : none;
}

LineEndingCounts CVarnexFileInfo::GetLineEndings() const
{
    CSingleLock lock(GetCriticalSection());
    return FastGetLineEndings();
}

LineEndingCounts CVarnexFileInfo::FastGetLineEndings() const
{
    return {m_crlf, m_lf, m_cr, m_lineEndingsCounted};
}
