// Which bytes of a block's 16-bit lanes the UTF-16 blocks keep: a table for the byte shuffles of SSSE3 and AVX2.
#pragma once

namespace byte_paths {

// Where the bytes of the UTF-16 units a block keeps come from, by the byte
// order and the mask of the eight 16-bit lanes kept: the two bytes of each
// kept lane in order (swapped for big-endian), then zeros; and how many
// bytes that is.
struct KeptUnits {
    alignas(16) unsigned char from[2][256][16];
    unsigned char bytes[256];
};

constexpr KeptUnits MakeKeptUnits()
{
    KeptUnits t{};
    for (unsigned big = 0; big < 2; ++big) {
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned k = 0;
            for (unsigned lane = 0; lane < 8; ++lane) {
                if ((mask >> lane) & 1) {
                    t.from[big][mask][k++] = static_cast<unsigned char>(2 * lane + big);
                    t.from[big][mask][k++] = static_cast<unsigned char>(2 * lane + 1 - big);
                }
            }
            t.bytes[mask] = static_cast<unsigned char>(k);
            while (k < 16)
                t.from[big][mask][k++] = 0x80;
        }
    }
    return t;
}

inline constexpr KeptUnits kKeptUnits = MakeKeptUnits();

}  // namespace byte_paths
