#pragma once

// Where the bytes of eight units below U+0800 come from, by the mask of those
// that take two bytes: each unit's 16-bit lane holds its first byte and then,
// for two bytes, its second. 0x80 leaves a byte zero. For a byte shuffle
// that packs the lanes into UTF-8; length is how many bytes that gives.
struct TwoByteShuffles {
    alignas(16) unsigned char from[256][16];
    unsigned char length[256];
};

constexpr TwoByteShuffles MakeTwoByteShuffles()
{
    TwoByteShuffles t{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned k = 0;
        for (unsigned lane = 0; lane < 8; ++lane) {
            t.from[mask][k++] = static_cast<unsigned char>(2 * lane);
            if ((mask >> lane) & 1)
                t.from[mask][k++] = static_cast<unsigned char>(2 * lane + 1);
        }
        t.length[mask] = static_cast<unsigned char>(k);
        while (k < 16)
            t.from[mask][k++] = 0x80;
    }
    return t;
}
