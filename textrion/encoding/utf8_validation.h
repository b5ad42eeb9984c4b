#pragma once

#include <cstddef>

#include "textrion/textrion_export.h"

// How a run of bytes fares as UTF-8 under the strict rules of Unicode (no
// overlong forms, no surrogates, nothing above U+10FFFF).
struct Utf8Validity {
    enum Status {
        kValid,      // every byte belongs to a whole, well-formed character
        kTruncated,  // well-formed up to a sequence that the end of the bytes cuts
        kInvalid,    // an ill-formed sequence
    };
    Status status = kValid;
    // kValid: the length; otherwise where the cut or ill-formed sequence starts.
    size_t position = 0;
    // At least one character of two to four bytes lies before position.
    bool multiByte = false;
};

// Checks bytes[0, n): 16 bytes at a time while they are 7-bit, character by
// character otherwise. Stops at the first ill-formed sequence.
TEXTRION_API Utf8Validity ValidateUtf8(const unsigned char* bytes, size_t n) noexcept;
