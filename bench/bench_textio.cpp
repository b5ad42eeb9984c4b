// Throughput of the text file reader and writer on realistic text: about
// 32 MiB per file, generated from a fixed seed so every run (and the iconv
// comparison in scripts/bench-textio.sh) sees the same bytes.
//
//   bench_textio [--textio_dir=DIR] [--textio_generate_only] [benchmark flags]
//
// With --textio_dir the input files are written there (kept afterwards);
// otherwise into a temporary folder that is removed at exit. Rates are bytes
// of the file per second: input bytes for reading, output bytes for writing.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "codecs/cpu_kernels.h"
#include "textrion/encoding/utf8_validation.h"
#include "textrion/encoding/utf_processor.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"

namespace {

constexpr unsigned kBufferBytes = 64 * 1024;
constexpr unsigned kChunkUnits = 32 * 1024;
constexpr uint64_t kTargetFileBytes = 32ull * 1024 * 1024;

// One file format under test: how the text is stored and what it says.
struct Format {
    const char* name;       // benchmark row name
    const char* fileName;   // the encoded file
    const char* utf16Name;  // the same text as UTF-16 LE (iconv's encoding input)
    TEXTENCODING encoding;
    unsigned codePage;  // for TEXTENCODING_CODEPAGE
    enum Corpus { Mixed, Latin, Japanese } corpus;
};

const Format kFormats[] = {
    {"UTF-8", "mixed.utf8", "mixed.utf16le", TEXTENCODING_UTF8, 0, Format::Mixed},
    {"UTF-16LE", "mixed.utf16le", "mixed.utf16le", TEXTENCODING_UTF16LE, 0, Format::Mixed},
    {"windows-1252", "latin.cp1252", "latin.utf16le", TEXTENCODING_CODEPAGE, 1252, Format::Latin},
    {"Shift_JIS", "japanese.sjis", "japanese.utf16le", TEXTENCODING_CODEPAGE, 932, Format::Japanese},
};

// Small deterministic generator (xorshift64*): the same text on every machine,
// unlike the standard distributions whose algorithms are unspecified.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) { }
    unsigned Below(unsigned n)
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return static_cast<unsigned>(((m_state * 0x2545F4914F6CDD1Dull) >> 32) % n);
    }

private:
    uint64_t m_state;
};

// Words of each corpus. The Latin words stay inside windows-1252 and the
// Japanese ones inside JIS X 0208 (no half-width kana, no characters whose
// mapping differs between Shift_JIS tables), so both encode without loss.
const char* const kLatinWords[] = {
    "the",        "and",    "of",    "to",      "in",       "file",        "text",      "page",    "été",
    "garçon",     "déjà",   "où",    "naïve",   "cœur",     "œuvre",       "Straße",    "Größe",   "über",
    "Mädchen",    "schön",  "niño",  "año",     "mañana",   "corazón",     "canción",   "São",     "coração",
    "informação", "açúcar", "élève", "fenêtre", "Ångström", "smörgåsbord", "façade",    "crème",   "brûlée",
    "€",          "«",      "»",     "café",    "résumé",   "Zürich",      "København", "Øresund", "señor",
    "pingüino",   "Ærø",    "ça",    "voilà",   "l’été",    "“quoted”",    "–",         "12,50",   "1998",
};
const char* const kJapaneseWords[] = {
    "日本語",       "東京",     "大阪",     "こんにちは", "ありがとう", "カタカナ", "ひらがな", "漢字", "文章",
    "変換",         "文字",     "ファイル", "読み込み",   "書き込み",   "です",     "ます",     "した", "という",
    "これは",       "それから", "新しい",   "古い",       "会社",       "社会",     "研究",     "情報", "技術",
    "経済",         "学校",     "先生",     "学生",       "電車",       "時間",     "今日",     "明日", "天気",
    "コンピュータ", "データ",   "システム", "プログラム", "の",         "に",       "を",       "は",   "が",
    "、",           "、",       "「",       "」",         "（",         "）",       "・",       "2024", "ABC",
};
const char* const kMixedWords[] = {
    "the",    "and", "of",       "to",    "in",       "is",       "that",   "for",   "it",     "with",   "as",
    "was",    "on",  "file",     "text",  "encoding", "value",    "result", "naïve", "café",   "Straße", "señor",
    "Привет", "мир", "Ελληνικά", "λόγος", "日本語",   "テキスト", "中文",   "汉字",  "한국어", "עברית",  "العربية",
    "हिन्दी",  "ไทย", "😀",        "🚀",     "𝔘𝔫𝔦𝔠𝔬𝔡𝔢",  "€",        "—",      "“",     "”",      "2024",   "0x1F",
};

