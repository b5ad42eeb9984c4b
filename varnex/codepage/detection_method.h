#pragma once

#include <cstdint>

// Which test settled a file's code page, kept in the file's record. Reports
// name it by keyword (DetectionMethodKeyword); the numbers are not stored.
enum class DetectionMethod : int {
    None = 0,        // not detected (yet), or the file could not be read
    Extension = 1,   // binary by the "Binary.bin" extension list
    Bom = 2,         // byte order mark
    Bomless = 3,     // UTF-16 or UTF-32 without BOM, by structure or the UTF-16 test
    ZeroBytes = 4,   // binary by runs of zero bytes
    Utf8Check = 5,   // valid UTF-8 with multi-byte characters
    Statistics = 6,  // the statistical detector
    TextTest = 7,    // nothing found: binary or unknown text by the text test
    Fixed = 8,       // the code page was given, not detected
};

// Line endings of a converted file's text as read (before any change of
// style): a CR LF pair counts once, as CR LF only.
struct LineEndingCounts {
    uint64_t crlf = 0;
    uint64_t lf = 0;
    uint64_t cr = 0;
    bool counted = false;  // false: the text was not read through (detection only, copied, failed)

    bool operator==(const LineEndingCounts&) const = default;
};
