#include "varnex/session/varnex_file_info.h"

#include <algorithm>

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

}  // namespace

CVarnexFileInfo::CVarnexFileInfo(unsigned sessionUniqueId, const char16_t* inputFile, const char16_t* outputFile,
                                 void* ownerData)
    : m_ownerData(ownerData),
      m_sessionUniqueId(sessionUniqueId),
      m_inputFile(inputFile ? inputFile : u""),
      m_outputFile(outputFile ? outputFile : u"")
{
}

CVarnexFileInfo::CVarnexFileInfo(unsigned sessionUniqueId, const char16_t* inputFile, const char16_t* outputFile,
                                 const VARNEXCONVERSIONOPTIONS& options, void* ownerData)
    : CVarnexFileInfo(sessionUniqueId, inputFile, outputFile, ownerData)
{
    m_options = options;
    // A negative number names no code page: the file is detected.
    if (options.inputCodepage && *options.inputCodepage > -1) {
        m_allowAutoDetect.store(false, kRelaxed);
        m_codepageInfo.store(CCodepageInfo::GetCodepageInfo(*options.inputCodepage), kRelaxed);
    }
}

CVarnexFileInfo::CVarnexFileInfo(const CVarnexFileInfo& other)
    : CLockable(), m_sessionUniqueId(other.m_sessionUniqueId), m_inputFile(other.m_inputFile)
{
    CSingleLock lock(other.GetCriticalSection());
    m_ownerData.store(other.m_ownerData.load(kRelaxed), kRelaxed);
    m_status.store(other.m_status.load(kRelaxed), kRelaxed);
    m_outputFile = other.m_outputFile;
    m_outputRoot = other.m_outputRoot;
    m_outputNamed = other.m_outputNamed;
    m_options = other.m_options;
    m_codepageInfo.store(other.m_codepageInfo.load(kRelaxed), kRelaxed);
    m_confidence.store(other.m_confidence.load(kRelaxed), kRelaxed);
    m_hasBom.store(other.m_hasBom.load(kRelaxed), kRelaxed);
    m_resultState.store(other.m_resultState.load(kRelaxed), kRelaxed);
    m_resultOperation.store(other.m_resultOperation.load(kRelaxed), kRelaxed);
    m_allowAutoDetect.store(other.m_allowAutoDetect.load(kRelaxed), kRelaxed);
    m_processedBytes.store(other.m_processedBytes.load(kRelaxed), kRelaxed);
    m_totalBytes.store(other.m_totalBytes.load(kRelaxed), kRelaxed);
    m_progress.store(other.m_progress.load(kRelaxed), kRelaxed);
    m_message = other.m_message;
    m_reasons = other.m_reasons;
    m_replaced.store(other.m_replaced.load(kRelaxed), kRelaxed);
    m_bytesIn.store(other.m_bytesIn.load(kRelaxed), kRelaxed);
    m_bytesOut.store(other.m_bytesOut.load(kRelaxed), kRelaxed);
    m_method.store(other.m_method.load(kRelaxed), kRelaxed);
    m_lineEndings = other.m_lineEndings;
}

CVarnexFileInfo::~CVarnexFileInfo() = default;

