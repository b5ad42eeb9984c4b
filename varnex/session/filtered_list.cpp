#include "varnex/session/filtered_list.h"

#include <algorithm>
#include <iterator>

#include "varnex/codepage/codepage_info.h"
#include "varnex/session/varnex.h"

namespace {

int CodepageNumber(const CVarnexFileInfo* record)
{
    const CCodepageInfo* info = record->GetCodepageInfo();
    return info ? info->GetCodepage() : -1;
}

}  // namespace

CFilteredList::CFilteredList(SessionObserver* next) : m_next(next ? next : &NoSessionObserver())
{
}

CFilteredList::~CFilteredList() = default;

void CFilteredList::AllowFiltering(bool allow)
{
    const bool wasAllowed = m_filteringAllowed.exchange(allow);
    if (wasAllowed && !allow)
        ClearFilter();
}

bool CFilteredList::ApplyFilter(const CFileInfoFilter& filter)
{
    if (!m_filteringAllowed.load())
        return false;
    std::unique_ptr<CFileInfoFilter> clone(filter.Clone());
    if (!clone || !clone->ValidateFilters()) {
        ClearFilter();
        return false;
    }
    {
        CSingleLock files(m_session->GetFileList().GetCriticalSection());
        CSingleLock filtered(m_filteredFileList.GetCriticalSection());
        // Filtering may have been disallowed (and cleared) since the check
        // above; it waits for this lock, so checking again here is final.
        if (!m_filteringAllowed.load())
            return false;
        RebuildFilteredList(*clone);
        m_filter = std::move(clone);
        m_filterApplied.store(true);
    }
    m_session->PostListChangedMessage();
    return true;
}

bool CFilteredList::ReApplyFilter()
{
    if (!m_filteringAllowed.load())
        return false;
    {
        CSingleLock files(m_session->GetFileList().GetCriticalSection());
        CSingleLock filtered(m_filteredFileList.GetCriticalSection());
        if (!m_filteringAllowed.load() || !m_filter)
            return false;
        // The filter cannot change while the filtered list is held: no copy needed.
        RebuildFilteredList(*m_filter);
    }
    m_session->PostListChangedMessage();
    return true;
}

void CFilteredList::RebuildFilteredList(const CFileInfoFilter& filter)
{
    const CLockableVector<CVarnexFileInfo*>& files = m_session->GetFileList();
    m_filteredFileList.clear();
    std::copy_if(files.begin(), files.end(), std::back_inserter(m_filteredFileList), CFileInfoFilterPred(&filter));
    m_filteredMembers.clear();
    m_filteredMembers.insert(m_filteredFileList.begin(), m_filteredFileList.end());
    m_filteredSummary.filteredFiles = static_cast<uint32_t>(m_filteredFileList.size());
}

void CFilteredList::ClearFilter()
{
    VARNEXSESSIONSUMMARY summary;
    m_session->GetSessionSummary(summary);  // progress takes the summary lock: before ours
    {
        CSingleLock filtered(m_filteredFileList.GetCriticalSection());
        m_filterApplied.store(false);
        m_filter.reset();
        m_filteredFileList.clear();
        m_filteredMembers.clear();
        ResetFilteredSummary(summary);
    }
    m_session->PostListChangedMessage();
}

void CFilteredList::ResetFilteredSummary(const VARNEXSESSIONSUMMARY& summary)
{
    static_cast<VARNEXSESSIONSUMMARY&>(m_filteredSummary) = summary;
    m_filteredSummary.filteredFiles = summary.totalFiles;
}

CLockableVector<CVarnexFileInfo*>& CFilteredList::GetFilteredFileList() const
{
    if (m_filteringAllowed.load() && m_filterApplied.load())
        return m_filteredFileList;
    return m_session->GetFileList();
}

void CFilteredList::GetFilteredSessionSummary(FILTEREDSESSIONSUMMARY& summary)
{
    m_session->CalcProgress();
    CSingleLock filtered(m_filteredFileList.GetCriticalSection());
    m_session->GetSessionSummaryAsComputed(m_filteredSummary);
    if (!m_filteringAllowed.load() || !m_filterApplied.load())
        m_filteredSummary.filteredFiles = m_filteredSummary.totalFiles;
    summary = m_filteredSummary;
}

