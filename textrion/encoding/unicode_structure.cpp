#include "textrion/encoding/unicode_structure.h"

#include <cstdint>

namespace {

bool IsTextCharacter(uint32_t c) noexcept
{
    if (c < 0x20)
        return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x1B;
    if (c >= 0x7F && c <= 0x9F)
        return false;
    return c != 0xFFFE && c != 0xFFFF;
}

bool IsWhiteSpace(uint32_t c) noexcept
{
    return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D || c == 0x3000;
}

// Enough white space for text: one unit in 128, and never none.
bool SpacedLikeText(size_t spaces, size_t units) noexcept
{
    return spaces > 0 && spaces * 128 >= units;
}

uint32_t Unit32(const unsigned char* p, bool bigEndian) noexcept
{
    return bigEndian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                     : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

bool IsUtf32(const unsigned char* bytes, size_t n, bool bigEndian) noexcept
{
    const size_t units = n / 4;
    size_t spaces = 0;
    for (size_t i = 0; i < units; ++i) {
        const uint32_t c = Unit32(bytes + 4 * i, bigEndian);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || !IsTextCharacter(c))
            return false;
        spaces += IsWhiteSpace(c);
    }
    return SpacedLikeText(spaces, units);
}

bool IsUtf16Be(const unsigned char* bytes, size_t n, bool cut) noexcept
{
    const size_t units = n / 2;
    size_t spaces = 0;
    size_t highZero = 0;
    for (size_t i = 0; i < units; ++i) {
        const uint32_t c = uint32_t{bytes[2 * i]} << 8 | bytes[2 * i + 1];
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;  // a low surrogate without its high one
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == units)
                return cut;
            const uint32_t next = uint32_t{bytes[2 * i + 2]} << 8 | bytes[2 * i + 3];
            if (next < 0xDC00 || next > 0xDFFF)
                return false;
            ++i;
            continue;
        }
        if (!IsTextCharacter(c))
            return false;
        highZero += bytes[2 * i] == 0;
        spaces += IsWhiteSpace(c);
    }
    return highZero * 4 >= units * 3 && SpacedLikeText(spaces, units);
}

}  // namespace

const UnicodeForm* JudgeUnicodeStructure(const unsigned char* bytes, size_t n, bool cut) noexcept
{
    if (bytes == nullptr || n < kUnicodeStructureMinimum)
        return nullptr;
    // A whole file holds whole units; a cut sample drops its partial last one.
    if (n % 4 == 0 || cut) {
        if (IsUtf32(bytes, n, false))
            return FindUnicodeForm(TEXTENCODING_UTF32LE);
        if (IsUtf32(bytes, n, true))
            return FindUnicodeForm(TEXTENCODING_UTF32BE);
    }
    if ((n % 2 == 0 || cut) && IsUtf16Be(bytes, n, cut))
        return FindUnicodeForm(TEXTENCODING_UTF16BE);
    return nullptr;
}
