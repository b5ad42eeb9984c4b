#include "textrion/encoding/utf8_validation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
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

// Character by character from i, which starts a character; multiByte tells
// whether one of two to four bytes came before i.
Utf8Validity Walk(const unsigned char* bytes, size_t n, size_t i, bool multiByte) noexcept
{
    Utf8Validity result;
    result.multiByte = multiByte;
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

// The vector check looks at 64 bytes at a time.
constexpr size_t kBlock = 64;

// Where the vector check stopped: at the end of its whole blocks, or at the
// block where it saw a fault. The bytes before stop are well-formed but for a
// sequence that stop may cut. earlier: a byte from 80 up lies before the
// block ahead of stop (that block itself is not told).
struct VectorScan {
    size_t stop;
    bool earlier;
};

using Scanner = VectorScan (*)(const unsigned char*, size_t) noexcept;

#if defined(__x86_64__)

// The check of Keiser and Lemire: each byte is judged with the one before it
// by three 16-entry tables, indexed by the earlier byte's high and low nibble
// and by its own high nibble. Each bit names one kind of fault; a pair is
// faulty when all three tables give it the same bit.
enum : uint8_t {
    kNoTrail = 1 << 0,     // a lead, then no continuation
    kStrayTrail = 1 << 1,  // a 7-bit byte, then a continuation
    kOverlong3 = 1 << 2,   // E0 80..9F
    kAbove10FFFF = 1 << 3, // F4..FF 90..BF
    kSurrogate = 1 << 4,   // ED A0..BF
    kOverlong2 = 1 << 5,   // C0 or C1, then a continuation
    kFourOff = 1 << 6,     // F0 80..8F (overlong), F5..FF 80..8F (too large)
    kTwoTrails = 1 << 7,   // continuation after continuation: right only when a lead wants it
};

constexpr uint16_t Nibbles(unsigned from, unsigned to)
{
    uint16_t set = 0;
    for (unsigned v = from; v <= to; ++v)
        set = static_cast<uint16_t>(set | 1u << v);
    return set;
}

struct PairRule {
    uint8_t bit;
    uint16_t firstHigh, firstLow, secondHigh;  // sets of nibble values
};

constexpr PairRule kPairRules[] = {
    {kNoTrail, Nibbles(0xC, 0xF), Nibbles(0, 0xF), Nibbles(0, 7) | Nibbles(0xC, 0xF)},
    {kStrayTrail, Nibbles(0, 7), Nibbles(0, 0xF), Nibbles(8, 0xB)},
    {kOverlong3, Nibbles(0xE, 0xE), Nibbles(0, 0), Nibbles(8, 9)},
    {kAbove10FFFF, Nibbles(0xF, 0xF), Nibbles(4, 0xF), Nibbles(9, 0xB)},
    {kSurrogate, Nibbles(0xE, 0xE), Nibbles(0xD, 0xD), Nibbles(0xA, 0xB)},
    {kOverlong2, Nibbles(0xC, 0xC), Nibbles(0, 1), Nibbles(8, 0xB)},
    {kFourOff, Nibbles(0xF, 0xF), Nibbles(0, 0) | Nibbles(5, 0xF), Nibbles(8, 8)},
    {kTwoTrails, Nibbles(8, 0xB), Nibbles(0, 0xF), Nibbles(8, 0xB)},
};

struct PairTables {
    alignas(16) uint8_t firstHigh[16];
    alignas(16) uint8_t firstLow[16];
    alignas(16) uint8_t secondHigh[16];
    // Subtracted with saturation from a register's last bytes, leaves
    // something where a lead's sequence runs past them.
    alignas(32) uint8_t cutLimit[32];
};

constexpr PairTables MakePairTables()
{
    PairTables t{};
    for (const PairRule& rule : kPairRules) {
        for (unsigned v = 0; v < 16; ++v) {
            if ((rule.firstHigh >> v) & 1)
                t.firstHigh[v] |= rule.bit;
            if ((rule.firstLow >> v) & 1)
                t.firstLow[v] |= rule.bit;
            if ((rule.secondHigh >> v) & 1)
                t.secondHigh[v] |= rule.bit;
        }
    }
    for (unsigned i = 0; i < 29; ++i)
        t.cutLimit[i] = 0xFF;
    t.cutLimit[29] = 0xF0 - 1;
    t.cutLimit[30] = 0xE0 - 1;
    t.cutLimit[31] = 0xC0 - 1;
    return t;
}

constexpr PairTables kPairTables = MakePairTables();

struct SseTables {
    __m128i firstHigh, firstLow, secondHigh;
};

// The faults of the 16 bytes of cur, prev being the 16 before them. Bit 7 of
// a byte's pair bits is set for a continuation after a continuation; it must
// be exactly where a lead two or three bytes back asks for one.
[[gnu::target("ssse3")]] inline __m128i Faults16(__m128i cur, __m128i prev, const SseTables& t)
{
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i before1 = _mm_alignr_epi8(cur, prev, 15);
    const __m128i pair = _mm_and_si128(
        _mm_and_si128(_mm_shuffle_epi8(t.firstHigh, _mm_and_si128(_mm_srli_epi16(before1, 4), nibble)),
                      _mm_shuffle_epi8(t.firstLow, _mm_and_si128(before1, nibble))),
        _mm_shuffle_epi8(t.secondHigh, _mm_and_si128(_mm_srli_epi16(cur, 4), nibble)));
    // E0..FF two back or F0..FF three back reach 80 and up less 60 or 70.
    const __m128i third = _mm_subs_epu8(_mm_alignr_epi8(cur, prev, 14), _mm_set1_epi8(0x60));
    const __m128i fourth = _mm_subs_epu8(_mm_alignr_epi8(cur, prev, 13), _mm_set1_epi8(0x70));
    const __m128i wanted = _mm_and_si128(_mm_or_si128(third, fourth), _mm_set1_epi8(-128));
    return _mm_xor_si128(pair, wanted);
}

[[gnu::target("ssse3")]] VectorScan ScanSsse3(const unsigned char* p, size_t n) noexcept
{
    const auto table = [](const uint8_t* t) { return _mm_load_si128(reinterpret_cast<const __m128i*>(t)); };
    const SseTables t = {table(kPairTables.firstHigh), table(kPairTables.firstLow), table(kPairTables.secondHigh)};
    const __m128i cutLimit = table(kPairTables.cutLimit + 16);
    const __m128i zero = _mm_setzero_si128();
    __m128i prev = zero;
    __m128i cut = zero;  // the last block ends inside a sequence
    bool earlier = false, last = false;
    size_t at = 0;
    for (; n - at >= kBlock; at += kBlock) {
        const auto* q = reinterpret_cast<const __m128i*>(p + at);
        const __m128i a = _mm_loadu_si128(q), b = _mm_loadu_si128(q + 1);
        const __m128i c = _mm_loadu_si128(q + 2), d = _mm_loadu_si128(q + 3);
        __m128i fault = cut;
        const bool high = _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0;
        if (high) {
            fault = _mm_or_si128(_mm_or_si128(Faults16(a, prev, t), Faults16(b, a, t)),
                                 _mm_or_si128(Faults16(c, b, t), Faults16(d, c, t)));
            cut = _mm_subs_epu8(d, cutLimit);
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(fault, zero)) != 0xFFFF)
            break;
        prev = d;
        earlier = earlier || last;
        last = high;
    }
    return {at, earlier};
}

