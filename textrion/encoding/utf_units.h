// UTF-16 unit helpers shared by CUTFProcessor's decode side and encode side.
#pragma once

#include <bit>

// Internal to textrion/encoding/.
namespace textrion::detail {

inline constexpr char16_t kReplacement = 0xFFFD;

inline constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

[[nodiscard]] inline bool IsHigh(char16_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
[[nodiscard]] inline bool IsLow(char16_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace textrion::detail
