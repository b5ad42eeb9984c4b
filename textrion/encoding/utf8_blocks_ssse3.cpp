// The vector UTF-8 kernels: SSSE3 block decoding and encoding, run where the active kernel has SSSE3.
#include "textrion/encoding/utf8_blocks.h"

#include "textrion/encoding/two_byte_shuffles.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cstdint>

#include <immintrin.h>

namespace textrion::detail {

namespace {

// How the block decoder takes the characters that end within 12 bytes, by the
// mask of the bytes that end one: up to six of one or two bytes, each into a
// 16-bit lane, or up to four of one to three bytes, each into a 32-bit lane;
// with the byte order for that, the characters taken and the bytes they span.
struct Utf8Steps {
    enum Kind : uint8_t { kNone = 0, kSix = 1, kFour = 2 };
    struct Step {
        uint8_t kind;
        uint8_t order;     // into sixOrder or fourOrder
        uint8_t count;     // characters
        uint8_t consumed;  // bytes
    };
    Step step[4096];
    // Six characters by the mask of those of two bytes: last byte low, lead high.
    alignas(16) unsigned char sixOrder[64][16];
    // Four characters by their lengths less one in base 3: last byte lowest.
    alignas(16) unsigned char fourOrder[81][16];
};

constexpr Utf8Steps MakeUtf8Steps()
{
    Utf8Steps t{};
    for (unsigned twoBytes = 0; twoBytes < 64; ++twoBytes) {
        unsigned at = 0;
        for (unsigned c = 0; c < 8; ++c) {
            const bool two = c < 6 && ((twoBytes >> c) & 1);
            t.sixOrder[twoBytes][2 * c] = static_cast<unsigned char>(two ? at + 1 : at);
            t.sixOrder[twoBytes][2 * c + 1] = two ? static_cast<unsigned char>(at) : 0x80;
            at += two ? 2 : 1;
        }
    }
    for (unsigned lengths = 0; lengths < 81; ++lengths) {
        unsigned at = 0;
        for (unsigned c = 0, digits = lengths; c < 4; ++c, digits /= 3) {
            const unsigned n = 1 + digits % 3;
            for (unsigned b = 0; b < 4; ++b)
                t.fourOrder[lengths][4 * c + b] = b < n ? static_cast<unsigned char>(at + n - 1 - b) : 0x80;
            at += n;
        }
    }
    for (unsigned ends = 0; ends < 4096; ++ends) {
        unsigned length[12] = {};
        unsigned count = 0;
        for (unsigned i = 0, start = 0; i < 12; ++i) {
            if ((ends >> i) & 1) {
                length[count++] = i - start + 1;
                start = i + 1;
            }
        }
        unsigned six = 0, four = 0;
        while (six < count && six < 6 && length[six] <= 2)
            ++six;
        while (four < count && four < 4 && length[four] <= 3)
            ++four;
        Utf8Steps::Step& step = t.step[ends];
        const unsigned taken = six >= four ? six : four;
        if (taken == 0)
            continue;
        unsigned order = 0, consumed = 0;
        for (unsigned c = 0, weight = 1; c < taken; ++c, weight *= 3) {
            order += six >= four ? (length[c] == 2) << c : (length[c] - 1) * weight;
            consumed += length[c];
        }
        step = {static_cast<uint8_t>(six >= four ? Utf8Steps::kSix : Utf8Steps::kFour), static_cast<uint8_t>(order),
                static_cast<uint8_t>(taken), static_cast<uint8_t>(consumed)};
    }
    return t;
}

constexpr Utf8Steps kUtf8Steps = MakeUtf8Steps();

constexpr TwoByteShuffles kTwoByteShuffles = MakeTwoByteShuffles();

// The same for four units of one to three bytes, each in a 32-bit lane that
// holds its bytes in order, by the mask of those from U+0080 up (low four
// bits) and of those from U+0800 up (high four bits).
struct MixedShuffles {
    alignas(16) unsigned char from[256][16];
    unsigned char length[256];
};

constexpr MixedShuffles MakeMixedShuffles()
{
    MixedShuffles t{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned k = 0;
        for (unsigned lane = 0; lane < 4; ++lane) {
            const unsigned bytes = 1 + ((mask >> lane) & 1) + ((mask >> (lane + 4)) & 1);
            for (unsigned b = 0; b < bytes; ++b)
                t.from[mask][k++] = static_cast<unsigned char>(4 * lane + b);
        }
        t.length[mask] = static_cast<unsigned char>(k);
        while (k < 16)
            t.from[mask][k++] = 0x80;
    }
    return t;
}

constexpr MixedShuffles kMixedShuffles = MakeMixedShuffles();

}  // namespace

[[gnu::target("ssse3")]] BlocksDone<unsigned char, char16_t> DecodeUtf8Blocks(const unsigned char* p,
                                                                              const unsigned char* end, char16_t* q,
                                                                              char16_t* qEnd)
{
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 16 && qEnd - q >= 16) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (_mm_movemask_epi8(w) == 0) {
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(w, zero)) != 0)
                break;  // a NUL
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_unpacklo_epi8(w, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 8), _mm_unpackhi_epi8(w, zero));
            p += 16;
            q += 16;
            continue;
        }
        // Continuation bytes 80..BF are the bytes below -64 as signed.
        const auto trail = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(w, _mm_set1_epi8(-64))));
        if (trail & 1)
            break;
        const Utf8Steps::Step step = kUtf8Steps.step[(~trail >> 1) & 0xFFF];
        if (step.kind == Utf8Steps::kSix) {
            const __m128i lanes =
                _mm_shuffle_epi8(w, _mm_load_si128(reinterpret_cast<const __m128i*>(kUtf8Steps.sixOrder[step.order])));
            const __m128i lead = _mm_srli_epi16(lanes, 8);
            const __m128i last = _mm_and_si128(lanes, _mm_set1_epi16(0xFF));
            const __m128i one = _mm_cmpeq_epi16(lead, zero);
            // One byte: 01..7F. Two: a lead byte C2..DF.
            const __m128i ascii =
                _mm_and_si128(_mm_cmpgt_epi16(last, zero), _mm_cmplt_epi16(last, _mm_set1_epi16(0x80)));
            const __m128i pairLead =
                _mm_and_si128(_mm_cmpgt_epi16(lead, _mm_set1_epi16(0xC1)), _mm_cmplt_epi16(lead, _mm_set1_epi16(0xE0)));
            const auto ok = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_or_si128(_mm_and_si128(one, ascii), _mm_andnot_si128(one, pairLead))));
            const unsigned need = (1u << (2 * step.count)) - 1;
            if ((ok & need) != need)
                break;
            // The trail's bits 6 and 7 are 0 and 1: 7F keeps its six.
            const __m128i units = _mm_or_si128(_mm_and_si128(lanes, _mm_set1_epi16(0x7F)),
                                               _mm_and_si128(_mm_srli_epi16(lanes, 2), _mm_set1_epi16(0x07C0)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), units);
        } else if (step.kind == Utf8Steps::kFour) {
            const __m128i lanes =
                _mm_shuffle_epi8(w, _mm_load_si128(reinterpret_cast<const __m128i*>(kUtf8Steps.fourOrder[step.order])));
            const __m128i byte = _mm_set1_epi32(0xFF);
            const __m128i last = _mm_and_si128(lanes, byte);
            const __m128i second = _mm_and_si128(_mm_srli_epi32(lanes, 8), byte);
            const __m128i first = _mm_srli_epi32(lanes, 16);
            const __m128i value =
                _mm_or_si128(_mm_or_si128(_mm_and_si128(last, _mm_set1_epi32(0x7F)),
                                          _mm_slli_epi32(_mm_and_si128(second, _mm_set1_epi32(0x3F)), 6)),
                             _mm_slli_epi32(_mm_and_si128(first, _mm_set1_epi32(0x0F)), 12));
            const __m128i three = _mm_cmpgt_epi32(first, zero);
            const __m128i two = _mm_andnot_si128(three, _mm_cmpgt_epi32(second, zero));
            const __m128i one = _mm_cmpeq_epi32(_mm_or_si128(first, second), zero);
            const __m128i ok1 = _mm_and_si128(
                one, _mm_and_si128(_mm_cmpgt_epi32(last, zero), _mm_cmplt_epi32(last, _mm_set1_epi32(0x80))));
            const __m128i ok2 = _mm_and_si128(two, _mm_and_si128(_mm_cmpgt_epi32(second, _mm_set1_epi32(0xC1)),
                                                                 _mm_cmplt_epi32(second, _mm_set1_epi32(0xE0))));
            // Three: a lead byte E0..EF, no overlong form, no surrogate.
            const __m128i surrogate =
                _mm_cmpeq_epi32(_mm_and_si128(value, _mm_set1_epi32(0xF800)), _mm_set1_epi32(0xD800));
            const __m128i ok3 = _mm_andnot_si128(
                surrogate,
                _mm_and_si128(three, _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(first, _mm_set1_epi32(0xDF)),
                                                                 _mm_cmplt_epi32(first, _mm_set1_epi32(0xF0))),
                                                   _mm_cmpgt_epi32(value, _mm_set1_epi32(0x7FF)))));
            const auto ok = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(ok1, _mm_or_si128(ok2, ok3))));
            const unsigned need = (1u << (4 * step.count)) - 1;
            if ((ok & need) != need)
                break;
            const __m128i low16 =
                _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -128, -128, -128, -128, -128, -128, -128, -128);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(value, low16));
        } else {
            break;
        }
        p += step.consumed;
        q += step.count;
    }
    return {p, q};
}

