// The file converter and the detector on large files, for scripts/bench-convert.sh.
//
//   bench_convert generate <latin|japanese|chinese|mixed> <out> <MiB> <iconv charset> [crlf]
//       writes realistic text (fixed seed, same bytes on every machine) in the
//       charset, line breaks LF or CR LF, until the file holds <MiB> MiB.
//   bench_convert convert <in> <out> <source code page> <format> <return type> [bom]
//       converts as a converter thread does with the default job setting
//       (2048-unit chunks, 4096-byte read and write buffers, allocated once;
//       BENCH_CONVERT_BUFFERS=<chunk>,<read>,<write> in the environment changes them;
//       BENCH_CONVERT_PLAIN=1 turns the fast paths off, for the figures before);
//       format and return type in their text forms (UTF8, UTF16LE, … / NOCHANGE, LF, …).
//   bench_convert detect <in>
//       detects with the default job setting (2048-byte blocks, 4 MB sample).
//
// Every mode prints one line of key=value pairs. vmhwm_kb is the process's
// peak resident set (VmHWM); read_bytes counts what the detection read from
// files (rchar of /proc/self/io).

#include <iconv.h>

#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_detector.h"
#include "varnex/convert/text_file_converter.h"

namespace {

// Small deterministic generator (xorshift64*): the standard distributions'
// algorithms are unspecified, so they would not give the same text everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed) { }
    unsigned Below(unsigned n)
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return static_cast<unsigned>(((m_state * 0x2545F4914F6CDD1DULL) >> 33) % n);
    }

private:
    uint64_t m_state;
};

// Word pools, UTF-8. Scripts without spaces (Japanese, Chinese) use phrases
// and their own punctuation.
const std::vector<std::string_view> kLatinWords = {
    "le",      "la",      "des",      "marché",  "église",      "fenêtre", "très",    "déjà",     "où",       "garçon",
    "cœur",    "Noël",    "élève",    "château", "forêt",       "naïf",    "der",     "die",      "und",      "Straße",
    "über",    "Mädchen", "größer",   "schön",   "Bäckerei",    "früh",    "el",      "niño",     "mañana",   "canción",
    "corazón", "está",    "the",      "of",      "and",         "weather", "harbour", "notebook", "island",   "ferry",
    "is",      "was",     "“quoted”", "it’s",    "—",           "€12,50",  "£3",      "café",     "jalapeño", "façade",
    "résumé",  "Zürich",  "São",      "Ærø",     "smörgåsbord", "à",
};
const std::vector<std::string_view> kJapanesePhrases = {
    "駅から",   "歩いて",     "十五分", "ほどの",     "所に",       "古い銭湯が", "ある",   "煙突は",
    "少し",     "傾いている", "毎日",   "午後三時に", "なると",     "湯気が",     "近所の", "人々が",
    "集まって", "くる",       "番台に", "座っている", "おばあさん", "常連客の",   "名前は", "もちろん",
    "最近は",   "若い人の",   "姿も",   "増えた",     "写真を",     "撮る",       "タイル", "ブラシ",
    "データ",   "ファイル",   "変換",   "文字コード", "東京都",     "2024年",     "ＡＢＣ", "ｶﾀｶﾅ",
};
const std::vector<std::string_view> kJapanesePunctuation = {"、", "。", "「", "」", "・"};
const std::vector<std::string_view> kChinesePhrases = {
    "我们",   "小区",   "门口",   "有一家", "开了",   "二十多年", "的面馆", "老板",   "每天", "清晨",
    "五点",   "就开始", "和面",   "牛肉面", "准时",   "端上桌",   "店里",   "只有",   "六张", "桌子",
    "上班族", "喜欢",   "在这里", "吃早饭", "学生们", "放学后",   "常来",   "熟客",   "口味", "香菜",
    "辣椒",   "装修",   "长队",   "文件",   "编码",   "转换",     "数据",   "2024年", "ＧＢ", "𠮷野家",
};
const std::vector<std::string_view> kChinesePunctuation = {"，", "。", "、", "：", "；", "！", "？"};
const std::vector<std::string_view> kMixedWords = {
    "the",    "file",     "converter", "reads",  "each",   "chunk",     "and",      "writes", "it",
    "again",  "with",     "a",         "new",    "line",   "ending",    "settings", "folder", "output",
    "café",   "naïve",    "Zürich",    "€5",     "—",      "“ok”",      "Привет",   "файл",   "кодировка",
    "строка", "Ελληνικά", "αρχείο",    "日本語", "文字",   "变换",      "한국어",   "파일",   "שלום",
    "ไทย",    "2024",     "v2.0",      "(beta)", "x86_64", "README.md", "🚲",        "𠮷",     "ok",
};