struct AvxTables {
    __m256i firstHigh, firstLow, secondHigh;
};

// Faults16 for 32 bytes; the bytes before cur's second half are in its first.
[[gnu::target("avx2")]] inline __m256i Faults32(__m256i cur, __m256i prev, const AvxTables& t)
{
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i behind = _mm256_permute2x128_si256(prev, cur, 0x21);
    const __m256i before1 = _mm256_alignr_epi8(cur, behind, 15);
    const __m256i pair = _mm256_and_si256(
        _mm256_and_si256(_mm256_shuffle_epi8(t.firstHigh, _mm256_and_si256(_mm256_srli_epi16(before1, 4), nibble)),
                         _mm256_shuffle_epi8(t.firstLow, _mm256_and_si256(before1, nibble))),
        _mm256_shuffle_epi8(t.secondHigh, _mm256_and_si256(_mm256_srli_epi16(cur, 4), nibble)));
    const __m256i third = _mm256_subs_epu8(_mm256_alignr_epi8(cur, behind, 14), _mm256_set1_epi8(0x60));
    const __m256i fourth = _mm256_subs_epu8(_mm256_alignr_epi8(cur, behind, 13), _mm256_set1_epi8(0x70));
    const __m256i wanted = _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(-128));
    return _mm256_xor_si256(pair, wanted);
}

