#include "textrion/encoding/utf_processor.h"

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

inline bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

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
    unsigned s = 0, d = 0;
    tagUTFPROCESSRESULT result = UTFPROCESS_OK;
    while (s < srcLen) {
        // Runs of ASCII go eight bytes at a time.
        while (s + 8 <= srcLen && d + 8 <= dstLen && AllAsciiNonZero(src + s)) {
            for (int k = 0; k < 8; ++k)
                dst[d + k] = src[s + k];
            s += 8;
            d += 8;
        }
        if (s >= srcLen)
            break;
        const unsigned char lead = src[s];
        if (lead < 0x80 && lead != 0) {
            if (d >= dstLen) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            dst[d++] = lead;
            ++s;
            continue;
        }
        const unsigned trailing = TrailingBytes(lead);
        bool bad = false;
        if (s + trailing >= srcLen) {
            // The claimed sequence runs past the input. At the real end, decide
            // on what is there: a lead byte without its trail is bad.
            if (!endOfInput) {
                result = UTFPROCESS_SOURCE_EXHAUSTED;
                break;
            }
            bad = true;
        } else if (!IsLegalUTF8(src + s, trailing + 1)) {
            bad = true;
        }
        if (bad) {
            if (d >= dstLen) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            dst[d++] = kReplacement;
            ++m_replacements;
            ++s;
            continue;
        }
        char32_t cp = 0;
        switch (trailing) {
        case 3: cp = ((lead & 0x07u) << 18) | ((src[s + 1] & 0x3Fu) << 12) | ((src[s + 2] & 0x3Fu) << 6) | (src[s + 3] & 0x3Fu); break;
        case 2: cp = ((lead & 0x0Fu) << 12) | ((src[s + 1] & 0x3Fu) << 6) | (src[s + 2] & 0x3Fu); break;
        case 1: cp = ((lead & 0x1Fu) << 6) | (src[s + 1] & 0x3Fu); break;
        default: cp = lead; break;  // only NUL reaches here
        }
        if (d >= dstLen) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
            break;
        }
        if (cp > 0xFFFF) {
            if (dstLen - d < 2) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            cp -= 0x10000;
            dst[d++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            dst[d++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else if (cp == 0) {
            dst[d++] = kReplacement;  // a NUL byte is not text
            ++m_replacements;
        } else {
            dst[d++] = static_cast<char16_t>(cp);
        }
        s += trailing + 1;
    }
    srcUsed = s;
    dstUsed = d;
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
    for (unsigned i = 0; i < n; ++i)
        dst[i] = unitAt(i);
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

struct Utf8Sink {
    static constexpr unsigned kMaxBytes = 4;
    static unsigned Size(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }
    static unsigned UnitSize() { return 1; }
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
};

struct Utf16Sink {
    bool bigEndian;
    static unsigned Size(char32_t cp) { return cp > 0xFFFF ? 4 : 2; }
    static unsigned UnitSize() { return 2; }
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
};

struct Utf32Sink {
    CUTFProcessor::tagUTF32ENDIANTYPE endian;
    static unsigned Size(char32_t) { return 4; }
    static unsigned UnitSize() { return 4; }
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

    while (s < srcLen) {
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
        if (!passSurrogates && (IsHigh(u) || IsLow(u))) {
            if (IsHigh(u) && s + 1 < srcLen && IsLow(src[s + 1])) {
                cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (src[s + 1] - 0xDC00);
                taken = 2;
            } else if (IsHigh(u) && s + 1 == srcLen) {
                result = UTFPROCESS_SOURCE_EXHAUSTED;  // its low half may come with the next call
                break;
            } else {
                cp = kReplacement;  // never write an ill-formed sequence
                ++m_replacements;
            }
        }
        const unsigned size = sink.Size(cp);
        if (dstLen - d < size) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
            break;
        }
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
    // Plain ASCII without line breaks to convert goes straight through.
    unsigned s = 0;
    if (srcLen > 0 && !m_pendingCR) {
        const bool convertBreaks = m_crLfType != UTFCRLF_KEEP;
        const unsigned n = srcLen < dstLen ? srcLen : dstLen;
        while (s < n) {
            const char16_t u = src[s];
            if (u >= 0x80 || (convertBreaks && (u == u'\r' || u == u'\n')))
                break;
            dst[s] = static_cast<unsigned char>(u);
            ++s;
        }
        if (s == srcLen) {
            srcUsed = dstUsed = s;
            return UTFPROCESS_OK;
        }
    }
    unsigned moreSrc = 0, moreDst = 0;
    const tagUTFPROCESSRESULT r =
        Encode(src + s, srcLen - s, moreSrc, dst + s, dstLen - s, moreDst, Utf8Sink{}, false);
    srcUsed = s + moreSrc;
    dstUsed = s + moreDst;
    return r;
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
