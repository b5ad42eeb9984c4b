#include "textrion/encoding/utf_processor.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

#if defined(__x86_64__) || defined(__i386__)
#define VARNEL_UTF8_BLOCKS 1
#include <immintrin.h>
#endif

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Trailing bytes by lead byte, as in the Unicode reference conversion: 0 for
// 00..BF, 1 for C0..DF, 2 for E0..EF, 3 for F0..F7, 4 for F8..FB, 5 for FC..FF.
constexpr unsigned char TrailingBytes(unsigned char lead)
{
    return lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : lead < 0xFC ? 4 : 5;
}

constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kOnes = 0x0101010101010101ULL;

// True when all 8 bytes are 01..7F: plain ASCII without NUL.
inline bool AllAsciiNonZero(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return ((v | ((v - kOnes) & ~v)) & kHighBits) == 0;
}

constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

inline bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline bool IsTrail(unsigned char b) { return (b & 0xC0) == 0x80; }

// Four UTF-16 units read as one word; the lane tests below hold in either byte
// order of the host, since each lane keeps its unit's value.
inline uint64_t Load4Units(const char16_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

constexpr uint64_t kLaneOnes = 0x0001000100010001ULL;
constexpr uint64_t kLaneHighBits = 0x8000800080008000ULL;

// Non-zero when some 16-bit lane of v is zero.
inline uint64_t ZeroLane(uint64_t v) { return (v - kLaneOnes) & ~v & kLaneHighBits; }

inline bool HasCrOrLf(uint64_t v)
{
    return (ZeroLane(v ^ (kLaneOnes * u'\r')) | ZeroLane(v ^ (kLaneOnes * u'\n'))) != 0;
}

// The index of the first CR or LF in p[0, n), or n.
inline unsigned FindLineBreak(const char16_t* p, unsigned n)
{
    unsigned k = 0;
    while (n - k >= 4 && !HasCrOrLf(Load4Units(p + k)))
        k += 4;
    while (k < n && p[k] != u'\r' && p[k] != u'\n')
        ++k;
    return k;
}


#if VARNEL_UTF8_BLOCKS

bool HaveSsse3()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}

// SSSE3 is in every x86-64 processor of the last fifteen years, but not in the
// baseline the code is built for: the block decoder and encoder are chosen at
// run time.
const bool kUtf8Blocks = HaveSsse3();

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

