#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace locale_detail {

// The whole content of a regular file, read through the file layer so that
// any name on disk works and a FIFO or device is refused instead of blocking.
// False when the file cannot be read or is larger than maxBytes.
bool ReadFileBytes(const std::u16string& path, size_t maxBytes, std::vector<char>& bytes);

}  // namespace locale_detail
