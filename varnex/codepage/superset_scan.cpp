#include "varnex/codepage/superset_scan.h"

#include <string>

#include "codecs/codepage.h"

namespace {

bool IsGbLead(unsigned char b)
{
    return b >= 0x81 && b <= 0xFE;
}
bool IsDigit(unsigned char b)
{
    return b >= 0x30 && b <= 0x39;
}

// KOI8-U's є і ї ґ and their capitals; KOI8-R has box-drawing pieces there.
bool IsUkrainianKoi8U(unsigned char b)
{
    switch (b) {
    case 0xA4:
    case 0xA6:
    case 0xA7:
    case 0xAD:
    case 0xB4:
    case 0xB6:
    case 0xB7:
    case 0xBD:
        return true;
    default:
        return false;
    }
}

// KOI8's pseudo-graphics: what box-drawing tables are made of.
bool IsKoi8Graphic(unsigned char b)
{
    return b >= 0x80 && b <= 0xBF && b != 0xA3 && b != 0xB3 && !IsUkrainianKoi8U(b);
}

// A Johab Hangul code: 5 bits each for initial (1 fill, 2..20), medial
// (2 fill, 3..7, 10..15, 18..23, 26..29) and final (1 fill, 2..17, 19..29).
bool IsJohabHangul(unsigned code)
{
    const unsigned i = code >> 10 & 31, m = code >> 5 & 31, f = code & 31;
    const bool medial = (m >= 2 && m <= 7) || (m >= 10 && m <= 15) || (m >= 18 && m <= 23) || (m >= 26 && m <= 29);
    return i >= 1 && i <= 20 && medial && f >= 1 && f <= 29 && f != 18;
}

}  // namespace

void CSupersetScan::Feed(const char* data, size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const auto plain = [](unsigned char b) { return b != 0 && b < 0x80; };
    for (size_t i = 0; i < length;) {
        // With no sequence open and an ASCII byte before, a run of ASCII
        // bytes other than zero only moves the two-byte window.
        if (m_gbState == 0 && m_uhcLead == 0 && m_big5Lead == 0 && m_johabLead == 0 && m_prev < 0x80 &&
            plain(bytes[i])) {
            const size_t start = i;
            while (i < length && plain(bytes[i]))
                ++i;
            m_prevPrev = i - start >= 2 ? bytes[i - 2] : m_prev;
            m_prev = bytes[i - 1];
            continue;
        }
        FeedByte(bytes[i++]);
    }
}

void CSupersetScan::FeedLetters(const char* data, size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const unsigned char prev0 = m_prev;
    const unsigned char prevPrev0 = m_prevPrev;
    // Most bytes are no C1 byte, no zero and follow no Ukrainian letter: they
    // only move the two-byte window, which is read back from the data.
    for (size_t i = 0; i < length; ++i) {
        const unsigned char b = bytes[i];
        const unsigned char prev = i >= 1 ? bytes[i - 1] : prev0;
        if (b == 0 || (b >= 0x80 && b <= 0x9F) || IsUkrainianKoi8U(prev)) {
            m_prev = prev;
            m_prevPrev = i >= 2 ? bytes[i - 2] : i == 1 ? prev0 : prevPrev0;
            FeedLetter(b);
        }
    }
    if (length > 0) {
        m_prevPrev = length >= 2 ? bytes[length - 2] : prev0;
        m_prev = bytes[length - 1];
    }
}

bool CSupersetScan::ReadsPairs(int codepage)
{
    return codepage == 936 || codepage == 54936 || codepage == 51949 || codepage == 950;
}

void CSupersetScan::FeedLetter(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F)
        m_c1Bytes |= 1u << (b - 0x80);
    m_zeros += b == 0;
    // A Ukrainian letter counts unless it touches pseudo-graphics: a table's
    // border is drawn from the same bytes in KOI8-R.
    if (IsUkrainianKoi8U(m_prev) && !IsKoi8Graphic(m_prevPrev) && !IsKoi8Graphic(b))
        ++m_ukrainian;
    m_prevPrev = m_prev;
    m_prev = b;
}

void CSupersetScan::FeedGb(unsigned char b)
{
    // GB18030 four-byte: 81..FE 30..39 81..FE 30..39; any other pair is GBK.
    switch (m_gbState) {
    case 0:
        m_gbState = IsGbLead(b) ? 1 : 0;
        break;
    case 1:
        m_gbState = IsDigit(b) ? 2 : 0;
        break;
    case 2:
        m_gbState = IsGbLead(b) ? 3 : 0;
        break;
    default:
        m_gbFourByte = m_gbFourByte || IsDigit(b);
        m_gbState = 0;
        break;
    }
}

void CSupersetScan::FeedUhc(unsigned char b)
{
    // UHC: leads 81..C6 also take trails 41..5A, 61..7A and 81..A0, and
    // leads 81..A0 trails A1..FE; EUC-KR uses A1..FE for both bytes only.
    if (m_uhcLead != 0) {
        const bool trail = (b >= 0x41 && b <= 0x5A) || (b >= 0x61 && b <= 0x7A) || (b >= 0x81 && b <= 0xFE);
        if (trail && m_uhcLead <= 0xC6 && (m_uhcLead < 0xA1 || b < 0xA1))
            m_uhc = true;
        m_uhcLead = 0;
    } else if (b >= 0x81 && b <= 0xFE) {
        m_uhcLead = b;
    }
}