[[gnu::target("avx2")]] inline __m256i Broadcast(const uint8_t* table)
{
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table)));
}

[[gnu::target("avx2")]] VectorScan ScanAvx2(const unsigned char* p, size_t n) noexcept
{
    const AvxTables t = {Broadcast(kPairTables.firstHigh), Broadcast(kPairTables.firstLow),
                         Broadcast(kPairTables.secondHigh)};
    const __m256i cutLimit = _mm256_load_si256(reinterpret_cast<const __m256i*>(kPairTables.cutLimit));
    __m256i prev = _mm256_setzero_si256();
    __m256i cut = prev;
    bool earlier = false, last = false;
    size_t at = 0;
    for (; n - at >= kBlock; at += kBlock) {
        const auto* q = reinterpret_cast<const __m256i*>(p + at);
        const __m256i a = _mm256_loadu_si256(q), b = _mm256_loadu_si256(q + 1);
        __m256i fault = cut;
        const bool high = _mm256_movemask_epi8(_mm256_or_si256(a, b)) != 0;
        if (high) {
            fault = _mm256_or_si256(Faults32(a, prev, t), Faults32(b, a, t));
            cut = _mm256_subs_epu8(b, cutLimit);
        }
        if (!_mm256_testz_si256(fault, fault))
            break;
        prev = b;
        earlier = earlier || last;
        last = high;
    }
    return {at, earlier};
}

bool Supports(Utf8Check way) noexcept
{
    __builtin_cpu_init();
    switch (way) {
    case Utf8Check::kSsse3:
        return __builtin_cpu_supports("ssse3");
    case Utf8Check::kAvx2:
        return __builtin_cpu_supports("avx2");
    default:
        return true;
    }
}

Scanner ScannerFor(Utf8Check way) noexcept
{
    if (way == Utf8Check::kBest)
        way = Supports(Utf8Check::kAvx2) ? Utf8Check::kAvx2 : Utf8Check::kSsse3;
    if (!Supports(way))
        return nullptr;
    switch (way) {
    case Utf8Check::kSsse3:
        return ScanSsse3;
    case Utf8Check::kAvx2:
        return ScanAvx2;
    default:
        return nullptr;
    }
}

#else

bool Supports(Utf8Check way) noexcept
{
    return way == Utf8Check::kBest || way == Utf8Check::kScalar;
}

Scanner ScannerFor(Utf8Check) noexcept
{
    return nullptr;
}

#endif

Utf8Validity Check(Scanner scan, const unsigned char* bytes, size_t n) noexcept
{
    if (scan == nullptr || n < kBlock)
        return Walk(bytes, n, 0, false);
    const VectorScan done = scan(bytes, n);
    // The character walk settles the stop's block and the tail: from the start
    // of the sequence the stop may cut, the first of the three bytes before
    // it that is no continuation (none: a four-byte character ends there).
    size_t from = done.stop - std::min<size_t>(done.stop, 3);
    while (from < done.stop && (bytes[from] & 0xC0) == 0x80)
        ++from;
    bool multiByte = done.earlier;
    for (size_t i = done.stop < kBlock ? 0 : done.stop - kBlock; i < from && !multiByte; ++i)
        multiByte = bytes[i] >= 0x80;
    return Walk(bytes, n, from, multiByte);
}

}  // namespace

Utf8Validity ValidateUtf8(const unsigned char* bytes, size_t n) noexcept
{
    static const Scanner scan = ScannerFor(Utf8Check::kBest);
    return Check(scan, bytes, n);
}

bool CanCheckUtf8With(Utf8Check way) noexcept
{
    return Supports(way);
}

Utf8Validity ValidateUtf8With(Utf8Check way, const unsigned char* bytes, size_t n) noexcept
{
    return Check(ScannerFor(way), bytes, n);
}
