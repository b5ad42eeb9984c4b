#pragma once

// The case of a character, as the system's character type tables give it.
namespace platform {

enum class LetterCase {
    kNone,     // not a letter with case
    kSmall,
    kCapital,  // title case included
};

LetterCase CaseOfLetter(char32_t c);

}  // namespace platform
