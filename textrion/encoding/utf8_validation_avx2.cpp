// The UTF-8 check 32 bytes at a time with AVX2.
#include "textrion/encoding/utf8_validation_kernels.h"

#if defined(__x86_64__)

#include <immintrin.h>

namespace textrion::detail {

namespace {

struct AvxTables {
    __m256i firstHigh, firstLow, secondHigh;
};

// Faults16 for 32 bytes; the bytes before cur's second half are in its first.
[[gnu::target("avx2")]] inline __m256i Faults32(__m256i cur, __m256i prev, const AvxTables& t)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i behind = _mm256_permute2x128_si256(prev, cur, 0x21);
    const __m256i before1 = _mm256_alignr_epi8(cur, behind, 15);
    const __m256i pair = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(t.firstHigh, _mm256_and_si256(_mm256_srli_epi16(before1, 4), nibble)),
                         _mm256_shuffle_epi8(t.firstLow, _mm256_and_si256(before1, nibble))),
        _mm256_shuffle_epi8(t.secondHigh, _mm256_and_si256(_mm256_srli_epi16(cur, 4), nibble)));
    const __m256i third = _mm256_subs_epu8(_mm256_alignr_epi8(cur, behind, 14), _mm256_set1_epi8(0x60));
    const __m256i fourth = _mm256_subs_epu8(_mm256_alignr_epi8(cur, behind, 13), _mm256_set1_epi8(0x70));
    const __m256i wanted = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(-128));
    return _mm256_xor_si256(pair, wanted);
}

[[gnu::target("avx2")]] inline __m256i Broadcast(const uint8_t* table)
{
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table)));
}

}  // namespace

[[gnu::target("avx2")]] VectorScan ScanUtf8Avx2(const unsigned char* p, size_t n) noexcept
{
    const AvxTables t = {Broadcast(kPairTables.firstHigh), Broadcast(kPairTables.firstLow),
                         Broadcast(kPairTables.secondHigh)};
    const __m256i cutLimit = _mm256_load_si256(reinterpret_cast<const __m256i*>(kPairTables.cutLimit));
    __m256i prev = _mm256_setzero_si256();
    __m256i cut = prev;
    bool earlier = false, last = false;
    size_t at = 0;
    for (; n - at >= kUtf8ScanBlock; at += kUtf8ScanBlock) {
        const auto* q = reinterpret_cast<const __m256i*>(p + at);
        const __m256i a = _mm256_loadu_si256(q), b = _mm256_loadu_si256(q + 1);
        __m256i fault = cut;
        const bool high = _mm256_movemask_epi8(_mm256_or_si256(a, b)) != 0;
        if (high) {
            fault = _mm256_or_si256(Faults32(a, prev, t), Faults32(b, a, t));
            cut = _mm256_subs_epu8(b, cutLimit);
        }
        if (!_mm256_testz_si256(fault, fault))
            break;
        prev = b;
        earlier = earlier || last;
        last = high;
    }
    return {at, earlier};
}

}  // namespace textrion::detail

#endif
