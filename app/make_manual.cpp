// Writes varnelpro.1 and the bash completion from the switch table; run by
// the build. Usage: varnelpro_manual MANPAGE COMPLETION
#include <cstdio>
#include <string>

#include "app/options/program_manual.h"
#include "app/options/program_version.h"
#include "base/text.h"

namespace {

// A short write or a failed close fails the build instead of leaving a
// truncated file behind.
bool WriteFile(const char* path, const std::string& text)
{
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::perror(path);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) {
        std::perror(path);
        std::remove(path);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: varnelpro_manual MANPAGE COMPLETION\n");
        return 2;
    }
    const bool ok =
        WriteFile(argv[1], ManualPage(text::ToUtf8(ProgramVersion()))) && WriteFile(argv[2], BashCompletion());
    return ok ? 0 : 1;
}
