// varnelpro: converts a folder tree of text files into UTF-8.
//
//   varnelpro -in=<folder> -out=<folder>
//
// Each file's encoding comes from its BOM, the BOM-less UTF-16 test or, for
// the rest, code page 0 (UTF-8 where the bytes are UTF-8, the legacy code page
// elsewhere); files with runs of zero bytes are binary and left alone.
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/encoding/bom_detector.h"
#include "textrion/encoding/bomless_unicode_detector.h"
#include "textrion/io/bin_file_detector.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"
#include "utils/precision_timer.h"

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

// Converts one file into UTF-8 under a temporary name, renamed into place when complete.
const char* ConvertFile(const std::u16string& input, const std::u16string& output, Totals& totals)
{
    CBomDetector bom(input.c_str());
    if (bom.HasReadError())
        return "cannot read";
    const bool hasBom = bom.GetResult() != BOM_NONE;
    if (!hasBom) {
        CBinFileDetector binary(input.c_str(), 4, 65536, 64);
        if (binary.Detect()) {
            ++totals.binary;
            return "binary, skipped";
        }
    }
    const bool utf16 = !hasBom && CBomlessUnicodeDetector(input.c_str()).Detect() == BOMLESS_UTF16LE;

    const std::u16string temp = output + u".varnel-part";
    CTextFileReader reader(input.c_str(), 65536);
    if (!reader.IsOpen())
        return "cannot open";
    if (utf16)
        reader.SetEncoding(TEXTENCODING_UTF16LE);
    bool ok = true;
    {
        CTextFileWriter writer(temp.c_str(), TEXTENCODING_UTF8, false, false, 65536);
        if (!writer.IsOpen())
            return "cannot create output";
        std::vector<char16_t> chunk(32768);
        unsigned pending = 0;
        for (;;) {
            unsigned consumed = 0;
            const unsigned n = reader.Read(chunk.data() + pending, static_cast<unsigned>(chunk.size()) - pending, &consumed);
            totals.bytes += consumed;
            pending += n;
            if (pending == 0 || (n == 0 && pending > 0)) {
                if (pending > 0) {  // a lone high surrogate at the very end
                    writer.Write(u'\uFFFD');
                }
                break;
            }
            const unsigned written = writer.Write(chunk.data(), pending);
            std::memmove(chunk.data(), chunk.data() + written, (pending - written) * sizeof(char16_t));
            pending -= written;
        }
        ok = writer.Close() && !reader.HasReadError();
    }
    if (!ok || !platform::RenameFile(temp, output)) {
        platform::RemoveFile(temp);
        return "failed";
    }
    ++totals.converted;
    return reader.GetReplacementCount() > 0 ? "converted with replaced characters" : nullptr;
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
            } else if (std::strstr(note, "replaced")) {
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
