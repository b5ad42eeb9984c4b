#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Small helpers for the UTF-16 strings used everywhere in the system.
namespace text {

// The well-formed UTF-8 sequence at s (n bytes available): its length (1..4)
// with the code point in cp, 0 when the bytes there are not well-formed
// UTF-8, -1 when they are a valid start cut by the end of the input.
int Utf8SequenceAt(const unsigned char* s, size_t n, char32_t& cp);
// Appends a code point (at most U+10FFFF, not a surrogate) in either form.
void AppendUtf8(std::string& out, char32_t cp);
void AppendUtf16(std::u16string& out, char32_t cp);

// UTF-8 to UTF-16; ill-formed input becomes U+FFFD (one per maximal bad subpart).
std::u16string FromUtf8(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

// UTF-8 for a terminal line: control characters (which could move the cursor
// or recolour the screen), bidirectional controls and other unpaired
// surrogates are written as \uXXXX, a file name's byte that is not UTF-8
// (held as U+DC80..U+DCFF) as \xXX, and a backslash as \\, so what is shown
// is what is there and nothing shown can be forged.
std::string ForTerminal(std::u16string_view text);

std::u16string FromNumber(long long value);
std::u16string FromUnsigned(unsigned long long value);
// Plain decimal digits only (no sign, no blanks), at most maxDigits of them,
// so the value cannot overflow when maxDigits is 19 or less.
[[nodiscard]] bool ToUnsigned(std::u16string_view digits, size_t maxDigits, unsigned long long& value);

// ASCII case folding only: keywords, switches and extensions are ASCII.
char16_t AsciiLower(char16_t c);
[[nodiscard]] bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string AsciiLowered(std::u16string_view s);

// Shell wildcards: '*' matches any run of characters (also none), '?' one
// character; any other character matches itself, ASCII letters in either
// case when ignoreAsciiCase.
[[nodiscard]] bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name, bool ignoreAsciiCase);

}  // namespace text
