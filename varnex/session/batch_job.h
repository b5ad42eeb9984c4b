#pragma once

#include <cstddef>
#include <vector>

#include "base/lockable.h"
#include "varnex/session/output_folder_list.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnexSessionWork;

// Prepared job items in the order they were added; consumed by a session start.
class VARNEX_API CVarnexBatchJob : public CLockable {
public:
    CVarnexBatchJob() = default;
    ~CVarnexBatchJob() override = default;
    CVarnexBatchJob(const CVarnexBatchJob&) = delete;
    CVarnexBatchJob& operator=(const CVarnexBatchJob&) = delete;

    void Add(const tagVARNEXBATCHJOBITEM& item);
    void Add(const CVarnexBatchJob& other);
    void Reset();
    size_t GetCount() const;

    // Hands every item to the session in order, records the output folders
    // (when a list is given) and empties the job.
    void Deploy(CVarnexSessionWork& session, COutputFolderList* folders);

protected:
    std::vector<tagVARNEXBATCHJOBITEM> m_items;
};
