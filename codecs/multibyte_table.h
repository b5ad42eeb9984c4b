#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Internal to codecs/: direct tables for the double-byte code pages and
// GB18030, so that their common characters need no converter call. The tables
// are read off the code page's converter once, and hold only what it decodes
// the same wherever it stands; everything else (bad bytes, unmapped pairs, a
// character cut by the end of an input) is left to the converter itself.
namespace codecs::detail {

struct MultiByteTable {
    // A byte or pair the tables do not cover. U+FFFF is a noncharacter that no
    // code page maps to.
    static constexpr char16_t kNone = 0xFFFF;
    // GB18030's four-byte sequences from 90 30 81 30 on are U+10000.. in order.
    static constexpr uint32_t kSupplementaryBase = 189000;

    MultiByteTable() = default;
    MultiByteTable(const MultiByteTable&) = delete;  // rows point into rowStore
    MultiByteTable& operator=(const MultiByteTable&) = delete;

    std::array<char16_t, 256> single{};       // a byte that is a character alone
    std::array<const char16_t*, 256> rows{};  // by lead byte, 256 units by trail byte
    std::vector<char16_t> rowStore;           // the rows; the first is all kNone
    // GB18030 only: the four-byte sequences 81 30 81 30 .. 84 39 FE 39 by their
    // linear index, and whether the supplementary range decodes arithmetically.
    std::vector<char16_t> fourByte;
    bool supplementary = false;
};

// Decodes bytes[0, n) with a fresh converter as it would in the middle of a
// stream (nothing flushed): the units written to out (room for 4) when every
// byte became part of whole characters at once, none was reported as bad and
// nothing is held back; -1 otherwise.
using SequenceProbe = std::function<int(const unsigned char* bytes, size_t n, char16_t* out)>;

// Asks the probe about every byte, every pair and, for GB18030, every
// four-byte sequence of the BMP range and samples of the supplementary one.
std::shared_ptr<const MultiByteTable> BuildMultiByteTable(const SequenceProbe& probe, bool gb18030);

// Decodes src[0, n) into dst while the tables cover it and there is room;
// returns the bytes used and adds the units written to out. Stops at the first
// byte the tables leave to the converter.
size_t DecodeByTable(const MultiByteTable& table, const unsigned char* src, size_t n, char16_t* dst, size_t cap,
                     size_t& out);

}  // namespace codecs::detail
