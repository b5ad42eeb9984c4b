#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/lockable.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/session/conversion_options.h"
#include "varnex/varnex_export.h"

class CCodepageInfo;

enum VARNEXFILESTATUS : int {
    VARNEXFILESTATUS_IDLE = 0,
    VARNEXFILESTATUS_STARTED = 1,
    VARNEXFILESTATUS_CONVERTING = 2,
    VARNEXFILESTATUS_FINISHED = 3,
    VARNEXFILESTATUS_RETRYING = 4,
};

// What every file of one job has in common: what the job asks of each file
// and where its outputs go. Records share one immutable copy per job.
struct VARNEX_API JobRequest {
    ConversionOptions options;
    // The output folder the session writes below: no folder between it and
    // the output file may be a link (empty: the output file's own folder).
    std::u16string outputRoot;
    // The output path was named for the file (not found by a folder walk):
    // a link there is kept and the file it leads to replaced, a FIFO or
    // device is written into. A walk's outputs never follow anything.
    bool outputNamed = false;
    // A file below inputFolder whose output is outputFolder plus the same
    // rest of the path keeps only that rest (both end in '/'; empty: none).
    std::u16string inputFolder;
    std::u16string outputFolder;
};

// The engine's record of one input file, shared by the converter threads that
// fill it and the views that read it. Every field has a locking accessor.
//
// Scalar fields are atomic, so their Fast (unlocked) getters are defined from
// any thread. The output path, the message, the reasons, the replaced count
// and the line endings may be replaced by another thread: their Fast getters
// are for callers that hold the record's lock (GetCriticalSection). The input
// path never changes after construction, nor does the job it came from.
//
// A record is kept small (a session may hold millions): what its job shares
// lives in the job, an output path that follows from the job is not stored,
// and what few files have (a message, reasons, another output or options)
// is allocated only when set.
class VARNEX_API CVarnexFileInfo : public CLockable {
public:
    ~CVarnexFileInfo() override;

    CVarnexFileInfo(unsigned sessionUniqueId, const char16_t* inputFile, const char16_t* outputFile, void* ownerData);
    // A fixed input code page in the options turns detection off and is the
    // record's code page until a retry changes it.
    CVarnexFileInfo(unsigned sessionUniqueId, const char16_t* inputFile, const char16_t* outputFile,
                    const ConversionOptions& options, void* ownerData);
    // The same for a file of a job; null takes a job of default options.
    CVarnexFileInfo(unsigned sessionUniqueId, const std::u16string& inputFile, const std::u16string& outputFile,
                    std::shared_ptr<const JobRequest> job, void* ownerData);
    CVarnexFileInfo(const CVarnexFileInfo& other);
    CVarnexFileInfo& operator=(const CVarnexFileInfo&) = delete;

    void* GetOwnerData() const { return m_ownerData.load(std::memory_order_relaxed); }
    void SetOwnerData(void* data);
    void* FastGetOwnerData() const { return GetOwnerData(); }
    void FastSetOwnerData(void* data) { m_ownerData.store(data, std::memory_order_relaxed); }

    unsigned GetSessionUniqueId() const { return m_sessionUniqueId; }

    VARNEXFILESTATUS GetStatus() const;
    void SetStatus(VARNEXFILESTATUS status);
    VARNEXFILESTATUS FastGetStatus() const { return m_status.load(std::memory_order_relaxed); }

    // Input path (fixed for the record's life; no lock needed).
    std::u16string GetInputFile() const;
    void GetInputFile(std::u16string& path) const { path = GetInputFile(); }
    // Copies into a buffer of size units, zero-terminated; false (and an empty
    // buffer) when it does not fit.
    bool GetInputFile(char16_t* buffer, unsigned size) const;
    std::u16string GetInputFileName() const;
    void GetInputFileName(std::u16string& name) const { name = GetInputFileName(); }
    std::u16string FastGetInputFile() const { return GetInputFile(); }
    std::u16string FastGetInputFileName() const { return GetInputFileName(); }

    std::u16string GetOutputFile() const;
    void GetOutputFile(std::u16string& path) const { path = GetOutputFile(); }
    bool GetOutputFile(char16_t* buffer, unsigned size) const;
    std::u16string GetOutputFileName() const;
    void GetOutputFileName(std::u16string& name) const { name = GetOutputFileName(); }
    void SetOutputFile(const char16_t* path);
    // Caller holds the record's lock.
    std::u16string FastGetOutputFile() const;
    std::u16string FastGetOutputFileName() const;
    // The job's (see JobRequest); fixed for the record's life.
    const std::u16string& GetOutputRoot() const { return m_job->outputRoot; }
    bool IsOutputNamed() const { return m_job->outputNamed; }

    // What the job asked of this file (a copy, read under the record's lock).
    ConversionOptions GetOptions() const;
    // For a finished record that is to be written again with other options
    // (before its retry). The input code page is not applied: the retry
    // says whether the file is detected again.
    void SetOptions(const ConversionOptions& options);
    CTextFileConverter::OUTPUTTEXTFORMAT GetOutputTextFormat() const;
    void SetOutputTextFormat(CTextFileConverter::OUTPUTTEXTFORMAT format);
    bool GetWriteBOM() const;
    unsigned GetOutputCodepage() const;

