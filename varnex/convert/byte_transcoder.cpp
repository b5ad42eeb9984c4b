#include "varnex/convert/byte_transcoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codecs/codepage.h"
#include "textrion/encoding/line_ending.h"
#include "textrion/encoding/two_byte_shuffles.h"
#include "textrion/encoding/utf8_validation.h"
#include "textrion/encoding/utf_processor.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"

namespace {

constexpr unsigned char kCr = 0x0D;
constexpr unsigned char kLf = 0x0A;

// The bytes of the text's output form: U+FFFD, a code unit's size (an ASCII
// character's), and a character up to U+FFFF (Put) or up to U+10FFFF
// (PutPair, a surrogate pair in UTF-16), each written at q; they return the
// end.
struct Utf8Form {
    static constexpr unsigned char kMark[3] = {0xEF, 0xBF, 0xBD};
    static constexpr size_t kUnitBytes = 1;
    static unsigned char* Put(unsigned char* q, uint32_t u)
    {
        if (u < 0x80) {
            q[0] = static_cast<unsigned char>(u);
            return q + 1;
        }
        if (u < 0x800) {
            q[0] = static_cast<unsigned char>(0xC0 | (u >> 6));
            q[1] = static_cast<unsigned char>(0x80 | (u & 0x3F));
            return q + 2;
        }
        q[0] = static_cast<unsigned char>(0xE0 | (u >> 12));
        q[1] = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
        q[2] = static_cast<unsigned char>(0x80 | (u & 0x3F));
        return q + 3;
    }
};

template <bool kBigEndian> struct Utf16Form {
    static constexpr unsigned char kMark[2] = {kBigEndian ? 0xFF : 0xFD, kBigEndian ? 0xFD : 0xFF};
    static constexpr size_t kUnitBytes = 2;
    static unsigned char* Put(unsigned char* q, uint32_t u)
    {
        q[kBigEndian ? 1 : 0] = static_cast<unsigned char>(u);
        q[kBigEndian ? 0 : 1] = static_cast<unsigned char>(u >> 8);
        return q + 2;
    }
    static unsigned char* PutPair(unsigned char* q, uint32_t cp)
    {
        if (cp < 0x10000)
            return Put(q, cp);
        cp -= 0x10000;
        Put(q, 0xD800 | (cp >> 10));
        return Put(q + 2, 0xDC00 | (cp & 0x3FF));
    }
};

// The code point of a well-formed UTF-8 sequence of n bytes.
inline uint32_t DecodeUtf8(const unsigned char* p, size_t n)
{
    switch (n) {
    case 1:
        return p[0];
    case 2:
        return (p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu);
    case 3:
        return (p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
    default:
        return (p[0] & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
    }
}

// The writer's write-behind block, filled in place. A character or a line
// break goes in whole: when it does not fit, the block is written out first,
// as the writer's encoders do, so the file gets the same blocks.
class BlockOut {
public:
    explicit BlockOut(CTextFileWriter& writer) : m_writer(writer) { Open(); }
    ~BlockOut() { Commit(); }
    BlockOut(const BlockOut&) = delete;
    BlockOut& operator=(const BlockOut&) = delete;

    size_t Room() const { return static_cast<size_t>(m_end - q); }
    void Need(size_t n)
    {
        if (Room() >= n)
            return;
        Commit();
        m_writer.WriteBlock();
        Open();
    }
    void Put(const unsigned char* bytes, size_t n)
    {
        Need(n);
        std::memcpy(q, bytes, n);
        q += n;
    }

    unsigned char* q = nullptr;  // where the next byte goes

private:
    void Open()
    {
        unsigned size = 0;
        m_start = q = m_writer.BlockRoom(&size);
        m_end = q + size;
    }
    void Commit()
    {
        m_writer.BlockFilled(static_cast<unsigned>(q - m_start));
        m_start = q;
    }

    CTextFileWriter& m_writer;
    unsigned char* m_start = nullptr;
    unsigned char* m_end = nullptr;
};

// What every line break (CR LF, a lone CR, a lone LF) is written as; with
// rewrite false they stay as they are.
struct Breaks {
    bool rewrite = false;
    unsigned char bytes[4] = {};
    unsigned size = 0;
};

template <typename Form> Breaks BreaksFor(LineEnding ending)
{
    Breaks breaks;
    for (const char16_t unit : LineBreakUnits(ending))
        breaks.size = static_cast<unsigned>(Form::Put(breaks.bytes + breaks.size, unit) - breaks.bytes);
    breaks.rewrite = breaks.size > 0;
    return breaks;
}

// A single-byte code page's units in UTF-8, made from its decoder's table.
struct SingleByteUtf8 {
    // In memory the UTF-8 (1 to 3 bytes, then padding) and in the fourth
    // byte its length: one load gives both, one 4-byte store writes it.
    std::array<uint32_t, 256> utf8{};
    // What a byte adds to the counts, packed as C1 control | U+FFFD << 21 |
    // replaced << 42: fields that cannot run into each other within kTallyRun bytes.
    std::array<uint64_t, 256> tally{};
    bool counted = false;  // some byte adds to the counts
    // Bytes A0..FF are U+00A0..U+00FF, unreplaced (ISO-8859-1, windows-1252):
    // blocks of Western text widen in vector registers without the table.
    bool latin1 = false;

    static unsigned Size(uint32_t utf8)
    {
        return std::endian::native == std::endian::little ? utf8 >> 24 : utf8 & 0xFF;
    }
    // Writes the character at q, with padding; returns its end.
    unsigned char* Put(unsigned char* q, unsigned char byte) const
    {
        const uint32_t bytes = utf8[byte];
        std::memcpy(q, &bytes, 4);
        return q + Size(bytes);
    }
};
constexpr unsigned kTallyShift = 21;
constexpr uint64_t kTallyField = (uint64_t{1} << kTallyShift) - 1;
constexpr size_t kTallyRun = kTallyField;

// Null unless bytes 00..7F decode to themselves, unreplaced, and no byte
// above decodes to CR, LF or a surrogate: the runs below take the bytes 0D
// and 0A for the line breaks and write every character on its own.
std::shared_ptr<const SingleByteUtf8> MakeSingleByteUtf8(unsigned codePage)
{
    std::array<char16_t, 256> units{};
    std::array<bool, 256> replaced{};
    if (!codecs::CodePageDecoder(codePage).GetSingleByteMap(units, replaced))
        return nullptr;
    auto table = std::make_shared<SingleByteUtf8>();
    for (unsigned b = 0; b < 256; ++b) {
        const char32_t u = units[b];
        const bool fits = b < 0x80 ? u == b && !replaced[b] : u != kCr && u != kLf && (u < 0xD800 || u > 0xDFFF);
        if (!fits)
            return nullptr;
        unsigned char out[4] = {};
        out[3] = static_cast<unsigned char>(Utf8Form::Put(out, u) - out);
        std::memcpy(&table->utf8[b], out, 4);
        table->tally[b] = uint64_t{u - 0x80 < 0x20} | uint64_t{u == 0xFFFD} << kTallyShift |
                          uint64_t{replaced[b]} << (2 * kTallyShift);
        table->counted |= table->tally[b] != 0;
    }
    table->latin1 = true;
    for (unsigned b = 0xA0; b < 0x100; ++b)
        table->latin1 &= units[b] == b && !replaced[b];
    return table;
}

// Made once per code page and shared by every converter thread.
std::shared_ptr<const SingleByteUtf8> SingleByteUtf8For(unsigned codePage)
{
    static std::mutex mutex;
    static std::map<unsigned, std::shared_ptr<const SingleByteUtf8>> tables;
    std::lock_guard lock(mutex);
    const auto found = tables.find(codePage);
    if (found != tables.end())
        return found->second;
    return tables.emplace(codePage, MakeSingleByteUtf8(codePage)).first->second;
}

// Where a run writes and what it counts.
struct Sink {
    BlockOut& out;
    const Breaks& breaks;
    UnitCounts& counts;  // counts.endsWithCr: the byte before is a CR
    uint64_t& replaced;
    uint64_t tally = 0;  // packed as SingleByteUtf8::tally

    void DrainTally()
    {
        counts.c1 += tally & kTallyField;
        counts.marks += (tally >> kTallyShift) & kTallyField;
        replaced += tally >> (2 * kTallyShift);
        tally = 0;
    }
};

// One ASCII byte: counted, and written as it is, as the line break it is,
// or (a NUL in UTF-8, which the decoder replaces) as U+FFFD.
template <typename Form = Utf8Form> inline void PutAscii(Sink& s, unsigned char b, bool nulReplaced)
{
    UnitCounts& c = s.counts;
    const bool cr = b == kCr, lf = b == kLf;
    const bool pairLf = lf && c.endsWithCr;
    c.cr += cr;
    c.lf += lf;
    c.crlf += pairLf;
    c.endsWithCr = cr;
    if (b == 0 && nulReplaced) {
        s.out.Put(Form::kMark, sizeof Form::kMark);
        ++s.replaced;
        ++c.marks;
    } else if (!s.breaks.rewrite || !(cr || lf)) {
        unsigned char unit[2];
        s.out.Put(unit, static_cast<size_t>(Form::Put(unit, b) - unit));
    } else if (!pairLf) {
        s.out.Put(s.breaks.bytes, s.breaks.size);
    }
}

// What one well-formed UTF-8 character at p comes to in every output form:
// its units taken off the room left (none when they do not fit: returns 0),
// ASCII written, the rest counted. Returns its length.
template <typename Form> size_t TakeUtf8(Sink& s, const unsigned char* p, size_t& units)
{
    const unsigned char b = *p;
    const size_t need = b >= 0xF0 ? 2 : 1;
    if (need > units)
        return 0;
    units -= need;
    if (b < 0x80) {
        PutAscii<Form>(s, b, true);
        return 1;
    }
    s.counts.c1 += b == 0xC2 && p[1] < 0xA0;
    s.counts.marks += b == 0xEF && p[1] == 0xBF && p[2] == 0xBD;
    s.counts.endsWithCr = false;
    return b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

// Well-formed UTF-8 (a NUL included, which becomes U+FFFD): characters are
// copied as they are and line breaks rewritten. A lead byte takes one unit
// of the room a Read leaves, a four-byte lead two.
struct Utf8Text {
    using Form = Utf8Form;
    static constexpr bool kUnits = true;
    static constexpr bool kShuffles = false;
    // Bytes a block writes per byte at most (U+FFFD for a NUL), and vectors
    // its stores run past that; the block does not look past its end.
    static constexpr size_t kMostBytesPerByte = 3, kStoresPast = 1, kAhead = 0;

    // Writes the character at p when its units fit; returns the bytes taken,
    // 0 when they do not fit. A block may have taken the first bytes of a
    // character: the rest goes into the same block, which leaves room for it.
    size_t PutOne(Sink& s, const unsigned char* p, size_t& units) const
    {
        if ((*p & 0xC0) == 0x80) {
            *s.out.q++ = *p;
            return 1;
        }
        const size_t n = TakeUtf8<Form>(s, p, units);
        if (n > 1)
            s.out.Put(p, n);
        return n;
    }
    // The units of the characters whose lead bytes lie in [p, e).
    static size_t Units(const unsigned char* p, const unsigned char* e)
    {
        size_t units = 0;
        for (; p < e; ++p)
            units += ((*p & 0xC0) != 0x80) + (*p >= 0xF0);
        return units;
    }
};

// Well-formed UTF-8 written as UTF-16 in the byte order given: a NUL as
// U+FFFD, a four-byte character as a surrogate pair (two units of the room a
// Read leaves), line breaks rewritten. Its blocks (utf16_blocks.inc) need
// byte shuffles, and they write whole characters only.
template <bool kBigEndian> struct Utf8TextAsUtf16 {
    using Form = Utf16Form<kBigEndian>;
    static constexpr bool kUnits = true;
    static constexpr bool kShuffles = true;
    // A lone CR or LF of one byte may be written as CR LF; a block looks at
    // the byte after it, to tell whether its last character ends there.
    static constexpr size_t kMostBytesPerByte = 4, kStoresPast = 2, kAhead = 1;

    // As Utf8Text's; a pair may be split between two of the writer's blocks,
    // as its encoder writes each unit on its own.
    size_t PutOne(Sink& s, const unsigned char* p, size_t& units) const
    {
        const size_t n = TakeUtf8<Form>(s, p, units);
        if (n > 1) {
            unsigned char pair[4];
            const auto size = static_cast<size_t>(Form::PutPair(pair, DecodeUtf8(p, n)) - pair);
            s.out.Put(pair, 2);
            if (size > 2)
                s.out.Put(pair + 2, 2);
        }
        return n;
    }
    static size_t Units(const unsigned char* p, const unsigned char* e) { return Utf8Text::Units(p, e); }
};

// A single-byte code page that SingleByteUtf8For takes: ASCII as it is,
// the bytes above through the table; a byte is one unit.
struct SingleByteText {
    using Form = Utf8Form;
    static constexpr bool kUnits = false;
    static constexpr bool kShuffles = false;
    static constexpr size_t kMostBytesPerByte = 3, kStoresPast = 1, kAhead = 0;
    const SingleByteUtf8* table;

    size_t PutOne(Sink& s, const unsigned char* p, size_t&) const
    {
        const unsigned char b = *p;
        if (b < 0x80) {
            PutAscii(s, b, false);
            return 1;
        }
        s.counts.endsWithCr = false;
        const uint32_t bytes = table->utf8[b];
        s.out.Put(reinterpret_cast<const unsigned char*>(&bytes), SingleByteUtf8::Size(bytes));
        s.tally += table->tally[b];
        return 1;
    }
    static size_t Units(const unsigned char* p, const unsigned char* e) { return static_cast<size_t>(e - p); }
};

#if defined(__SSE2__)

// Set bits of a byte, for counting those of a block's mask where the
// instruction is not in the baseline the code is built for.
constexpr std::array<unsigned char, 256> kBitsSet = [] {
    std::array<unsigned char, 256> bits{};
    for (unsigned i = 1; i < 256; ++i)
        bits[i] = static_cast<unsigned char>(bits[i / 2] + (i & 1));
    return bits;
}();

// The operations the blocks use, 16 bytes at a time.
struct Sse2 {
    using V = __m128i;
    static constexpr size_t kWidth = 16;
    static constexpr bool kLatin1 = false;  // its byte shuffle is not in SSE2
    static unsigned char* PutLatin1(unsigned char* q, V) { return q; }
    static V Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void Store(unsigned char* q, V v) { _mm_storeu_si128(reinterpret_cast<V*>(q), v); }
    static V Set(unsigned char b) { return _mm_set1_epi8(static_cast<char>(b)); }
    static V Zero() { return _mm_setzero_si128(); }
    static V Eq(V a, V b) { return _mm_cmpeq_epi8(a, b); }
    static V LessSigned(V a, V b) { return _mm_cmplt_epi8(a, b); }
    static V Max(V a, V b) { return _mm_max_epu8(a, b); }
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi8(a, b); }
    static uint32_t Mask(V v) { return static_cast<uint32_t>(_mm_movemask_epi8(v)); }
    static unsigned Bits(uint32_t mask16) { return kBitsSet[mask16 & 0xFF] + kBitsSet[mask16 >> 8]; }
    static uint64_t SumLanes(V v)
    {
        alignas(16) uint64_t sums[2];
        _mm_store_si128(reinterpret_cast<V*>(sums), _mm_sad_epu8(v, Zero()));
        return sums[0] + sums[1];
    }
};

namespace sse2 {
using Vec = Sse2;
#include "varnex/convert/byte_blocks.inc"
}  // namespace sse2

#endif

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

// Where the bytes of the UTF-16 units a block keeps come from, by the byte
// order and the mask of the eight 16-bit lanes kept: the two bytes of each
// kept lane in order (swapped for big-endian), then zeros; and how many
// bytes that is.
struct KeptUnits {
    alignas(16) unsigned char from[2][256][16];
    unsigned char bytes[256];
};

constexpr KeptUnits MakeKeptUnits()
{
    KeptUnits t{};
    for (unsigned big = 0; big < 2; ++big) {
        for (unsigned mask = 0; mask < 256; ++mask) {
            unsigned k = 0;
            for (unsigned lane = 0; lane < 8; ++lane) {
                if ((mask >> lane) & 1) {
                    t.from[big][mask][k++] = static_cast<unsigned char>(2 * lane + big);
                    t.from[big][mask][k++] = static_cast<unsigned char>(2 * lane + 1 - big);
                }
            }
            t.bytes[mask] = static_cast<unsigned char>(k);
            while (k < 16)
                t.from[big][mask][k++] = 0x80;
        }
    }
    return t;
}

constexpr KeptUnits kKeptUnits = MakeKeptUnits();

// Everything down to the matching pop is built for SSSE3, which the baseline
// the code is built for does not have: it runs only where kSsse3 says so.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("ssse3"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("ssse3")
#endif

// The operations of the UTF-16 blocks besides, 16 bytes at a time.
struct Ssse3 : Sse2 {
    // v as seen n bytes on: byte k is v[k - n], the first n the last of before.
    template <int n> static V After(V before, V v) { return _mm_alignr_epi8(v, before, 16 - n); }
    template <int n> static V ShiftLeft16(V v) { return _mm_slli_epi16(v, n); }
    template <int n> static V ShiftRight16(V v) { return _mm_srli_epi16(v, n); }
    // The 16-bit lanes of the bytes of a and b in turn: the units of a
    // block's first and second half, from their low and high bytes.
    static V InterleaveLow(V a, V b) { return _mm_unpacklo_epi8(a, b); }
    static V InterleaveHigh(V a, V b) { return _mm_unpackhi_epi8(a, b); }
    static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V Set16(uint16_t u) { return _mm_set1_epi16(static_cast<short>(u)); }
    // Writes, in order and in the byte order given, the units of first and
    // second (as InterleaveLow and InterleaveHigh make them) whose bits are
    // set in keep; returns their end.
    template <bool kBigEndian> static unsigned char* PutUnits(unsigned char* q, V first, V second, uint32_t keep)
    {
        const uint32_t keep0 = keep & 0xFF, keep1 = keep >> 8;
        Store(q, _mm_shuffle_epi8(first, Load(kKeptUnits.from[kBigEndian][keep0])));
        q += kKeptUnits.bytes[keep0];
        Store(q, _mm_shuffle_epi8(second, Load(kKeptUnits.from[kBigEndian][keep1])));
        return q + kKeptUnits.bytes[keep1];
    }
    // Writes the units of a block of ASCII.
    template <bool kBigEndian> static void PutAsciiUnits(unsigned char* q, V v)
    {
        Store(q, kBigEndian ? _mm_unpacklo_epi8(Zero(), v) : _mm_unpacklo_epi8(v, Zero()));
        Store(q + kWidth, kBigEndian ? _mm_unpackhi_epi8(Zero(), v) : _mm_unpackhi_epi8(v, Zero()));
    }
};

namespace ssse3 {
using Vec = Ssse3;
#include "varnex/convert/byte_blocks.inc"
#include "varnex/convert/utf16_blocks.inc"
}  // namespace ssse3

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool HaveSsse3()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
}
const bool kSsse3 = HaveSsse3();

// Everything down to the matching pop is built for AVX2 and POPCNT, which
// the baseline the code is built for does not have: it runs only where
// kAvx2 says so.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif

constexpr TwoByteShuffles kTwoByteShuffles = MakeTwoByteShuffles();

// The operations the blocks use, 32 bytes at a time.
struct Avx2 {
    using V = __m256i;
    static constexpr size_t kWidth = 32;
    static constexpr bool kLatin1 = true;
    // Writes a block of ASCII and bytes A0..FF as UTF-8 (C2 or C3, then the
    // byte's low six bits), sixteen bytes at a time; 48 bytes of room.
    static unsigned char* PutLatin1(unsigned char* q, V v)
    {
        for (int half = 0; half < 2; ++half) {
            const __m128i bytes = half == 0 ? _mm256_castsi256_si128(v) : _mm256_extracti128_si256(v, 1);
            const __m256i w = _mm256_cvtepu8_epi16(bytes);
            const __m256i lead = _mm256_or_si256(_mm256_srli_epi16(w, 6), _mm256_set1_epi16(0xC0));
            const __m256i trail = _mm256_or_si256(_mm256_and_si256(w, _mm256_set1_epi16(0x3F)), _mm256_set1_epi16(0x80));
            const __m256i pair = _mm256_or_si256(lead, _mm256_slli_epi16(trail, 8));
            const __m256i units = _mm256_blendv_epi8(w, pair, _mm256_cmpgt_epi16(w, _mm256_set1_epi16(0x7F)));
            const auto high = static_cast<unsigned>(_mm_movemask_epi8(bytes));
            const __m256i order = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteShuffles.from[high & 0xFF]))),
                _mm_load_si128(reinterpret_cast<const __m128i*>(kTwoByteShuffles.from[high >> 8])), 1);
            const __m256i packed = _mm256_shuffle_epi8(units, order);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm256_castsi256_si128(packed));
            q += kTwoByteShuffles.length[high & 0xFF];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm256_extracti128_si256(packed, 1));
            q += kTwoByteShuffles.length[high >> 8];
        }
        return q;
    }
    static V Load(const unsigned char* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void Store(unsigned char* q, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(q), v); }
    static V Set(unsigned char b) { return _mm256_set1_epi8(static_cast<char>(b)); }
    static V Zero() { return _mm256_setzero_si256(); }
    static V Eq(V a, V b) { return _mm256_cmpeq_epi8(a, b); }
    static V LessSigned(V a, V b) { return _mm256_cmpgt_epi8(b, a); }
    static V Max(V a, V b) { return _mm256_max_epu8(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_epi8(a, b); }
    static uint32_t Mask(V v) { return static_cast<uint32_t>(_mm256_movemask_epi8(v)); }
    static unsigned Bits(uint32_t mask) { return static_cast<unsigned>(std::popcount(mask)); }
    static uint64_t SumLanes(V v)
    {
        alignas(32) uint64_t sums[4];
        _mm256_store_si256(reinterpret_cast<V*>(sums), _mm256_sad_epu8(v, Zero()));
        return sums[0] + sums[1] + sums[2] + sums[3];
    }
    // As Ssse3's. The byte operations work within each half of 16 bytes:
    // what crosses the middle is moved there first.
    template <int n> static V After(V before, V v)
    {
        return _mm256_alignr_epi8(v, _mm256_permute2x128_si256(before, v, 0x21), 16 - n);
    }
    template <int n> static V ShiftLeft16(V v) { return _mm256_slli_epi16(v, n); }
    template <int n> static V ShiftRight16(V v) { return _mm256_srli_epi16(v, n); }
    // Units 0..7 and 16..23, then 8..15 and 24..31.
    static V InterleaveLow(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V InterleaveHigh(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Set16(uint16_t u) { return _mm256_set1_epi16(static_cast<short>(u)); }
    template <bool kBigEndian> static unsigned char* PutUnits(unsigned char* q, V first, V second, uint32_t keep)
    {
        const uint32_t keep0 = keep & 0xFF, keep1 = (keep >> 8) & 0xFF, keep2 = (keep >> 16) & 0xFF, keep3 = keep >> 24;
        const V a = _mm256_shuffle_epi8(first, KeptFrom(kBigEndian, keep0, keep2));
        const V b = _mm256_shuffle_epi8(second, KeptFrom(kBigEndian, keep1, keep3));
        q = PutHalf(q, _mm256_castsi256_si128(a), keep0);
        q = PutHalf(q, _mm256_castsi256_si128(b), keep1);
        q = PutHalf(q, _mm256_extracti128_si256(a, 1), keep2);
        return PutHalf(q, _mm256_extracti128_si256(b, 1), keep3);
    }
    static V KeptFrom(bool bigEndian, uint32_t keepLow, uint32_t keepHigh)
    {
        const auto* from = reinterpret_cast<const __m128i*>(kKeptUnits.from[bigEndian]);
        return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(from + keepLow)),
                                       _mm_load_si128(from + keepHigh), 1);
    }
    static unsigned char* PutHalf(unsigned char* q, __m128i units, uint32_t keep)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(q), units);
        return q + kKeptUnits.bytes[keep];
    }
    template <bool kBigEndian> static void PutAsciiUnits(unsigned char* q, V v)
    {
        const V first = kBigEndian ? _mm256_unpacklo_epi8(Zero(), v) : _mm256_unpacklo_epi8(v, Zero());
        const V second = kBigEndian ? _mm256_unpackhi_epi8(Zero(), v) : _mm256_unpackhi_epi8(v, Zero());
        Store(q, _mm256_permute2x128_si256(first, second, 0x20));
        Store(q + kWidth, _mm256_permute2x128_si256(first, second, 0x31));
    }
};

