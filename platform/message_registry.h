#pragma once

#include <string_view>

namespace platform {

// A process-wide, stable number for a message name: the same name always gives
// the same number, different names different numbers (from 0xC000 on, the
// range of registered window messages). Thread-safe.
unsigned RegisterMessage(std::u16string_view name);

}  // namespace platform