void CSupersetScan::FeedBig5(unsigned char b)
{
    // Big5-HKSCS: leads 87..A0 and FA..FE, which Big5 leaves unassigned.
    if (m_big5Lead != 0) {
        const bool trail = (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
        const bool hkscs = (m_big5Lead >= 0x87 && m_big5Lead <= 0xA0) || m_big5Lead >= 0xFA;
        if (!trail) {
            ++m_big5Bad;
        } else {
            ++m_big5Pairs;
            m_hkscsPairs += hkscs;
            m_big5Common += m_big5Lead >= 0xA1 && m_big5Lead <= 0xC6;
        }
        m_hkscs = m_hkscs || (trail && hkscs);
        m_big5Lead = 0;
    } else if (b >= 0x81 && b <= 0xFE) {
        m_big5Lead = b;
    } else if (b >= 0x80) {
        ++m_big5Bad;
    }
}

void CSupersetScan::FeedPairsOf(int codepage, const char* data, size_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    switch (codepage) {
    case 936:
    case 54936:
        for (size_t i = 0; i < length; ++i)
            FeedGb(bytes[i]);
        break;
    case 51949:
        for (size_t i = 0; i < length; ++i)
            FeedUhc(bytes[i]);
        break;
    case 950:
        for (size_t i = 0; i < length; ++i)
            FeedBig5(bytes[i]);
        break;
    default:
        break;
    }
    FeedLetters(data, length);
}

void CSupersetScan::FeedByte(unsigned char b)
{
    FeedGb(b);
    FeedUhc(b);
    FeedBig5(b);

    if (m_johabLead != 0) {
        const bool hangul = m_johabLead <= 0xD3;
        if (hangul ? IsJohabHangul(m_johabLead << 8 | b) : (b >= 0x31 && b <= 0x7E) || (b >= 0x91 && b <= 0xFE)) {
            ++m_johabPairs;
            m_johabHangul += hangul;
            m_johabLowTrail += hangul && b < 0x80;
        } else {
            ++m_johabBad;
        }
        m_johabLead = 0;
    } else if ((b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xDE) || (b >= 0xE0 && b <= 0xF9)) {
        m_johabLead = b;
    } else if (b >= 0x80) {
        ++m_johabBad;
    }

    FeedLetter(b);
}

int CSupersetScan::Widen(int codepage, bool reportGB18030) const
{
    const bool c1 = m_c1Bytes != 0;
    switch (codepage) {
    case 936:
        return m_gbFourByte ? 54936 : 936;
    case 54936:
        return m_gbFourByte || reportGB18030 ? 54936 : 936;
    case 51949:
        return m_uhc ? 949 : 51949;
    case 950:
        return m_hkscs ? 1375 : 950;
    case 20866:
        return m_ukrainian > 0 ? 21866 : 20866;
    case 28599:
        return c1 ? 1254 : 28599;  // ISO-8859-9 → windows-1254
    case 28603:
        return c1 ? 1257 : 28603;  // ISO-8859-13 → windows-1257
    default:
        return codepage;
    }
}

int CSupersetScan::ByStructure(bool* strong) const
{
    constexpr unsigned kStrongPairs = 16;
    // Zero bytes are UTF-16 or binary data, whose pairs can pass by chance.
    if (m_zeros > 0)
        return -1;
    // Mostly Hangul, and trails below 80 that EUC-KR and UHC's syllables
    // rarely give all valid Johab.
    if (m_johabBad == 0 && m_johabHangul >= 4 && m_johabHangul * 10 >= m_johabPairs * 8 && m_johabLowTrail > 0) {
        if (strong)
            *strong = m_johabHangul >= kStrongPairs;
        return 1361;
    }
    // HKSCS characters are the few among Big5's common ones; GBK text read
    // as Big5 spreads over the rarer characters' leads C7..F9.
    if (m_big5Bad == 0 && m_big5Pairs >= 4 && m_hkscsPairs > 0 && m_hkscsPairs * 3 <= m_big5Pairs &&
        (m_big5Common + m_hkscsPairs) * 10 >= m_big5Pairs * 9) {
        if (strong)
            *strong = m_big5Pairs >= kStrongPairs;
        return 1375;
    }
    return -1;
}

bool CSupersetScan::DecodesToC1(int codepage) const
{
    if (codepage <= 0 || m_c1Bytes == 0)
        return false;
    for (unsigned n = 0; n < 32; ++n) {
        if ((m_c1Bytes & (1u << n)) == 0)
            continue;
        const char byte = static_cast<char>(0x80 + n);
        std::u16string unit;
        if (codecs::DecodeCodePage(static_cast<unsigned>(codepage), &byte, 1, unit) && unit.size() == 1 &&
            unit[0] >= 0x80 && unit[0] <= 0x9F)
            return true;
    }
    return false;
}
