// The byte paths' blocks 32 bytes at a time with AVX2: every text, into UTF-8 and into UTF-16.
#include "varnex/convert/byte_paths.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#include "textrion/encoding/two_byte_shuffles.h"
#include "varnex/convert/kept_units.h"

namespace byte_paths::avx2 {

// Everything down to the matching pop is built for AVX2 and POPCNT, which
// the baseline the code is built for does not have: it runs only where
// ActiveKernel() allows.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif

constexpr TwoByteShuffles kTwoByteShuffles = MakeTwoByteShuffles();

// The operations the blocks use, 32 bytes at a time.
struct Avx2 {
    using V = __m256i;
    static constexpr size_t kWidth = 32;
    static constexpr bool kLatin1 = true;
    // Writes a block of ASCII and bytes A0..FF as UTF-8 (C2 or C3, then the
    // byte's low six bits), sixteen bytes at a time; 48 bytes of room.
    static unsigned char* PutLatin1(unsigned char* q, V v)
    {
        for (int half = 0; half < 2; ++half) {
            const __m128i bytes = half == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1);
            const __m256i w = _mm256_cvtepu8_epi16(bytes);
            const __m256i lead = _mm256_or_si256(_mm256_srli_epi16(w, 6), _mm256_set1_epi16(0xC0));
            const __m256i trail =
                _mm256_or_si256(_mm256_and_si256(w, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80));
            const __m256i pair = _mm256_or_si256(lead, _mm256_slli_epi16(trail, 8));
            const __m256i units = _mm256_blendv_epi8(w, pair, _mm256_cmpgt_epi16(w, _mm256_set1_epi16(0x7F)));
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
            const __m256i order = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteShuffles.from[high & 0xFF]))),
                _mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteShuffles.from[high >> 8])), 1);
            const __m256i packed = _mm256_shuffle_epi8(units, order);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm256_castsi256_si128(packed));
            q += kTwoByteShuffles.length[high & 0xFF];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm256_extracti128_si256(packed, 1));
            q += kTwoByteShuffles.length[high >> 8];
        }
        return q;
    }
    static V Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void Store(unsigned char* q, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(q), v); }
    static V Set(unsigned char b) { return _mm256_set1_epi8(static_cast<char>(b)); }
    static V Zero() { return _mm256_setzero_si256(); }
    static V Eq(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    static V LessSigned(V a, V b) { return _mm256_cmpgt_epi8(b, a); }
    static V Max(V a, V b) { return _mm256_max_epu8(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_epi8(a, b); }
    static uint32_t Mask(V v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
    static unsigned Bits(uint32_t mask) { return static_cast<unsigned>(std::popcount(mask)); }
    static uint64_t SumLanes(V v)
    {
        alignas(32) uint64_t sums[4];
        _mm256_store_si256(reinterpret_cast<V*>(sums), _mm256_sad_epu8(v, Zero()));
        return sums[0] + sums[1] + sums[2] + sums[3];
    }
    // As Ssse3's. The byte operations work within each half of 16 bytes:
    // what crosses the middle is moved there first.
    template <int n> static V After(V before, V v)
    {
        return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(before, v, 0x21), 16 - n);
    }
    template <int n> static V ShiftLeft16(V v) { return _mm256_slli_epi16(v, n); }
    template <int n> static V ShiftRight16(V v) { return _mm256_srli_epi16(v, n); }
    // Units 0..7 and 16..23, then 8..15 and 24..31.
    static V InterleaveLow(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V InterleaveHigh(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Set16(uint16_t u) { return _mm256_set1_epi16(static_cast<short>(u)); }
    template <bool kBigEndian> static unsigned char* PutUnits(unsigned char* q, V first, V second, uint32_t keep)
    {
        const uint32_t keep0 = keep & 0xFF, keep1 = (keep >> 8) & 0xFF, keep2 = (keep >> 16) & 0xFF, keep3 = keep >> 24;
        const V a = _mm256_shuffle_epi8(first, KeptFrom(kBigEndian, keep0, keep2));
        const V b = _mm256_shuffle_epi8(second, KeptFrom(kBigEndian, keep1, keep3));
        q = PutHalf(q, _mm256_castsi256_si128(a), keep0);
        q = PutHalf(q, _mm256_castsi256_si128(b), keep1);
        q = PutHalf(q, _mm256_extracti128_si256(a, 1), keep2);
        return PutHalf(q, _mm256_extracti128_si256(b, 1), keep3);
    }
    static V KeptFrom(bool bigEndian, uint32_t keepLow, uint32_t keepHigh)
    {
        const auto* from = reinterpret_cast<const __m128i*>(kKeptUnits.from[bigEndian]);
        return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(from + keepLow)),
                                       _mm_load_si128(from + keepHigh), 1);
    }
    static unsigned char* PutHalf(unsigned char* q, __m128i units, uint32_t keep)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q), units);
        return q + kKeptUnits.bytes[keep];
    }
    template <bool kBigEndian> static void PutAsciiUnits(unsigned char* q, V v)
    {
        const V first = kBigEndian ? _mm256_unpacklo_epi8(Zero(), v) : _mm256_unpacklo_epi8(v, Zero());
        const V second = kBigEndian ? _mm256_unpackhi_epi8(Zero(), v) : _mm256_unpackhi_epi8(v, Zero());
        Store(q, _mm256_permute2x128_si256(first, second, 0x20));
        Store(q + kWidth, _mm256_permute2x128_si256(first, second, 0x31));
    }
};

using Vec = Avx2;
#include "varnex/convert/byte_blocks.inc"
#include "varnex/convert/utf16_blocks.inc"

template const unsigned char* PutBlocks(const Utf8Text&, Sink&, const unsigned char*, const unsigned char*,
                                        const unsigned char*, size_t&);
template const unsigned char* PutBlocks(const SingleByteText&, Sink&, const unsigned char*, const unsigned char*,
                                        const unsigned char*, size_t&);
template const unsigned char* PutBlocks(const Utf8TextAsUtf16<false>&, Sink&, const unsigned char*,
                                        const unsigned char*, const unsigned char*, size_t&);
template const unsigned char* PutBlocks(const Utf8TextAsUtf16<true>&, Sink&, const unsigned char*, const unsigned char*,
                                        const unsigned char*, size_t&);

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

}  // namespace byte_paths::avx2

#endif
