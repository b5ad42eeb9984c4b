#include "codecs/seven_bit_codecs.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

namespace codecs::detail {

namespace {

constexpr unsigned char kEscape = 0x1B, kShiftOut = 0x0E, kShiftIn = 0x0F;
constexpr unsigned char kKrDesignation[4] = {kEscape, '$', ')', 'C'};

bool IsHighSurrogate(char16_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool Is94(int b)
{
    return b >= 0x21 && b <= 0x7E;
}

}  // namespace

class Set94 {
public:
    // The characters of a Windows double-byte table whose bytes both lie in
    // A1..FE, lead bytes up to lastLead (in 7-bit form).
    Set94(const char* converter, int lastLead)
    {
        UErrorCode err = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open(converter, &err);
        if (U_FAILURE(err))
            return;
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
        for (int lead = 0x21; lead <= lastLead; ++lead) {
            for (int trail = 0x21; trail <= 0x7E; ++trail) {
                const char bytes[2] = {static_cast<char>(lead | 0x80), static_cast<char>(trail | 0x80)};
                UChar unit[2];
                err = U_ZERO_ERROR;
                const int32_t len = ucnv_toUChars(cnv, unit, 2, bytes, 2, &err);
                if (U_FAILURE(err) || len != 1 || IsHighSurrogate(unit[0]))
                    continue;
                m_units[Index(lead, trail)] = unit[0];
                m_codes.emplace(unit[0], static_cast<uint16_t>(lead << 8 | trail));
            }
        }
        ucnv_close(cnv);
    }

    bool Empty() const { return m_codes.empty(); }
    // 0 where the set has no character.
    char16_t Unit(int lead, int trail) const { return Is94(lead) && Is94(trail) ? m_units[Index(lead, trail)] : 0; }
    // The 7-bit code (lead << 8 | trail), or -1.
    int Code(char32_t c) const
    {
        const auto it = m_codes.find(c);
        return it == m_codes.end() ? -1 : it->second;
    }

private:
    static size_t Index(int lead, int trail) { return static_cast<size_t>((lead - 0x21) * 94 + trail - 0x21); }

