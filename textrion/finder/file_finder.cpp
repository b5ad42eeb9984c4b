#include "textrion/finder/file_finder.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/path/long_path.h"

namespace {

// An entry of a listing with its target's status. False for entries that are
// neither regular files nor folders (FIFOs, sockets, devices, dangling links,
// entries that cannot be examined); skipped then says why.
bool DescribeEntry(const std::u16string& folder, const platform::DirectoryEntry& listed, CFindEntry& entry,
                   CSkippedEntry* skipped = nullptr)
{
    CLongPath path(folder);
    path.Append(listed.name);
    platform::FileStatus st;
    int error = 0;
    if (!platform::GetFileStatus(path.GetPath(), &st, true, &error)) {
        if (skipped) {
            skipped->path = path.GetPath();
            skipped->error = error;
            skipped->isFolder = listed.type == platform::FileType::Directory;
            skipped->kind = u"";
            if (listed.type == platform::FileType::Symlink && error == ENOENT)
                skipped->reason = CSkippedEntry::REASON_DANGLING_LINK;
            else if (error == ELOOP)
                skipped->reason = CSkippedEntry::REASON_LINK_LOOP;
            else
                skipped->reason = CSkippedEntry::REASON_UNREACHABLE;
        }
        return false;
    }
    entry.name = listed.name;
    entry.isLink = listed.type == platform::FileType::Symlink;
    entry.size = st.size;
    entry.modified = st.modified;
    entry.device = st.device;
    entry.inode = st.inode;
    entry.attributes = 0;
    if (!listed.name.empty() && listed.name[0] == u'.')
        entry.attributes |= CFileFinderThread::ATTRIBUTE_HIDDEN;
    if ((st.mode & 0222) == 0)
        entry.attributes |= CFileFinderThread::ATTRIBUTE_READONLY;
    if (st.type == platform::FileType::Directory) {
        entry.type = CFindEntry::TYPE_DIRECTORY;
        entry.attributes |= CFileFinderThread::ATTRIBUTE_DIRECTORY;
        return true;
    }
    if (st.type == platform::FileType::Regular) {
        entry.type = CFindEntry::TYPE_FILE;
        entry.attributes |= CFileFinderThread::ATTRIBUTE_ARCHIVE;
        return true;
    }
    if (skipped) {
        skipped->path = path.GetPath();
        skipped->reason = CSkippedEntry::REASON_NOT_REGULAR;
        skipped->error = 0;
        skipped->isFolder = false;
        skipped->kind = st.type == platform::FileType::Fifo     ? u"FIFO"
                        : st.type == platform::FileType::Socket ? u"socket"
                        : st.type == platform::FileType::CharDevice || st.type == platform::FileType::BlockDevice
                            ? u"device"
                            : u"special file";
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------

CFileFinderThread::CFileFinderThread() : m_mask(u"*") {}

CFileFinderThread::CFileFinderThread(const char16_t* mask) : m_mask(mask && *mask ? mask : u"*") {}

CFileFinderThread::~CFileFinderThread()
{
    SetStopAndWait();
    FreeRemainingJobs();
}

bool CFileFinderThread::MatchesWildcard(const std::u16string& pattern, const std::u16string& name)
{
    size_t p = 0, n = 0, star = std::u16string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || (pattern[p] != u'*' && text::AsciiLower(pattern[p]) == text::AsciiLower(name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star != std::u16string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
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

void CFileFinderThread::OnFolderError(CFileFinderJob*, int) {}

void CFileFinderThread::OnEntrySkipped(const CSkippedEntry&, CFileFinderJob*) {}

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

// ---------------------------------------------------------------------------

void CFileFinder::CFindOpts::Reset()
{
    baseFolder.clear();
    fileMask = u"*.*";
    subfolders = false;
    options = 0;
    attributeMask = 0;
    minSize = maxSize = 0;
    const std::time_t now = std::time(nullptr);
    minCreated = maxCreated = minModified = maxModified = minAccessed = maxAccessed = now;
}

CFileFinder::CFileFinder() = default;
CFileFinder::~CFileFinder() = default;

void CFileFinder::SetCallback(ProgressCallback progress, CompletionCallback completion, void* parameter)
{
    m_progress = std::move(progress);
    m_completion = std::move(completion);
    m_parameter = parameter;
}

void CFileFinder::SetCallback(ProgressCallback progress, void* parameter)
{
    SetCallback(std::move(progress), nullptr, parameter);
}

void CFileFinder::Report(CallbackCode code)
{
    if (m_progress)
        m_progress(this, code, m_parameter);
}

int CFileFinder::FindFiles(const char16_t* folder, const char16_t* mask, int subFolders)
{
    CFindOpts opts;
    opts.baseFolder = folder ? folder : u"";
    opts.fileMask = mask && *mask ? mask : u"*.*";
    opts.subfolders = subFolders != 0;
    opts.FindAllFiles();
    return Find(opts);
}

int CFileFinder::Find(CFindOpts& opts)
{
    m_baseFolder = opts.baseFolder;
    m_stop = false;
    Search(opts);
    if (m_completion)
        m_completion(this, m_parameter);
    return GetFileCount();
}

void CFileFinder::Search(const CFindOpts& opts)
{
    const std::u16string folder = AddBackSlash(opts.baseFolder.c_str());
    platform::DirectoryReader reader;
    platform::DirectoryEntry listed;
    if (opts.subfolders && reader.Open(folder)) {
        std::vector<std::u16string> subfolders;
        while (reader.Next(listed) && CanContinue()) {
            CFindEntry entry;
            if (!IsDotsName(listed.name) && DescribeEntry(folder, listed, entry) && entry.IsDirectory())
                subfolders.push_back(folder + listed.name);
        }
        reader.Close();
        for (const auto& sub : subfolders) {
            if (!CanContinue())
                return;
            CFindOpts inner = opts;
            inner.baseFolder = sub;
            Search(inner);
        }
    }
    m_searchingFolder = folder;
    Report(FF_FOLDER);
    if (!reader.Open(folder))
        return;
    // "*.*" is the classic "everything", names without a dot included.
    const std::u16string mask = opts.fileMask == u"*.*" ? u"*" : opts.fileMask;
    while (reader.Next(listed) && CanContinue()) {
        CFindEntry entry;
        if (IsDotsName(listed.name) || !DescribeEntry(folder, listed, entry) || entry.IsDirectory())
            continue;
        if (!CFileFinderThread::MatchesWildcard(mask, listed.name))
            continue;
        bool pass = true;
        if ((opts.options & FIND_ATTRIBUTES) && (entry.attributes & opts.attributeMask) == 0)
            pass = false;
        if (pass && (opts.options & FIND_SIZE) && (entry.size < opts.minSize || entry.size > opts.maxSize))
            pass = false;
        if (pass && (opts.options & FIND_DATE_MODIFIED) &&
            (entry.modified < opts.minModified || entry.modified > opts.maxModified))
            pass = false;
        if (pass && (opts.options & (FIND_DATE_CREATED | FIND_DATE_ACCESSED))) {
            std::time_t created = 0, accessed = 0, modified = 0;
            CBinaryFileReader::GetFileTime((folder + listed.name).c_str(), created, accessed, modified);
            if ((opts.options & FIND_DATE_CREATED) && (created < opts.minCreated || created > opts.maxCreated))
                pass = false;
            if ((opts.options & FIND_DATE_ACCESSED) && (accessed < opts.minAccessed || accessed > opts.maxAccessed))
                pass = false;
        }
        if (pass && (opts.options & FIND_TEXT) && !FindTextInFile(folder + listed.name, opts.textToFind))
            pass = false;
        if (!pass) {
            Report(FF_DISCARDED);
            continue;
        }
        m_paths.push_back(folder + listed.name);
        Report(FF_FOUND);
    }
}

std::u16string CFileFinder::GetFilePath(int index) const
{
    if (index < 0 || index >= GetFileCount())
        return {};
    return m_paths[static_cast<size_t>(index)];
}

int CFileFinder::FindPathItem(const std::u16string& path) const
{
    for (size_t i = 0; i < m_paths.size(); ++i)
        if (text::EqualsNoCase(m_paths[i], path))
            return static_cast<int>(i);
    return -1;
}

void CFileFinder::RemoveAt(int index)
{
    if (index >= 0 && index < GetFileCount())
        m_paths.erase(m_paths.begin() + index);
}

std::u16string CFileFinder::AddBackSlash(const char16_t* path, int useSlash)
{
    std::u16string result = path ? path : u"";
    if (!result.empty() && result.back() != u'/' && result.back() != u'\\')
        result.push_back(useSlash ? u'/' : u'\\');
    return result;
}

int CFileFinder::FindTextInFile(const std::u16string& path, const std::u16string& textToFind)
{
    if (textToFind.empty())
        return 0;
    CTextFileReader reader(path.c_str(), 65536);
    if (!reader.IsOpen())
        return 0;
    const std::u16string wanted = text::AsciiLowered(textToFind);
    // Blocks overlap by the text's length so a match across two blocks is found.
    const size_t block = std::max<size_t>(wanted.size() * 2, 4096);
    std::u16string window;
    std::u16string portion;
    unsigned blocks = 0;
    while (reader.Read(portion, static_cast<unsigned>(block)) > 0) {
        window += text::AsciiLowered(portion);
        window.erase(std::remove(window.begin(), window.end(), u'\0'), window.end());
        if (window.find(wanted) != std::u16string::npos)
            return 1;
        if (window.size() > wanted.size())
            window.erase(0, window.size() - wanted.size());
        if (++blocks % 10 == 0)
            Report(FF_FINDTEXT);
        if (!CanContinue())
            break;
    }
    return 0;
}
