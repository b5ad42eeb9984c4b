// The UTF-8 check 16 bytes at a time with SSSE3.
#include "textrion/encoding/utf8_validation_kernels.h"

#if defined(__x86_64__)

#include <immintrin.h>

namespace textrion::detail {

namespace {

struct SseTables {
    __m128i firstHigh, firstLow, secondHigh;
};

// The faults of the 16 bytes of cur, prev being the 16 before them. Bit 7 of
// a byte's pair bits is set for a continuation after a continuation; it must
// be exactly where a lead two or three bytes back asks for one.
[[gnu::target("ssse3")]] inline __m128i Faults16(__m128i cur, __m128i prev, const SseTables& t)
{
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i before1 = _mm_alignr_epi8(cur, prev, 15);
    const __m128i pair =
        _mm_and_si128(_mm_and_si128(_mm_shuffle_epi8(t.firstHigh, _mm_and_si128(_mm_srli_epi16(before1, 4), nibble)),
                                    _mm_shuffle_epi8(t.firstLow, _mm_and_si128(before1, nibble))),
                      _mm_shuffle_epi8(t.secondHigh, _mm_and_si128(_mm_srli_epi16(cur, 4), nibble)));
    // E0..FF two back or F0..FF three back reach 80 and up less 60 or 70.
    const __m128i third = _mm_subs_epu8(_mm_alignr_epi8(cur, prev, 14), _mm_set1_epi8(0x60));
    const __m128i fourth = _mm_subs_epu8(_mm_alignr_epi8(cur, prev, 13), _mm_set1_epi8(0x70));
    const __m128i wanted = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(-128));
    return _mm_xor_si128(pair, wanted);
}

}  // namespace

[[gnu::target("ssse3")]] VectorScan ScanUtf8Ssse3(const unsigned char* p, size_t n) noexcept
{
    const auto table = [](const uint8_t* t) { return _mm_load_si128(reinterpret_cast<const __m128i*>(t)); };
    const SseTables t = {table(kPairTables.firstHigh), table(kPairTables.firstLow), table(kPairTables.secondHigh)};
    const __m128i cutLimit = table(kPairTables.cutLimit + 16);
    const __m128i zero = _mm_setzero_si128();
    __m128i prev = zero;
    __m128i cut = zero;  // the last block ends inside a sequence
    bool earlier = false, last = false;
    size_t at = 0;
    for (; n - at >= kUtf8ScanBlock; at += kUtf8ScanBlock) {
        const auto* q = reinterpret_cast<const __m128i*>(p + at);
        const __m128i a = _mm_loadu_si128(q), b = _mm_loadu_si128(q + 1);
        const __m128i c = _mm_loadu_si128(q + 2), d = _mm_loadu_si128(q + 3);
        __m128i fault = cut;
        const bool high = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0;
        if (high) {
            fault = _mm_or_si128(_mm_or_si128(Faults16(a, prev, t), Faults16(b, a, t)),
                                 _mm_or_si128(Faults16(c, b, t), Faults16(d, c, t)));
            cut = _mm_subs_epu8(d, cutLimit);
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(fault, zero)) != 0xFFFF)
            break;
        prev = d;
        earlier = earlier || last;
        last = high;
    }
    return {at, earlier};
}

}  // namespace textrion::detail

#endif