    // The catalogue entry of the source code page, or null when none is known.
    const CCodepageInfo* GetCodepageInfo() const;
    // A number outside the catalogue stores null.
    void SetCodepage(int codepage);
    const CCodepageInfo* FastGetCodepageInfo() const { return m_codepageInfo.load(std::memory_order_relaxed); }

    float GetConfidence() const;
    void SetConfidence(float confidence);
    float FastGetConfidence() const { return m_confidence.load(std::memory_order_relaxed); }
    bool GetHasBom() const;
    void SetHasBom(bool hasBom);
    bool FastGetHasBom() const { return m_hasBom.load(std::memory_order_relaxed); }

    VARNEXRESULTSTATE GetResultState() const;
    void SetResultState(VARNEXRESULTSTATE state);
    VARNEXRESULTSTATE FastGetResultState() const { return m_resultState.load(std::memory_order_relaxed); }
    VARNEXRESULTOPERATION GetResultOperation() const;
    void SetResultOperation(VARNEXRESULTOPERATION operation);
    VARNEXRESULTOPERATION FastGetResultOperation() const { return m_resultOperation.load(std::memory_order_relaxed); }

    bool GetAllowAutoDetect() const;
    void SetAllowAutoDetect(bool allow);
    bool FastGetAllowAutoDetect() const { return m_allowAutoDetect.load(std::memory_order_relaxed); }

    uint64_t GetProcessedBytes() const;
    uint64_t GetTotalBytes() const;
    unsigned GetProgress() const;
    uint64_t FastGetProcessedBytes() const { return m_processedBytes.load(std::memory_order_relaxed); }
    uint64_t FastGetTotalBytes() const { return m_totalBytes.load(std::memory_order_relaxed); }
    unsigned FastGetProgress() const { return m_progress.load(std::memory_order_relaxed); }
    // Stores both and the percentage, rounded down and never above 100 (a file
    // can grow while it is converted).
    void SetConverterProgress(uint64_t processed, uint64_t total);
    // Back to no progress, when a converter thread takes the record (again).
    void ResetProgress();

    // Why the file ended in a warning or an error (empty when it did not), and
    // how many characters were replaced while converting it.
    std::u16string GetMessage() const;
    void SetMessage(const std::u16string& message);
    // Caller holds the record's lock.
    const std::u16string& FastGetMessage() const;
    uint64_t GetReplacedCount() const;
    void SetReplacedCount(uint64_t count);

    // Bytes of the input read and of the output written, for the run's
    // totals (see FileOutcome).
    uint64_t GetBytesIn() const { return m_bytesIn.load(std::memory_order_relaxed); }
    uint64_t GetBytesOut() const { return m_bytesOut.load(std::memory_order_relaxed); }

    // Stores what became of the file in one step under the record's lock:
    // the findings (unless it has none), state, operation, bytes, and the
    // message its reasons give (DescribeOutcome).
    void SetOutcome(const FileOutcome& outcome);
    // Whether the last outcome gave this reason: callers that act on one
    // (a hint to the user) need not read the message.
    bool HasReason(OutcomeReason reason) const;
    // The reasons of the last outcome, in order (Fast: caller holds the lock).
    std::vector<OutcomeReason> GetReasons() const;
    const std::vector<OutcomeReason>& FastGetReasons() const;

    // Which test found the code page in the last outcome.
    DetectionMethod GetDetectionMethod() const { return m_method.load(std::memory_order_relaxed); }
    DetectionMethod FastGetDetectionMethod() const { return GetDetectionMethod(); }
    // The line endings of the text the last outcome converted (not counted
    // when it converted nothing). Fast: caller holds the lock.
    LineEndingCounts GetLineEndings() const;
    LineEndingCounts FastGetLineEndings() const;

private:
    // What few records have; made under the lock when first set.
    struct Rare;
    Rare& MakeRare();
    const ConversionOptions& LockedOptions() const;
    std::u16string LockedOutputFile() const;
    // The output the job gives this file (empty when none).
    std::u16string DerivedOutputFile() const;

    std::atomic<void*> m_ownerData;
    const std::shared_ptr<const JobRequest> m_job;
    std::unique_ptr<Rare> m_rare;  // under the lock
    // The input path, or its rest below the job's input folder; zero-terminated.
    std::unique_ptr<char16_t[]> m_input;
    std::atomic<const CCodepageInfo*> m_codepageInfo{nullptr};
    std::atomic<uint64_t> m_processedBytes{0};
    std::atomic<uint64_t> m_totalBytes{0};
    std::atomic<uint64_t> m_bytesIn{0};
    std::atomic<uint64_t> m_bytesOut{0};
    uint64_t m_crlf = 0, m_lf = 0, m_cr = 0;  // under the lock
    const unsigned m_sessionUniqueId;
    std::atomic<VARNEXFILESTATUS> m_status{VARNEXFILESTATUS_IDLE};
    std::atomic<float> m_confidence{0.0f};
    std::atomic<VARNEXRESULTSTATE> m_resultState{VARNEXRESULTSTATE_NONE};
    std::atomic<VARNEXRESULTOPERATION> m_resultOperation{VARNEXRESULTOPERATION_NONE};
    std::atomic<DetectionMethod> m_method{DetectionMethod::None};
    std::atomic<unsigned> m_progress{0};
    std::atomic<bool> m_hasBom{false};
    std::atomic<bool> m_allowAutoDetect{true};
    bool m_lineEndingsCounted = false;  // under the lock
    bool m_inputBelowJob = false;       // m_input is the rest below m_job->inputFolder
};
