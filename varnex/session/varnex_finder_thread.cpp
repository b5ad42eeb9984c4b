#include "varnex/session/varnex_finder_thread.h"

#include "platform/file_api.h"
#include "textrion/path/long_path.h"
#include "varnex/session/session_work.h"
#include "varnex/session/target_path.h"

CVarnexFileFinderThread::CVarnexFileFinderThread(CVarnexSessionWork* owner) : m_owner(owner)
{
}

CVarnexFileFinderThread::~CVarnexFileFinderThread()
{
    SetStopAndWait();
    FreeRemainingJobs();
}

void CVarnexFileFinderThread::FindFiles(const tagVARNEXBATCHJOBITEM& item)
{
    auto files = std::make_shared<JobRequest>();
    files->options = item.options;
    files->outputRoot = item.outputPath;
    files->outputNamed = item.outputPath.empty();
    files->inputFolder = CLongPath(item.inputPath).AddBackslash().GetPath();
    if (!item.outputPath.empty())
        files->outputFolder = CLongPath(item.outputPath).AddBackslash().GetPath();
    auto walk = std::make_shared<FolderWalk>();
    walk->files = std::move(files);
    if (item.options.filter.IsEnabled())
        walk->filter = CNameFilter(item.options.filter.IsRegex(), item.options.filter.GetFilterString());
    walk->shard = item.shard;

    auto* job = new CVarnexFileFinderJob;
    job->m_baseFolder = item.inputPath;
    job->m_jobFolder = item.inputPath;
    job->m_recursive = item.options.recursive;
    job->m_includeHidden = item.options.processHiddenFiles;
    job->m_walk = std::move(walk);
    if (!item.outputPath.empty()) {
        // Outputs are never inputs: the output folder is made now and left
        // out of the walk, also when it lies inside the input tree.
        const platform::FolderModeSource modes{item.inputPath};
        platform::CreateFolderChain(item.outputPath, u"", nullptr, &modes);
        ExcludeFolder(item.outputPath);
    }
    SafeEnqueueJob(job);
}

CFileFinderJob* CVarnexFileFinderThread::CreateJobInstance()
{
    return new CVarnexFileFinderJob;
}

void CVarnexFileFinderThread::InitNewRecursiveJob(CFileFinderJob* newJob, const CFindEntry& folderEntry,
                                                  CFileFinderJob* parent)
{
    CFileFinderThread::InitNewRecursiveJob(newJob, folderEntry, parent);
    static_cast<CVarnexFileFinderJob*>(newJob)->m_walk = static_cast<const CVarnexFileFinderJob*>(parent)->m_walk;
}

void CVarnexFileFinderThread::OnFileFound(const CFindEntry& entry, CFileFinderJob* baseJob)
{
    if (entry.IsDirectory())
        return;
    const auto* job = static_cast<const CVarnexFileFinderJob*>(baseJob);
    if (job->IsFilterEnabled() && !job->m_walk->filter.Passes(entry.name))
        return;
    CLongPath path(job->m_jobFolder);
    path.Append(entry.name);
    if (!job->Owns(path.GetPath()))
        return;
    const std::shared_ptr<const JobRequest>& files = job->m_walk->files;
    m_owner->SessionAddFound(files, path.GetPath(),
                             MirroredTargetPath(path.c_str(), job->m_baseFolder.c_str(), files->outputRoot.c_str()));
}

void CVarnexFileFinderThread::OnFolderError(CFileFinderJob* job, int error)
{
    // Every slice reports it: each may have lost files of its own in it.
    m_owner->SessionCountFolderError();
    m_owner->SessionAddSkipped(job->m_jobFolder, VARNEXRESULTSTATE_ERROR,
                               ReasonNote::Error(OutcomeReason::FolderUnreadable, error));
}

void CVarnexFileFinderThread::OnEntrySkipped(const CSkippedEntry& entry, CFileFinderJob* baseJob)
{
    const auto* job = static_cast<const CVarnexFileFinderJob*>(baseJob);
    // The name filter chooses files; an entry it would not pass is not the user's concern.
    if (!entry.isFolder && job->IsFilterEnabled() && !job->m_walk->filter.Passes(CLongPath(entry.path).GetFileName()))
        return;
    // What cannot be examined may be a folder holding files of any slice.
    if (entry.reason != CSkippedEntry::REASON_UNREACHABLE && !job->Owns(entry.path))
        return;
    VARNEXRESULTSTATE state = VARNEXRESULTSTATE_NOT_SUPPORTED;
    ReasonNote why;
    switch (entry.reason) {
    case CSkippedEntry::REASON_NOT_REGULAR:
        why = ReasonNote::Detail(OutcomeReason::NotRegular, entry.kind);
        break;
    case CSkippedEntry::REASON_DANGLING_LINK:
        why = ReasonNote::Of(OutcomeReason::DanglingLink);
        break;
    case CSkippedEntry::REASON_LINK_LOOP:
        why = ReasonNote::Of(OutcomeReason::LinkLoop);
        break;
    case CSkippedEntry::REASON_FOLDER_REPEATED:
        why = ReasonNote::Of(OutcomeReason::FolderRepeated);
        break;
    case CSkippedEntry::REASON_INTO_EXCLUDED:
        // Only the output folder is left out of a walk: its files are never inputs.
        why = ReasonNote::Detail(OutcomeReason::NotRegular, u"symbolic link into the output folder");
        break;
    default:
        state = VARNEXRESULTSTATE_ERROR;
        why = ReasonNote::Error(OutcomeReason::Unreachable, entry.error);
        break;
    }
    m_owner->SessionAddSkipped(entry.path, state, std::move(why));
}
