#include "textrion/encoding/utf_processor.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

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
    asciiBlocks();
    unsigned untilTry = 8;
    while (p < end) {
        if (--untilTry == 0) {
            untilTry = 8;
            asciiBlocks();
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
                if (p < group)
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
                // Three bytes each, for as long as they come (CJK text).
                uint32_t v = u;
                do {
                    q[0] = static_cast<unsigned char>(0xE0 | (v >> 12));
                    q[1] = static_cast<unsigned char>(0x80 | ((v >> 6) & 0x3F));
                    q[2] = static_cast<unsigned char>(0x80 | (v & 0x3F));
                    q += 3;
                    ++p;
                } while (p < end && qEnd - q >= 3 && (v = *p) >= 0x800 && v - 0xD800u >= 0x800u);
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
        if (!passSurrogates && (IsHigh(u) || IsLow(u))) {
            if (IsHigh(u) && s + 1 < srcLen && IsLow(src[s + 1])) {
                cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (src[s + 1] - 0xDC00);
                taken = 2;
            } else if (IsHigh(u) && s + 1 == srcLen) {
                result = UTFPROCESS_SOURCE_EXHAUSTED;  // its low half may come with the next call
                break;
            } else {
                cp = kReplacement;  // never write an ill-formed sequence
                replaced = true;
            }
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
