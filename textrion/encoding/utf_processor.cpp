// The decode side of CUTFProcessor: UTF-8, UTF-16 and UTF-32 bytes into UTF-16 (utf_processor_write.cpp encodes).
#include "textrion/encoding/utf_processor.h"

#include <cstring>

#include "textrion/encoding/unicode_forms.h"
#include "textrion/encoding/utf8_blocks.h"
#include "textrion/encoding/utf_units.h"

using textrion::detail::DecodeUtf8Blocks;
using textrion::detail::IsHigh;
using textrion::detail::IsLow;
using textrion::detail::kLittleEndianHost;
using textrion::detail::kReplacement;
using textrion::detail::UseUtf8Blocks;

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ULL;
constexpr uint64_t kOnes = 0x0101010101010101ULL;

// True when all 8 bytes are 01..7F: plain ASCII without NUL.
inline bool AllAsciiNonZero(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return ((v | ((v - kOnes) & ~v)) & kHighBits) == 0;
}

inline bool IsTrail(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

}  // namespace

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
    case 0xE0:
        if (second < 0xA0 || second > 0xBF)
            return false;
        break;
    case 0xED:
        if (second < 0x80 || second > 0x9F)
            return false;
        break;
    case 0xF0:
        if (second < 0x90 || second > 0xBF)
            return false;
        break;
    case 0xF4:
        if (second < 0x80 || second > 0x8F)
            return false;
        break;
    default:
        if (second < 0x80 || second > 0xBF)
            return false;
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