std::string MakeUtf8Block(const std::string& kind, Rng& rng, size_t targetBytes, bool crlf)
{
    const std::string_view eol = crlf ? "\r\n" : "\n";
    std::string out;
    out.reserve(targetBytes + 256);
    const bool cjk = kind == "japanese" || kind == "chinese";
    const auto& words = kind == "latin"      ? kLatinWords
                        : kind == "japanese" ? kJapanesePhrases
                        : kind == "chinese"  ? kChinesePhrases
                                             : kMixedWords;
    const auto& punctuation = kind == "japanese" ? kJapanesePunctuation : kChinesePunctuation;
    while (out.size() < targetBytes) {
        // One line: 40 to 110 bytes of words, then a full stop.
        const size_t lineEnd = out.size() + 40 + rng.Below(70);
        bool first = true;
        while (out.size() < lineEnd) {
            if (!first) {
                if (cjk)
                    out += rng.Below(4) == 0 ? punctuation[rng.Below(static_cast<unsigned>(punctuation.size()))]
                                             : std::string_view();
                else
                    out += rng.Below(12) == 0 ? ", " : " ";
            }
            out += words[rng.Below(static_cast<unsigned>(words.size()))];
            first = false;
        }
        out += cjk ? "。" : ".";
        out += eol;
        if (rng.Below(8) == 0)
            out += eol;  // a paragraph break
    }
    return out;
}

int Generate(const std::string& kind, const char* path, unsigned mebibytes, const char* charset, bool crlf)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "bench_convert: iconv cannot convert to %s\n", charset);
        return 2;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    Rng rng(0x5EED0000u + static_cast<unsigned>(kind.size()));
    const uint64_t target = static_cast<uint64_t>(mebibytes) << 20;
    uint64_t written = 0;
    std::string encoded;
    while (written < target && out) {
        std::string block = MakeUtf8Block(kind, rng, 1 << 20, crlf);
        encoded.resize(block.size() * 4 + 16);
        char* src = block.data();
        size_t srcLeft = block.size();
        char* dst = encoded.data();
        size_t dstLeft = encoded.size();
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            std::fprintf(stderr, "bench_convert: the %s text cannot be written in %s\n", kind.c_str(), charset);
            iconv_close(cd);
            return 2;
        }
        const size_t n = encoded.size() - dstLeft;
        out.write(encoded.data(), static_cast<std::streamsize>(n));
        written += n;
    }
    iconv_close(cd);
    if (!out) {
        std::fprintf(stderr, "bench_convert: cannot write %s\n", path);
        return 2;
    }
    std::printf("bytes=%" PRIu64 "\n", written);
    return 0;
}

uint64_t ProcField(const char* file, const char* key)
{
    std::ifstream in(file);
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, keyLength, key) == 0)
            return std::strtoull(line.c_str() + keyLength, nullptr, 10);
    return 0;
}

uint64_t PeakResidentKb()
{
    return ProcField("/proc/self/status", "VmHWM:");
}

uint64_t BytesReadSoFar()
{
    return ProcField("/proc/self/io", "rchar:");
}

uint64_t FileSize(const char* path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return in ? static_cast<uint64_t>(in.tellg()) : 0;
}

