// The byte paths' shared pieces: output forms, the writer's block, the texts they read, the vector kernels' entries.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "textrion/encoding/line_ending.h"
#include "textrion/io/text_file_writer.h"
#include "varnex/convert/byte_transcoder.h"

// Internal to varnex/convert: byte_transcoder.cpp runs these one character at
// a time, and the kernels of byte_paths_<instruction set>.cpp whole blocks at
// a time, each the same.
namespace byte_paths {

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

// The table of a code page when it has one: made once per code page and
// shared by every converter thread. Null unless bytes 00..7F decode to
// themselves, unreplaced, and no byte above decodes to CR, LF or a surrogate:
// the runs take the bytes 0D and 0A for the line breaks and write every
// character on its own.
std::shared_ptr<const SingleByteUtf8> SingleByteUtf8For(unsigned codePage);

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

// The vector kernels, one namespace per instruction set. PutBlocks writes
// whole blocks from p on for as long as they fit the output, the bytes up to
// e (up to readable may be read) and (UTF-8) the units, which it takes off;
// PutTail writes the last bytes of a run, fewer than two blocks, where their
// room and units surely suffice, and says whether it did. Each returns where
// it stopped, and leaves what it did not take to the character-by-character
// way. A kernel runs only where ActiveKernel() allows it.

// Utf8Text and SingleByteText (byte_paths_sse2.cpp).
namespace sse2 {
template <typename Text>
const unsigned char* PutBlocks(const Text& text, Sink& s, const unsigned char* p, const unsigned char* e,
                               const unsigned char* readable, size_t& units);
template <typename Text>
bool PutTail(const Text& text, Sink& s, const unsigned char* p, const unsigned char* e, size_t& units);
}  // namespace sse2

// Utf8TextAsUtf16 (byte_paths_ssse3.cpp).
namespace ssse3 {
template <typename Text>
const unsigned char* PutBlocks(const Text& text, Sink& s, const unsigned char* p, const unsigned char* e,
                               const unsigned char* readable, size_t& units);
template <typename Text>
bool PutTail(const Text& text, Sink& s, const unsigned char* p, const unsigned char* e, size_t& units);
}  // namespace ssse3

// Every text, blocks only (byte_paths_avx2.cpp).
namespace avx2 {
template <typename Text>
const unsigned char* PutBlocks(const Text& text, Sink& s, const unsigned char* p, const unsigned char* e,
                               const unsigned char* readable, size_t& units);
template <typename Text>
bool PutTail(const Text& text, Sink& s, const unsigned char* p, const unsigned char* e, size_t& units);
}  // namespace avx2

}  // namespace byte_paths
