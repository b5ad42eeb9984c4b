// The operations the byte paths' blocks use, 16 bytes at a time with SSE2; the SSSE3 ones build on them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "varnex/convert/byte_paths.h"

#if defined(__SSE2__)

namespace byte_paths {

// Set bits of a byte, for counting those of a block's mask where the
// instruction is not in the baseline the code is built for.
inline constexpr std::array<unsigned char, 256> kBitsSet = [] {
    std::array<unsigned char, 256> bits{};
    for (unsigned i = 1; i < 256; ++i)
        bits[i] = static_cast<unsigned char>(bits[i / 2] + (i & 1));
    return bits;
}();

// The operations the blocks use, 16 bytes at a time.
struct Sse2 {
    using V = __m128i;
    static constexpr size_t kWidth = 16;
    static constexpr bool kLatin1 = false;  // its byte shuffle is not in SSE2
    static unsigned char* PutLatin1(unsigned char* q, V) { return q; }
    static V Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void Store(unsigned char* q, V v) { _mm_storeu_si128(reinterpret_cast<V*>(q), v); }
    static V Set(unsigned char b) { return _mm_set1_epi8(static_cast<char>(b)); }
    static V Zero() { return _mm_setzero_si128(); }
    static V Eq(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    static V LessSigned(V a, V b) { return _mm_cmplt_epi8(a, b); }
    static V Max(V a, V b) { return _mm_max_epu8(a, b); }
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi8(a, b); }
    static uint32_t Mask(V v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
    static unsigned Bits(uint32_t mask16) { return kBitsSet[mask16 & 0xFF] + kBitsSet[mask16 >> 8]; }
    static uint64_t SumLanes(V v)
    {
        alignas(16) uint64_t sums[2];
        _mm_store_si128(reinterpret_cast<V*>(sums), _mm_sad_epu8(v, Zero()));
        return sums[0] + sums[1];
    }
};

}  // namespace byte_paths

#endif
