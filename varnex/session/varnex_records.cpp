// The session's records: the file list and queue, the counts of the
// summary, retries and what the views are handed.
#include "varnex/session/varnex.h"

#include <algorithm>
#include <chrono>

#include "textrion/path/long_path.h"
#include "varnex/export/result_exporter.h"
#include "varnex/session/target_path.h"
#include "varnex/session/varnex_finder_thread.h"

namespace {

// A file item's own job: its output root is the output's folder unless the
// item names one.
std::shared_ptr<const JobRequest> FileItemJob(const tagVARNEXBATCHJOBITEM& item)
{
    auto job = std::make_shared<JobRequest>();
    job->options = item.options;
    job->outputRoot = !item.outputRoot.empty() || item.outputPath.empty()
                          ? item.outputRoot
                          : CLongPath(CLongPath(item.outputPath).GetDirectory()).RemoveBackslash().GetPath();
    job->outputNamed = item.outputRoot.empty();
    return job;
}

// Entries the walk could not take carry a bare item's options.
const std::shared_ptr<const JobRequest>& SkippedEntryJob()
{
    static const std::shared_ptr<const JobRequest> job = [] {
        auto bare = std::make_shared<JobRequest>();
        bare->options = tagVARNEXBATCHJOBITEM{}.options;
        return bare;
    }();
    return job;
}

}  // namespace

void CVarnex::HandleJob(const tagVARNEXBATCHJOBITEM& item)
{
    if (item.folder)
        m_finder->FindFiles(item);
    else
        SessionAddFound(FileItemJob(item), item.inputPath, item.outputPath);
}

void CVarnex::SessionAddFound(const std::shared_ptr<const JobRequest>& job, const std::u16string& inputPath,
                              const std::u16string& outputPath)
{
    const unsigned id = IncrementQueueFileUniqueIdCounter();
    HandleFileInfo(std::make_unique<CVarnexFileInfo>(id, inputPath, outputPath, job, GetDefaultOwnerData()));
}

void CVarnex::HandleFileInfo(std::unique_ptr<CVarnexFileInfo> owned)
{
    CVarnexFileInfo* record = SessionAddFile(std::move(owned));
    {
        CSingleLock lock(m_fileQueue.GetCriticalSection());
        m_fileQueue.push(record);
    }
    m_queueChanged.notify_one();
}

CVarnexFileInfo* CVarnex::SessionAddFile(std::unique_ptr<CVarnexFileInfo> owned)
{
    CVarnexFileInfo* record;
    {
        CSingleLock lock(m_summaryLock);
        ++m_summary.totalFiles;
    }
    {
        // The hook runs with the record listed and the list held, so a filter
        // applied meanwhile (which reads the list) cannot miss the record.
        CSingleLock lock(GetFileList().GetCriticalSection());
        record = m_records.Add(std::move(owned));
        m_observer->OnFileInfoAdding(record);
    }
    SessionNotifyUpdate(record);
    return record;
}

CVarnexFileInfo* CVarnex::TakeQueuedRecord(bool* noMore, unsigned waitMs)
{
    // The finder's state is read before the queue: a finder that ended before
    // the queue was seen empty can have queued nothing more.
    const bool finderEnded = !HasIncomingJob();
    CSingleLock lock(m_fileQueue.GetCriticalSection());
    if (m_fileQueue.empty()) {
        if (finderEnded) {
            *noMore = true;
            return nullptr;
        }
        if (waitMs == 0)
            return nullptr;
        m_queueChanged.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !m_fileQueue.empty(); });
        if (m_fileQueue.empty())
            return nullptr;
    }
    CVarnexFileInfo* record = m_fileQueue.front();
    m_fileQueue.pop();
    return record;
}

void CVarnex::SessionFileStarted(CVarnexFileInfo* record)
{
    {
        CSingleLock lock(m_summaryLock);
        m_processing.push_back(record);
    }
    // Told without the summary lock: an observer may wait on whoever holds it.
    m_observer->OnFileStartProcessing(record);
}