int Convert(const char* in, const char* out, unsigned codepage, const char* formatText, const char* returnText,
            bool bom)
{
    const auto format = CTextFileConverter::ParseOutputTextFormat(
        text::FromUtf8(formatText).c_str(), static_cast<CTextFileConverter::OUTPUTTEXTFORMAT>(-1));
    if (CTextFileConverter::GetCodepage(format) == 0) {
        std::fprintf(stderr, "bench_convert: unknown output format %s\n", formatText);
        return 2;
    }
    const auto returnType = CTextFileConverter::ParseReturnType(text::FromUtf8(returnText).c_str(),
                                                                CTextFileConverter::RETURNTYPE_NOCHANGE);

    // The default job setting, buffers allocated once as a converter thread
    // does; BENCH_CONVERT_BUFFERS=<chunk units>,<read bytes>,<write bytes>
    // tries other sizes.
    unsigned chunkUnits = 2048, readBytes = 4096, writeBytes = 4096;
    if (const char* sizes = std::getenv("BENCH_CONVERT_BUFFERS")) {
        if (std::sscanf(sizes, "%u,%u,%u", &chunkUnits, &readBytes, &writeBytes) != 3) {
            std::fprintf(stderr, "bench_convert: BENCH_CONVERT_BUFFERS wants <chunk>,<read>,<write>\n");
            return 2;
        }
    }
    std::vector<char16_t> chunk(chunkUnits);
    std::vector<unsigned char> readBuffer(readBytes);
    std::vector<unsigned char> writeBuffer(writeBytes);
    CTextFileConverter converter(text::FromUtf8(in).c_str(), chunkUnits, readBytes, writeBytes, chunk.data(),
                                 readBuffer.data(), writeBuffer.data());
    if (const char* plain = std::getenv("BENCH_CONVERT_PLAIN"))
        converter.SetFastPaths(std::strcmp(plain, "1") != 0);

    const auto start = std::chrono::steady_clock::now();
    const auto result = converter.Convert(text::FromUtf8(out).c_str(), codepage, format, returnType, bom);
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;

    std::printf("seconds=%.3f in_bytes=%" PRIu64 " out_bytes=%" PRIu64 " vmhwm_kb=%" PRIu64
                " result=%d replacements=%" PRIu64 "\n",
                seconds.count(), FileSize(in), FileSize(out), PeakResidentKb(), static_cast<int>(result),
                converter.GetReplacementCount());
    if (result != CTextFileConverter::CONVERTRESULT_OK) {
        std::fprintf(stderr, "bench_convert: %s\n", text::ToUtf8(converter.GetErrorText()).c_str());
        return 1;
    }
    return 0;
}

int Detect(const char* path)
{
    constexpr unsigned kBlockSize = 2048;
    constexpr unsigned kSampleMB = 4;
    CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_DATA_DIR));
    const std::u16string file = text::FromUtf8(path);

    const uint64_t before = BytesReadSoFar();
    CAdvancedDetector detector({.blockSize = kBlockSize, .scanLimitMB = kSampleMB});
    detector.Detect(file);
    const uint64_t read = BytesReadSoFar() - before;

    // The statistical step alone, to show what it was fed.
    CCodepageDetector statistics(file.c_str(), kBlockSize, kSampleMB, false);
    statistics.Detect();

    std::printf("codepage=%d confidence=%.2f result=%d file_bytes=%" PRIu64 " read_bytes=%" PRIu64
                " statistics_fed=%" PRIu64 " sample_bytes=%u\n",
                detector.GetCodepage(), detector.GetConfidence(), static_cast<int>(detector.GetResult()),
                FileSize(path), read, statistics.GetBytesFed(), kSampleMB << 20);
    return 0;
}

int Usage()
{
    std::fprintf(stderr, "usage: bench_convert generate <latin|japanese|chinese|mixed> <out> <MiB> <charset> [crlf]\n"
                         "       bench_convert convert <in> <out> <source code page> <format> <return type> [bom]\n"
                         "       bench_convert detect <in>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && (argc == 6 || argc == 7))
        return Generate(argv[2], argv[3], static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)), argv[5],
                        argc == 7 && std::string_view(argv[6]) == "crlf");
    if (mode == "convert" && (argc == 7 || argc == 8))
        return Convert(argv[2], argv[3], static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)), argv[5], argv[6],
                       argc == 8 && std::string_view(argv[7]) == "bom");
    if (mode == "detect" && argc == 3)
        return Detect(argv[2]);
    return Usage();
}