namespace avx2 {
using Vec = Avx2;
#include "varnex/convert/byte_blocks.inc"
#include "varnex/convert/utf16_blocks.inc"
}  // namespace avx2

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool HaveAvx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}
const bool kAvx2 = HaveAvx2();

#endif

// Writes and counts text [p, e) that ends with a whole character, or
// (UTF-8) up to the first character whose units would go past units, which
// it takes off. Bytes up to readable may be read. Returns where it stopped.
template <typename Text>
const unsigned char* PutRun(const Text& text, Sink& s, const unsigned char* p, const unsigned char* const e,
                            const unsigned char* const readable, size_t& units)
{
    while (p < e) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
        if (kAvx2)
            p = avx2::PutBlocks(text, s, p, e, readable, units);
        if constexpr (Text::kShuffles) {
            p = ssse3::PutBlocks(text, s, p, e, readable, units);
            if (ssse3::PutTail(text, s, p, e, units))
                p = e;
        }
#endif
#if defined(__SSE2__)
        if constexpr (!Text::kShuffles) {
            p = sse2::PutBlocks(text, s, p, e, readable, units);
            if (sse2::PutTail(text, s, p, e, units))
                p = e;
        }
#endif
        if (p == e)
            break;
        const size_t taken = text.PutOne(s, p, units);
        if (taken == 0)
            break;
        p += taken;
    }
    s.DrainTally();
    return p;
}

