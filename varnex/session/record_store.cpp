#include "varnex/session/record_store.h"

#include "varnex/session/varnex_file_info.h"

CSessionRecordStore::CSessionRecordStore() = default;

CSessionRecordStore::~CSessionRecordStore() = default;

CVarnexFileInfo* CSessionRecordStore::Add(std::unique_ptr<CVarnexFileInfo> record)
{
    CVarnexFileInfo* listed = record.get();
    m_records.push_back(std::move(record));
    m_list.push_back(listed);
    return listed;
}
