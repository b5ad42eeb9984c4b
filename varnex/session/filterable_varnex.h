#pragma once

#include "varnex/session/filtered_list.h"
#include "varnex/session/varnex.h"
#include "varnex/varnex_export.h"

// The session the views use: a session with a filtered list that follows it
// (see CFilteredList), which observes the session before the owner's
// observer does. The list is a base that comes before the session, so the
// session's threads, which call into it, are joined before it goes.
class VARNEX_API CFilterableVarnex : private CFilteredList, public CVarnex {
public:
    CFilterableVarnex(HandlerTarget* handler, void* defaultOwnerData, SessionObserver* observer = nullptr);
    ~CFilterableVarnex() override;
    CFilterableVarnex(const CFilterableVarnex&) = delete;
    CFilterableVarnex& operator=(const CFilterableVarnex&) = delete;

    using CFilteredList::AllowFiltering;
    using CFilteredList::ApplyFilter;
    using CFilteredList::ClearFilter;
    using CFilteredList::GetCodepageStatisticList;
    using CFilteredList::GetFilteredFileList;
    using CFilteredList::GetFilteredSessionSummary;
    using CFilteredList::IsFilterApplied;
    using CFilteredList::IsFilteringAllowered;
    using CFilteredList::ReApplyFilter;
};
