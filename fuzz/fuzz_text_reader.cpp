// The text reader on one file: in each Unicode form, in a code page of the
// catalogue, or as its byte order mark says, with small and odd buffer and
// chunk sizes. The text must not depend on how it was cut: a reading with
// large buffers gives the same units, replacement count and bytes. A Unicode
// form reads as the plain rules below decode it, a code page as ICU's own
// converter decodes the bytes in one piece.
//
// Input: byte 0 picks the reading, byte 1 the buffer (size 1..32, read-ahead,
// the caller's buffer, a resize after the first chunk), byte 2 the chunk
// size (2..257 units); the rest is the file.
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "codecs/codepage.h"
#include "fuzz/fuzz_support.h"
#include "textrion/io/text_file_reader.h"

namespace {

constexpr int kFromBom = 0;
constexpr int kCodePages[] = {0,     65001, 1252,  20866, 932,   936, 949,  950,  54936, 52936, 50220, 50221, 50222,
                              50225, 50227, 50229, 20932, 51949, 874, 1251, 1200, 1201,  42,    28606, 65010};
constexpr int kUnicodeForms = 7;  // TEXTENCODING 1..7
constexpr int kReadings = 1 + kUnicodeForms + static_cast<int>(std::size(kCodePages));

struct Text {
    std::u16string units;
    uint64_t replacements = 0;
    uint64_t bytes = 0;
    unsigned bom = 0;
    TEXTENCODING encoding = TEXTENCODING_CODEPAGE;
    bool error = false;
};

struct Cut {
    unsigned bufferSize = 1u << 16;
    unsigned chunk = 1u << 16;
    unsigned readAhead = 0;
    unsigned resizeTo = 0;  // 0: no resize
    bool callerBuffer = false;
};

unsigned CodePageOf(int reading)
{
    return static_cast<unsigned>(kCodePages[reading - kUnicodeForms - 1]);
}

// The reader's decoding rules, one character at a time: bad input becomes
// U+FFFD and is counted. UTF-8 replaces each byte that does not start a whole
// well-formed sequence, and NUL; UTF-16 passes unpaired surrogates through;
// UTF-32 replaces surrogates and values past U+10FFFF. A cut tail is replaced.
Text Decoded(TEXTENCODING form, std::string_view data)
{
    Text text;
    auto bad = [&text] {
        text.units.push_back(u'\uFFFD');
        ++text.replacements;
    };
    const auto* b = reinterpret_cast<const unsigned char*>(data.data());
    const size_t n = data.size();
    if (form == TEXTENCODING_UTF8) {
        for (size_t i = 0; i < n;) {
            char32_t cp = 0;
            const int len = text::Utf8SequenceAt(b + i, n - i, cp);
            if (len <= 0 || cp == 0) {
                bad();
                ++i;
            } else {
                text::AppendUtf16(text.units, cp);
                i += static_cast<size_t>(len);
            }
        }
    } else if (form == TEXTENCODING_UTF16LE || form == TEXTENCODING_UTF16BE) {
        const bool be = form == TEXTENCODING_UTF16BE;
        for (size_t i = 0; i + 1 < n; i += 2)
            text.units.push_back(static_cast<char16_t>(be ? b[i] << 8 | b[i + 1] : b[i + 1] << 8 | b[i]));
        if (n % 2 != 0)
            bad();
    } else {
        // Where the octets of the value (1 the most significant) lie in a group of four.
        static constexpr int kOrder[][4] = {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 0, 3, 2}, {2, 3, 0, 1}};
        const int* at = kOrder[form - TEXTENCODING_UTF32BE];
        for (size_t i = 0; i + 3 < n; i += 4) {
            const char32_t v = char32_t{b[i + at[0]]} << 24 | b[i + at[1]] << 16 | b[i + at[2]] << 8 | b[i + at[3]];
            if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
                bad();
            else
                text::AppendUtf16(text.units, v);
        }
        if (n % 4 != 0)
            bad();
    }
    return text;
}

