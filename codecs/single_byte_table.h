// The single-byte family: both directions of a code page's table, built once and shared, and their loops.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/codec_state.h"

// Internal to codecs/: the tables the decoder and encoder of every
// single-byte code page run on instead of a converter.
namespace codecs::detail {

// Built once from ICU (or glibc) with the Windows corrections applied.
// Decoding and encoding share it, so every byte the code page assigns
// round-trips.
struct SingleByteTable {
    static constexpr uint16_t kNoByte = 0xFFFF;
    std::array<char16_t, 256> units{};
    std::array<bool, 256> invalid{};
    std::vector<uint16_t> bytes = std::vector<uint16_t>(0x10000, kNoByte);  // by unit
};

// Hidden: the libraries this static library goes into do not export these.
#pragma GCC visibility push(hidden)

// The table of a code page (a symbolic number gives its table code page's),
// or null when the code page is not single-byte or cannot be opened. Tables
// are immutable and shared by every decoder and encoder of the code page.
std::shared_ptr<const SingleByteTable> SingleByteTableFor(unsigned codePage);

// Decodes bytes[0, n) in whole blocks of 16 with SSE2, for a table whose
// bytes 00..7F are themselves and none replaced: the blocks are widened as
// they are, and only the bytes from 80 up are looked up (and counted). Returns
// the bytes taken, a multiple of 16; the rest is left to the caller.
size_t DecodeAsciiSameSse2(const SingleByteTable& table, const unsigned char* src, size_t n, char16_t* dst,
                           DecodeTally& tally);

#pragma GCC visibility pop

// Same contract as CodePageDecoder::Decode: each byte is one unit, and a byte
// the code page leaves out is counted as replaced.
class SingleByteDecoder {
public:
    explicit SingleByteDecoder(std::shared_ptr<const SingleByteTable> table);
    Progress Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end, DecodeTally& tally);
    size_t PendingBytes() const { return 0; }
    void Reset() { }
    const SingleByteTable& Table() const { return *m_table; }

private:
    std::shared_ptr<const SingleByteTable> m_table;
    bool m_asciiSame = false;  // 00..7F decode to U+0000..U+007F, none replaced
};

// Same contract as CodePageEncoder::Encode: a character the code page lacks
// is written as its own '?' (6F in EBCDIC) and counted.
class SingleByteEncoder {
public:
    explicit SingleByteEncoder(std::shared_ptr<const SingleByteTable> table);
    Progress Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end, uint64_t& replaced);
    static size_t MaxBytesFor(size_t units) { return units + 1; }  // plus a held surrogate's '?'
    void Reset() { m_heldHigh = 0; }

private:
    std::shared_ptr<const SingleByteTable> m_table;
    unsigned char m_question = '?';
    char16_t m_heldHigh = 0;  // a high surrogate that ended the last input
};

}  // namespace codecs::detail
