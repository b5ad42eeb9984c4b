#pragma once

#include <string>

#include "utils/recent_list.h"

class CProfileStore;

// One of the program's recent lists ("RecentFolder", "RecentOutputFolder",
// "RecentWildcardFilter", "RecentRegexFilter"): ten entries named "1" to
// "10" in that section of the profile store's file.
CRecentList MakeRecentList(const CProfileStore& store, const std::u16string& section);
