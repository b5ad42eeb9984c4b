#include "codecs/johab_codec.h"

#include "codecs/codepage_table.h"

namespace codecs::detail {

namespace {

constexpr char16_t kSyllableBase = 0xAC00;
constexpr char16_t kHangulFiller = 0x3164;
constexpr int kFill = 0;

// The 5-bit fields to jamo indexes (kFill for the fill code, -1 invalid).
int InitialIndex(int bits)
{
    return bits == 1 ? kFill : bits >= 2 && bits <= 20 ? bits - 1 : -1;
}

int MedialIndex(int bits)
{
    if (bits == 2)
        return kFill;
    if (bits >= 3 && bits <= 7)
        return bits - 2;
    if (bits >= 10 && bits <= 15)
        return bits - 4;
    if (bits >= 18 && bits <= 23)
        return bits - 6;
    if (bits >= 26 && bits <= 29)
        return bits - 8;
    return -1;
}

int FinalIndex(int bits)
{
    return bits == 1 ? kFill : bits >= 2 && bits <= 17 ? bits - 1 : bits >= 19 && bits <= 29 ? bits - 2 : -1;
}

int InitialBits(int index)
{
    return index + 1;
}
int MedialBits(int index)
{
    if (index == kFill)
        return 2;
    return index <= 5 ? index + 2 : index <= 11 ? index + 4 : index <= 17 ? index + 6 : index + 8;
}
int FinalBits(int index)
{
    return index == kFill ? 1 : index <= 16 ? index + 1 : index + 2;
}

// Compatibility jamo written as a lone initial, or as a lone final where the
// consonant cluster can only close a syllable.
constexpr char16_t kInitialJamo[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
                                       0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
constexpr char16_t kFinalOnlyJamo[28] = {0,      0,      0,      0x3133, 0,      0x3135, 0x3136, 0, 0,     0x313A,
                                         0x313B, 0x313C, 0x313D, 0x313E, 0x313F, 0x3140, 0,      0, 0x3144};

int Code(int initial, int medial, int final)
{
    return 0x8000 | InitialBits(initial) << 10 | MedialBits(medial) << 5 | FinalBits(final);
}

char16_t HangulUnit(int code)
{
    const int i = InitialIndex(code >> 10 & 31), m = MedialIndex(code >> 5 & 31), f = FinalIndex(code & 31);
    if (i < 0 || m < 0 || f < 0)
        return 0;
    if (i != kFill && m != kFill)
        return static_cast<char16_t>(kSyllableBase + ((i - 1) * 21 + (m - 1)) * 28 + f);
    if (i != kFill && m == kFill && f == kFill)
        return kInitialJamo[i - 1];
    if (i == kFill && m != kFill && f == kFill)
        return static_cast<char16_t>(0x314E + m);
    if (i == kFill && m == kFill)
        return f == kFill ? kHangulFiller : kFinalOnlyJamo[f];
    return 0;
}

// The first KS X 1001 row (7-bit) that a symbol or Hanja lead byte folds in.
int FirstRowOf(int lead)
{
    if (lead >= 0xD9 && lead <= 0xDE)
        return (lead - 0xD9) * 2 + 0x21;
    if (lead >= 0xE0 && lead <= 0xF9)
        return (lead - 0xE0) * 2 + 0x4A;
    return -1;
}

bool IsTrailOf(int lead, int b)
{
    if (lead <= 0xD3)
        return (b >= 0x41 && b <= 0x7E) || (b >= 0x81 && b <= 0xFE);
    return (b >= 0x31 && b <= 0x7E) || (b >= 0x91 && b <= 0xFE);
}

bool IsLead(int b)
{
    return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9);
}

}  // namespace

char16_t JohabUnitOf(int lead, int trail)
{
    if (lead >= 0x84 && lead <= 0xD3)
        return HangulUnit(lead << 8 | trail);
    const int row = FirstRowOf(lead);
    if (row < 0)
        return 0;  // D8: user-defined
    // The jamo cells of row 24 are written in the Hangul area instead.
    if (lead == 0xDA && trail >= 0xA1 && trail <= 0xD3)
        return 0;
    if (trail >= 0x31 && trail <= 0x7E)
        return KsX1001Unit(row, trail - 0x31 + 0x21);
    if (trail >= 0x91 && trail <= 0xA0)
        return KsX1001Unit(row, trail - 0x91 + 78 + 0x21);
    if (trail >= 0xA1 && trail <= 0xFE)
        return KsX1001Unit(row + 1, trail - 0xA1 + 0x21);
    return 0;
}

int JohabCodeOf(char32_t c)
{
    if (c < 0x80)
        return static_cast<int>(c);
    if (c >= kSyllableBase && c <= 0xD7A3) {
        const int s = static_cast<int>(c - kSyllableBase);
        return Code(s / 588 + 1, s % 588 / 28 + 1, s % 28);
    }
    if (c >= 0x314F && c <= 0x3163)
        return Code(kFill, static_cast<int>(c - 0x314E), kFill);
    if (c == kHangulFiller)
        return Code(kFill, kFill, kFill);
    for (int i = 0; i < 19; ++i)
        if (kInitialJamo[i] == c)
            return Code(i + 1, kFill, kFill);
    for (int f = 1; f < 28; ++f)
        if (kFinalOnlyJamo[f] == c)
            return Code(kFill, kFill, f);
    const int ks = c > 0xFFFF ? -1 : KsX1001Code(c);
    if (ks < 0)
        return -1;
    const int row = ks >> 8, col = (ks & 0xFF) - 0x21;
    const bool symbols = row >= 0x21 && row <= 0x2C;
    if (!symbols && !(row >= 0x4A && row <= 0x7D))
        return -1;  // Hangul rows are composed above
    const int first = symbols ? 0x21 : 0x4A;
    const int lead = (symbols ? 0xD9 : 0xE0) + (row - first) / 2;
    const int trail = (row - first) % 2 != 0 ? 0xA1 + col : col < 78 ? 0x31 + col : 0x91 + col - 78;
    return lead << 8 | trail;
}

Progress JohabDecoder::Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end,
                              DecodeTally& tally)
{
    size_t used = 0, out = 0;
    // A lead byte, held or not, is the byte before the one at used.
    const auto leadAt = [&used] { return static_cast<ptrdiff_t>(used) - 1; };
    while (used < n && out < cap) {
        const unsigned char b = src[used];
        if (m_lead < 0) {
            ++used;
            if (b < 0x80) {
                dst[out++] = b;
            } else if (IsLead(b)) {
                m_lead = b;
            } else {
                dst[out++] = kReplacement;
                tally.Replaced(leadAt());
            }
            continue;
        }
        const int lead = m_lead;
        m_lead = -1;
        const char16_t unit = JohabUnitOf(lead, b);
        if (unit != 0) {
            ++used;
            dst[out++] = unit;
        } else {
            // A pair without a character is one replacement; a byte that
            // cannot trail and is ASCII starts over as itself.
            tally.Replaced(leadAt());
            if (b >= 0x80 || IsTrailOf(lead, b))
                ++used;
            dst[out++] = kReplacement;
        }
    }
    if (end && used == n && m_lead >= 0 && out < cap) {
        m_lead = -1;
        dst[out++] = kReplacement;
        tally.Replaced(leadAt());
    }
    return {used, out};
}

Progress JohabEncoder::Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end,
                              uint64_t& replaced)
{
    size_t used = 0, out = 0;
    auto drain = [&] {
        while (m_pendingCount > 0 && out < cap) {
            dst[out++] = m_pending[0];
            m_pending[0] = m_pending[1];
            --m_pendingCount;
        }
    };
    drain();
    char32_t c = 0;
    while (m_pendingCount == 0 && out < cap && TakeCharacter(src, n, used, end, m_heldHigh, c)) {
        int code = JohabCodeOf(c);
        if (code < 0) {
            ++replaced;
            code = '?';
        }
        if (code >= 0x100)
            m_pending[m_pendingCount++] = static_cast<unsigned char>(code >> 8);
        m_pending[m_pendingCount++] = static_cast<unsigned char>(code);
        drain();
    }
    return {used, out};
}

}  // namespace codecs::detail
