#pragma once

#include <set>
#include <string>

#include "base/lockable.h"
#include "varnex/varnex_export.h"

// The session's output folders, sorted, without duplicates; compared exactly
// (case matters).
class VARNEX_API COutputFolderList : public CLockable {
public:
    COutputFolderList() = default;
    COutputFolderList(const COutputFolderList& other);
    COutputFolderList& operator=(const COutputFolderList& other);
    ~COutputFolderList() override = default;

    std::set<std::u16string> m_folders;
};
