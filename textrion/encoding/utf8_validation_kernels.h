// The vector kernels of the UTF-8 check: where a scan stopped, the tables they share, their entry points.
#pragma once

#include <cstddef>
#include <cstdint>

// Internal to textrion/encoding: utf8_validation.cpp chooses a scan by the
// active kernel and walks what it leaves character by character.
namespace textrion::detail {

// The vector check looks at 64 bytes at a time.
inline constexpr size_t kUtf8ScanBlock = 64;

// Where the vector check stopped: at the end of its whole blocks, or at the
// block where it saw a fault. The bytes before stop are well-formed but for a
// sequence that stop may cut. earlier: a byte from 80 up lies before the
// block ahead of stop (that block itself is not told).
struct VectorScan {
    size_t stop;
    bool earlier;
};

// The check of Keiser and Lemire: each byte is judged with the one before it
// by three 16-entry tables, indexed by the earlier byte's high and low nibble
// and by its own high nibble. Each bit names one kind of fault; a pair is
// faulty when all three tables give it the same bit.
enum : uint8_t {
    kNoTrail = 1 << 0,      // a lead, then no continuation
    kStrayTrail = 1 << 1,   // a 7-bit byte, then a continuation
    kOverlong3 = 1 << 2,    // E0 80..9F
    kAbove10FFFF = 1 << 3,  // F4..FF 90..BF
    kSurrogate = 1 << 4,    // ED A0..BF
    kOverlong2 = 1 << 5,    // C0 or C1, then a continuation
    kFourOff = 1 << 6,      // F0 80..8F (overlong), F5..FF 80..8F (too large)
    kTwoTrails = 1 << 7,    // continuation after continuation: right only when a lead wants it
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

inline constexpr PairRule kPairRules[] = {
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

inline constexpr PairTables kPairTables = MakePairTables();

#if defined(__x86_64__)
// Hidden already where they are declared, so that the caller reaches them
// directly rather than through the global offset table.
#pragma GCC visibility push(hidden)
// The whole blocks of 64 from p on, up to the first that holds a fault or
// ends inside a sequence that the next must finish.
VectorScan ScanUtf8Ssse3(const unsigned char* p, size_t n) noexcept;
VectorScan ScanUtf8Avx2(const unsigned char* p, size_t n) noexcept;
#pragma GCC visibility pop
#endif

}  // namespace textrion::detail
