#include "varnex/session/converter_thread.h"

#include <cerrno>

#include "base/text.h"
#include "platform/file_api.h"
#include "varnex/convert/file_job.h"
#include "varnex/session/session_work.h"
#include "varnex/session/varnex_file_info.h"
#include "varnex/session/worker_pool.h"

namespace {

// The input folder the output root mirrors: the input file's folder less the
// part of the output's path below the root (empty when they differ).
std::u16string InputRootOf(const std::u16string& input, const std::u16string& relative)
{
    const std::u16string folder = CLongPath(CLongPath(input).GetDirectory()).RemoveBackslash().GetPath();
    if (relative.empty())
        return folder;
    const std::u16string tail = u"/" + relative;
    if (folder.size() <= tail.size() || folder.compare(folder.size() - tail.size(), tail.size(), tail) != 0)
        return {};
    return folder.substr(0, folder.size() - tail.size());
}

// A failure before anything was found keeps the record's findings.
FileOutcome Unfinished(const CVarnexFileInfo& record, ReasonNote why)
{
    FileOutcome outcome;
    outcome.hasFindings = false;
    platform::FileStatus status;
    if (platform::GetFileStatus(record.GetInputFile(), &status) && status.type == platform::FileType::Regular)
        outcome.bytesIn = status.size;
    outcome.End(VARNEXRESULTSTATE_ERROR, std::move(why));
    return outcome;
}

void ReportProgress(CTextFileConverter*, uint64_t processed, uint64_t total, void* record)
{
    static_cast<CVarnexFileInfo*>(record)->SetConverterProgress(processed, total);
}

}  // namespace

CConverterThread::CConverterThread(CVarnexSessionWork* owner, CWorkerPool& pool) : m_owner(owner), m_pool(pool)
{
    owner->SessionCopyJobSetting(m_setting);
    if (m_setting.useConsolidatedBuffer) {
        m_textBuffer.reset(new char16_t[m_setting.chunkSize]);
        m_readBuffer.reset(new unsigned char[m_setting.readBufferSize]);
        m_writeBuffer.reset(new unsigned char[m_setting.writeBufferSize]);
    }
}

void CConverterThread::Run(std::stop_token stop)
{
    m_stop = stop;
    while (m_pool.Pass(m_stop)) {
        bool noMore = false;
        CVarnexFileInfo* record = m_owner->TakeQueuedRecord(&noMore, kIdlePollMs);
        if (record != nullptr)
            Process(record);
        else if (noMore)
            break;
    }
}

void CConverterThread::Process(CVarnexFileInfo* record)
{
    m_owner->SessionFileStarted(record);
    record->ResetProgress();
    record->SetStatus(VARNEXFILESTATUS_STARTED);
    m_owner->SessionNotifyUpdate(record);
    // A failure nothing below caught (memory, a hook) ends this file, never
    // the thread, which would leave the record started for good.
    try {
        record->SetOutcome(DetectAndConvert(record));
    } catch (const std::exception& e) {
        record->SetOutcome(
            Unfinished(*record, ReasonNote::Detail(OutcomeReason::InternalException, text::FromUtf8(e.what()))));
    } catch (...) {
        record->SetOutcome(Unfinished(*record, ReasonNote::Of(OutcomeReason::InternalError)));
    }
    m_owner->SessionFileFinished(record);
}

FileOutcome CConverterThread::DetectAndConvert(CVarnexFileInfo* record)
{
    FileJobParams params = FileJobParamsOf(m_setting);
    params.workspace = &m_detection;
    params.textBuffer = m_textBuffer.get();
    params.readBuffer = m_readBuffer.get();
    params.writeBuffer = m_writeBuffer.get();
    params.stop = m_stop;
    params.gate = [this] { (void)m_pool.Pass(m_stop); };  // the job looks at the stop itself
    params.progress = ReportProgress;
    params.progressData = record;
    params.beforeConverting = [&] {
        record->SetStatus(VARNEXFILESTATUS_CONVERTING);
        m_owner->SessionNotifyUpdate(record);
    };
    CFileJob job(std::move(params));
    FileJobSource source;
    source.path = record->GetInputFile();
    const ConversionOptions options = record->GetOptions();
    FileOutcome outcome;
    if (record->GetAllowAutoDetect()) {
        outcome = job.Detect(source, options.repairDoubleEncoding);
    } else {
        platform::FileStatus status;
        const bool regular =
            platform::GetFileStatus(source.path, &status) && status.type == platform::FileType::Regular;
        outcome = CFileJob::Assigned(record->GetCodepageInfo(), record->GetHasBom(), regular ? status.size : 0);
    }
    const CLongPath output(record->GetOutputFile());
    if (m_setting.detectOnly || output.IsEmpty() || outcome.state == VARNEXRESULTSTATE_ERROR ||
        outcome.state == VARNEXRESULTSTATE_CANCELLED)
        return outcome;
    // The folder is made even for a file that is then left alone.
    FileJobTarget target;
    target.path = output.GetPath();
    target.named = record->IsOutputNamed();
    ReasonNote why;
    platform::FolderRef folder = OutputFolder(*record, output, why);
    if (!folder) {
        outcome.End(VARNEXRESULTSTATE_WRITE_ERROR, std::move(why));
        return outcome;
    }
    // A name the user gave keeps its link; a walk's outputs go into the folder as opened.
    if (!target.named)
        target.folder = std::move(folder);
    return job.Write(source, target, FileJobOutputOf(options), std::move(outcome));
}

platform::FolderRef CConverterThread::OutputFolder(const CVarnexFileInfo& record, const CLongPath& output,
                                                   ReasonNote& why)
{
    const std::u16string folder = CLongPath(output.GetDirectory()).RemoveBackslash().GetPath();
    std::u16string root = record.GetOutputRoot();
    std::u16string relative;
    if (root.empty()) {
        root = folder;
    } else {
        const std::u16string prefix = CLongPath(root).AddBackslash().GetPath();
        if (folder.size() >= prefix.size() && folder.compare(0, prefix.size(), prefix) == 0)
            relative = folder.substr(prefix.size());
        else if (folder != CLongPath(root).RemoveBackslash().GetPath()) {
            why = ReasonNote::Of(OutcomeReason::OutputFolderOutside);
            return nullptr;
        }
    }
    int error = 0;
    platform::FolderRef made;
    // The root is opened once: what its path leads to later does not matter.
    if (m_root && m_rootPath == root)
        made = platform::OpenFolderBelow(*m_root, relative, &error);
    if (!made && (error == ENOENT || !m_root || m_rootPath != root)) {
        // New folders take the permission bits of the input folders they mirror.
        const platform::FolderModeSource modes{InputRootOf(record.GetInputFile(), relative)};
        if (!m_root || m_rootPath != root) {
            m_root = platform::CreateFolderChain(root, u"", &error, &modes);
            m_rootPath = m_root ? root : std::u16string();
        }
        if (m_root)
            made = platform::CreateFolderChain(*m_root, relative, &error, &modes);
    }
    if (made)
        return made;
    if (error == ELOOP)
        why = ReasonNote::Of(OutcomeReason::OutputFolderLink);
    else
        why = ReasonNote::Error(OutcomeReason::OutputFolderFailed, error);
    return nullptr;
}
