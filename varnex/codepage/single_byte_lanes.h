// The single-byte group's models side by side, eight at a time: what its AVX2 kernel reads and gives.
#pragma once

#include <cstddef>
#include <cstdint>

// uchardet's own headers: nscore.h must come first.
#include "nscore.h"

#include "nsSBCharSetProber.h"

// Internal to varnex/codepage: CSingleByteGroup's counts by lane.
namespace single_byte_lanes {

constexpr unsigned kLaneWidth = 8;

struct LaneTables {
    const uint8_t* orders;  // byte * lanes + lane
    unsigned lanes;
    const int32_t* frequent;
    const int32_t* matrix;
    const int32_t* rowStep;
    const int32_t* columnStep;
    const uint8_t* matrices;
};

struct LaneSums {
    uint32_t letters[kLaneWidth];
    uint32_t controls[kLaneWidth];
    uint32_t inSample[kLaneWidth];
    uint32_t kinds[NUMBER_OF_SEQ_CAT][kLaneWidth];
};

// One distinct pair of a block and how often it occurs.
struct PairCount {
    uint8_t first;
    uint8_t second;
    uint32_t n;
};

// Eight models' counts for one block, from lane first on: the distinct bytes
// with their counts and the distinct pairs with theirs, looked up in all
// eight at once. Runs only where ActiveKernel() is Avx2.
void SumLanesAvx2(const LaneTables& t, unsigned first, const uint8_t* bytes, const uint32_t* byteCounts,
                  size_t byteCount, const PairCount* pairs, size_t pairCount, LaneSums& out);

}  // namespace single_byte_lanes