// Every locking accessor holds the record's lock for its single read or
// write, so a caller holding the lock sees the fields it reads consistent.
#define VARNEX_LOCKED_FIELD(Type, Getter, Setter, member)   \
    Type CVarnexFileInfo::Getter() const                    \
    {                                                       \
        CSingleLock lock(GetCriticalSection());             \
        return member.load(kRelaxed);                       \
    }                                                       \
    void CVarnexFileInfo::Setter(Type value)                \
    {                                                       \
        CSingleLock lock(GetCriticalSection());             \
        member.store(value, kRelaxed);                      \
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

bool CVarnexFileInfo::GetInputFile(char16_t* buffer, unsigned size) const
{
    return CopyToBuffer(m_inputFile, buffer, size);
}

std::u16string CVarnexFileInfo::GetInputFileName() const
{
    return CLongPath(m_inputFile).GetFileName();
}

std::u16string CVarnexFileInfo::GetOutputFile() const
{
    CSingleLock lock(GetCriticalSection());
    return m_outputFile;
}

bool CVarnexFileInfo::GetOutputFile(char16_t* buffer, unsigned size) const
{
    CSingleLock lock(GetCriticalSection());
    return CopyToBuffer(m_outputFile, buffer, size);
}

std::u16string CVarnexFileInfo::GetOutputFileName() const
{
    return CLongPath(GetOutputFile()).GetFileName();
}

std::u16string CVarnexFileInfo::FastGetOutputFileName() const
{
    return CLongPath(m_outputFile).GetFileName();
}

void CVarnexFileInfo::SetOutputFile(const char16_t* path)
{
    CSingleLock lock(GetCriticalSection());
    m_outputFile = path ? path : u"";
}

std::u16string CVarnexFileInfo::GetOutputRoot() const
{
    CSingleLock lock(GetCriticalSection());
    return m_outputRoot;
}

void CVarnexFileInfo::SetOutputRoot(const std::u16string& folder)
{
    CSingleLock lock(GetCriticalSection());
    m_outputRoot = folder;
}

bool CVarnexFileInfo::IsOutputNamed() const
{
    CSingleLock lock(GetCriticalSection());
    return m_outputNamed;
}

void CVarnexFileInfo::SetOutputNamed(bool named)
{
    CSingleLock lock(GetCriticalSection());
    m_outputNamed = named;
}

VARNEXCONVERSIONOPTIONS CVarnexFileInfo::GetOptions() const
{
    CSingleLock lock(GetCriticalSection());
    return m_options;
}

void CVarnexFileInfo::SetOptions(const VARNEXCONVERSIONOPTIONS& options)
{
    CSingleLock lock(GetCriticalSection());
    m_options = options;
}

CTextFileConverter::OUTPUTTEXTFORMAT CVarnexFileInfo::GetOutputTextFormat() const
{
    CSingleLock lock(GetCriticalSection());
    return m_options.outputTextFormat;
}

void CVarnexFileInfo::SetOutputTextFormat(CTextFileConverter::OUTPUTTEXTFORMAT format)
{
    CSingleLock lock(GetCriticalSection());
    m_options.outputTextFormat = format;
}

bool CVarnexFileInfo::GetWriteBOM() const
{
    CSingleLock lock(GetCriticalSection());
    return m_options.writeBom;
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
        percent = processed >= total
                      ? 100
                      : static_cast<unsigned>(static_cast<Wide>(processed) * 100 / total);
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
    return m_message;
}

void CVarnexFileInfo::SetMessage(const std::u16string& message)
{
    CSingleLock lock(GetCriticalSection());
    m_message = message;
}

void CVarnexFileInfo::SetReplacedCount(uint64_t count)
{
    CSingleLock lock(GetCriticalSection());
    m_replaced.store(count, kRelaxed);
}

void CVarnexFileInfo::SetOutcome(const VARNEXFILEOUTCOME& outcome)
{
    // The catalogue is read before the record's lock is taken.
    const CCodepageInfo* info = outcome.hasFindings ? CCodepageInfo::GetCodepageInfo(outcome.codepage) : nullptr;
    std::u16string message = DescribeOutcome(outcome);
    CSingleLock lock(GetCriticalSection());
    if (outcome.hasFindings) {
        m_codepageInfo.store(info, kRelaxed);
        m_confidence.store(outcome.confidence, kRelaxed);
        m_hasBom.store(outcome.hasBom, kRelaxed);
        m_replaced.store(outcome.replaced, kRelaxed);
        m_method.store(outcome.method, kRelaxed);
    }
    m_lineEndings = outcome.lineEndings;
    m_resultState.store(outcome.state, kRelaxed);
    m_resultOperation.store(outcome.operation, kRelaxed);
    m_message = std::move(message);
    m_reasons.clear();
    for (const VARNEXREASONNOTE& note : outcome.reasons)
        m_reasons.push_back(note.reason);
    m_bytesIn.store(outcome.bytesIn, kRelaxed);
    m_bytesOut.store(outcome.bytesOut, kRelaxed);
}

bool CVarnexFileInfo::HasReason(VARNEXREASON reason) const
{
    CSingleLock lock(GetCriticalSection());
    for (VARNEXREASON held : m_reasons)
        if (held == reason)
            return true;
    return false;
}

std::vector<VARNEXREASON> CVarnexFileInfo::GetReasons() const
{
    CSingleLock lock(GetCriticalSection());
    return m_reasons;
}

VARNEXLINEENDINGS CVarnexFileInfo::GetLineEndings() const
{
    CSingleLock lock(GetCriticalSection());
    return m_lineEndings;
}
