#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "varnex/varnex_export.h"

// One of N disjoint slices of a tree, chosen by path alone, so N processes
// (on N machines sharing the tree) split it without talking to each other.
// A file belongs to slice FNV-1a-64(relative path) mod N, the relative path
// taken below the input root with '/' separators, in its bytes on disk (UTF-8
// for UTF-8 names). The same on every machine, architecture and run.
struct VARNEX_API Shard {
    uint32_t index = 0;  // 0 .. count-1
    uint32_t count = 1;  // 1: the whole tree

    bool IsWhole() const { return count <= 1; }
    static uint64_t Hash(std::string_view bytes);
    // Whether the entry at relativePath (below the input root) belongs here.
    bool Owns(std::u16string_view relativePath) const;
    // The same for a path below root; a path outside root is taken whole.
    bool OwnsBelow(std::u16string_view path, std::u16string_view root) const;

    bool operator==(const Shard&) const = default;
};
