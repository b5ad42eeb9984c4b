#include "textrion/finder/file_finder.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/finder/find_entry.h"
#include "textrion/path/long_path.h"

using textrion_detail::DescribeEntry;

CFileFinderThread::CFileFinderThread() : m_mask(u"*")
{
}

CFileFinderThread::CFileFinderThread(const char16_t* mask) : m_mask(mask && *mask ? mask : u"*")
{
}

CFileFinderThread::~CFileFinderThread()
{
    SetStopAndWait();
    FreeRemainingJobs();
}

bool CFileFinderThread::MatchesWildcard(const std::u16string& pattern, const std::u16string& name)
{
    return text::MatchesWildcard(pattern, name, true);
}

void CFileFinderThread::FindFiles(const char16_t* folder, bool recursive, bool includeHidden, unsigned long)
{
    CFileFinderJob* job = CreateJobInstance();
    job->m_baseFolder = folder ? folder : u"";
    job->m_jobFolder = job->m_baseFolder;
    job->m_recursive = recursive;
    job->m_includeHidden = includeHidden;
    SafeEnqueueJob(job);
}

bool CFileFinderThread::ExcludeFolder(const std::u16string& folder)
{
    platform::FileStatus st;
    if (!platform::GetFileStatus(folder, &st) || st.type != platform::FileType::Directory)
        return false;
    m_excluded.emplace(st.device, st.inode);
    return true;
}

bool CFileFinderThread::ExcludeFile(const std::u16string& path)
{
    const CLongPath file(path);
    platform::FileStatus st;
    const std::u16string folder = CLongPath(file.GetDirectory()).RemoveBackslash().GetPath();
    if (!platform::GetFileStatus(folder.empty() ? u"." : folder, &st) || st.type != platform::FileType::Directory)
        return false;
    m_excludedFiles.emplace(st.device, st.inode, file.GetFileName());
    return true;
}

bool CFileFinderThread::OnTakingJob(CFileFinderJob*)
{
    return true;
}

CFileFinderJob* CFileFinderThread::CreateJobInstance()
{
    return new CFileFinderJob;
}

void CFileFinderThread::InitNewRecursiveJob(CFileFinderJob* newJob, const CFindEntry& folderEntry,
                                            CFileFinderJob* parent)
{
    newJob->m_baseFolder = parent->m_baseFolder;
    CLongPath folder(parent->m_jobFolder);
    folder.Append(folderEntry.name);
    newJob->m_jobFolder = folder.GetPath();
    newJob->m_recursive = parent->m_recursive;
    newJob->m_includeHidden = parent->m_includeHidden;
}

void CFileFinderThread::OnFolderError(CFileFinderJob*, int)
{
}

void CFileFinderThread::OnEntrySkipped(const CSkippedEntry&, CFileFinderJob*)
{
}

CFileFinderJob* CFileFinderThread::CreateRecursiveJob(const CFindEntry& entry, CFileFinderJob* parent)
{
    CFileFinderJob* job = CreateJobInstance();
    InitNewRecursiveJob(job, entry, parent);
    return job;
}

void CFileFinderThread::SafeEnqueueJob(CFileFinderJob* job)
{
    CSingleLock lock(m_jobs.GetCriticalSection());
    m_jobs.push(job);
}

CFileFinderJob* CFileFinderThread::SafeDequeueJob()
{
    CSingleLock lock(m_jobs.GetCriticalSection());
    if (m_jobs.empty())
        return nullptr;
    CFileFinderJob* job = m_jobs.front();
    m_jobs.pop();
    return job;
}

void CFileFinderThread::FreeRemainingJobs()
{
    CSingleLock lock(m_jobs.GetCriticalSection());
    while (!m_jobs.empty()) {
        delete m_jobs.front();
        m_jobs.pop();
    }
}

bool CFileFinderThread::LeadsIntoExcluded(const std::u16string& path) const
{
    // The target's own folders, from the target up, by device and inode.
    std::u16string at = platform::ResolvePath(path);
    for (;;) {
        platform::FileStatus st;
        if (platform::GetFileStatus(at, &st) && st.type == platform::FileType::Directory &&
            m_excluded.count({st.device, st.inode}))
            return true;
        const size_t slash = at.rfind(u'/');
        if (slash == std::u16string::npos || at.size() <= 1)
            return false;
        at.erase(slash == 0 ? 1 : slash);
    }
}

unsigned CFileFinderThread::ThreadHandler()
{
    m_visited.clear();
    m_folderErrors.store(0);
    while (CanContinue()) {
        std::unique_ptr<CFileFinderJob> job(SafeDequeueJob());
        if (!job)
            break;
        if (OnTakingJob(job.get()))
            SearchJob(job.get());
    }
    FreeRemainingJobs();
    return 0;
}

void CFileFinderThread::SearchJob(CFileFinderJob* job)
{
    const std::u16string& folder = job->m_jobFolder;
    platform::FileStatus self;
    int error = 0;
    if (!platform::GetFileStatus(folder, &self, true, &error) || self.type != platform::FileType::Directory) {
        ++m_folderErrors;
        OnFolderError(job, error ? error : ENOTDIR);
        return;
    }
    // Each folder once per run, however many links lead to it; never an excluded one.
    const auto key = std::make_pair(self.device, self.inode);
    if (m_excluded.count(key))
        return;
    if (!m_visited.insert(key).second) {
        CSkippedEntry repeated;
        repeated.path = folder;
        repeated.reason = CSkippedEntry::REASON_FOLDER_REPEATED;
        repeated.isFolder = true;
        OnEntrySkipped(repeated, job);
        return;
    }

    platform::DirectoryReader reader;
    if (!reader.Open(folder, &error)) {
        ++m_folderErrors;
        OnFolderError(job, error);
        return;
    }
    platform::DirectoryEntry listed;
    CFindEntry entry;
    CSkippedEntry skipped;
    while (reader.Next(listed)) {
        if (IsDots(listed.name))
            continue;
        if (!job->m_includeHidden && listed.name[0] == u'.')
            continue;
        if (!MatchesWildcard(m_mask, listed.name))
            continue;
        if (!m_excludedFiles.empty() && m_excludedFiles.count({self.device, self.inode, listed.name}))
            continue;
        if (!DescribeEntry(folder, listed, entry, &skipped)) {
            OnEntrySkipped(skipped, job);
            if (!CanContinue())
                return;
            continue;
        }
        // A link into an output folder would read outputs as inputs; it is
        // said, not followed, unlike the excluded folder itself.
        if (entry.isLink && !m_excluded.empty()) {
            const std::u16string path = CLongPath(folder).Append(listed.name).GetPath();
            if (LeadsIntoExcluded(path)) {
                skipped = CSkippedEntry{path, CSkippedEntry::REASON_INTO_EXCLUDED, 0, entry.IsDirectory()};
                OnEntrySkipped(skipped, job);
                if (!CanContinue())
                    return;
                continue;
            }
        }
        if (entry.IsDirectory()) {
            if (m_excluded.count({entry.device, entry.inode}))
                continue;
            if (job->m_recursive)
                SafeEnqueueJob(CreateRecursiveJob(entry, job));
        }
        OnFileFound(entry, job);
        if (!CanContinue())
            return;
    }
    if (reader.Error() != 0) {
        ++m_folderErrors;
        OnFolderError(job, reader.Error());
    }
}
