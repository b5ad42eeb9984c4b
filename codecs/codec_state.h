// What every codec family's decoder and encoder report: progress, and the decoder's tally of bad input.
#pragma once

#include <cstddef>
#include <cstdint>

// Internal to codecs/: the contract each family's Decode and Encode keep is
// CodePageDecoder::Decode's and CodePageEncoder::Encode's (codepage.h).
namespace codecs::detail {

inline constexpr char16_t kReplacement = 0xFFFD;

struct Progress {
    size_t consumed = 0;
    size_t produced = 0;
};

// What one decoder counts over its stream: the sequences it replaced, and
// where the first byte lies that its code page does not cover (the first
// replaced sequence's start; for code page 0 also a byte that is not UTF-8).
// Offsets count the bytes given to the decoder since it was made.
struct DecodeTally {
    static constexpr uint64_t kNone = UINT64_MAX;
    uint64_t replaced = 0;
    uint64_t firstUncovered = kNone;
    uint64_t callStart = 0;  // the offset of the current call's first byte

    // A sequence that starts at byte at of the current call (before it when
    // negative: bytes an earlier call left held) was replaced, or not covered.
    void Replaced(ptrdiff_t at)
    {
        ++replaced;
        Uncovered(at);
    }
    void Uncovered(ptrdiff_t at)
    {
        if (firstUncovered == kNone)
            firstUncovered = callStart + static_cast<uint64_t>(at);
    }
};

// Takes the next character from a UTF-16 input for the encoders that map unit
// by unit. A surrogate, paired or lone, is one character (returned as U+D800)
// that none of their code pages has. A high surrogate that ends an input which
// goes on is consumed and held in heldHigh until the next call. False when
// there is nothing (more) to take now.
bool TakeCharacter(const char16_t* src, size_t n, size_t& used, bool end, char16_t& heldHigh, char32_t& c);

}  // namespace codecs::detail
