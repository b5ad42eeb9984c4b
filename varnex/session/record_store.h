#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "base/lockable_containers.h"
#include "varnex/varnex_export.h"

class CVarnexFileInfo;

// The records of a session. Each is owned here from the moment it is added
// until the store is cleared, and listed in the order it was added; a
// pointer to it stays valid until then. Ids come from NextId and stay with
// their record; the generation counts the clears, so that a view that kept
// rows of the list knows they are gone.
class VARNEX_API CSessionRecordStore {
public:
    CSessionRecordStore();
    ~CSessionRecordStore();
    CSessionRecordStore(const CSessionRecordStore&) = delete;
    CSessionRecordStore& operator=(const CSessionRecordStore&) = delete;

    // The id of the next record: 0, 1, 2... from the last ResetIds.
    unsigned NextId() { return m_nextId.fetch_add(1); }
    void ResetIds() { m_nextId.store(0); }
    unsigned Generation() const { return m_generation.load(); }

    // The listed records; readers hold its lock while they read it.
    CLockableVector<CVarnexFileInfo*>& List() const { return m_list; }

    // Lists and keeps the record. Caller holds the list's lock.
    CVarnexFileInfo* Add(std::unique_ptr<CVarnexFileInfo> record);
    // Starts a new generation, calls clearing, hands every record to leaving
    // in list order, and then lets them all go. Caller holds the list's lock.
    template <typename Clearing, typename Leaving> void Clear(Clearing&& clearing, Leaving&& leaving)
    {
        ++m_generation;
        clearing();
        for (CVarnexFileInfo* record : m_list)
            leaving(record);
        m_list.clear();
        m_records.clear();
    }

private:
    mutable CLockableVector<CVarnexFileInfo*> m_list;
    std::vector<std::unique_ptr<CVarnexFileInfo>> m_records;  // under m_list's lock
    std::atomic<unsigned> m_nextId{0};
    std::atomic<unsigned> m_generation{0};
};