// Why a pass of the reader's decoding over the bytes in its buffer ended.
enum class Stop {
    kNone,    // all taken
    kSource,  // a character cut by the end of the bytes waits for more
    kTarget,  // the next character does not fit in the units left
};

struct Pass {
    size_t used = 0;
    size_t units = 0;
    Stop stop = Stop::kNone;
};

// UTF-8 into the output form of Text (Utf8Text or Utf8TextAsUtf16).
template <typename Text> class Utf8Transcoder : public ByteTranscoder {
public:
    Utf8Transcoder(CTextFileReader& reader, CTextFileWriter& writer)
        : m_reader(reader), m_writer(writer),
          m_breaks(BreaksFor<typename Text::Form>(static_cast<LineEnding>(writer.GetCrLfType()))),
          m_offset(reader.GetBomLength())
    {
    }

    // The loop of the reader's Read for Unicode text, refilling where it does.
    unsigned Chunk(unsigned capacity, unsigned* consumed, UnitCounts& counts) override
    {
        BlockOut out(m_writer);
        Sink sink{out, m_breaks, counts, m_replaced};
        size_t produced = 0;
        uint64_t taken = 0;
        while (produced < capacity) {
            unsigned size = 0;
            m_reader.PendingBytes(&size);
            if (size == 0 && !Fetch())
                break;
            const unsigned char* data = m_reader.PendingBytes(&size);
            const bool endOfInput = m_reader.InputEnded();
            const Pass pass = Decode(sink, data, data + size, capacity - produced, endOfInput);
            m_reader.TakeBytes(static_cast<unsigned>(pass.used));
            m_offset += pass.used;
            produced += pass.units;
            taken += pass.used;
            if (pass.stop == Stop::kTarget)
                break;
            if (pass.stop == Stop::kSource && (endOfInput || (!Fetch() && !m_reader.InputEnded())))
                break;
        }
        *consumed = static_cast<unsigned>(taken);
        return static_cast<unsigned>(produced);
    }

private:
    // New bytes in the buffer: what was checked there is gone.
    bool Fetch()
    {
        m_checkedEnd = nullptr;
        return m_reader.FetchBytes();
    }

    // One pass of the reader's UTF-8 decoder over [begin, e), the bytes in
    // its buffer, with room units free: well-formed characters in bulk, the
    // rest one by one as the decoder takes them.
    Pass Decode(Sink& s, const unsigned char* const begin, const unsigned char* const e, size_t room, bool endOfInput)
    {
        const unsigned char* p = begin;
        size_t left = room;
        for (;;) {
            // Checked once for all the chunks the buffer holds, and after
            // each bad byte only up to the next.
            if (m_checkedEnd == nullptr || m_checkedEnd < p) {
                const Utf8Validity validity = ValidateUtf8(p, static_cast<size_t>(e - p));
                m_checkedEnd = p + validity.position;
            }
            const unsigned char* const run = p;
            const uint64_t replaced = s.replaced;
            p = PutRun(Text{}, s, p, m_checkedEnd, e, left);
            // Well-formed text replaces only its NULs.
            if (s.replaced != replaced && m_firstUncovered == kNoOffset)
                if (const void* nul = std::memchr(run, 0, static_cast<size_t>(p - run)))
                    Uncovered(begin, static_cast<const unsigned char*>(nul));
            const auto used = static_cast<size_t>(p - begin);
            if (p == e)
                return {used, room - left, Stop::kNone};
            if (p < m_checkedEnd)
                return {used, room - left, Stop::kTarget};
            // As the decoder's careful path: a cut sequence waits before
            // anything else, then a full output stops, a bad lead byte becomes
            // U+FFFD and decoding goes on at the next byte.
            const auto rest = static_cast<size_t>(e - p);
            const size_t trailing = CUTFProcessor::TrailingBytes(*p);
            bool bad = true;
            if (trailing < rest)
                bad = !CUTFProcessor::IsLegalUTF8Sequence(p, static_cast<unsigned>(std::min<size_t>(rest, 8)));
            else if (!endOfInput)
                return {used, room - left, Stop::kSource};
            const size_t need = !bad && trailing == 3 ? 2 : 1;
            if (left < need)
                return {used, room - left, Stop::kTarget};
            if (bad) {
                if (m_firstUncovered == kNoOffset)
                    Uncovered(begin, p);
                s.out.Put(Text::Form::kMark, sizeof Text::Form::kMark);
                ++s.replaced;
                ++s.counts.marks;
                s.counts.endsWithCr = false;
                ++p;
                --left;
            } else {
                // Whole after all (the check and the decoder agree on what
                // is well-formed, so this is never expected).
                size_t units = need;
                PutRun(Text{}, s, p, p + trailing + 1, e, units);
                p += trailing + 1;
                left -= need;
            }
        }
    }

    // The byte at, in a pass over the bytes from begin on, is the first replaced.
    void Uncovered(const unsigned char* begin, const unsigned char* at)
    {
        m_firstUncovered = m_offset + static_cast<uint64_t>(at - begin);
    }

    CTextFileReader& m_reader;
    CTextFileWriter& m_writer;
    const Breaks m_breaks;
    // The bytes of the buffer from the reader's position up to here are
    // well-formed UTF-8, whole characters; null: not known.
    const unsigned char* m_checkedEnd = nullptr;
    uint64_t m_offset;  // the file offset of the reader's position
};