namespace {

bool IsWarning(VARNEXRESULTSTATE state)
{
    return state == VARNEXRESULTSTATE_WARNING || state == VARNEXRESULTSTATE_NOT_SUPPORTED;
}

// Failures of every kind count as errors; a finished record without a result
// is one too.
bool IsError(VARNEXRESULTSTATE state)
{
    return state == VARNEXRESULTSTATE_NONE || state == VARNEXRESULTSTATE_FAILED || state == VARNEXRESULTSTATE_ERROR ||
           state == VARNEXRESULTSTATE_CONVERSION_ERROR || state == VARNEXRESULTSTATE_WRITE_ERROR;
}

}  // namespace

void CVarnex::SessionFileFinished(CVarnexFileInfo* record)
{
    {
        CSingleLock lock(m_summaryLock);
        m_processing.remove(record);
        ++m_summary.processedFiles;
        const VARNEXRESULTSTATE state = record->GetResultState();
        if (IsWarning(state))
            ++m_summary.warningFiles;
        else if (IsError(state))
            ++m_summary.errorFiles;
        switch (record->GetResultOperation()) {
        case VARNEXRESULTOPERATION_CONVERTED:
            ++m_summary.convertedFiles;
            break;
        case VARNEXRESULTOPERATION_COPIED:
            ++m_summary.copiedFiles;
            break;
        default:
            break;
        }
        // Finished only once counted, within the same step a retry checks.
        record->SetStatus(VARNEXFILESTATUS_FINISHED);
    }
    {
        CSingleLock lock(m_exporterLock);
        if (m_exporter && m_exporter->IsOpen())
            m_exporter->ExportFileInfo(*record);
    }
    m_observer->OnFileProcessed(record);
    SessionNotifyUpdate(record);
}

bool CVarnex::SessionNotifyUpdate(CVarnexFileInfo* record)
{
    if (!m_dispatching.load())
        return false;
    CSingleLock lock(m_updateList.GetCriticalSection());
    if (std::find(m_updateList.begin(), m_updateList.end(), record) != m_updateList.end())
        return true;
    m_updateList.push_back(record);
    return false;
}

bool CVarnex::RetryFile(CVarnexFileInfo* record, bool allowAutoDetect)
{
    return SessionPrepareRetryFile(record, allowAutoDetect, false, 0);
}

bool CVarnex::RetryFileSetCodepage(CVarnexFileInfo* record, int codepage)
{
    return SessionPrepareRetryFile(record, false, true, codepage);
}

bool CVarnex::SessionPrepareRetryFile(CVarnexFileInfo* record, bool allowAutoDetect, bool setCodepage, int codepage)
{
    if (record == nullptr)
        return false;
    {
        // Check, undo and mark as one step: a record is never undone twice nor
        // before it was counted.
        CSingleLock lock(m_summaryLock);
        if (record->GetStatus() != VARNEXFILESTATUS_FINISHED)
            return false;
        --m_summary.processedFiles;
        const VARNEXRESULTSTATE state = record->GetResultState();
        if (IsWarning(state))
            --m_summary.warningFiles;
        else if (IsError(state))
            --m_summary.errorFiles;
        switch (record->GetResultOperation()) {
        case VARNEXRESULTOPERATION_CONVERTED:
            --m_summary.convertedFiles;
            break;
        case VARNEXRESULTOPERATION_COPIED:
            --m_summary.copiedFiles;
            break;
        default:
            break;
        }
        record->SetStatus(VARNEXFILESTATUS_RETRYING);
    }
    m_observer->OnPreparingFileRetry(record);
    record->SetAllowAutoDetect(allowAutoDetect);
    if (!allowAutoDetect && setCodepage)
        record->SetCodepage(codepage);
    record->ResetProgress();
    SessionNotifyUpdate(record);
    {
        CSingleLock lock(m_fileQueue.GetCriticalSection());
        m_fileQueue.push(record);
    }
    m_queueChanged.notify_one();
    return true;
}

