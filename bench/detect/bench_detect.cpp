// Detection speed, as a detect-only session sees it:
//
//   bench_detect [--detect_dir=DIR] [--detect_files=N] [benchmark flags]
//
//  - tree/*: files per second over a generated tree of N small mixed files
//    (tools/corpus, default 2000), with one workspace kept from file to file
//    as a converter thread does, and with a fresh detector per file;
//  - large/*: bytes per second on 4 MiB texts in single-byte code pages and
//    in plain ASCII, the whole detection from the file and the statistics
//    alone on bytes in memory.
//
// The inputs go to DIR (kept) or to a temporary folder in RAM when there is
// one (removed at exit), so the disk is not what is measured. The page cache
// is warm after the first iteration.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "codecs/codepage.h"
#include "textrion/io/file_sample.h"
#include "tools/corpus/corpus_texts.h"
#include "tools/corpus/mixed_tree.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_detector.h"

namespace {

// The job setting's defaults.
constexpr unsigned kBlockSize = 2048;
constexpr unsigned kSampleMB = 4;
constexpr uint64_t kLargeBytes = 4ull << 20;

std::string g_dir;
bool g_removeDir = false;
unsigned g_treeFiles = 2000;
std::vector<std::u16string> g_treePaths;

struct LargeText {
    const char* name;
    const char* paragraphs[3];  // corpus paragraphs whose words make the text
    unsigned codepage;          // written in
    int detected;               // found
    std::string path;
    std::string bytes;
};

LargeText g_large[] = {
    {"KOI8-R", {"ru", "ru", "ru"}, 20866, 20866, {}, {}},
    {"windows-1252", {"fr", "de", "es"}, 1252, 1252, {}, {}},
    {"ASCII", {"ascii", "ascii", "ascii"}, 1252, 0, {}, {}},
};

// Words of the paragraphs in random order, in lines of about 70 characters,
// cut at kLargeBytes once encoded.
std::string MakeLargeText(const LargeText& large)
{
    std::vector<std::u16string> words;
    for (const char* id : large.paragraphs) {
        std::istringstream paragraph{std::string(corpus::ParagraphById(id).utf8)};
        for (std::string word; paragraph >> word;)
            words.push_back(text::FromUtf8(word));
    }
    // The engine's sequence is fixed by the standard: the same text everywhere.
    std::mt19937 random(0x5EED0D37);
    std::u16string text;
    size_t line = 0;
    while (text.size() < kLargeBytes) {
        const std::u16string& word = words[random() % words.size()];
        text += word;
        line += word.size() + 1;
        text += line > 70 ? u'\n' : u' ';
        if (line > 70)
            line = 0;
    }
    std::string bytes;
    if (!codecs::EncodeCodePage(large.codepage, text, bytes))
        throw std::runtime_error(std::string("cannot encode ") + large.name);
    bytes.resize(kLargeBytes);
    return bytes;
}

void Prepare()
{
    const std::string tree = g_dir + "/tree";
    mkdir(tree.c_str(), 0755);
    corpus::TreeOptions options;
    options.files = g_treeFiles;
    for (const corpus::TreeFile& file : corpus::MakeMixedTree(tree, options))
        g_treePaths.push_back(text::FromUtf8(tree + "/" + file.relative));
    for (LargeText& large : g_large) {
        large.bytes = MakeLargeText(large);
        large.path = g_dir + "/large-" + large.name + ".txt";
        std::ofstream(large.path, std::ios::binary)
            .write(large.bytes.data(), static_cast<std::streamsize>(large.bytes.size()));
    }
}

// The code pages found, so that a change that makes detection faster but
// different shows.
uint64_t Fingerprint(uint64_t sum, int codepage)
{
    return sum * 31 + static_cast<uint64_t>(codepage + 7);
}

void TreeKept(benchmark::State& state)
{
    CAdvancedDetector::CWorkspace workspace;
    uint64_t sum = 0;
    for (auto _ : state) {
        sum = 0;
        for (const std::u16string& path : g_treePaths) {
            CAdvancedDetector detector({.blockSize = kBlockSize, .scanLimitMB = kSampleMB, .workspace = &workspace});
            sum = Fingerprint(sum, detector.Detect(path).codepage);
        }
    }
    state.counters["fingerprint"] = static_cast<double>(sum % 1000000);
    state.SetItemsProcessed(static_cast<int64_t>(g_treePaths.size() * state.iterations()));
}

void TreeFresh(benchmark::State& state)
{
    uint64_t sum = 0;
    for (auto _ : state) {
        sum = 0;
        for (const std::u16string& path : g_treePaths) {
            CAdvancedDetector detector({.blockSize = kBlockSize, .scanLimitMB = kSampleMB});
            sum = Fingerprint(sum, detector.Detect(path).codepage);
        }
    }
    state.counters["fingerprint"] = static_cast<double>(sum % 1000000);
    state.SetItemsProcessed(static_cast<int64_t>(g_treePaths.size() * state.iterations()));
}

void LargeFile(benchmark::State& state, const LargeText* large)
{
    CAdvancedDetector::CWorkspace workspace;
    const std::u16string path = text::FromUtf8(large->path);
    int codepage = -1;
    for (auto _ : state) {
        CAdvancedDetector detector({.blockSize = kBlockSize, .scanLimitMB = kSampleMB, .workspace = &workspace});
        codepage = detector.Detect(path).codepage;
    }
    if (codepage != large->detected)
        state.SkipWithError(("found code page " + std::to_string(codepage)).c_str());
    state.SetBytesProcessed(static_cast<int64_t>(large->bytes.size() * state.iterations()));
}

void LargeStatistics(benchmark::State& state, const LargeText* large)
{
    CCodepageDetector detector(kBlockSize, kSampleMB, false);
    CFileSample sample;
    const auto* bytes = reinterpret_cast<const unsigned char*>(large->bytes.data());
    uint64_t fed = 0;
    for (auto _ : state) {
        sample.Hold(bytes, large->bytes.size(), true);
        detector.Detect(sample);
        fed = detector.GetBytesFed();
    }
    if (detector.GetCodepage() != large->detected)
        state.SkipWithError(("found code page " + std::to_string(detector.GetCodepage())).c_str());
    state.counters["fed_bytes"] = static_cast<double>(fed);
    state.SetBytesProcessed(static_cast<int64_t>(large->bytes.size() * state.iterations()));
}

bool MakeDir()
{
    if (!g_dir.empty()) {
        std::filesystem::create_directories(g_dir);
        return true;
    }
    std::filesystem::path base = std::filesystem::temp_directory_path();
    if (access("/dev/shm", W_OK) == 0)
        base = "/dev/shm";
    std::string pattern = (base / "bench-detect-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("bench_detect: mkdtemp");
        return false;
    }
    g_dir = pattern;
    g_removeDir = true;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.rfind("--detect_dir=", 0) == 0)
            g_dir = std::string(arg.substr(std::strlen("--detect_dir=")));
        else if (arg.rfind("--detect_files=", 0) == 0)
            g_treeFiles = static_cast<unsigned>(std::strtoul(argv[i] + std::strlen("--detect_files="), nullptr, 10));
        else
            rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()) || !MakeDir())
        return 1;
    int status = 0;
    try {
        Prepare();
        CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
        benchmark::RegisterBenchmark("tree/kept", TreeKept)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("tree/fresh", TreeFresh)->Unit(benchmark::kMillisecond);
        for (const LargeText& large : g_large) {
            benchmark::RegisterBenchmark((std::string("large/file/") + large.name).c_str(), LargeFile, &large)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((std::string("large/statistics/") + large.name).c_str(), LargeStatistics,
                                         &large)
                ->Unit(benchmark::kMillisecond);
        }
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_detect: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    if (g_removeDir)
        std::filesystem::remove_all(g_dir);
    return status;
}
