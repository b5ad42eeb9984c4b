#include "platform/letter_case.h"

#include <unicode/uchar.h>

#include <array>
#include <cstdint>

namespace platform {

namespace {

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

// The scripts single-byte code pages hold (Latin, Greek, Cyrillic, Hebrew,
// Arabic) lie below U+0800: their answers are asked of ICU once.
constexpr char32_t kTabled = 0x800;
constexpr uint8_t kWordBit = 4;

std::array<uint8_t, kTabled> MakeTable()
{
    std::array<uint8_t, kTabled> kinds{};
    for (char32_t c = 0; c < kTabled; ++c)
        kinds[c] = static_cast<uint8_t>(static_cast<uint8_t>(LookUpCase(c)) | (LookUpWordCharacter(c) ? kWordBit : 0));
    return kinds;
}

// Made at load: asked per character, a guarded local costs more than the answer.
const std::array<uint8_t, kTabled> g_kinds = MakeTable();

}  // namespace

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
    if (c < kTabled)
        return static_cast<LetterCase>(g_kinds[c] & (kWordBit - 1));
    return LookUpCase(c);
}

bool IsWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    if (c < kTabled)
        return (g_kinds[c] & kWordBit) != 0;
    return LookUpWordCharacter(c);
}

}  // namespace platform
