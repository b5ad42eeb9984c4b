#pragma once

#include <cstdint>

// Which test settled a file's code page, kept in the file's record. Reports
// name it by keyword (DetectionMethodKeyword); the numbers are not stored.
enum VARNEXDETECTIONMETHOD : int {
    VARNEXDETECTIONMETHOD_NONE = 0,        // not detected (yet), or the file could not be read
    VARNEXDETECTIONMETHOD_EXTENSION = 1,   // binary by the "Binary.bin" extension list
    VARNEXDETECTIONMETHOD_BOM = 2,         // byte order mark
    VARNEXDETECTIONMETHOD_BOMLESS = 3,     // UTF-16 or UTF-32 without BOM, by structure or the UTF-16 test
    VARNEXDETECTIONMETHOD_ZERO_BYTES = 4,  // binary by runs of zero bytes
    VARNEXDETECTIONMETHOD_UTF8_CHECK = 5,  // valid UTF-8 with multi-byte characters
    VARNEXDETECTIONMETHOD_STATISTICS = 6,  // the statistical detector
    VARNEXDETECTIONMETHOD_TEXT_TEST = 7,   // nothing found: binary or unknown text by the text test
    VARNEXDETECTIONMETHOD_FIXED = 8,       // the code page was given, not detected
};

// Line endings of a converted file's text as read (before any change of
// style): a CR LF pair counts once, as CR LF only.
struct VARNEXLINEENDINGS {
    uint64_t crlf = 0;
    uint64_t lf = 0;
    uint64_t cr = 0;
    bool counted = false;  // false: the text was not read through (detection only, copied, failed)

    bool operator==(const VARNEXLINEENDINGS&) const = default;
};