template <size_t N>
std::u16string Generate(const char* const (&words)[N], bool spaces, uint64_t seed, uint64_t targetBytes,
                        uint64_t (*encodedSize)(std::u16string_view))
{
    std::vector<std::u16string> vocabulary;
    for (const char* w : words)
        vocabulary.push_back(text::FromUtf8(w));
    Rng rng(seed);
    std::u16string out;
    uint64_t bytes = 0;
    unsigned inLine = 0;
    while (bytes < targetBytes) {
        std::u16string piece = vocabulary[rng.Below(N)];
        if (++inLine >= 8 + rng.Below(10)) {
            piece += rng.Below(4) == 0 ? u"\r\n\r\n" : u"\r\n";
            inLine = 0;
        } else if (rng.Below(12) == 0) {
            piece += spaces ? u". " : u"。";
        } else if (spaces) {
            piece += u' ';
        }
        bytes += encodedSize(piece);
        out += piece;
    }
    return out;
}

uint64_t Utf8Size(std::u16string_view s)
{
    return text::ToUtf8(s).size();
}
uint64_t SingleByteSize(std::u16string_view s)
{
    return s.size();
}
uint64_t DoubleByteSize(std::u16string_view s)
{
    uint64_t n = 0;
    for (char16_t c : s)
        n += c < 0x80 ? 1 : 2;
    return n;
}

// The text of a format, generated once per process.
const std::u16string& TextOf(const Format& f)
{
    static std::u16string mixed, latin, japanese;
    switch (f.corpus) {
    case Format::Mixed:
        if (mixed.empty()) {
            // Sized for the UTF-8 file; the UTF-16 one of the same text is larger.
            mixed = Generate(kMixedWords, true, 0x5EED0001, kTargetFileBytes, Utf8Size);
        }
        return mixed;
    case Format::Latin:
        if (latin.empty())
            latin = Generate(kLatinWords, true, 0x5EED0002, kTargetFileBytes, SingleByteSize);
        return latin;
    case Format::Japanese:
        if (japanese.empty())
            japanese = Generate(kJapaneseWords, false, 0x5EED0003, kTargetFileBytes, DoubleByteSize);
        return japanese;
    }
    std::abort();
}

std::string g_dir;
bool g_removeDir = false;

std::u16string PathOf(const char* name)
{
    return text::FromUtf8(g_dir + "/" + name);
}

std::unique_ptr<CTextFileReader> OpenReader(const Format& f)
{
    auto reader = std::make_unique<CTextFileReader>(PathOf(f.fileName).c_str(), kBufferBytes);
    if (f.encoding == TEXTENCODING_CODEPAGE)
        reader->SetCodePage(f.codePage);
    else
        reader->SetEncoding(f.encoding);
    return reader;
}

// Streams text in chunks of kChunkUnits. A chunk ending in a high surrogate
// leaves it unconsumed; it starts the next chunk.
void WriteChunks(CTextFileWriter& writer, const std::u16string& text)
{
    size_t at = 0;
    while (at < text.size()) {
        const unsigned n = static_cast<unsigned>(std::min<size_t>(kChunkUnits, text.size() - at));
        const unsigned used = writer.Write(text.data() + at, n);
        if (used == 0)
            break;
        at += used;
    }
}

bool WriteFile(const char* name, TEXTENCODING encoding, unsigned codePage, const std::u16string& text)
{
    CTextFileWriter writer(PathOf(name).c_str(), encoding, false, false, kBufferBytes);
    writer.SetCodePage(codePage);
    WriteChunks(writer, text);
    const bool closed = writer.Close();
    if (!closed || writer.HasWriteError() || writer.GetReplacementCount() != 0) {
        std::fprintf(stderr, "bench_textio: %s: closed %d, write error %d, %llu replaced\n", name, closed,
                     writer.HasWriteError(), static_cast<unsigned long long>(writer.GetReplacementCount()));
        return false;
    }
    return true;
}