void CVarnex::ResetSession(VARNEXSESSIONTYPE type)
{
    {
        // No worker runs: the records being processed are only forgotten
        // before they go.
        CSingleLock lock(m_summaryLock);
        m_processing.clear();
    }
    {
        CSingleLock files(GetFileList().GetCriticalSection());
        CSingleLock updates(m_updateList.GetCriticalSection());
        m_updateList.clear();
        {
            // Queued retries point into the list that is about to go.
            CSingleLock queue(m_fileQueue.GetCriticalSection());
            while (!m_fileQueue.empty())
                m_fileQueue.pop();
        }
        m_records.Clear([this] { m_observer->OnClearingFileList(); },
                        [this](CVarnexFileInfo* record) { m_observer->OnFileInfoDeleting(record); });
    }
    {
        CSingleLock lock(m_summaryLock);
        m_summary = VARNEXSESSIONSUMMARY{};
        m_summary.sessionType = type;
    }
    m_observer->OnSessionReset(type);
}

void CVarnex::SessionAddSkipped(const std::u16string& path, VARNEXRESULTSTATE state, ReasonNote why)
{
    auto owned = std::make_unique<CVarnexFileInfo>(IncrementQueueFileUniqueIdCounter(), path, std::u16string(),
                                                   SkippedEntryJob(), GetDefaultOwnerData());
    FileOutcome outcome;
    outcome.hasFindings = false;  // never looked at: no code page, not even "Binary"
    outcome.End(state, std::move(why));
    owned->SetOutcome(outcome);
    SessionFileFinished(SessionAddFile(std::move(owned)));
}

void CVarnex::CalcProgress()
{
    CSingleLock lock(m_summaryLock);
    const uint64_t processed = m_summary.processedFiles;
    const uint64_t total = m_summary.totalFiles;
    uint64_t running = 0;
    for (CVarnexFileInfo* record : m_processing)
        running += record->GetProgress();
    uint32_t progress = 0, detailed = 0;
    if (total != 0) {
        progress = static_cast<uint32_t>(std::min<uint64_t>(processed * 100 / total, 100));
        detailed = static_cast<uint32_t>(std::min<uint64_t>((processed * 100 + running) / total, 100));
    }
    m_summary.progress = progress;
    m_summary.progressDetailed = detailed;
}

void CVarnex::GetSessionSummary(VARNEXSESSIONSUMMARY& summary)
{
    CalcProgress();
    GetSessionSummaryAsComputed(summary);
}

void CVarnex::GetSessionSummaryAsComputed(VARNEXSESSIONSUMMARY& summary) const
{
    CSingleLock lock(m_summaryLock);
    summary = m_summary;
}

unsigned CVarnex::DispatchUpdateList(CLockableVector<CVarnexFileInfo*>& out, VARNEXSESSIONSUMMARY* summary,
                                     unsigned maxCount)
{
    unsigned moved = 0;
    if (m_dispatching.load()) {
        CSingleLock lock(m_updateList.GetCriticalSection());
        while (!m_updateList.empty() && (maxCount == 0 || moved < maxCount)) {
            out.push_back(m_updateList.front());
            m_updateList.pop_front();
            ++moved;
        }
    }
    if (summary)
        GetSessionSummary(*summary);
    return moved;
}

void CVarnex::GetOutputFolderList(COutputFolderList& out) const
{
    CSingleLock mine(m_outputFolders.GetCriticalSection());
    CSingleLock theirs(out.GetCriticalSection());
    out.m_folders = m_outputFolders.m_folders;
}

std::u16string CVarnex::GenerateTargetPath(const char16_t* file, const char16_t* baseFolder,
                                           const char16_t* outputFolder)
{
    return MirroredTargetPath(file, baseFolder, outputFolder);
}

std::u16string CVarnex::GenerateTargetPath(const char16_t* file, const char16_t* outputFolder)
{
    return TargetPathInFolder(file, outputFolder);
}
