// varnelpro: converts a folder tree of text files into UTF-8.
//
//   varnelpro -in=<folder> -out=<folder>
//
// Each file's encoding is detected (BOM, zero-byte runs, statistics, BOM-less
// UTF-16); binary files are left alone.
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "utils/precision_timer.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/text_file_converter.h"

namespace {

struct Totals {
    unsigned converted = 0;
    unsigned binary = 0;
    unsigned warnings = 0;
    unsigned errors = 0;
    uint64_t bytes = 0;
};

std::string Narrow(const std::u16string& s)
{
    return text::ToUtf8(s);
}

bool EnsureDirectory(const std::u16string& path)
{
    platform::FileStatus st;
    if (platform::GetFileStatus(path, &st))
        return st.type == platform::FileType::Directory;
    const size_t slash = path.find_last_of(u'/');
    if (slash != std::u16string::npos && slash > 0 && !EnsureDirectory(path.substr(0, slash)))
        return false;
    int error = 0;
    return platform::CreateDirectoryOne(path, &error) || error == EEXIST;
}

// Detects one file's encoding and converts it into UTF-8; returns null when
// all went well, else what to report.
const char* ConvertFile(const std::u16string& input, const std::u16string& output, Totals& totals)
{
    CAdvancedDetector detector(input, 65536, 4, true, true);
    if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_ERROR)
        return "cannot read";
    if (detector.GetCodepage() == -1) {
        ++totals.binary;
        return "binary, skipped";
    }
    CTextFileConverter converter(input.c_str(), 32768, 65536, 65536);
    const auto result = converter.Convert(output.c_str(), static_cast<unsigned>(detector.GetCodepage()),
                                          CTextFileConverter::OUTPUTTEXTFORMAT_UTF8,
                                          CTextFileConverter::RETURNTYPE_NOCHANGE, false);
    if (result != CTextFileConverter::CONVERTRESULT_OK)
        return "failed";
    ++totals.converted;
    platform::FileStatus st;
    if (platform::GetFileStatus(input, &st))
        totals.bytes += st.size;
    if (converter.GetReplacementCount() > 0)
        return "converted with replaced characters";
    if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNSURE)
        return "converted, code page unsure";
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    std::u16string in, out;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "-in=", 4) == 0)
            in = text::FromUtf8(argv[i] + 4);
        else if (std::strncmp(argv[i], "-out=", 5) == 0)
            out = text::FromUtf8(argv[i] + 5);
        else if (std::strcmp(argv[i], "-help") == 0 || std::strcmp(argv[i], "-?") == 0) {
            std::puts("usage: varnelpro -in=<folder> -out=<folder>");
            return 0;
        }
    }
    while (in.size() > 1 && in.back() == u'/')
        in.pop_back();
    while (out.size() > 1 && out.back() == u'/')
        out.pop_back();
    platform::FileStatus st;
    if (in.empty() || !platform::GetFileStatus(in, &st) || st.type != platform::FileType::Directory) {
        std::fprintf(stderr, "varnelpro: input folder not found: %s\n", Narrow(in).c_str());
        return 2;
    }
    if (out.empty() || !EnsureDirectory(out) || !platform::IsWritableDirectory(out)) {
        std::fprintf(stderr, "varnelpro: output folder not writable: %s\n", Narrow(out).c_str());
        return 2;
    }
    platform::FileStatus outStatus;
    platform::GetFileStatus(out, &outStatus);

    CPrecisionTimer timer;
    timer.Start();
    Totals totals;
    std::deque<std::u16string> folders{u""};
    while (!folders.empty()) {
        const std::u16string relative = folders.front();
        folders.pop_front();
        platform::DirectoryReader dir;
        if (!dir.Open(relative.empty() ? in : in + u"/" + relative)) {
            std::fprintf(stderr, "error    %s/: cannot list\n", Narrow(relative).c_str());
            ++totals.errors;
            continue;
        }
        platform::DirectoryEntry entry;
        while (dir.Next(entry)) {
            const std::u16string rel = relative.empty() ? entry.name : relative + u"/" + entry.name;
            const std::u16string source = in + u"/" + rel;
            platform::FileStatus es;
            if (!platform::GetFileStatus(source, &es))
                continue;
            if (es.type == platform::FileType::Directory) {
                if (es.device != outStatus.device || es.inode != outStatus.inode)
                    folders.push_back(rel);  // never walk into our own output
                continue;
            }
            if (es.type != platform::FileType::Regular)
                continue;
            const std::u16string target = out + u"/" + rel;
            const size_t slash = target.find_last_of(u'/');
            if (!EnsureDirectory(target.substr(0, slash))) {
                std::fprintf(stderr, "error    %s: cannot create folder\n", Narrow(rel).c_str());
                ++totals.errors;
                continue;
            }
            const char* note = ConvertFile(source, target, totals);
            if (note == nullptr) {
                std::printf("ok       %s\n", Narrow(rel).c_str());
            } else if (std::strstr(note, "binary")) {
                std::printf("binary   %s\n", Narrow(rel).c_str());
            } else if (std::strstr(note, "replaced") || std::strstr(note, "unsure")) {
                std::printf("warning  %s: %s\n", Narrow(rel).c_str(), note);
                ++totals.warnings;
            } else {
                std::printf("error    %s: %s\n", Narrow(rel).c_str(), note);
                ++totals.errors;
            }
        }
        if (dir.Error() != 0) {
            std::fprintf(stderr, "error    %s/: listing failed\n", Narrow(relative).c_str());
            ++totals.errors;
        }
    }
    const double seconds = timer.Stop();
    std::printf("\nConverted %u, binary %u, warnings %u, errors %u; %.2f MB in %.2f s\n", totals.converted,
                totals.binary, totals.warnings, totals.errors, static_cast<double>(totals.bytes) / 1e6, seconds);
    return totals.errors > 0 || totals.warnings > 0 ? 1 : 0;
}
