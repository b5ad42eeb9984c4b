#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "platform/native_path.h"
#include "varnex/session/path_shard.h"

namespace {

// The values docs/scale-out.md gives: other tools must pick the same slices.
struct Vector {
    std::string bytes;
    uint64_t hash;
    uint32_t of7;
};

class ShardHash : public testing::TestWithParam<Vector> { };

TEST_P(ShardHash, IsFnv1a64OfTheBytesOnDisk)
{
    const Vector& v = GetParam();
    EXPECT_EQ(Shard::Hash(v.bytes), v.hash);
    const std::u16string path = platform::FromNativePath(v.bytes);
    for (uint32_t k = 0; k < 7; ++k)
        EXPECT_EQ((Shard{k, 7}).Owns(path), k == v.of7) << k;
}

INSTANTIATE_TEST_SUITE_P(Vectors, ShardHash,
                         testing::Values(Vector{"", 0xcbf29ce484222325ull, 2}, Vector{"a", 0xaf63dc4c8601ec8cull, 5},
                                         Vector{"docs/readme.txt", 0x464997ae7d75b233ull, 2},
                                         Vector{"d1/caf\xc3\xa9.txt", 0xa4182b41904e3db9ull, 5},
                                         // Not UTF-8: the name's Latin-1 bytes as they are.
                                         Vector{"d1/\xe9t\xe9.txt", 0x2754df3a40f1038bull, 5}));

TEST(ShardHash, PathsAreTakenBelowTheRootWhateverItsSpelling)
{
    const Shard shard{2, 7};
    for (const char16_t* root : {u"/data/in", u"/data/in/", u"/data/in//"})
        EXPECT_TRUE(shard.OwnsBelow(u"/data/in/docs/readme.txt", root)) << text::ToUtf8(root);
    EXPECT_TRUE(shard.OwnsBelow(u"/docs/readme.txt", u"/"));
    // "/data/inside" is not below "/data/in".
    EXPECT_EQ(shard.OwnsBelow(u"/data/inside/a", u"/data/in"), shard.Owns(u"/data/inside/a"));
    EXPECT_TRUE((Shard{}).OwnsBelow(u"/x", u"/data/in"));
}

}  // namespace
