#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "varnex/varnex_export.h"

// What a statistical finding rests on, beyond the detector's own confidence.
namespace finding_evidence {

// Bytes 80..FF: the only ones a legacy code page finding is made from.
VARNEX_API uint64_t NonAsciiBytes(const char* data, size_t size);

// The share of words with a letter outside ASCII (two letters or more) that
// hold a capital after a small letter, one of the two outside ASCII ("моЯ",
// "cafŽ"). Natural text has none; a single-byte code page that places the
// script's letters elsewhere makes many.
VARNEX_API double MixedCaseWordShare(std::u16string_view text);
// Whether that share is above zero; stops at the first such word.
[[nodiscard]] VARNEX_API bool HasMixedCaseWord(std::u16string_view text);

// The share of characters outside ASCII standing between two letters that
// are no letters themselves ("h›jre", "caf†"): a page that puts punctuation
// where the text has letters. Apostrophes, middle dots and soft hyphens do
// stand inside words. counted (optional): how many such characters there were.
VARNEX_API double SymbolInWordShare(std::u16string_view text, uint64_t* counted = nullptr);

// The characters of a code page that gives each byte one character whatever
// its neighbours, as the two shares above see them, so that they can be taken
// from the bytes without decoding.
struct ByteKinds {
    uint8_t kind[256] = {};
};
// False for a code page that is not of that kind.
[[nodiscard]] VARNEX_API bool MakeByteKinds(unsigned codepage, ByteKinds& kinds);

struct TextShares {
    double mixedCase = 0.0;    // MixedCaseWordShare
    double symbolShare = 0.0;  // SymbolInWordShare
    uint64_t symbols = 0;
};
enum class Measure {
    kBoth,
    kMixedCase,     // mixedCase only
    kAnyMixedCase,  // only whether mixedCase is above zero, as HasMixedCaseWord
};
// The shares of the bytes' text.
VARNEX_API TextShares MeasureBytes(std::string_view bytes, const ByteKinds& kinds, Measure what = Measure::kBoth);

// How many different bytes 80..FF the data holds: a finding made from one
// says nothing of the code page (a no-break space, one accented letter).
VARNEX_API unsigned DistinctNonAsciiBytes(const char* data, size_t size);

// 7-bit data holding an HZ shift-in ("~{"): Chinese the detector could not
// confirm rather than plain 7-bit text.
[[nodiscard]] VARNEX_API bool HasHzShift(const char* data, size_t size);

}  // namespace finding_evidence