void CFilteredList::GetCodepageStatisticList(CLockableMap<int, unsigned int>& target)
{
    CSingleLock filtered(m_filteredFileList.GetCriticalSection());
    static_cast<std::map<int, unsigned int>&>(target) = m_codepageStatistics;
}

// ---------------------------------------------------------------------------
// Session hooks

void CFilteredList::OnClearingFileList()
{
    // The file list, update list and file queue are held: the records go next.
    {
        CSingleLock filtered(m_filteredFileList.GetCriticalSection());
        m_filteredFileList.clear();
        m_filteredMembers.clear();
        m_filteredSummary = FILTEREDSESSIONSUMMARY{};
        m_codepageStatistics.clear();
        m_countedCodepage.clear();
        m_retriesAhead.clear();
    }
    m_next->OnClearingFileList();
}

void CFilteredList::OnFileInfoAdding(CVarnexFileInfo* record)
{
    ListIfPassing(record);
    m_next->OnFileInfoAdding(record);
}

void CFilteredList::ListIfPassing(CVarnexFileInfo* record)
{
    // The filter changes only while the filtered list is held.
    CSingleLock filtered(m_filteredFileList.GetCriticalSection());
    if (!m_filteringAllowed.load() || !m_filter || !(*m_filter)(record))
        return;
    m_filteredFileList.push_back(record);
    m_filteredMembers.insert(record);
    ++m_filteredSummary.filteredFiles;
}

void CFilteredList::OnFileProcessed(CVarnexFileInfo* record)
{
    TakeProcessed(record);
    m_next->OnFileProcessed(record);
}

void CFilteredList::TakeProcessed(CVarnexFileInfo* record)
{
    const int codepage = CodepageNumber(record);
    CSingleLock filtered(m_filteredFileList.GetCriticalSection());
    {
        auto ahead = m_retriesAhead.find(record);
        if (ahead != m_retriesAhead.end()) {
            // A retry already took this pass back before it was counted.
            if (--ahead->second == 0)
                m_retriesAhead.erase(ahead);
        } else {
            auto counted = m_countedCodepage.find(record);
            if (counted != m_countedCodepage.end())
                TakeBackCount(counted->second);  // one count per record, whatever happened
            ++m_codepageStatistics[codepage];
            m_countedCodepage[record] = codepage;
        }
    }
    if (!m_filteringAllowed.load() || !m_filter)
        return;
    const bool passes = (*m_filter)(record);
    const bool listed = m_filteredMembers.count(record) != 0;
    if (passes == listed)
        return;
    if (listed) {
        m_filteredFileList.erase(std::find(m_filteredFileList.begin(), m_filteredFileList.end(), record));
        m_filteredMembers.erase(record);
        --m_filteredSummary.filteredFiles;
    } else {
        m_filteredFileList.push_back(record);
        m_filteredMembers.insert(record);
        ++m_filteredSummary.filteredFiles;
    }
}

void CFilteredList::OnPreparingFileRetry(CVarnexFileInfo* record)
{
    TakeBackProcessed(record);
    m_next->OnPreparingFileRetry(record);
}

void CFilteredList::TakeBackProcessed(CVarnexFileInfo* record)
{
    CSingleLock filtered(m_filteredFileList.GetCriticalSection());
    auto counted = m_countedCodepage.find(record);
    if (counted != m_countedCodepage.end()) {
        TakeBackCount(counted->second);
        m_countedCodepage.erase(counted);
    } else {
        // Marked finished, not yet through OnFileProcessed: skip that count.
        ++m_retriesAhead[record];
    }
}

void CFilteredList::TakeBackCount(int codepage)
{
    auto entry = m_codepageStatistics.find(codepage);
    if (entry == m_codepageStatistics.end())
        return;
    if (--entry->second == 0)
        m_codepageStatistics.erase(entry);
}

void CFilteredList::OnSessionStarted(bool resumed)
{
    if (!resumed)
        ClearFilter();
    m_next->OnSessionStarted(resumed);
}
