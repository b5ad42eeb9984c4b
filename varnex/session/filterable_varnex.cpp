#include "varnex/session/filterable_varnex.h"

CFilterableVarnex::CFilterableVarnex(HandlerTarget* handler, void* defaultOwnerData, SessionObserver* observer)
    : CFilterableVarnex(handler, defaultOwnerData, std::make_unique<CFilteredList>(observer))
{
}

CFilterableVarnex::CFilterableVarnex(HandlerTarget* handler, void* defaultOwnerData,
                                     std::unique_ptr<CFilteredList> list)
    : CVarnex(handler, defaultOwnerData, std::move(list)),
      m_list(static_cast<CFilteredList*>(OwnObserver()))
{
    m_list->Follow(this);
}

CFilterableVarnex::~CFilterableVarnex() = default;
