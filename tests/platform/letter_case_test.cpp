// The kinds kept in a table answer as ICU does for every character, inside
// the table and beyond it.
#include <gtest/gtest.h>

#include <unicode/uchar.h>

#include "platform/letter_case.h"

namespace {

TEST(LetterCase, AnswersAsTheCharacterTables)
{
    for (char32_t c = 0; c < 0x3100; ++c) {
        const auto u = static_cast<UChar32>(c);
        const platform::LetterCase expected = u_isULowercase(u)                   ? platform::LetterCase::kSmall
                                              : u_isUUppercase(u) || u_istitle(u) ? platform::LetterCase::kCapital
                                                                                  : platform::LetterCase::kNone;
        ASSERT_EQ(platform::CaseOfLetter(c), expected) << std::hex << static_cast<uint32_t>(c);
        ASSERT_EQ(platform::IsWordCharacter(c), (U_GET_GC_MASK(u) & (U_GC_L_MASK | U_GC_M_MASK)) != 0)
            << std::hex << static_cast<uint32_t>(c);
    }
}

}  // namespace
