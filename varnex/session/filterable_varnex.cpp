#include "varnex/session/filterable_varnex.h"

CFilterableVarnex::CFilterableVarnex(HandlerTarget* handler, void* defaultOwnerData, SessionObserver* observer)
    : CFilteredList(observer), CVarnex(handler, defaultOwnerData, static_cast<CFilteredList*>(this))
{
    Follow(this);
}

CFilterableVarnex::~CFilterableVarnex() = default;
