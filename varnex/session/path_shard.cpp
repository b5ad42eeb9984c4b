#include "varnex/session/path_shard.h"

#include "platform/native_path.h"

uint64_t Shard::Hash(std::string_view bytes)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool Shard::Owns(std::u16string_view relativePath) const
{
    if (IsWhole())
        return true;
    // Names that are not UTF-8 come back as their bytes on disk.
    return Hash(platform::ToNativePath(relativePath)) % count == index;
}

bool Shard::OwnsBelow(std::u16string_view path, std::u16string_view root) const
{
    if (IsWhole())
        return true;
    while (!root.empty() && root.back() == u'/')
        root.remove_suffix(1);
    if (path.size() > root.size() && path.starts_with(root) && path[root.size()] == u'/')
        path.remove_prefix(root.size() + 1);
    return Owns(path);
}
