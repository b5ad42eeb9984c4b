// The byte paths' blocks 16 bytes at a time with SSSE3: UTF-8 into UTF-16, whose units need byte shuffles.
#include "varnex/convert/byte_paths_sse2.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#include "varnex/convert/kept_units.h"

namespace byte_paths::ssse3 {

// Everything down to the matching pop is built for SSSE3, which the baseline
// the code is built for does not have: it runs only where ActiveKernel() allows.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("ssse3"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("ssse3")
#endif

// The operations of the UTF-16 blocks besides, 16 bytes at a time.
struct Ssse3 : Sse2 {
    // v as seen n bytes on: byte k is v[k - n], the first n the last of before.
    template <int n> static V After(V before, V v) { return _mm_alignr_epi8(v, before, 16 - n); }
    template <int n> static V ShiftLeft16(V v) { return _mm_slli_epi16(v, n); }
    template <int n> static V ShiftRight16(V v) { return _mm_srli_epi16(v, n); }
    // The 16-bit lanes of the bytes of a and b in turn: the units of a
    // block's first and second half, from their low and high bytes.
    static V InterleaveLow(V a, V b) { return _mm_unpacklo_epi8(a, b); }
    static V InterleaveHigh(V a, V b) { return _mm_unpackhi_epi8(a, b); }
    static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V Set16(uint16_t u) { return _mm_set1_epi16(static_cast<short>(u)); }
    // Writes, in order and in the byte order given, the units of first and
    // second (as InterleaveLow and InterleaveHigh make them) whose bits are
    // set in keep; returns their end.
    template <bool kBigEndian> static unsigned char* PutUnits(unsigned char* q, V first, V second, uint32_t keep)
    {
        const uint32_t keep0 = keep & 0xFF, keep1 = keep >> 8;
        Store(q, _mm_shuffle_epi8(first, Load(kKeptUnits.from[kBigEndian][keep0])));
        q += kKeptUnits.bytes[keep0];
        Store(q, _mm_shuffle_epi8(second, Load(kKeptUnits.from[kBigEndian][keep1])));
        return q + kKeptUnits.bytes[keep1];
    }
    // Writes the units of a block of ASCII.
    template <bool kBigEndian> static void PutAsciiUnits(unsigned char* q, V v)
    {
        Store(q, kBigEndian ? _mm_unpacklo_epi8(Zero(), v) : _mm_unpacklo_epi8(v, Zero()));
        Store(q + kWidth, kBigEndian ? _mm_unpackhi_epi8(Zero(), v) : _mm_unpackhi_epi8(v, Zero()));
    }
};

using Vec = Ssse3;
#include "varnex/convert/byte_blocks.inc"
#include "varnex/convert/utf16_blocks.inc"

#define VARNEL_INSTANTIATE(Text)                                                                                       \
    template const unsigned char* PutBlocks(const Text&, Sink&, const unsigned char*, const unsigned char*,            \
                                            const unsigned char*, size_t&);                                            \
    template bool PutTail(const Text&, Sink&, const unsigned char*, const unsigned char*, size_t&);
VARNEL_INSTANTIATE(Utf8TextAsUtf16<false>)
VARNEL_INSTANTIATE(Utf8TextAsUtf16<true>)
#undef VARNEL_INSTANTIATE

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

}  // namespace byte_paths::ssse3

#endif
