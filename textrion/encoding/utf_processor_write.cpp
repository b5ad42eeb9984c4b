// The encode side of CUTFProcessor: UTF-16 into UTF-8, UTF-16 or UTF-32 bytes, line endings converted.
#include "textrion/encoding/utf_processor.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "textrion/encoding/unicode_forms.h"
#include "textrion/encoding/utf8_blocks.h"
#include "textrion/encoding/utf_units.h"

using textrion::detail::EncodeUtf8Blocks;
using textrion::detail::IsHigh;
using textrion::detail::IsLow;
using textrion::detail::kLittleEndianHost;
using textrion::detail::kReplacement;
using textrion::detail::UseUtf8Blocks;

namespace {

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
inline uint64_t ZeroLane(uint64_t v)
{
    return (v - kLaneOnes) & ~v & kLaneHighBits;
}

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
        const bool useBlocks = UseUtf8Blocks();
        for (;;) {
            // Whole blocks first where the processor has the instructions; the
            // rest of this loop then takes one group of units before trying again.
            if (useBlocks) {
                const auto done = EncodeUtf8Blocks<kConvertBreaks>(p, end, q, qEnd);
                p = done.in;
                q = done.out;
            }
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
                if (p < group || useBlocks)
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
                const char16_t* const runEnd = useBlocks && end - p > 8 ? p + 8 : end;
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
    void Run(const char16_t* src, unsigned srcLen, unsigned& sIO, unsigned char* dst, unsigned dstLen, unsigned& dIO,
             bool convertBreaks, bool passSurrogates) const
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
    static void Run(const char16_t*, unsigned, unsigned&, unsigned char*, unsigned, unsigned&, bool, bool) { }
    void Put(unsigned char* p, char32_t cp) const
    {
        const unsigned char o1 = static_cast<unsigned char>(cp >> 24), o2 = static_cast<unsigned char>(cp >> 16),
                            o3 = static_cast<unsigned char>(cp >> 8), o4 = static_cast<unsigned char>(cp);
        switch (endian) {
        case CUTFProcessor::UTF32_LE:
            p[0] = o4;
            p[1] = o3;
            p[2] = o2;
            p[3] = o1;
            break;
        case CUTFProcessor::UTF32_BE:
            p[0] = o1;
            p[1] = o2;
            p[2] = o3;
            p[3] = o4;
            break;
        case CUTFProcessor::UTF32_2143:
            p[0] = o2;
            p[1] = o1;
            p[2] = o4;
            p[3] = o3;
            break;
        default:
            p[0] = o3;
            p[1] = o4;
            p[2] = o1;
            p[3] = o2;
            break;
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
    const bool convertBreaks = m_breaks.Rewrites();
    const unsigned splitPair = m_breaks.SkipSplitPair(src, srcLen);
    if (convertBreaks)
        s = splitPair;

    for (;;) {
        sink.Run(src, srcLen, s, dst, dstLen, d, convertBreaks, passSurrogates);
        if (s >= srcLen)
            break;
        // One unit the run left: a line break, a surrogate, or one that may not fit.
        char16_t u = src[s];
        if (convertBreaks && CLineBreakRewriter::IsBreak(u)) {
            const unsigned taken = CLineBreakRewriter::BreakLength(src, s, srcLen);
            const std::u16string_view units = m_breaks.Replacement();
            const unsigned unitBytes = sink.Size(u'\n');
            if (dstLen - d < units.size() * unitBytes) {
                result = UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            for (const char16_t unit : units) {
                sink.Put(dst + d, unit);
                d += unitBytes;
            }
            m_breaks.Handled(u, taken, s + taken == srcLen);
            s += taken;
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

CUTFProcessor::tagUTFPROCESSRESULT CUTFProcessor::WriteForm(const UnicodeForm& form, const char16_t* src,
                                                            unsigned srcLen, unsigned& srcUsed, unsigned char* dst,
                                                            unsigned dstLen, unsigned& dstUsed)
{
    if (form.unitSize == 1)
        return WriteUTF8(src, srcLen, srcUsed, dst, dstLen, dstUsed);
    if (form.unitSize == 2)
        return WriteUTF16(src, srcLen, srcUsed, dst, dstLen, dstUsed, Utf16EndianOf(form));
    return WriteUTF32(src, srcLen, srcUsed, dst, dstLen, dstUsed, Utf32EndianOf(form));
}
