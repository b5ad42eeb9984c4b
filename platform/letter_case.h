#pragma once

#include <array>
#include <cstdint>

// The case and kind of a character, as the system's character type tables
// give them.
namespace platform {

enum class LetterCase {
    kNone,  // not a letter with case
    kSmall,
    kCapital,  // title case included
};

namespace detail {

// The scripts single-byte code pages hold (Latin, Greek, Cyrillic, Hebrew,
// Arabic) lie below U+0800: their kinds are asked of ICU once, at load, and
// read inline, since text is measured character by character.
constexpr char32_t kTabledLetters = 0x800;
constexpr uint8_t kCaseBits = 3;
constexpr uint8_t kWordBit = 4;
extern const std::array<uint8_t, kTabledLetters> g_letterKinds;

LetterCase LookUpCase(char32_t c);
[[nodiscard]] bool LookUpWordCharacter(char32_t c);

}  // namespace detail

inline LetterCase CaseOfLetter(char32_t c)
{
    if (c < detail::kTabledLetters)
        return static_cast<LetterCase>(detail::g_letterKinds[c] & detail::kCaseBits);
    return detail::LookUpCase(c);
}

// A letter of any script, or a mark that combines with one: what words are
// made of.
[[nodiscard]] inline bool IsWordCharacter(char32_t c)
{
    if (c < detail::kTabledLetters)
        return (detail::g_letterKinds[c] & detail::kWordBit) != 0;
    return detail::LookUpWordCharacter(c);
}

}  // namespace platform
