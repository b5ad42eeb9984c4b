#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Small helpers for the UTF-16 strings used everywhere in the system.
namespace text {

// UTF-8 to UTF-16; ill-formed input becomes U+FFFD (one per maximal bad subpart).
std::u16string FromUtf8(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

std::u16string FromNumber(long long value);
std::u16string FromUnsigned(unsigned long long value);

// ASCII case folding only: keywords, switches and extensions are ASCII.
char16_t AsciiLower(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string AsciiLowered(std::u16string_view s);

}  // namespace text
