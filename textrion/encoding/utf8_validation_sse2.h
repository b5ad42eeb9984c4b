// The UTF-8 check's 7-bit runs 16 bytes at a time with SSE2, the x86-64 baseline; inline in the character walk.
#pragma once

#include <cstddef>

#if defined(__SSE2__)

#include <emmintrin.h>

namespace textrion::detail {

// Bytes of 7-bit text from p on, counted in whole blocks of 16.
inline size_t AsciiBlocksSse2(const unsigned char* p, size_t n) noexcept
{
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(block) != 0)
            break;
    }
    return i;
}

}  // namespace textrion::detail

#endif
