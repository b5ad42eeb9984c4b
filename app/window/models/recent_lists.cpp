#include "app/window/models/recent_lists.h"

#include "app/settings/profile_store.h"

namespace {

constexpr int kRecentEntries = 10;
constexpr int kRecentDisplayLength = 30;

}  // namespace

CRecentList MakeRecentList(const CProfileStore& store, const std::u16string& section)
{
    // The list opens the same INI file as the store; within one process both
    // share Qt's cache of it, so neither reads stale entries.
    return CRecentList(1, section, u"%d", kRecentEntries, kRecentDisplayLength, store.GetFilePath());
}