// Blocks all below U+0800 and blocks all of three bytes take shorter ways
// than a mix.
template <bool kConvertBreaks>
[[gnu::target("ssse3")]] BlocksDone<char16_t, unsigned char> EncodeUtf8Blocks(const char16_t* p, const char16_t* end,
                                                                              unsigned char* q, unsigned char* qEnd)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i above7FF = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i low6 = _mm_set1_epi16(0x3F);
    const __m128i trailMark = _mm_set1_epi16(0x80);
    // Three bytes per unit: lead and middle from one register, last byte from
    // the other (see below).
    const __m128i threeBytes = _mm_setr_epi8(0, 1, 8, 2, 3, 10, 4, 5, 12, 6, 7, 14, -128, -128, -128, -128);
    while (end - p >= 8 && qEnd - q >= 32) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A lane below 0x0E leaves 0x0E - u above zero.
        if (kConvertBreaks &&
            _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(_mm_set1_epi16(0x0E), v), zero)) != 0xFFFF)
            break;
        const __m128i high = _mm_and_si128(v, above7FF);
        const __m128i small = _mm_cmpeq_epi16(high, zero);  // below U+0800
        const auto smallLanes = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(small, zero)));
        if (smallLanes != 0xFF &&
            _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_set1_epi16(static_cast<short>(0xD800)))) != 0)
            break;  // a surrogate: the careful path pairs or replaces it
        const __m128i trail = _mm_or_si128(_mm_and_si128(v, low6), trailMark);
        if (smallLanes == 0xFF) {
            // One or two bytes each (signed compares are safe below U+0800).
            const __m128i two = _mm_cmpgt_epi16(v, _mm_set1_epi16(0x7F));
            const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(two, zero)));
            if (mask == 0) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_packus_epi16(v, v));
                q += 8;
            } else {
                const __m128i lead = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
                const __m128i pairs = _mm_or_si128(lead, _mm_slli_epi16(trail, 8));
                const __m128i lanes = _mm_or_si128(_mm_and_si128(two, pairs), _mm_andnot_si128(two, v));
                const __m128i order = _mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteShuffles.from[mask]));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(lanes, order));
                q += kTwoByteShuffles.length[mask];
            }
            p += 8;
            continue;
        }
        const __m128i middle = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(v, 6), low6), trailMark);
        const __m128i lead3 = _mm_or_si128(_mm_srli_epi16(v, 12), _mm_set1_epi16(0xE0));
        if (smallLanes == 0) {
            // Three bytes each. Units 0..3, then 4..7: their lead and middle
            // bytes in bytes 0..7, their last in bytes 8, 10, 12, 14.
            const __m128i first2 = _mm_or_si128(lead3, _mm_slli_epi16(middle, 8));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q),
                             _mm_shuffle_epi8(_mm_unpacklo_epi64(first2, trail), threeBytes));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 12),
                             _mm_shuffle_epi8(_mm_unpackhi_epi64(first2, trail), threeBytes));
            q += 24;
            p += 8;
            continue;
        }
        // A mix: each unit's bytes in a 32-bit lane (first, second, last), four
        // units at a time.
        const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
        const __m128i lead2 = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0xC0));
        const __m128i first =
            _mm_or_si128(_mm_and_si128(ascii, v), _mm_or_si128(_mm_andnot_si128(ascii, _mm_and_si128(small, lead2)),
                                                               _mm_andnot_si128(small, lead3)));
        const __m128i second = _mm_or_si128(_mm_and_si128(small, trail), _mm_andnot_si128(small, middle));
        const __m128i firstTwo = _mm_or_si128(first, _mm_slli_epi16(second, 8));
        const unsigned from80 = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ascii, zero))) & 0xFF;
        const unsigned from800 = ~smallLanes & 0xFF;
        const unsigned lo = (from80 & 0x0F) | ((from800 & 0x0F) << 4);
        const unsigned hi = (from80 >> 4) | (from800 & 0xF0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q),
                         _mm_shuffle_epi8(_mm_unpacklo_epi16(firstTwo, trail),
                                          _mm_load_si128(reinterpret_cast<const __m128i*>(kMixedShuffles.from[lo]))));
        q += kMixedShuffles.length[lo];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q),
                         _mm_shuffle_epi8(_mm_unpackhi_epi16(firstTwo, trail),
                                          _mm_load_si128(reinterpret_cast<const __m128i*>(kMixedShuffles.from[hi]))));
        q += kMixedShuffles.length[hi];
        p += 8;
    }
    return {p, q};
}

template BlocksDone<char16_t, unsigned char> EncodeUtf8Blocks<false>(const char16_t*, const char16_t*, unsigned char*,
                                                                     unsigned char*);
template BlocksDone<char16_t, unsigned char> EncodeUtf8Blocks<true>(const char16_t*, const char16_t*, unsigned char*,
                                                                    unsigned char*);

}  // namespace textrion::detail

#endif