// Writes every input file (UTF-16 copies first) and reads each one back: a
// file that does not return its text would make the rates meaningless.
bool PrepareFiles()
{
    for (const Format& f : kFormats) {
        const std::u16string& text = TextOf(f);
        if (!WriteFile(f.utf16Name, TEXTENCODING_UTF16LE, 0, text) ||
            !WriteFile(f.fileName, f.encoding, f.codePage, text)) {
            std::fprintf(stderr, "bench_textio: cannot write %s in %s\n", f.fileName, g_dir.c_str());
            return false;
        }
        auto reader = OpenReader(f);
        std::u16string back;
        reader->ReadToEnd(back, kChunkUnits);
        if (back != text || reader->GetReplacementCount() != 0) {
            std::fprintf(stderr, "bench_textio: %s does not read back as written\n", f.fileName);
            return false;
        }
    }
    return true;
}

void ReadFile(benchmark::State& state, const Format& f)
{
    std::vector<char16_t> chunk(kChunkUnits);
    uint64_t fileBytes = 0;
    for (auto _ : state) {
        auto reader = OpenReader(f);
        fileBytes = reader->GetFileSize();
        uint64_t units = 0;
        while (const unsigned n = reader->Read(chunk.data(), kChunkUnits))
            units += n;
        benchmark::DoNotOptimize(units);
        benchmark::DoNotOptimize(chunk.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(fileBytes * state.iterations()));
}

void WriteFileBench(benchmark::State& state, const Format& f)
{
    const std::u16string& text = TextOf(f);
    const std::string outName = std::string(f.fileName) + ".out";
    for (auto _ : state) {
        CTextFileWriter writer(PathOf(outName.c_str()).c_str(), f.encoding, false, false, kBufferBytes);
        writer.SetCodePage(f.codePage);
        WriteChunks(writer, text);
        if (!writer.Close()) {
            state.SkipWithError("the output could not be written");
            break;
        }
    }
    const uint64_t fileBytes = std::filesystem::file_size(g_dir + "/" + outName);
    std::filesystem::remove(g_dir + "/" + outName);
    state.SetBytesProcessed(static_cast<int64_t>(fileBytes * state.iterations()));
}

// The UTF-8 check detection runs over a sample, on the bytes in memory: it
// should keep pace with reading the same file as UTF-8.
void ValidateUtf8Bench(benchmark::State& state)
{
    const std::string bytes = text::ToUtf8(TextOf(kFormats[0]));
    for (auto _ : state) {
        const Utf8Validity v = ValidateUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        if (v.status != Utf8Validity::kValid) {
            state.SkipWithError("the UTF-8 file is not valid UTF-8");
            break;
        }
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes.size() * state.iterations()));
}

// The UTF-8 check next to the reader's decoding of the same bytes, on 1 MiB
// of text in one script each, held in memory.
const char* const kEnglishWords[] = {
    "the",  "and",  "of",       "to",    "in",     "is",   "that", "for",    "it",     "with", "as",     "was",  "on",
    "file", "text", "encoding", "value", "result", "page", "line", "window", "folder", "(see", "below)", "1998",
};
const char* const kCyrillicWords[] = {
    "и",
    "в",
    "не",
    "на",
    "что",
    "файл",
    "текст",
    "кодировка",
    "страница",
    "строка",
    "Привет",
    "мир",
    "преобразование",
    "символ",
    "папка",
    "результат",
    "значение",
    "«",
    "»",
    "—",
    "2024",
    "ещё",
    "объём",
};

struct Utf8Corpus {
    const char* name;
    std::string bytes;
};

const std::vector<Utf8Corpus>& Utf8Corpora()
{
    constexpr uint64_t kBytes = 1024 * 1024;
    static const std::vector<Utf8Corpus> corpora = {
        {"ASCII", text::ToUtf8(Generate(kEnglishWords, true, 0x5EED0011, kBytes, Utf8Size))},
        {"Latin", text::ToUtf8(Generate(kLatinWords, true, 0x5EED0012, kBytes, Utf8Size))},
        {"Cyrillic", text::ToUtf8(Generate(kCyrillicWords, true, 0x5EED0013, kBytes, Utf8Size))},
        {"CJK", text::ToUtf8(Generate(kJapaneseWords, false, 0x5EED0014, kBytes, Utf8Size))},
    };
    return corpora;
}

