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

// Checks bytes[0, n) and stops at the first ill-formed sequence: 64 bytes at
// a time with the vector check of the active kernel (codecs/cpu_kernels.h),
// then character by character from just before the block where it sees a
// fault, and for the tail. Every kernel gives the same answer.
TEXTRION_API Utf8Validity ValidateUtf8(const unsigned char* bytes, size_t n) noexcept;
