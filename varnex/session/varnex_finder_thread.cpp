#include "varnex/session/varnex_finder_thread.h"

#include <cstring>

#include "base/text.h"
#include "textrion/path/long_path.h"
#include "varnex/session/session_work.h"
#include "varnex/session/target_path.h"

CVarnexFileFinderThread::CVarnexFileFinderThread(CVarnexSessionWork* owner) : m_owner(owner) {}

CVarnexFileFinderThread::~CVarnexFileFinderThread()
{
    SetStopAndWait();
    FreeRemainingJobs();
}

void CVarnexFileFinderThread::FindFiles(const tagVARNEXBATCHJOBITEM& item)
{
    auto* job = new CVarnexFileFinderJob;
    job->m_baseFolder = item.inputPath;
    job->m_jobFolder = item.inputPath;
    job->m_recursive = item.recursive;
    job->m_includeHidden = item.processHiddenFiles;
    job->m_inputCodepage = item.inputCodepage;
    job->m_outputTextFormat = item.outputTextFormat;
    job->m_returnType = item.returnType;
    job->m_writeBom = item.writeBom;
    job->m_copyUnconverted = item.copyUnconverted;
    job->m_filterEnabled = item.filter.IsEnabled();
    if (job->m_filterEnabled) {
        job->m_filterIsRegex = item.filter.IsRegex();
        job->m_filterExpression = item.filter.GetFilterString();
        job->m_filter = CNameFilter(job->m_filterIsRegex, job->m_filterExpression);
    }
    job->m_outputFolder = item.outputPath;
    if (!item.outputPath.empty()) {
        // Outputs are never inputs: the output folder is made now and left
        // out of the walk, also when it lies inside the input tree.
        CLongPath(item.outputPath).AddBackslash().EnsureDirectoryExists();
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
    auto* target = static_cast<CVarnexFileFinderJob*>(newJob);
    const auto* source = static_cast<const CVarnexFileFinderJob*>(parent);
    target->m_inputCodepage = source->m_inputCodepage;
    target->m_outputTextFormat = source->m_outputTextFormat;
    target->m_returnType = source->m_returnType;
    target->m_writeBom = source->m_writeBom;
    target->m_copyUnconverted = source->m_copyUnconverted;
    target->m_filterEnabled = source->m_filterEnabled;
    target->m_filterIsRegex = source->m_filterIsRegex;
    target->m_outputFolder = source->m_outputFolder;
    target->m_filterExpression = source->m_filterExpression;
    target->m_filter = source->m_filter;
}

void CVarnexFileFinderThread::OnFileFound(const CFindEntry& entry, CFileFinderJob* baseJob)
{
    if (entry.IsDirectory())
        return;
    const auto* job = static_cast<const CVarnexFileFinderJob*>(baseJob);
    if (job->m_filterEnabled && !job->m_filter.Passes(entry.name))
        return;
    CLongPath path(job->m_jobFolder);
    path.Append(entry.name);
    tagVARNEXBATCHJOBITEM item;
    item.writeBom = job->m_writeBom;
    item.copyUnconverted = job->m_copyUnconverted;
    item.inputCodepage = job->m_inputCodepage;
    item.outputTextFormat = job->m_outputTextFormat;
    item.returnType = job->m_returnType;
    item.inputPath = path.GetPath();
    item.outputPath =
        MirroredTargetPath(item.inputPath.c_str(), job->m_baseFolder.c_str(), job->m_outputFolder.c_str());
    item.outputRoot = job->m_outputFolder;
    m_owner->SessionHandleJob(item);
}

void CVarnexFileFinderThread::OnFolderError(CFileFinderJob* job, int error)
{
    m_owner->SessionCountFolderError();
    m_owner->SessionAddSkipped(job->m_jobFolder, VARNEXRESULTSTATE_ERROR,
                               u"cannot read the folder: " + text::FromUtf8(std::strerror(error)));
}

void CVarnexFileFinderThread::OnEntrySkipped(const CSkippedEntry& entry, CFileFinderJob* baseJob)
{
    const auto* job = static_cast<const CVarnexFileFinderJob*>(baseJob);
    // The name filter chooses files; an entry it would not pass is not the user's concern.
    if (!entry.isFolder && job->m_filterEnabled && !job->m_filter.Passes(CLongPath(entry.path).GetFileName()))
        return;
    VARNEXRESULTSTATE state = VARNEXRESULTSTATE_NOT_SUPPORTED;
    std::u16string why;
    switch (entry.reason) {
    case CSkippedEntry::REASON_NOT_REGULAR:
        why = u"not a regular file (" + std::u16string(entry.kind) + u"): left alone";
        break;
    case CSkippedEntry::REASON_DANGLING_LINK: why = u"symbolic link to a missing target"; break;
    case CSkippedEntry::REASON_LINK_LOOP: why = u"symbolic link loop"; break;
    case CSkippedEntry::REASON_FOLDER_REPEATED:
        why = u"folder already searched under another path (a link): not searched again";
        break;
    default:
        state = VARNEXRESULTSTATE_ERROR;
        why = u"cannot be reached: " + text::FromUtf8(std::strerror(entry.error));
        break;
    }
    m_owner->SessionAddSkipped(entry.path, state, why);
}
