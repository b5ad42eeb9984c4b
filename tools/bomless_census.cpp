// bomless_census < PATHS: runs the program's detection on each file of a
// NUL-separated list (find -print0) and counts the files it takes for BOM-less
// UTF-16 or UTF-32 text, listing each of them. On binaries (programs,
// libraries, images, fonts, archives, message catalogues) that count must be 0.
// The binary extension list is not consulted: every file is looked at.
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>

#include "base/text.h"
#include "varnex/codepage/advanced_detector.h"

int main(int argc, char**)
{
    if (argc > 1) {
        fprintf(stderr, "usage: find ROOTS -type f -print0 | bomless_census\n");
        return 2;
    }
    constexpr unsigned kBlock = 2048;  // the program's defaults
    constexpr unsigned kLimitMB = 4;
    CAdvancedDetector::CWorkspace workspace;
    unsigned long files = 0, skipped = 0, unicode = 0;
    unsigned long long bytes = 0;
    std::map<int, unsigned long> byForm;
    const auto judge = [&](const std::string& path) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            ++skipped;
            return;
        }
        CAdvancedDetector detector(
            {.blockSize = kBlock, .scanLimitMB = kLimitMB, .binaryListShortcut = false, .workspace = &workspace});
        detector.Detect(text::FromUtf8(path));
        if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_ERROR) {
            ++skipped;  // unreadable
            return;
        }
        ++files;
        bytes += static_cast<unsigned long long>(st.st_size);
        if (detector.GetMethod() == DetectionMethod::Bomless) {
            ++unicode;
            ++byForm[detector.GetCodepage()];
            printf("taken as text (code page %d): %s\n", detector.GetCodepage(), path.c_str());
        }
    };
    std::string path;
    for (int c = getchar();; c = getchar()) {
        if (c != EOF && c != '\0') {
            path += static_cast<char>(c);
            continue;
        }
        if (!path.empty())
            judge(path);
        path.clear();
        if (c == EOF)
            break;
    }
    printf("files %lu (%llu MB), skipped %lu, taken as BOM-less UTF-16/UTF-32 text %lu", files, bytes >> 20, skipped,
           unicode);
    for (const auto& [codepage, count] : byForm)
        printf(", %d: %lu", codepage, count);
    printf("\n");
    return 0;
}
