#include "platform/message_registry.h"

#include <map>
#include <mutex>
#include <string>

namespace platform {

unsigned RegisterMessage(std::u16string_view name)
{
    static std::mutex mutex;
    static std::map<std::u16string, unsigned, std::less<>> registered;
    std::lock_guard lock(mutex);
    auto it = registered.find(name);
    if (it != registered.end())
        return it->second;
    const unsigned id = 0xC000u + static_cast<unsigned>(registered.size());
    registered.emplace(std::u16string(name), id);
    return id;
}

}  // namespace platform
