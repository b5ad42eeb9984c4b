#pragma once

#include <string>
#include <string_view>

// Paths are UTF-16 at every API and native bytes only inside platform/. The
// mapping is lossless: a byte of a name that is not valid UTF-8 maps to the lone
// surrogate U+DC00+byte and back, so every name on disk round-trips.
namespace platform {

std::string ToNativePath(std::u16string_view path);
std::u16string FromNativePath(std::string_view native);

}  // namespace platform
