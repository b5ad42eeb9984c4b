// The single-byte family's decoding 16 bytes at a time with SSE2, the x86-64 baseline.
#include "codecs/single_byte_table.h"

#if defined(__SSE2__)

#include <bit>

#include <emmintrin.h>

namespace codecs::detail {

size_t DecodeAsciiSameSse2(const SingleByteTable& t, const unsigned char* src, size_t n, char16_t* dst,
                           DecodeTally& tally)
{
    const __m128i zero = _mm_setzero_si128();
    size_t i = 0;
    for (; n - i >= 16; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(v, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(v, zero));
        for (auto high = static_cast<unsigned>(_mm_movemask_epi8(v)); high != 0; high &= high - 1) {
            const size_t k = i + static_cast<size_t>(std::countr_zero(high));
            dst[k] = t.units[src[k]];
            if (t.invalid[src[k]]) [[unlikely]]
                tally.Replaced(static_cast<ptrdiff_t>(k));
        }
    }
    return i;
}

}  // namespace codecs::detail

#endif
