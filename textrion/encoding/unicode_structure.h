#pragma once

#include <cstddef>

#include "textrion/encoding/unicode_forms.h"
#include "textrion/textrion_export.h"

// Whether bytes without a byte order mark are UTF-16BE, UTF-32LE or UTF-32BE
// text by their structure alone (BOM-less UTF-16LE has its own statistical
// test). Strict, so that no binary passes: every unit is a character a text
// holds (no U+0000, no control but TAB, LF, VT, FF, CR, SUB and ESC, no C1
// control, no noncharacter U+FFFE/U+FFFF), surrogates come in pairs, UTF-32
// units are at most U+10FFFF; UTF-16 units have a zero high byte in at least
// three of four (Latin-script text); and one unit in 128 at least is white
// space. cut: the bytes stop before the file does, so a unit or pair cut at
// the end is no fault. nullptr when none of the three fits.
TEXTRION_API const UnicodeForm* JudgeUnicodeStructure(const unsigned char* bytes, size_t n, bool cut) noexcept;

// Fewer bytes are never judged: a few units say nothing of a file.
inline constexpr size_t kUnicodeStructureMinimum = 16;