// Decodes well-formed characters of one to three bytes a block at a time and
// leaves at the first block that holds anything else (a NUL, a four-byte
// character, an ill-formed sequence) or that the input or output cannot hold:
// the careful path decides on those. Reads 16 bytes and writes 16 units ahead,
// past what it takes and gives.
[[gnu::target("ssse3")]] void DecodeUtf8Blocks(const unsigned char*& pIO, const unsigned char* end, char16_t*& qIO,
                                               char16_t* qEnd)
{
    const unsigned char* p = pIO;
    char16_t* q = qIO;
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
            const __m128i lanes = _mm_shuffle_epi8(
                w, _mm_load_si128(reinterpret_cast<const __m128i*>(kUtf8Steps.sixOrder[step.order])));
            const __m128i lead = _mm_srli_epi16(lanes, 8);
            const __m128i last = _mm_and_si128(lanes, _mm_set1_epi16(0xFF));
            const __m128i one = _mm_cmpeq_epi16(lead, zero);
            // One byte: 01..7F. Two: a lead byte C2..DF.
            const __m128i ascii = _mm_and_si128(_mm_cmpgt_epi16(last, zero), _mm_cmplt_epi16(last, _mm_set1_epi16(0x80)));
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
            const __m128i lanes = _mm_shuffle_epi8(
                w, _mm_load_si128(reinterpret_cast<const __m128i*>(kUtf8Steps.fourOrder[step.order])));
            const __m128i byte = _mm_set1_epi32(0xFF);
            const __m128i last = _mm_and_si128(lanes, byte);
            const __m128i second = _mm_and_si128(_mm_srli_epi32(lanes, 8), byte);
            const __m128i first = _mm_srli_epi32(lanes, 16);
            const __m128i value = _mm_or_si128(
                _mm_or_si128(_mm_and_si128(last, _mm_set1_epi32(0x7F)),
                             _mm_slli_epi32(_mm_and_si128(second, _mm_set1_epi32(0x3F)), 6)),
                _mm_slli_epi32(_mm_and_si128(first, _mm_set1_epi32(0x0F)), 12));
            const __m128i three = _mm_cmpgt_epi32(first, zero);
            const __m128i two = _mm_andnot_si128(three, _mm_cmpgt_epi32(second, zero));
            const __m128i one = _mm_cmpeq_epi32(_mm_or_si128(first, second), zero);
            const __m128i ok1 = _mm_and_si128(
                one, _mm_and_si128(_mm_cmpgt_epi32(last, zero), _mm_cmplt_epi32(last, _mm_set1_epi32(0x80))));
            const __m128i ok2 = _mm_and_si128(
                two, _mm_and_si128(_mm_cmpgt_epi32(second, _mm_set1_epi32(0xC1)),
                                   _mm_cmplt_epi32(second, _mm_set1_epi32(0xE0))));
            // Three: a lead byte E0..EF, no overlong form, no surrogate.
            const __m128i surrogate = _mm_cmpeq_epi32(_mm_and_si128(value, _mm_set1_epi32(0xF800)),
                                                      _mm_set1_epi32(0xD800));
            const __m128i ok3 = _mm_andnot_si128(
                surrogate,
                _mm_and_si128(three, _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(first, _mm_set1_epi32(0xDF)),
                                                                 _mm_cmplt_epi32(first, _mm_set1_epi32(0xF0))),
                                                   _mm_cmpgt_epi32(value, _mm_set1_epi32(0x7FF)))));
            const auto ok =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(ok1, _mm_or_si128(ok2, ok3))));
            const unsigned need = (1u << (4 * step.count)) - 1;
            if ((ok & need) != need)
                break;
            const __m128i low16 = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, -128, -128, -128, -128, -128, -128, -128, -128);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(value, low16));
        } else {
            break;
        }
        p += step.consumed;
        q += step.count;
    }
    pIO = p;
    qIO = q;
}

#else

constexpr bool kUtf8Blocks = false;

void DecodeUtf8Blocks(const unsigned char*&, const unsigned char*, char16_t*&, char16_t*) {}

#endif

}  // namespace

// ---------------------------------------------------------------------------
// Decode side

bool CUTFProcessor::IsLegalUTF8(const unsigned char* src, unsigned length)
{
    if (length == 0 || length > 4)
        return false;
    const unsigned char lead = src[0];
    if (length == 1)
        return lead < 0x80;
    for (unsigned i = 2; i < length; ++i)
        if (src[i] < 0x80 || src[i] > 0xBF)
            return false;
    const unsigned char second = src[1];
    switch (lead) {
    case 0xE0: if (second < 0xA0 || second > 0xBF) return false; break;
    case 0xED: if (second < 0x80 || second > 0x9F) return false; break;
    case 0xF0: if (second < 0x90 || second > 0xBF) return false; break;
    case 0xF4: if (second < 0x80 || second > 0x8F) return false; break;
    default: if (second < 0x80 || second > 0xBF) return false;
    }
    if (lead < 0xC2 || lead > 0xF4)
        return false;
    return TrailingBytes(lead) + 1u == length;
}

