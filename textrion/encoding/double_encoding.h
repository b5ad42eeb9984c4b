#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "textrion/textrion_export.h"

// UTF-8 text that was read once more as windows-1252 (or ISO-8859-1) and
// written as UTF-8 again: "é" became "Ã©", "’" became "â€™". Each run of
// characters that windows-1252 (or Latin-1, for 80..9F) can hold is turned
// back into those bytes; the run is double-encoded when the bytes are valid
// UTF-8 holding at least one multi-byte sequence.
struct DoubleEncodingScan {
    size_t nonAscii = 0;   // characters from U+0080 on
    size_t redecoded = 0;  // of them, those in runs that decode again
    size_t runs = 0;       // runs that decode again
};

// utf8 must be valid UTF-8, except that a character cut at its end is ignored.
TEXTRION_API DoubleEncodingScan ScanDoubleEncoding(std::string_view utf8) noexcept;

// Double-encoded: some run decodes again, and such runs hold at least four
// in five of the non-ASCII characters (genuine text has Latin-1 letters
// standing alone, which never decode again).
[[nodiscard]] TEXTRION_API bool LooksDoubleEncoded(std::string_view utf8) noexcept;

// Undoes double encoding in a stream of UTF-16 text: every run that decodes
// again is replaced by what it decodes to, everything else is kept. A run
// that reaches the end of one piece waits for the next.
class TEXTRION_API CDoubleEncodingRepair {
public:
    // Appends the repaired text of units to out; final: no more text follows.
    void Repair(std::u16string_view units, bool final, std::u16string& out);

private:
    void EndRun(std::u16string& out);

    std::u16string m_run;  // the characters of the open run
    std::string m_bytes;   // and their windows-1252 bytes
};