namespace {

// One whole well-formed sequence with room for its units: decoded, both
// pointers moved on. Anything else leaves them for the careful path.
[[gnu::always_inline]] inline bool DecodeWellFormed(const unsigned char*& p, const unsigned char* end, char16_t*& q,
                                                    char16_t* qEnd)
{
    const unsigned lead = *p;
    if (lead < 0x80) {
        if (lead == 0 || q >= qEnd)
            return false;
        *q++ = static_cast<char16_t>(lead);
        ++p;
        return true;
    }
    if (lead < 0xE0) {
        if (lead < 0xC2 || end - p < 2 || q >= qEnd || !IsTrail(p[1]))
            return false;
        *q++ = static_cast<char16_t>(((lead & 0x1Fu) << 6) | (p[1] & 0x3Fu));
        p += 2;
        return true;
    }
    if (lead < 0xF0) {
        if (end - p < 3 || q >= qEnd)
            return false;
        const unsigned b1 = p[1];
        // E0 needs A0..BF (no overlong form), ED 80..9F (no surrogate).
        const unsigned lo = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned hi = lead == 0xED ? 0x9F : 0xBF;
        if (b1 < lo || b1 > hi || !IsTrail(p[2]))
            return false;
        *q++ = static_cast<char16_t>(((lead & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (p[2] & 0x3Fu));
        p += 3;
        return true;
    }
    if (lead > 0xF4 || end - p < 4 || qEnd - q < 2)
        return false;
    const unsigned b1 = p[1];
    // F0 needs 90..BF (no overlong form), F4 80..8F (nothing past U+10FFFF).
    const unsigned lo = lead == 0xF0 ? 0x90 : 0x80;
    const unsigned hi = lead == 0xF4 ? 0x8F : 0xBF;
    if (b1 < lo || b1 > hi || !IsTrail(p[2]) || !IsTrail(p[3]))
        return false;
    const char32_t cp =
        (((lead & 0x07u) << 18) | ((b1 & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu)) - 0x10000;
    q[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
    q[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    q += 2;
    p += 4;
    return true;
}

}  // namespace

CUTFProcessor::CarefulStep CUTFProcessor::DecodeCarefully(const unsigned char*& p, const unsigned char* end,
                                                          char16_t*& q, char16_t* qEnd, bool endOfInput)
{
    const unsigned lead = *p;
    const auto left = static_cast<unsigned>(end - p);
    const unsigned trailing = TrailingBytes(static_cast<unsigned char>(lead));
    bool bad = false;
    if (trailing >= left) {
        // The claimed sequence runs past the input. At the real end, decide
        // on what is there: a lead byte without its trail is bad.
        if (!endOfInput)
            return CarefulStep::kSourceExhausted;
        bad = true;
    } else if (!IsLegalUTF8(p, trailing + 1)) {
        bad = true;
    }
    if (q >= qEnd)
        return CarefulStep::kTargetExhausted;
    if (bad) {
        *q++ = kReplacement;  // decoding goes on at the next byte
        ++p;
        return CarefulStep::kReplaced;
    }
    char32_t cp = 0;
    switch (trailing) {
    case 3:
        cp = ((lead & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        break;
    case 2:
        cp = ((lead & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
        break;
    case 1:
        cp = ((lead & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        break;
    default:
        cp = lead;
        break;
    }
    CarefulStep step = CarefulStep::kDecoded;
    if (cp > 0xFFFF) {
        if (qEnd - q < 2)
            return CarefulStep::kTargetExhausted;
        cp -= 0x10000;
        *q++ = static_cast<char16_t>(0xD800 + (cp >> 10));
        *q++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else if (cp == 0) {
        *q++ = kReplacement;  // a NUL byte is not text
        step = CarefulStep::kReplaced;
    } else {
        *q++ = static_cast<char16_t>(cp);
    }
    p += trailing + 1;
    return step;
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::ReadUTF8(const unsigned char* src, unsigned srcLen, unsigned& srcUsed,
                                                           char16_t* dst, unsigned dstLen, unsigned& dstUsed,
                                                           bool endOfInput)
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
    // character the loop below takes.
    const bool useBlocks = UseUtf8Blocks();
    const unsigned tryEvery = useBlocks ? 1 : 8;
    auto blocks = [&] {
        if (useBlocks) {
            const auto done = DecodeUtf8Blocks(p, end, q, qEnd);
            p = done.in;
            q = done.out;
        } else {
            asciiBlocks();
        }
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
        if (DecodeWellFormed(p, end, q, qEnd))
            continue;
        const unsigned char* const at = p;
        const CarefulStep step = DecodeCarefully(p, end, q, qEnd, endOfInput);
        if (step == CarefulStep::kReplaced) {
            CountReplacement(static_cast<unsigned>(at - src));
        } else if (step == CarefulStep::kSourceExhausted) {
            result = UTFPROCESS_SOURCE_EXHAUSTED;
            break;
        } else if (step == CarefulStep::kTargetExhausted) {
            result = UTFPROCESS_TARGET_EXHAUSTED;
            break;
        }
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
    CountReplacement(srcUsed);
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
        case UTF32_LE:
            v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<char32_t>(b[3]) << 24);
            break;
        case UTF32_BE:
            v = (static_cast<char32_t>(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
            break;
        case UTF32_2143:
            v = (static_cast<char32_t>(b[1]) << 24) | (b[0] << 16) | (b[3] << 8) | b[2];
            break;
        default:
            v = (static_cast<char32_t>(b[2]) << 24) | (b[3] << 16) | (b[0] << 8) | b[1];
            break;
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
            CountReplacement(s);
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
            CountReplacement(s);
            s = srcLen;
        }
    }
    srcUsed = s;
    dstUsed = d;
    return result;
}

CUTFProcessor::tagUTF16ENDIANTYPE CUTFProcessor::Utf16EndianOf(const UnicodeForm& form)
{
    return form.byteOrder == ByteOrder::BigEndian ? UTF16_BE : UTF16_LE;
}

CUTFProcessor::tagUTF32ENDIANTYPE CUTFProcessor::Utf32EndianOf(const UnicodeForm& form)
{
    switch (form.byteOrder) {
    case ByteOrder::BigEndian:
        return UTF32_BE;
    case ByteOrder::Order2143:
        return UTF32_2143;
    case ByteOrder::Order3412:
        return UTF32_3412;
    default:
        return UTF32_LE;
    }
}

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::ReadForm(const UnicodeForm& form, const unsigned char* src,
                                                           unsigned srcLen, unsigned& srcUsed, char16_t* dst,
                                                           unsigned dstLen, unsigned& dstUsed, bool endOfInput)
{
    if (form.unitSize == 1)
        return ReadUTF8(src, srcLen, srcUsed, dst, dstLen, dstUsed, endOfInput);
    if (form.unitSize == 2)
        return ReadUTF16(src, srcLen, srcUsed, dst, dstLen, Utf16EndianOf(form), dstUsed, endOfInput);
    return ReadUTF32(src, srcLen, srcUsed, dst, dstLen, Utf32EndianOf(form), dstUsed, endOfInput);
}
