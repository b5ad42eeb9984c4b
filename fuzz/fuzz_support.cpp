#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/text.h"

namespace fuzz {

namespace {

std::string MakeFolder()
{
    std::string base;
    if (const char* given = std::getenv("VARNEL_FUZZ_TMP"); given != nullptr && given[0] != '\0')
        base = given;
    else
        base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string folder = base + "/varnel-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

const std::string& TempFolder()
{
    static const std::string folder = MakeFolder();
    // Registered once the string exists, so it runs before the string goes.
    static const bool removedAtExit = std::atexit([] { std::filesystem::remove_all(folder); }) == 0;
    (void)removedAtExit;
    return folder;
}

std::u16string WriteTempFile(std::string_view name, std::string_view bytes)
{
    const std::string path = TempFolder() + "/" + std::string(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return text::FromUtf8(path);
}

void Fail(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

}  // namespace fuzz
