#include "platform/letter_case.h"

#include <unicode/uchar.h>

namespace platform {

LetterCase CaseOfLetter(char32_t c)
{
    // ASCII is most of any text: no table lookup for it.
    if (c < 0x80) {
        if (c >= 'a' && c <= 'z')
            return LetterCase::kSmall;
        if (c >= 'A' && c <= 'Z')
            return LetterCase::kCapital;
        return LetterCase::kNone;
    }
    const auto u = static_cast<UChar32>(c);
    if (u_isULowercase(u))
        return LetterCase::kSmall;
    if (u_isUUppercase(u) || u_istitle(u))
        return LetterCase::kCapital;
    return LetterCase::kNone;
}

}  // namespace platform