class SingleByteTranscoder : public ByteTranscoder {
public:
    SingleByteTranscoder(CTextFileReader& reader, CTextFileWriter& writer, std::shared_ptr<const SingleByteUtf8> table)
        : m_reader(reader), m_writer(writer),
          m_breaks(BreaksFor<Utf8Form>(static_cast<LineEnding>(writer.GetCrLfType()))), m_table(std::move(table)),
          m_offset(reader.GetBomLength())
    {
    }

    // The loop of the reader's Read for code page text: one unit a byte.
    unsigned Chunk(unsigned capacity, unsigned* consumed, UnitCounts& counts) override
    {
        BlockOut out(m_writer);
        Sink sink{out, m_breaks, counts, m_replaced};
        const SingleByteText text{m_table.get()};
        unsigned produced = 0;
        while (produced < capacity && !m_done) {
            unsigned size = 0;
            m_reader.PendingBytes(&size);
            if (size == 0)
                m_reader.FetchBytes();
            const unsigned char* data = m_reader.PendingBytes(&size);
            const unsigned n = std::min(size, capacity - produced);
            for (unsigned at = 0; at < n;) {
                size_t units = std::min<size_t>(n - at, kTallyRun);
                const auto run = static_cast<unsigned>(units);
                const uint64_t replaced = m_replaced;
                PutRun(text, sink, data + at, data + at + run, data + size, units);
                if (m_replaced != replaced && m_firstUncovered == kNoOffset)
                    m_firstUncovered = m_offset + at + FirstReplaced(data + at, run);
                at += run;
            }
            m_reader.TakeBytes(n);
            m_offset += n;
            produced += n;
            if (m_reader.InputEnded() && n == size && produced < capacity)
                m_done = true;
            else if (n == 0 && (m_reader.InputEnded() || !m_reader.FetchBytes()))
                break;
        }
        *consumed = produced;
        return produced;
    }

private:
    // Where the first replaced byte of a run lies that holds one. The run
    // is at most a chunk, and only the one that holds the file's first
    // replacement is looked at again: the blocks count without looking.
    unsigned FirstReplaced(const unsigned char* run, unsigned size) const
    {
        unsigned k = 0;
        while (k < size && (m_table->tally[run[k]] >> (2 * kTallyShift)) == 0)
            ++k;
        return k;
    }

