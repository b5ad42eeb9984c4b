#pragma once

#include <cstddef>

#include "textrion/encoding/unicode_forms.h"
#include "textrion/textrion_export.h"

// Whether bytes without a byte order mark are UTF-32LE, UTF-32BE, UTF-16LE or
// UTF-16BE text, for any script. Strict, so that no binary and no 8-bit text
// passes. Read as the form, the bytes must hold:
//  - only characters: surrogates in pairs (UTF-16) or none (UTF-32), nothing
//    above U+10FFFF, no noncharacter, no U+0000, no C0 control but TAB, LF,
//    VT, FF, CR, SUB and ESC, no C1 control;
//  - separators, one character in 128 at least: white space and punctuation
//    whose units hold a byte below 0x20 (U+0000..U+00FF, the ideographic
//    space, comma and full stop, the fullwidth stops), which 8-bit text never
//    pairs its bytes into. Latin-1 text (three characters in four below
//    U+0100) needs one space or line break; other text two separators in 16
//    characters at least, one of them a space or line break below 64;
//  - only assigned characters, private-use ones at most one in 64;
//  - letters in words: on average two letters at least between changes of
//    script, three with more than four scripts or below 64 characters (kana
//    and Bopomofo count as Han).
// When both byte orders of UTF-16 pass, the one with more separators is
// taken; a tie is no answer. cut: the bytes stop before the file does, so a
// unit or pair cut at the end is no fault. nullptr when no form fits.
TEXTRION_API const UnicodeForm* JudgeUnicodeStructure(const unsigned char* bytes, size_t n, bool cut) noexcept;

// Fewer bytes are never judged: a few units say nothing of a file.
inline constexpr size_t kUnicodeStructureMinimum = 16;
