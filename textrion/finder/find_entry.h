#pragma once

#include <string>

#include "platform/file_api.h"
#include "textrion/finder/file_finder.h"

// What both finders know of an entry of a listing.
namespace textrion_detail {

// An entry of a listing with its target's status. False for entries that are
// neither regular files nor folders (FIFOs, sockets, devices, dangling links,
// entries that cannot be examined); skipped (when given) then says why.
[[nodiscard]] bool DescribeEntry(const std::u16string& folder, const platform::DirectoryEntry& listed,
                                 CFindEntry& entry, CSkippedEntry* skipped = nullptr);

}  // namespace textrion_detail