    std::array<char16_t, 94 * 94> m_units{};
    std::unordered_map<char32_t, uint16_t> m_codes;
};

namespace {

const Set94* SetFor(ShiftScheme scheme)
{
    if (scheme == ShiftScheme::Hz) {
        static const Set94 gb2312("windows-936", 0x7D);  // a "~" never leads a character
        return gb2312.Empty() ? nullptr : &gb2312;
    }
    static const Set94 ksx1001("windows-949", 0x7E);
    return ksx1001.Empty() ? nullptr : &ksx1001;
}

}  // namespace

bool HasKsX1001()
{
    return SetFor(ShiftScheme::Iso2022Kr) != nullptr;
}

char16_t KsX1001Unit(int lead, int trail)
{
    const Set94* set = SetFor(ShiftScheme::Iso2022Kr);
    return set ? set->Unit(lead, trail) : 0;
}

int KsX1001Code(char32_t c)
{
    const Set94* set = SetFor(ShiftScheme::Iso2022Kr);
    return set ? set->Code(c) : -1;
}

// ---------------------------------------------------------------------------

SevenBitDecoder::SevenBitDecoder(ShiftScheme scheme) : m_scheme(scheme), m_set(SetFor(scheme))
{
}

Progress SevenBitDecoder::Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end,
                                 DecodeTally& tally)
{
    size_t used = 0, out = 0;
    // The bad sequence started back bytes before the one at used.
    auto bad = [&](size_t back) {
        dst[out++] = kReplacement;
        tally.Replaced(static_cast<ptrdiff_t>(used) - static_cast<ptrdiff_t>(back));
    };
    // Each pass takes at most one byte and writes at most one unit. Where a
    // sequence turns out bad at a byte that can start something else, the
    // sequence becomes U+FFFD and that byte is read again.
    while (out < cap && used < n) {
        const unsigned char c = src[used];
        if (m_escape > 0) {
            const int seen = m_escape;
            m_escape = c == kKrDesignation[m_escape] ? m_escape + 1 : 0;
            if (m_escape == 0) {
                bad(static_cast<size_t>(seen));
                continue;
            }
            ++used;
            m_escape %= 4;  // the designation is complete; it only announces KS X 1001
            continue;
        }
        if (m_tilde) {
            m_tilde = false;
            if (c == '{' || c == '}') {
                m_double = c == '{';
                ++used;
            } else if (c == '\n') {
                ++used;  // line continuation
            } else if (c == '~') {
                dst[out++] = '~';
                ++used;
            } else {
                bad(1);
            }
            continue;
        }
        if (m_lead >= 0) {
            const int lead = m_lead;
            m_lead = -1;
            if (!Is94(c)) {
                bad(1);
                continue;
            }
            ++used;
            if (const char16_t u = m_set->Unit(lead, c))
                dst[out++] = u;
            else
                bad(2);
            continue;
        }
        ++used;
        if (m_scheme == ShiftScheme::Hz && c == '~') {
            m_tilde = true;
        } else if (m_scheme == ShiftScheme::Iso2022Kr && c == kEscape) {
            m_escape = 1;
        } else if (m_scheme == ShiftScheme::Iso2022Kr && (c == kShiftOut || c == kShiftIn)) {
            m_double = c == kShiftOut;
        } else if (c >= 0x80) {
            bad(1);  // both are 7-bit codes
        } else if (m_double && Is94(c)) {
            m_lead = c;
        } else {
            dst[out++] = c;  // ASCII; controls and spaces also inside a double-byte run
        }
    }
    if (end && used == n) {
        if (const size_t pending = PendingBytes(); pending > 0) {
            if (out == cap)
                return {used, out};  // its U+FFFD comes with the next call
            bad(pending);
        }
        Reset();  // the stream is over: back to ASCII
    }
    return {used, out};
}

size_t SevenBitDecoder::PendingBytes() const
{
    return static_cast<size_t>(m_escape) + (m_tilde ? 1 : 0) + (m_lead >= 0 ? 1 : 0);
}

void SevenBitDecoder::Reset()
{
    m_double = false;
    m_lead = -1;
    m_tilde = false;
    m_escape = 0;
}

// ---------------------------------------------------------------------------

SevenBitEncoder::SevenBitEncoder(ShiftScheme scheme) : m_scheme(scheme), m_set(SetFor(scheme))
{
}

void SevenBitEncoder::EnterDouble()
{
    if (m_double)
        return;
    if (m_scheme == ShiftScheme::Hz) {
        Push('~');
        Push('{');
    } else {
        Push(kShiftOut);
    }
    m_double = true;
}

void SevenBitEncoder::LeaveDouble()
{
    if (!m_double)
        return;
    if (m_scheme == ShiftScheme::Hz) {
        Push('~');
        Push('}');
    } else {
        Push(kShiftIn);
    }
    m_double = false;
}

void SevenBitEncoder::Drain(unsigned char* dst, size_t cap, size_t& out)
{
    const size_t k = std::min(m_pendingCount, cap - out);
    std::memcpy(dst + out, m_pending, k);
    std::memmove(m_pending, m_pending + k, m_pendingCount - k);
    m_pendingCount -= k;
    out += k;
}

Progress SevenBitEncoder::Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end,
                                 uint64_t& replaced)
{
    size_t used = 0, out = 0;
    Drain(dst, cap, out);
    char32_t c = 0;
    while (m_pendingCount == 0 && out < cap && TakeCharacter(src, n, used, end, m_heldHigh, c)) {
        if (m_scheme == ShiftScheme::Iso2022Kr && !m_started) {
            for (unsigned char b : kKrDesignation)
                Push(b);
            m_started = true;
        }
        const int code = c < 0x80 ? -1 : m_set->Code(c);
        if (code >= 0) {
            EnterDouble();
            Push(static_cast<unsigned char>(code >> 8));
            Push(static_cast<unsigned char>(code));
        } else {
            // Every line and every default character stands in ASCII.
            LeaveDouble();
            if (c >= 0x80) {
                ++replaced;
                Push('?');
            } else if (c == '~' && m_scheme == ShiftScheme::Hz) {
                Push('~');
                Push('~');
            } else {
                Push(static_cast<unsigned char>(c));
            }
        }
        Drain(dst, cap, out);
    }
    if (end && used == n && m_heldHigh == 0 && m_pendingCount == 0) {
        LeaveDouble();
        Drain(dst, cap, out);
        m_started = false;  // the stream is over; another opens with its own header
    }
    return {used, out};
}

void SevenBitEncoder::Reset()
{
    m_double = false;
    m_started = false;
    m_heldHigh = 0;
    m_pendingCount = 0;
}

}  // namespace codecs::detail
