#include "varnex/session/batch_job.h"

#include "textrion/path/long_path.h"
#include "varnex/session/session_work.h"

COutputFolderList::COutputFolderList(const COutputFolderList& other) : CLockable()
{
    CSingleLock lock(other.GetCriticalSection());
    m_folders = other.m_folders;
}

COutputFolderList& COutputFolderList::operator=(const COutputFolderList& other)
{
    if (this != &other) {
        CSingleLock mine(GetCriticalSection());
        CSingleLock theirs(other.GetCriticalSection());
        m_folders = other.m_folders;
    }
    return *this;
}

void CVarnexBatchJob::Add(const tagVARNEXBATCHJOBITEM& item)
{
    CSingleLock lock(GetCriticalSection());
    m_items.push_back(item);
}

void CVarnexBatchJob::Add(const CVarnexBatchJob& other)
{
    if (&other == this)
        return;
    CSingleLock mine(GetCriticalSection());
    CSingleLock theirs(other.GetCriticalSection());
    m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
}

void CVarnexBatchJob::Reset()
{
    CSingleLock lock(GetCriticalSection());
    m_items.clear();
}

size_t CVarnexBatchJob::GetCount() const
{
    CSingleLock lock(GetCriticalSection());
    return m_items.size();
}

void CVarnexBatchJob::Deploy(CVarnexSessionWork& session, COutputFolderList* folders)
{
    CSingleLock lock(GetCriticalSection());
    CSingleLock folderLock;
    if (folders)
        folderLock = CSingleLock(folders->GetCriticalSection());
    for (const auto& item : m_items) {
        session.SessionHandleJob(item);
        if (folders && !item.outputPath.empty())
            folders->m_folders.insert(item.folder ? item.outputPath : CLongPath(item.outputPath).GetDirectory());
    }
    m_items.clear();
}