// On the kernel given, or (none) on the one the process chose.
void CheckUtf8Corpus(benchmark::State& state, const Utf8Corpus& corpus, std::optional<codecs::Kernel> kernel)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(corpus.bytes.data());
    std::optional<codecs::ScopedKernel> scope;
    if (kernel)
        scope.emplace(*kernel);
    for (auto _ : state) {
        const Utf8Validity v = ValidateUtf8(bytes, corpus.bytes.size());
        if (v.status != Utf8Validity::kValid || v.multiByte != (corpus.name != std::string_view("ASCII"))) {
            state.SkipWithError("the corpus does not check as it should");
            break;
        }
        benchmark::DoNotOptimize(v);
    }
    state.SetBytesProcessed(static_cast<int64_t>(corpus.bytes.size() * state.iterations()));
}

// As the reader decodes: chunks of kChunkUnits into one buffer.
void DecodeUtf8Corpus(benchmark::State& state, const Utf8Corpus& corpus)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(corpus.bytes.data());
    const auto size = static_cast<unsigned>(corpus.bytes.size());
    std::vector<char16_t> chunk(kChunkUnits);
    CUTFProcessor processor;
    for (auto _ : state) {
        unsigned at = 0;
        uint64_t units = 0;
        while (at < size) {
            unsigned used = 0, made = 0;
            processor.ReadUTF8(bytes + at, size - at, used, chunk.data(), kChunkUnits, made, true);
            at += used;
            units += made;
        }
        benchmark::DoNotOptimize(units);
        benchmark::DoNotOptimize(chunk.data());
    }
    if (processor.GetReplacementCount() != 0)
        state.SkipWithError("the corpus does not decode cleanly");
    state.SetBytesProcessed(static_cast<int64_t>(corpus.bytes.size() * state.iterations()));
}

void RegisterUtf8Benchmarks()
{
    for (const Utf8Corpus& corpus : Utf8Corpora()) {
        const std::string name = corpus.name;
        benchmark::RegisterBenchmark(("utf8/decode/" + name).c_str(), DecodeUtf8Corpus, corpus)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("utf8/validate/" + name).c_str(), CheckUtf8Corpus, corpus, std::nullopt)
            ->Unit(benchmark::kMicrosecond);
        for (const codecs::Kernel kernel : {codecs::Kernel::Scalar, codecs::Kernel::Ssse3, codecs::Kernel::Avx2}) {
            if (codecs::CanRun(kernel))
                benchmark::RegisterBenchmark(
                    ("utf8/validate-" + std::string(codecs::KernelName(kernel)) + "/" + name).c_str(), CheckUtf8Corpus,
                    corpus, kernel)
                    ->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    bool generateOnly = false;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.rfind("--textio_dir=", 0) == 0)
            g_dir = std::string(arg.substr(std::strlen("--textio_dir=")));
        else if (arg == "--textio_generate_only")
            generateOnly = true;
        else
            rest.push_back(argv[i]);
    }
    if (g_dir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-textio-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("bench_textio: mkdtemp");
            return 1;
        }
        g_dir = pattern;
        g_removeDir = true;
    } else {
        std::filesystem::create_directories(g_dir);
    }
    const bool prepared = PrepareFiles();
    int status = prepared ? 0 : 1;
    if (prepared && !generateOnly) {
        int restCount = static_cast<int>(rest.size());
        benchmark::Initialize(&restCount, rest.data());
        if (benchmark::ReportUnrecognizedArguments(restCount, rest.data())) {
            status = 1;
        } else {
            for (const Format& f : kFormats) {
                benchmark::RegisterBenchmark((std::string("read/") + f.name).c_str(), ReadFile, f)
                    ->UseRealTime()
                    ->Unit(benchmark::kMillisecond);
                benchmark::RegisterBenchmark((std::string("write/") + f.name).c_str(), WriteFileBench, f)
                    ->UseRealTime()
                    ->Unit(benchmark::kMillisecond);
            }
            benchmark::RegisterBenchmark("validate/UTF-8", ValidateUtf8Bench)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
            RegisterUtf8Benchmarks();
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
        }
    }
    if (g_removeDir)
        std::filesystem::remove_all(g_dir);
    return status;
}
