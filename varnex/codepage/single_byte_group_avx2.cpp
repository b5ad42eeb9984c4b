// The single-byte group's counts for eight models at a time, with AVX2.
#include "varnex/codepage/single_byte_lanes.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

namespace single_byte_lanes {

// Built for AVX2 down to the matching pop; run only where ActiveKernel() allows.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

void SumLanesAvx2(const LaneTables& t, unsigned first, const uint8_t* bytes, const uint32_t* byteCounts,
                  size_t byteCount, const PairCount* pairs, size_t pairCount, LaneSums& out)
{
    const uint8_t* column = t.orders + first;
    const auto ordersOf = [&](unsigned b) {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(column + b * t.lanes)));
    };
    const auto lanes = [&](const int32_t* v) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v + first));
    };
    const __m256i frequent = lanes(t.frequent);
    const __m256i symbols = _mm256_set1_epi32(SYMBOL_CAT_ORDER);
    const __m256i control = _mm256_set1_epi32(CTR);
    __m256i letters = _mm256_setzero_si256(), controls = letters, inSample = letters;
    for (size_t i = 0; i < byteCount; ++i) {
        const __m256i order = ordersOf(bytes[i]);
        const __m256i n = _mm256_set1_epi32(static_cast<int>(byteCounts[bytes[i]]));
        letters = _mm256_add_epi32(letters, _mm256_and_si256(_mm256_cmpgt_epi32(symbols, order), n));
        controls = _mm256_add_epi32(controls, _mm256_and_si256(_mm256_cmpeq_epi32(order, control), n));
        inSample = _mm256_add_epi32(inSample, _mm256_and_si256(_mm256_cmpgt_epi32(frequent, order), n));
    }
    const __m256i matrix = lanes(t.matrix);
    const __m256i rowStep = lanes(t.rowStep);
    const __m256i columnStep = lanes(t.columnStep);
    const __m256i none = _mm256_set1_epi32(-1);
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    __m256i kinds[NUMBER_OF_SEQ_CAT];
    for (__m256i& k : kinds)
        k = _mm256_setzero_si256();
    for (size_t i = 0; i < pairCount; ++i) {
        const __m256i o1 = ordersOf(pairs[i].first);
        const __m256i o2 = ordersOf(pairs[i].second);
        const __m256i paired = _mm256_and_si256(_mm256_cmpgt_epi32(frequent, o1), _mm256_cmpgt_epi32(frequent, o2));
        if (_mm256_testz_si256(paired, paired))
            continue;
        const __m256i at = _mm256_add_epi32(
            matrix, _mm256_add_epi32(_mm256_mullo_epi32(o1, rowStep), _mm256_mullo_epi32(o2, columnStep)));
        // Lanes that do not pair read nothing and fall in no kind.
        const __m256i kind = _mm256_and_si256(
            _mm256_mask_i32gather_epi32(none, reinterpret_cast<const int*>(t.matrices), at, paired, 1), byteMask);
        const __m256i n = _mm256_set1_epi32(static_cast<int>(pairs[i].n));
        for (int k = 0; k < NUMBER_OF_SEQ_CAT; ++k)
            kinds[k] = _mm256_add_epi32(kinds[k], _mm256_and_si256(_mm256_cmpeq_epi32(kind, _mm256_set1_epi32(k)), n));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.letters), letters);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.controls), controls);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.inSample), inSample);
    for (int k = 0; k < NUMBER_OF_SEQ_CAT; ++k)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out.kinds[k]), kinds[k]);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

}  // namespace single_byte_lanes

#else

namespace single_byte_lanes {

// Never called: ActiveKernel() is never Avx2 here.
void SumLanesAvx2(const LaneTables&, unsigned, const uint8_t*, const uint32_t*, size_t, const PairCount*, size_t,
                  LaneSums&)
{
}

}  // namespace single_byte_lanes

#endif