Text ReadWhole(const std::u16string& path, int reading, const Cut& cut)
{
    std::vector<unsigned char> callerBuffer(cut.bufferSize);
    auto reader = cut.callerBuffer
                      ? std::make_unique<CTextFileReader>(path.c_str(), callerBuffer.data(), cut.bufferSize)
                      : std::make_unique<CTextFileReader>(path.c_str(), cut.bufferSize);
    FUZZ_CHECK(reader->IsOpen());
    if (reading > kUnicodeForms) {
        reader->SetEncoding(TEXTENCODING_CODEPAGE);
        reader->SetCodePage(CodePageOf(reading));
    } else if (reading != kFromBom) {
        reader->SetEncoding(static_cast<TEXTENCODING>(reading));
    }
    reader->SetReadAhead(cut.readAhead);

    Text text;
    std::vector<char16_t> block(cut.chunk);
    for (;;) {
        unsigned used = 0;
        const unsigned n = reader->Read(block.data(), cut.chunk, &used);
        text.bytes += used;  // the last call may take bytes that make no text (a shift)
        if (n == 0)
            break;
        FUZZ_CHECK(n <= cut.chunk);
        text.units.append(block.data(), n);
        if (cut.resizeTo != 0 && text.units.size() == n)
            reader->SetInternalReadBufferSize(cut.resizeTo);
    }
    text.replacements = reader->GetReplacementCount();
    text.bom = reader->GetBomLength();
    text.encoding = reader->GetEncoding();
    text.error = reader->HasReadError();
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const int reading = in.Byte() % kReadings;  // kFromBom, the forms 1..7, then the code pages
    const uint8_t buffer = in.Byte();
    const uint8_t chunk = in.Byte();
    const std::string_view file = in.Rest();
    const std::u16string path = fuzz::WriteTempFile("text", file);

    Cut small;
    small.bufferSize = 1 + (buffer & 31);
    small.readAhead = buffer & 32 ? 1u << 12 : 0;
    small.callerBuffer = buffer & 64;
    small.resizeTo = buffer & 128 ? 1 + chunk % 13 : 0;
    small.chunk = 2 + chunk;

    const Text cutText = ReadWhole(path, reading, small);
    const Text whole = ReadWhole(path, reading, Cut{});
    FUZZ_CHECK(cutText.units == whole.units);
    FUZZ_CHECK(cutText.replacements == whole.replacements);
    FUZZ_CHECK(cutText.bytes == whole.bytes);
    FUZZ_CHECK(cutText.bom == whole.bom && cutText.encoding == whole.encoding);
    FUZZ_CHECK(whole.error || whole.bom + whole.bytes == file.size());

    if (whole.encoding != TEXTENCODING_CODEPAGE) {
        const Text expected = Decoded(whole.encoding, file.substr(whole.bom));
        FUZZ_CHECK(whole.units == expected.units && whole.replacements == expected.replacements);
    }
    if (whole.encoding == TEXTENCODING_CODEPAGE && !whole.error) {
        const unsigned codePage = reading == kFromBom ? 0 : CodePageOf(reading);
        codecs::CodePageDecoder icu(codePage, codecs::CodePageDecoder::Route::IcuOnly);
        const std::string_view body = file.substr(whole.bom);
        std::u16string units(4 * body.size() + codecs::CodePageDecoder::kMaxPendingUnits, u'\0');
        const auto r = icu.Decode(reinterpret_cast<const unsigned char*>(body.data()), body.size(), units.data(),
                                  units.size(), true);
        units.resize(r.produced);
        FUZZ_CHECK(r.consumed == body.size() && units == whole.units);
        FUZZ_CHECK(icu.ReplacementCount() == whole.replacements);
    }

    // The preview's first line is the start of the same text (BOM, else code page 0).
    if (reading == kFromBom) {
        const int maxChars = 1 + chunk;
        std::u16string line;
        FUZZ_CHECK(CFirstLineTextReader(path.c_str()).Read(maxChars, line));
        std::u16string expected = whole.units.substr(0, whole.units.find_first_of(u"\r\n"));
        if (expected.size() >= static_cast<size_t>(maxChars)) {
            expected.resize(static_cast<size_t>(maxChars));
            if (expected.back() >= 0xD800 && expected.back() <= 0xDBFF)
                expected.pop_back();
        }
        FUZZ_CHECK(line == expected);
    }
    return 0;
}
