#pragma once

#include <cstddef>
#include <cstdint>

// The statistical test for UTF-16 LE text without a BOM. It is deliberately
// conservative: 8-bit text is never taken for UTF-16 ("Bush hid the facts"),
// so a sample needs some units whose high byte is zero (spaces, line breaks,
// digits or Latin letters) before it can pass.
//
// The sample passes when all of these hold:
//  - it holds at least one whole unit and an even number of bytes;
//  - no unit is U+0000, U+FFFE or U+FFFF, and surrogates are paired (a high
//    surrogate as the very last unit is allowed: the sample may cut a pair);
//  - at most 1% of the units are C0 controls other than TAB, LF, VT, FF, CR,
//    SUB and ESC;
//  - byte-swapped blanks (U+0900, U+0A00, U+0D00, U+2000: TAB, LF, CR and
//    space of UTF-16 BE text) are fewer than the blanks themselves;
//  - and either every unit is 7-bit, or some units have a zero high byte and
//    the rest reads as text: the high bytes take at most half as many distinct
//    values as the low bytes, or there is a blank and the characters outside
//    ASCII, at least eight of them, are all assigned, none private-use, and of
//    at most three scripts. The second catches a few lines of Chinese, whose
//    bytes vary too much for the first to tell; random bytes fail it.
namespace codecs {

enum : unsigned {
    TEXT_UNICODE_ASCII16 = 0x0001,        // every unit is 7-bit
    TEXT_UNICODE_STATISTICS = 0x0002,     // the rest reads as text (see above)
    TEXT_UNICODE_ODD_LENGTH = 0x0100,     // refused: a byte count that is not even
    TEXT_UNICODE_NUL = 0x0200,            // refused: a U+0000 unit
    TEXT_UNICODE_ILLEGAL_CHARS = 0x0400,  // refused: U+FFFE, U+FFFF or an unpaired surrogate
    TEXT_UNICODE_CONTROLS = 0x0800,       // refused: too many control units
    TEXT_UNICODE_REVERSE = 0x1000,        // refused: looks like byte-swapped (BE) text
    TEXT_UNICODE_NO_ZERO_HIGH = 0x2000,   // refused: no unit with a zero high byte
};

// True when the bytes look like UTF-16 LE text. flags (optional) receives the
// TEXT_UNICODE_ values that led to the answer.
bool IsTextUnicode(const void* data, size_t size, unsigned* flags = nullptr);

// What a test for text asks of one code point.
struct CharacterTraits {
    enum Use : uint8_t {
        TEXT,         // an assigned character text holds
        PRIVATE_USE,  // meaningful only between the parties that agreed on it
        NOT_TEXT,     // unassigned (noncharacters too), a surrogate or a control
    };
    Use use = NOT_TEXT;
    // The script the character is written in, kana and Bopomofo given as Han,
    // with which they share words; kNoScript for the characters every script
    // shares (digits, punctuation, symbols, combining marks).
    int script = kNoScript;
    static constexpr int kNoScript = -1;
};
CharacterTraits DescribeCharacter(char32_t c) noexcept;

}  // namespace codecs
