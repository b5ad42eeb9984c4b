#include "app/locale/read_file_bytes.h"

#include "platform/file_api.h"

namespace locale_detail {

bool ReadFileBytes(const std::u16string& path, size_t maxBytes, std::vector<char>& bytes)
{
    bytes.clear();
    const platform::FileHandle file =
        platform::OpenFile(path, platform::FILE_ACCESS_READ, platform::FILE_OPEN_EXISTING);
    if (file == platform::INVALID_FILE_HANDLE)
        return false;
    uint64_t size = 0;
    bool ok = platform::GetFileSizeOf(file, &size) && size <= maxBytes;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        size_t got = 0;
        ok = platform::ReadFile(file, bytes.data(), bytes.size(), &got) && got == bytes.size();
    }
    platform::CloseFile(file);
    if (!ok)
        bytes.clear();
    return ok;
}

}  // namespace locale_detail
