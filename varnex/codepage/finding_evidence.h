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

// 7-bit data holding an HZ shift-in ("~{"): Chinese the detector could not
// confirm rather than plain 7-bit text.
VARNEX_API bool HasHzShift(const char* data, size_t size);

}  // namespace finding_evidence
