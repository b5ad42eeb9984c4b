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

bool IsWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    constexpr uint32_t kWordCategories = U_GC_L_MASK | U_GC_M_MASK;
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & kWordCategories) != 0;
}

}  // namespace platform