    CTextFileReader& m_reader;
    CTextFileWriter& m_writer;
    const Breaks m_breaks;
    std::shared_ptr<const SingleByteUtf8> m_table;
    bool m_done = false;  // the last bytes were taken
    uint64_t m_offset;    // the file offset of the reader's position
};

}  // namespace

std::unique_ptr<ByteTranscoder> ByteTranscoder::For(CTextFileReader& reader, CTextFileWriter& writer)
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Without byte shuffles the UTF-16 way is as quick.
    if (reader.GetEncoding() == TEXTENCODING_UTF8 && kSsse3) {
        if (writer.GetEncoding() == TEXTENCODING_UTF16LE)
            return std::make_unique<Utf8Transcoder<Utf8TextAsUtf16<false>>>(reader, writer);
        if (writer.GetEncoding() == TEXTENCODING_UTF16BE)
            return std::make_unique<Utf8Transcoder<Utf8TextAsUtf16<true>>>(reader, writer);
    }
#endif
    if (writer.GetEncoding() != TEXTENCODING_UTF8)
        return nullptr;
    if (reader.GetEncoding() == TEXTENCODING_UTF8)
        return std::make_unique<Utf8Transcoder<Utf8Text>>(reader, writer);
    if (reader.GetEncoding() == TEXTENCODING_CODEPAGE) {
        if (auto table = SingleByteUtf8For(reader.GetCodePage()))
            return std::make_unique<SingleByteTranscoder>(reader, writer, std::move(table));
    }
    return nullptr;
}
