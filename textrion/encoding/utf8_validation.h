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
// a time with the widest vector check the processor runs, then character by
// character from just before the block where it sees a fault, and for the
// tail.
TEXTRION_API Utf8Validity ValidateUtf8(const unsigned char* bytes, size_t n) noexcept;

// The ways of checking, for tests and benchmarks: kBest is ValidateUtf8's.
enum class Utf8Check { kBest, kScalar, kSsse3, kAvx2 };
// Whether this processor (and this build) runs the way.
TEXTRION_API bool CanCheckUtf8With(Utf8Check way) noexcept;
// ValidateUtf8 the way given; character by character where it cannot run.
TEXTRION_API Utf8Validity ValidateUtf8With(Utf8Check way, const unsigned char* bytes, size_t n) noexcept;
