#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "base/lockable_containers.h"
#include "varnex/session/file_info_filter.h"
#include "varnex/session/session_observer.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnex;

// The session summary with the number of records the filtered list holds
// (totalFiles when no filter is applied).
struct VARNEX_API FILTEREDSESSIONSUMMARY : VARNEXSESSIONSUMMARY {
    uint32_t filteredFiles = 0;
};

// What the views' session keeps beside the full file list: a filtered list
// that follows the session (records that pass are appended when added and
// re-tested when processed), a summary of it, and how many processed records
// each code page has. It observes the session and then tells the next
// observer (the owner's) of each step.
//
// One lock, the filtered list's, guards everything here: the applied filter,
// the list, its members, the filtered summary and the counts per code page.
// So a record is tested against one filter from start to end, and the list,
// the filter and filteredFiles always agree.
//
// Lock order. Every path takes these in this order and never the other way:
//   file list -> update list -> file queue (the session's reset holds all
//   three while it calls OnClearingFileList)
//   -> filtered list -> summary lock -> a record's lock.
// ApplyFilter and ReApplyFilter take the file list before the filtered list,
// as the reset does; the session adds a record with the file list held.
// Progress (which takes the summary lock) is computed before the filtered
// list is taken.
//
// Callers holding the list from GetFilteredFileList may read its records
// (whose locks come last) but must not call into the session meanwhile.
class VARNEX_API CFilteredList : public SessionObserver {
public:
    explicit CFilteredList(SessionObserver* next);
    ~CFilteredList() override;
    CFilteredList(const CFilteredList&) = delete;
    CFilteredList& operator=(const CFilteredList&) = delete;

    // The session it follows, before that session first starts.
    void Follow(CVarnex* session) { m_session = session; }

    // Disallowing clears the applied filter.
    void AllowFiltering(bool allow);
    bool IsFilteringAllowered() const { return m_filteringAllowed.load(); }
    bool IsFilterApplied() const { return m_filterApplied.load(); }

    // Applies a copy of filter and rebuilds the filtered list in file-list
    // order. False, and no filter left applied, when the filter selects
    // nothing by its nature; false and nothing changed when filtering is not
    // allowed.
    bool ApplyFilter(const CFileInfoFilter& filter);
    // Rebuilds the filtered list with the applied filter; false when none.
    bool ReApplyFilter();
    void ClearFilter();

    // The filtered list while a filter is applied, else the full file list.
    // Lock the list you got while reading it.
    CLockableVector<CVarnexFileInfo*>& GetFilteredFileList() const;
    void GetFilteredSessionSummary(FILTEREDSESSIONSUMMARY& summary);
    // Replaces target's content with the counts per code page number (-1:
    // records without a code page). target's own lock is not taken.
    void GetCodepageStatisticList(CLockableMap<int, unsigned int>& target);

    void OnClearingFileList() override;
    void OnFileInfoAdding(CVarnexFileInfo* record) override;
    void OnFileInfoDeleting(CVarnexFileInfo* record) override { m_next->OnFileInfoDeleting(record); }
    void OnFileStartProcessing(CVarnexFileInfo* record) override { m_next->OnFileStartProcessing(record); }
    void OnFileProcessed(CVarnexFileInfo* record) override;
    void OnPreparingFileRetry(CVarnexFileInfo* record) override;
    void OnSessionReset(VARNEXSESSIONTYPE type) override { m_next->OnSessionReset(type); }
    void OnSessionStarted(bool resumed) override;
    void OnSessionPaused() override { m_next->OnSessionPaused(); }
    void OnSessionContinued() override { m_next->OnSessionContinued(); }
    void OnSessionEnding() override { m_next->OnSessionEnding(); }
    void OnSessionStopped(VARNEXSESSIONSTOPREASON& reason) override { m_next->OnSessionStopped(reason); }

private:
    // Caller holds the file list and the filtered list.
    void RebuildFilteredList(const CFileInfoFilter& filter);
    // Caller holds the filtered list; summary was read before any lock.
    void ResetFilteredSummary(const VARNEXSESSIONSUMMARY& summary);
    // The record joins the filtered list when it passes the filter.
    void ListIfPassing(CVarnexFileInfo* record);
    // Counts the record's code page and lists or unlists it by the filter.
    void TakeProcessed(CVarnexFileInfo* record);
    // Takes back the count of a record that is retried.
    void TakeBackProcessed(CVarnexFileInfo* record);
    // Caller holds the filtered list.
    void TakeBackCount(int codepage);

    SessionObserver* const m_next;
    CVarnex* m_session = nullptr;
    std::atomic<bool> m_filterApplied{false};
    std::atomic<bool> m_filteringAllowed{false};

    // Guarded by the filtered list's lock, as is every member after it.
    mutable CLockableVector<CVarnexFileInfo*> m_filteredFileList;
    FILTEREDSESSIONSUMMARY m_filteredSummary;
    // The same records, for the membership test of each processed record.
    std::unordered_set<const CVarnexFileInfo*> m_filteredMembers;
    std::unique_ptr<CFileInfoFilter> m_filter;

    std::map<int, unsigned int> m_codepageStatistics;
    // The code page each processed record is counted under, so a retry takes
    // back exactly its own count.
    std::unordered_map<const CVarnexFileInfo*, int> m_countedCodepage;
    // Retries that reached a record before its processed hook did (it is
    // marked finished just before): that pass is then not counted.
    std::unordered_map<const CVarnexFileInfo*, unsigned> m_retriesAhead;
};
