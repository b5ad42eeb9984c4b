#include "platform/letter_case.h"

#include <unicode/uchar.h>

namespace platform::detail {

LetterCase LookUpCase(char32_t c)
{
    const auto u = static_cast<UChar32>(c);
    if (u_isULowercase(u))
        return LetterCase::kSmall;
    if (u_isUUppercase(u) || u_istitle(u))
        return LetterCase::kCapital;
    return LetterCase::kNone;
}

bool LookUpWordCharacter(char32_t c)
{
    constexpr uint32_t kWordCategories = U_GC_L_MASK | U_GC_M_MASK;
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & kWordCategories) != 0;
}

namespace {

std::array<uint8_t, kTabledLetters> MakeTable()
{
    std::array<uint8_t, kTabledLetters> kinds{};
    for (char32_t c = 0; c < kTabledLetters; ++c)
        kinds[c] = static_cast<uint8_t>(static_cast<uint8_t>(LookUpCase(c)) | (LookUpWordCharacter(c) ? kWordBit : 0));
    return kinds;
}

}  // namespace

// Made at load; nothing measures text while statics are made.
const std::array<uint8_t, kTabledLetters> g_letterKinds = MakeTable();

}  // namespace platform::detail
