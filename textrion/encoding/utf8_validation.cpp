#include "textrion/encoding/utf8_validation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codecs/cpu_kernels.h"
#include "textrion/encoding/utf8_validation_kernels.h"
#include "textrion/encoding/utf8_validation_sse2.h"

namespace {

using codecs::Kernel;
using textrion::detail::kUtf8ScanBlock;
using textrion::detail::VectorScan;

// Bytes of 7-bit text from p on, counted in whole blocks (of 16 with SSE2).
template <bool kSse2> size_t AsciiBlocks(const unsigned char* p, size_t n) noexcept
{
#if defined(__SSE2__)
    if constexpr (kSse2)
        return textrion::detail::AsciiBlocksSse2(p, n);
#endif
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        unsigned long long block;
        std::memcpy(&block, p + i, 8);
        if ((block & 0x8080808080808080ull) != 0)
            break;
    }
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

// Character by character from i, which starts a character; multiByte tells
// whether one of two to four bytes came before i.
template <bool kSse2> Utf8Validity Walk(const unsigned char* bytes, size_t n, size_t i, bool multiByte) noexcept
{
    Utf8Validity result;
    result.multiByte = multiByte;
    while (i < n) {
        const unsigned char b = bytes[i];
        if (b < 0x80) {
            // Blocks only from 7-bit text on: text in another script would
            // fail each block at once.
            const size_t ascii = AsciiBlocks<kSse2>(bytes + i, n - i);
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

using Scanner = VectorScan (*)(const unsigned char*, size_t) noexcept;

template <bool kSse2> Utf8Validity Check(Scanner scan, const unsigned char* bytes, size_t n) noexcept
{
    if (scan == nullptr || n < kUtf8ScanBlock)
        return Walk<kSse2>(bytes, n, 0, false);
    const VectorScan done = scan(bytes, n);
    // The character walk settles the stop's block and the tail: from the start
    // of the sequence the stop may cut, the first of the three bytes before
    // it that is no continuation (none: a four-byte character ends there).
    size_t from = done.stop - std::min<size_t>(done.stop, 3);
    while (from < done.stop && (bytes[from] & 0xC0) == 0x80)
        ++from;
    bool multiByte = done.earlier;
    for (size_t i = done.stop < kUtf8ScanBlock ? 0 : done.stop - kUtf8ScanBlock; i < from && !multiByte; ++i)
        multiByte = bytes[i] >= 0x80;
    return Walk<kSse2>(bytes, n, from, multiByte);
}

}  // namespace

Utf8Validity ValidateUtf8(const unsigned char* bytes, size_t n) noexcept
{
    switch (codecs::ActiveKernel()) {
#if defined(__x86_64__)
    case Kernel::Avx2:
        return Check<true>(textrion::detail::ScanUtf8Avx2, bytes, n);
    case Kernel::Ssse3:
        return Check<true>(textrion::detail::ScanUtf8Ssse3, bytes, n);
#endif
    case Kernel::Scalar:
        return Check<false>(nullptr, bytes, n);
    default:
        return Check<true>(nullptr, bytes, n);
    }
}
