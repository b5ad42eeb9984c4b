#include "textrion/encoding/utf8_validation.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Bytes of 7-bit text from p on, counted in whole blocks of 16.
size_t AsciiBlocks(const unsigned char* p, size_t n) noexcept
{
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (_mm_movemask_epi8(block) != 0)
            break;
    }
#else
    for (; i + 8 <= n; i += 8) {
        unsigned long long block;
        std::memcpy(&block, p + i, 8);
        if ((block & 0x8080808080808080ull) != 0)
            break;
    }
#endif
    return i;
}

// The bounds of a sequence's second byte by its lead, which rule out overlong
// forms, surrogates and values past U+10FFFF; every later byte is 80..BF.
struct Lead {
    unsigned char length;  // 0: not a lead byte
    unsigned char low;
    unsigned char high;
};

struct LeadTable {
    Lead lead[256];
};

constexpr LeadTable MakeLeadTable()
{
    LeadTable t{};
    for (unsigned b = 0xC2; b <= 0xDF; ++b)
        t.lead[b] = {2, 0x80, 0xBF};
    for (unsigned b = 0xE0; b <= 0xEF; ++b)
        t.lead[b] = {3, static_cast<unsigned char>(b == 0xE0 ? 0xA0 : 0x80),
                     static_cast<unsigned char>(b == 0xED ? 0x9F : 0xBF)};
    for (unsigned b = 0xF0; b <= 0xF4; ++b)
        t.lead[b] = {4, static_cast<unsigned char>(b == 0xF0 ? 0x90 : 0x80),
                     static_cast<unsigned char>(b == 0xF4 ? 0x8F : 0xBF)};
    return t;
}

constexpr LeadTable kLeads = MakeLeadTable();

}  // namespace

Utf8Validity ValidateUtf8(const unsigned char* bytes, size_t n) noexcept
{
    Utf8Validity result;
    size_t i = 0;
    while (i < n) {
        const unsigned char b = bytes[i];
        if (b < 0x80) {
            // Blocks only from 7-bit text on: text in another script would
            // fail each block at once.
            const size_t ascii = AsciiBlocks(bytes + i, n - i);
            i += ascii == 0 ? 1 : ascii;
            continue;
        }
        const Lead lead = kLeads.lead[b];
        if (lead.length == 0) {
            result.status = Utf8Validity::kInvalid;
            result.position = i;
            return result;
        }
        for (unsigned k = 1; k < lead.length; ++k) {
            if (i + k >= n) {
                result.status = Utf8Validity::kTruncated;
                result.position = i;
                return result;
            }
            const unsigned char c = bytes[i + k];
            const bool fits = k == 1 ? (c >= lead.low && c <= lead.high) : (c & 0xC0) == 0x80;
            if (!fits) {
                result.status = Utf8Validity::kInvalid;
                result.position = i;
                return result;
            }
        }
        result.multiByte = true;
        i += lead.length;
    }
    result.position = n;
    return result;
}
