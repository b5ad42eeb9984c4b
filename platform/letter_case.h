#pragma once

// The case and kind of a character, as the system's character type tables
// give them.
namespace platform {

enum class LetterCase {
    kNone,     // not a letter with case
    kSmall,
    kCapital,  // title case included
};

LetterCase CaseOfLetter(char32_t c);

// A letter of any script, or a mark that combines with one: what words are
// made of.
bool IsWordCharacter(char32_t c);

}  // namespace platform