bool CUTFProcessor::IsLegalUTF8Sequence(const unsigned char* src, unsigned len)
{
    if (src == nullptr || len == 0)
        return false;
    const unsigned length = TrailingBytes(src[0]) + 1u;
    return length <= len && IsLegalUTF8(src, length);
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::ReadUTF8(const unsigned char* src, unsigned srcLen,
                                                           unsigned& srcUsed, char16_t* dst, unsigned dstLen,
                                                           unsigned& dstUsed, bool endOfInput)
{
    const unsigned char* p = src;
    const unsigned char* const end = src + srcLen;
    char16_t* q = dst;
    char16_t* const qEnd = dst + dstLen;
    tagUTFPROCESSRESULT result = UTFPROCESS_OK;
    // Runs of ASCII go eight bytes at a time. The test is made at the start
    // and then every eight characters, not at each: in text whose words
    // alternate between ASCII and other letters it mostly fails.
    auto asciiBlocks = [&] {
        while (end - p >= 8 && qEnd - q >= 8 && AllAsciiNonZero(p)) {
            for (int k = 0; k < 8; ++k)
                q[k] = p[k];
            p += 8;
            q += 8;
        }
    };
    // Where the processor has them, blocks of up to sixteen bytes of any
    // characters but four-byte ones go instead, tried again after each
    // character the careful loop below takes.
    const unsigned tryEvery = kUtf8Blocks ? 1 : 8;
    auto blocks = [&] {
        if (kUtf8Blocks)
            DecodeUtf8Blocks(p, end, q, qEnd);
        else
            asciiBlocks();
    };
    blocks();
    unsigned untilTry = tryEvery;
    while (p < end) {
        if (--untilTry == 0) {
            untilTry = tryEvery;
            blocks();
            if (p == end)
                break;
        }
        const unsigned lead = *p;
        // Whole well-formed sequences with room for their units are decoded
        // here; anything else takes the careful path below.
        if (lead < 0x80) {
            if (lead != 0 && q < qEnd) {
                *q++ = static_cast<char16_t>(lead);
                ++p;
                continue;
            }
        } else if (lead < 0xE0) {
            if (lead >= 0xC2 && end - p >= 2 && q < qEnd && IsTrail(p[1])) {
                *q++ = static_cast<char16_t>(((lead & 0x1Fu) << 6) | (p[1] & 0x3Fu));
                p += 2;
                continue;
            }
        } else if (lead < 0xF0) {
            if (end - p >= 3 && q < qEnd) {
                const unsigned b1 = p[1];
                // E0 needs A0..BF (no overlong form), ED 80..9F (no surrogate).
                const unsigned lo = lead == 0xE0 ? 0xA0 : 0x80;
                const unsigned hi = lead == 0xED ? 0x9F : 0xBF;
                if (b1 >= lo && b1 <= hi && IsTrail(p[2])) {
                    *q++ = static_cast<char16_t>(((lead & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (p[2] & 0x3Fu));
                    p += 3;
                    continue;
                }
            }
        } else if (lead <= 0xF4) {
            if (end - p >= 4 && qEnd - q >= 2) {
                const unsigned b1 = p[1];
                // F0 needs 90..BF (no overlong form), F4 80..8F (nothing past U+10FFFF).
                const unsigned lo = lead == 0xF0 ? 0x90 : 0x80;
                const unsigned hi = lead == 0xF4 ? 0x8F : 0xBF;
                if (b1 >= lo && b1 <= hi && IsTrail(p[2]) && IsTrail(p[3])) {
                    const char32_t cp =
                        (((lead & 0x07u) << 18) | ((b1 & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu)) -
                        0x10000;
                    q[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
                    q[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
                    q += 2;
                    p += 4;
                    continue;
                }
            }
        }

        // The careful path, one character: NUL, a sequence cut by the end of
        // the input, a bad lead byte, or too little room for the output.
        const auto left = static_cast<unsigned>(end - p);
        const unsigned trailing = TrailingBytes(static_cast<unsigned char>(lead));
        bool bad = false;
        if (trailing >= left) {
            // The claimed sequence runs past the input. At the real end, decide
            // on what is there: a lead byte without its trail is bad.
            if (!endOfInput) {
                result = UTFPROCESS_SOURCE_EXHAUSTED;
                break;
            }
            bad = true;
        } else if (!IsLegalUTF8(p, trailing + 1)) {
            bad = true;
        }
        if (q >= qEnd) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
            break;
        }
        if (bad) {
            *q++ = kReplacement;  // decoding goes on at the next byte
            ++m_replacements;
            ++p;
            continue;
        }
        char32_t cp = 0;
        switch (trailing) {
        case 3: cp = ((lead & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu); break;
        case 2: cp = ((lead & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu); break;
        case 1: cp = ((lead & 0x1Fu) << 6) | (p[1] & 0x3Fu); break;
        default: cp = lead; break;
        }
        if (cp > 0xFFFF) {
            if (qEnd - q < 2) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            cp -= 0x10000;
            *q++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *q++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else if (cp == 0) {
            *q++ = kReplacement;  // a NUL byte is not text
            ++m_replacements;
        } else {
            *q++ = static_cast<char16_t>(cp);
        }
        p += trailing + 1;
    }
    srcUsed = static_cast<unsigned>(p - src);
    dstUsed = static_cast<unsigned>(q - dst);
    return result;
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::ReadUTF16(const unsigned char* src, unsigned srcLen,
                                                            unsigned& srcUsed, char16_t* dst, unsigned dstLen,
                                                            tagUTF16ENDIANTYPE endian, unsigned& dstUsed,
                                                            bool endOfInput)
{
    const bool le = endian == UTF16_LE;
    auto unitAt = [&](unsigned i) {
        return static_cast<char16_t>(le ? src[2 * i] | (src[2 * i + 1] << 8) : (src[2 * i] << 8) | src[2 * i + 1]);
    };
    const unsigned pairs = srcLen / 2;
    unsigned n = pairs < dstLen ? pairs : dstLen;
    // Separate loops per byte order, so that each is a plain copy or swap.
    if (n > 0 && le == kLittleEndianHost) {
        std::memcpy(dst, src, n * sizeof(char16_t));
    } else if (le) {
        for (unsigned i = 0; i < n; ++i)
            dst[i] = static_cast<char16_t>(src[2 * i] | (src[2 * i + 1] << 8));
    } else {
        for (unsigned i = 0; i < n; ++i)
            dst[i] = static_cast<char16_t>((src[2 * i] << 8) | src[2 * i + 1]);
    }
    // A surrogate pair never straddles two outputs: a high surrogate that fills
    // the output before its low half, or that ends the input before its real
    // end, is left for the next call.
    bool waitForLow = false;
    if (n > 0 && IsHigh(dst[n - 1])) {
        if (n < pairs && IsLow(unitAt(n))) {
            --n;
        } else if (n == pairs && !endOfInput) {
            --n;
            waitForLow = true;
        }
    }
    srcUsed = n * 2;
    dstUsed = n;
    if (waitForLow)
        return UTFPROCESS_SOURCE_EXHAUSTED;
    if (n < pairs)
        return UTFPROCESS_TARGET_EXHAUSTED;
    if (srcLen % 2 == 0)
        return UTFPROCESS_OK;
    if (!endOfInput)
        return UTFPROCESS_SOURCE_EXHAUSTED;
    if (dstUsed >= dstLen)
        return UTFPROCESS_TARGET_EXHAUSTED;
    dst[dstUsed++] = kReplacement;  // an odd last byte is no character
    ++m_replacements;
    ++srcUsed;
    return UTFPROCESS_OK;
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::ReadUTF32(const unsigned char* src, unsigned srcLen,
                                                            unsigned& srcUsed, char16_t* dst, unsigned dstLen,
                                                            tagUTF32ENDIANTYPE endian, unsigned& dstUsed,
                                                            bool endOfInput)
{
    unsigned s = 0, d = 0;
    tagUTFPROCESSRESULT result = UTFPROCESS_OK;
    while (s + 4 <= srcLen) {
        const unsigned char* b = src + s;
        char32_t v;
        switch (endian) {
        case UTF32_LE: v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<char32_t>(b[3]) << 24); break;
        case UTF32_BE: v = (static_cast<char32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3]; break;
        case UTF32_2143: v = (static_cast<char32_t>(b[1]) << 24) | (b[0] << 16) | (b[3] << 8) | b[2]; break;
        default: v = (static_cast<char32_t>(b[2]) << 24) | (b[3] << 16) | (b[0] << 8) | b[1]; break;
        }
        if (d >= dstLen) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
            break;
        }
        if (v >= 0x10000 && v <= 0x10FFFF) {
            if (dstLen - d < 2) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            v -= 0x10000;
            dst[d++] = static_cast<char16_t>(0xD800 + (v >> 10));
            dst[d++] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) {
            dst[d++] = kReplacement;
            ++m_replacements;
        } else {
            dst[d++] = static_cast<char16_t>(v);
        }
        s += 4;
    }
    if (result == UTFPROCESS_OK && s < srcLen) {
        if (!endOfInput) {
            result = UTFPROCESS_SOURCE_EXHAUSTED;
        } else if (d >= dstLen) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
        } else {
            dst[d++] = kReplacement;  // 1..3 bytes are no character
            ++m_replacements;
            s = srcLen;
        }
    }
    srcUsed = s;
    dstUsed = d;
    return result;
}

// ---------------------------------------------------------------------------
// Encode side

namespace {

#if VARNEL_UTF8_BLOCKS

// Where the bytes of eight units below U+0800 come from, by the mask of those
// that take two bytes: each unit's 16-bit lane holds its first byte and then,
// for two bytes, its second. 0x80 leaves a byte zero.
struct TwoByteShuffles {
    alignas(16) unsigned char from[256][16];
    unsigned char length[256];
};

constexpr TwoByteShuffles MakeTwoByteShuffles()
{
    TwoByteShuffles t{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned k = 0;
        for (unsigned lane = 0; lane < 8; ++lane) {
            t.from[mask][k++] = static_cast<unsigned char>(2 * lane);
            if ((mask >> lane) & 1)
                t.from[mask][k++] = static_cast<unsigned char>(2 * lane + 1);
        }
        t.length[mask] = static_cast<unsigned char>(k);
        while (k < 16)
            t.from[mask][k++] = 0x80;
    }
    return t;
}

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

// Encodes eight units at a time while none is a surrogate (nor, with line
// breaks converted, one of the control characters up to CR), and leaves at the
// first block with one. Blocks all below U+0800 and blocks all of three bytes
// take shorter ways than a mix. Needs 32 bytes of room (stores run past the
// output).
template <bool kConvertBreaks>
[[gnu::target("ssse3")]] void EncodeUtf8Blocks(const char16_t*& pIO, const char16_t* end, unsigned char*& qIO,
                                               unsigned char* qEnd)
{
    const char16_t* p = pIO;
    unsigned char* q = qIO;
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
        const __m128i first = _mm_or_si128(_mm_and_si128(ascii, v),
                                           _mm_or_si128(_mm_andnot_si128(ascii, _mm_and_si128(small, lead2)),
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
    pIO = p;
    qIO = q;
}

#else

template <bool kConvertBreaks>
void EncodeUtf8Blocks(const char16_t*&, const char16_t*, unsigned char*&, unsigned char*)
{
}

#endif

// Each sink's Run encodes the plain units ahead (those needing no pairing,
// replacement or line-break care) for as long as they fit, and leaves the rest
// to Encode's unit-by-unit path.
struct Utf8Sink {
    static unsigned Size(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }
    static void Put(unsigned char* p, char32_t cp)
    {
        if (cp < 0x80) {
            p[0] = static_cast<unsigned char>(cp);
        } else if (cp < 0x800) {
            p[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
            p[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            p[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
            p[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            p[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {
            p[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
            p[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            p[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            p[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        }
    }
    // Eight units, all ASCII and, when line breaks are converted, none of the
    // control characters up to CR.
    static bool PlainAsciiBlock(const char16_t* p, bool convertBreaks)
    {
        const uint64_t a = Load4Units(p), b = Load4Units(p + 4);
        if (((a | b) & (kLaneOnes * 0xFF80u)) != 0)
            return false;
        // Adding 0x72 to a lane below 0x80 sets its bit 7 just when it is 0x0E or more.
        const uint64_t atLeast0E = kLaneOnes * 0x80u;
        return !convertBreaks || ((a + kLaneOnes * 0x72u) & (b + kLaneOnes * 0x72u) & atLeast0E) == atLeast0E;
    }
    static bool IsBreak(uint32_t u) { return u == u'\r' || u == u'\n'; }
    // One copy each with and without line breaks to convert, kept out of line
    // so that neither's loop shares registers with the other or with Encode.
    template <bool kConvertBreaks>
    [[gnu::noinline]] static void RunFor(const char16_t* src, unsigned srcLen, unsigned& sIO, unsigned char* dst,
                                         unsigned dstLen, unsigned& dIO)
    {
        const char16_t* p = src + sIO;
        const char16_t* const end = src + srcLen;
        unsigned char* q = dst + dIO;
        unsigned char* const qEnd = dst + dstLen;
        for (;;) {
            // Whole blocks first where the processor has the instructions; the
            // rest of this loop then takes one group of units before trying again.
            if (kUtf8Blocks)
                EncodeUtf8Blocks<kConvertBreaks>(p, end, q, qEnd);
            // Units below U+0800, as many as surely fit at two bytes each: eight
            // at a time while they are plain ASCII, else one by one, eight
            // before the next try. Each test takes the same way for long
            // stretches of English or of Latin text, so it predicts well.
            const char16_t* const stop = p + std::min(end - p, (qEnd - q) / 2);
            while (p < stop) {
                if (stop - p >= 8 && PlainAsciiBlock(p, kConvertBreaks)) {
                    for (int k = 0; k < 8; ++k)
                        q[k] = static_cast<unsigned char>(p[k]);
                    p += 8;
                    q += 8;
                    continue;
                }
                const char16_t* const group = p + std::min<std::ptrdiff_t>(stop - p, 8);
                for (; p < group; ++p) {
                    const uint32_t u = *p;
                    // With line breaks to convert, the control characters
                    // up to CR leave too, for one test instead of three.
                    if (kConvertBreaks ? u - 0x0Eu >= 0x800u - 0x0Eu : u >= 0x800u)
                        break;
                    // One or two bytes, chosen by masks rather than a branch
                    // that the mix of ASCII and Latin letters would mispredict.
                    // The second byte is stored either way and, for ASCII,
                    // overwritten by the next unit.
                    const uint32_t two = u >= 0x80, m2 = 0u - two;
                    q[0] = static_cast<unsigned char>((u & ~m2) | ((0xC0u | (u >> 6)) & m2));
                    q[1] = static_cast<unsigned char>(0x80u | (u & 0x3Fu));
                    q += 1 + two;
                }
                if (p < group || kUtf8Blocks)
                    break;
            }
            if (p == end || qEnd - q < 4)
                break;
            const uint32_t u = *p;
            if (u < 0x800) {
                if (kConvertBreaks && IsBreak(u))
                    break;
                if (kConvertBreaks && u < 0x0E) {  // another control character
                    *q++ = static_cast<unsigned char>(u);
                    ++p;
                }
                continue;  // else the run stopped for room only
            }
            if (u - 0xD800u >= 0x800u) {
                // Three bytes each, for as long as they come (CJK text), or
                // eight before the blocks are tried again.
                const char16_t* const runEnd = kUtf8Blocks && end - p > 8 ? p + 8 : end;
                uint32_t v = u;
                do {
                    q[0] = static_cast<unsigned char>(0xE0 | (v >> 12));
                    q[1] = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
                    q[2] = static_cast<unsigned char>(0x80 | (v & 0x3F));
                    q += 3;
                    ++p;
                } while (p < runEnd && qEnd - q >= 3 && (v = *p) >= 0x800 && v - 0xD800u >= 0x800u);
            } else {
                // Whole pairs, for as long as they come; anything else is left
                // to the careful path.
                auto wholePair = [&] { return end - p >= 2 && IsHigh(p[0]) && IsLow(p[1]); };
                if (!wholePair())
                    break;
                do {
                    const uint32_t cp = 0x10000 + ((p[0] - 0xD800u) << 10) + (p[1] - 0xDC00u);
                    q[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
                    q[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
                    q[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
                    q[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
                    p += 2;
                    q += 4;
                } while (qEnd - q >= 4 && wholePair());
            }
        }
        sIO = static_cast<unsigned>(p - src);
        dIO = static_cast<unsigned>(q - dst);
    }
    static void Run(const char16_t* src, unsigned srcLen, unsigned& sIO, unsigned char* dst, unsigned dstLen,
                    unsigned& dIO, bool convertBreaks, bool)
    {
        if (convertBreaks)
            RunFor<true>(src, srcLen, sIO, dst, dstLen, dIO);
        else
            RunFor<false>(src, srcLen, sIO, dst, dstLen, dIO);
    }
};

struct Utf16Sink {
    bool bigEndian;
    static unsigned Size(char32_t cp) { return cp > 0xFFFF ? 4 : 2; }
    void PutUnit(unsigned char* p, char16_t u) const
    {
        if (bigEndian) {
            p[0] = static_cast<unsigned char>(u >> 8);
            p[1] = static_cast<unsigned char>(u);
        } else {
            p[0] = static_cast<unsigned char>(u);
            p[1] = static_cast<unsigned char>(u >> 8);
        }
    }
    void Put(unsigned char* p, char32_t cp) const
    {
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            PutUnit(p, static_cast<char16_t>(0xD800 + (cp >> 10)));
            PutUnit(p + 2, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            PutUnit(p, static_cast<char16_t>(cp));
        }
    }
    // With surrogates passed through, every unit up to the next line break to
    // convert is copied as it is (byte-swapped for the other byte order).
    void Run(const char16_t* src, unsigned srcLen, unsigned& sIO, unsigned char* dst, unsigned dstLen,
             unsigned& dIO, bool convertBreaks, bool passSurrogates) const
    {
        if (!passSurrogates)
            return;
        const unsigned room = (dstLen - dIO) / 2;
        unsigned n = srcLen - sIO < room ? srcLen - sIO : room;
        if (convertBreaks)
            n = FindLineBreak(src + sIO, n);
        if (n == 0)
            return;
        const char16_t* in = src + sIO;
        unsigned char* out = dst + dIO;
        if (bigEndian != kLittleEndianHost) {
            std::memcpy(out, in, n * sizeof(char16_t));
        } else if (bigEndian) {
            for (unsigned k = 0; k < n; ++k) {
                out[2 * k] = static_cast<unsigned char>(in[k] >> 8);
                out[2 * k + 1] = static_cast<unsigned char>(in[k]);
            }
        } else {
            for (unsigned k = 0; k < n; ++k) {
                out[2 * k] = static_cast<unsigned char>(in[k]);
                out[2 * k + 1] = static_cast<unsigned char>(in[k] >> 8);
            }
        }
        sIO += n;
        dIO += 2 * n;
    }
};

struct Utf32Sink {
    CUTFProcessor::tagUTF32ENDIANTYPE endian;
    static unsigned Size(char32_t) { return 4; }
    static void Run(const char16_t*, unsigned, unsigned&, unsigned char*, unsigned, unsigned&, bool, bool) {}
    void Put(unsigned char* p, char32_t cp) const
    {
        const unsigned char o1 = static_cast<unsigned char>(cp >> 24), o2 = static_cast<unsigned char>(cp >> 16),
                            o3 = static_cast<unsigned char>(cp >> 8), o4 = static_cast<unsigned char>(cp);
        switch (endian) {
        case CUTFProcessor::UTF32_LE: p[0] = o4; p[1] = o3; p[2] = o2; p[3] = o1; break;
        case CUTFProcessor::UTF32_BE: p[0] = o1; p[1] = o2; p[2] = o3; p[3] = o4; break;
        case CUTFProcessor::UTF32_2143: p[0] = o2; p[1] = o1; p[2] = o4; p[3] = o3; break;
        default: p[0] = o3; p[1] = o4; p[2] = o1; p[3] = o2; break;
        }
    }
};

}  // namespace

template <typename Sink>
CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::Encode(const char16_t* src, unsigned srcLen, unsigned& srcUsed,
                                                         unsigned char* dst, unsigned dstLen, unsigned& dstUsed,
                                                         Sink sink, bool passSurrogates)
{
    unsigned s = 0, d = 0;
    tagUTFPROCESSRESULT result = UTFPROCESS_OK;
    const bool convertBreaks = m_crLfType != UTFCRLF_KEEP;

    if (srcLen > 0 && m_pendingCR) {
        m_pendingCR = false;
        if (convertBreaks && src[0] == u'\n')
            s = 1;  // the second half of a CR LF already written as one break
    }

    for (;;) {
        sink.Run(src, srcLen, s, dst, dstLen, d, convertBreaks, passSurrogates);
        if (s >= srcLen)
            break;
        // One unit the run left: a line break, a surrogate, or one that may not fit.
        char16_t u = src[s];
        if (convertBreaks && (u == u'\r' || u == u'\n')) {
            unsigned taken = 1;
            if (u == u'\r' && s + 1 < srcLen && src[s + 1] == u'\n')
                taken = 2;
            const unsigned unitBytes = sink.Size(u'\n');
            const unsigned need = m_crLfType == UTFCRLF_CRLF ? 2 * unitBytes : unitBytes;
            if (dstLen - d < need) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            if (m_crLfType == UTFCRLF_CR || m_crLfType == UTFCRLF_CRLF) {
                sink.Put(dst + d, U'\r');
                d += unitBytes;
            }
            if (m_crLfType == UTFCRLF_LF || m_crLfType == UTFCRLF_CRLF) {
                sink.Put(dst + d, U'\n');
                d += unitBytes;
            }
            s += taken;
            if (u == u'\r' && taken == 1 && s == srcLen)
                m_pendingCR = true;
            continue;
        }
        char32_t cp = u;
        unsigned taken = 1;
        bool replaced = false;
        bool rawByte = false;
        if (!passSurrogates && (IsHigh(u) || IsLow(u))) {
            if (IsHigh(u) && s + 1 < srcLen && IsLow(src[s + 1])) {
                cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (src[s + 1] - 0xDC00);
                taken = 2;
            } else if (IsHigh(u) && s + 1 == srcLen) {
                result = UTFPROCESS_SOURCE_EXHAUSTED;  // its low half may come with the next call
                break;
            } else if (m_fileNameBytes && u >= 0xDC80 && u <= 0xDCFF) {
                // A byte of a file name that is not UTF-8: UTF-8 gets the byte
                // itself, UTF-32 the unit's value, so the name stays exact.
                rawByte = std::is_same_v<Sink, Utf8Sink>;
            } else {
                cp = kReplacement;  // never write an ill-formed sequence
                replaced = true;
            }
        }
        if (rawByte) {
            if (dstLen == d) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            dst[d++] = static_cast<unsigned char>(u - 0xDC00);
            ++s;
            continue;
        }
        const unsigned size = sink.Size(cp);
        if (dstLen - d < size) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
            break;
        }
        // Counted once written: a unit left for the next call is counted then.
        if (replaced)
            ++m_replacements;
        sink.Put(dst + d, cp);
        d += size;
        s += taken;
    }
    srcUsed = s;
    dstUsed = d;
    return result;
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::WriteUTF8(const char16_t* src, unsigned srcLen, unsigned& srcUsed,
                                                            unsigned char* dst, unsigned dstLen, unsigned& dstUsed)
{
    return Encode(src, srcLen, srcUsed, dst, dstLen, dstUsed, Utf8Sink{}, false);
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::WriteUTF16(const char16_t* src, unsigned srcLen, unsigned& srcUsed,
                                                             unsigned char* dst, unsigned dstLen, unsigned& dstUsed,
                                                             tagUTF16ENDIANTYPE endian)
{
    return Encode(src, srcLen, srcUsed, dst, dstLen, dstUsed, Utf16Sink{endian == UTF16_BE}, true);
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::WriteUTF32(const char16_t* src, unsigned srcLen, unsigned& srcUsed,
                                                             unsigned char* dst, unsigned dstLen, unsigned& dstUsed,
                                                             tagUTF32ENDIANTYPE endian)
{
    return Encode(src, srcLen, srcUsed, dst, dstLen, dstUsed, Utf32Sink{endian}, false);
}
