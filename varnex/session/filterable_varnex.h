#pragma once

#include "varnex/session/filtered_list.h"
#include "varnex/session/varnex.h"
#include "varnex/varnex_export.h"

// The session the views use: a session with a filtered list that follows it
// (see CFilteredList), which observes the session before the owner's
// observer does. The session owns the list, so it goes only once the
// session's threads, which call into it, have been joined.
class VARNEX_API CFilterableVarnex : public CVarnex {
public:
    CFilterableVarnex(HandlerTarget* handler, void* defaultOwnerData, SessionObserver* observer = nullptr);
    ~CFilterableVarnex() override;

    // See CFilteredList.
    void AllowFiltering(bool allow) { m_list->AllowFiltering(allow); }
    bool IsFilteringAllowered() const { return m_list->IsFilteringAllowered(); }
    bool IsFilterApplied() const { return m_list->IsFilterApplied(); }
    bool ApplyFilter(const CFileInfoFilter& filter) { return m_list->ApplyFilter(filter); }
    bool ReApplyFilter() { return m_list->ReApplyFilter(); }
    void ClearFilter() { m_list->ClearFilter(); }
    CLockableVector<CVarnexFileInfo*>& GetFilteredFileList() const { return m_list->GetFilteredFileList(); }
    void GetFilteredSessionSummary(FILTEREDSESSIONSUMMARY& summary) { m_list->GetFilteredSessionSummary(summary); }
    void GetCodepageStatisticList(CLockableMap<int, unsigned int>& target) { m_list->GetCodepageStatisticList(target); }

private:
    CFilterableVarnex(HandlerTarget* handler, void* defaultOwnerData, std::unique_ptr<CFilteredList> list);

    CFilteredList* const m_list;  // the session's own observer
};
