#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Code page services keyed by Windows code page numbers, on ICU. Decoding never
// stops at bad input: each invalid or unmappable byte sequence becomes U+FFFD
// and is counted. Encoding writes the code page's default character ('?') for
// each character it cannot map, also counted. Where ICU's table for a code
// page differs from the Windows one, the Windows mapping is used.
//
// Single-byte code pages ICU lacks are read from glibc's iconv tables once, at
// run time: 28606 (ISO-8859-16) and 65010 (VISCII; our own number, Windows has
// none). They are valid only where iconv opens them.
//
// Code page 0 is the system's default code page: valid UTF-8 sequences decode
// as UTF-8 and every other byte as its character in FallbackCodePage(); encoding
// to code page 0 writes UTF-8.
//
// The symbolic numbers Windows takes for a code page convert too, so that a
// file assigned one is neither refused nor emptied:
//   1 (the OEM code page)          as 437, the OEM code page of US systems;
//   2 (the Mac code page)          as 10000, Mac Roman;
//   3 (the thread's code page)     as 0, the system's default;
//   42 (symbol)                    bytes 00..1F as U+0000..U+001F and 20..FF as
//                                  U+F020..U+F0FF, where symbol fonts put their
//                                  glyphs; encoding is the reverse, and any other
//                                  character is written as '?' and counted.
namespace codecs {

// True when the code page can be converted here (its converter or table opens).
bool IsValidCodePage(unsigned codePage);

// The single-byte code page used for the non-UTF-8 bytes of code page 0: the
// locale's legacy code page where it names a single-byte one, else windows-1252.
unsigned FallbackCodePage();

// The fallback for a locale name such as "ru_RU.KOI8-R" (1252 when its code set
// is UTF-8, ASCII, multi-byte or unknown).
unsigned LegacyCodePageOfLocale(std::string_view localeName);

// The converter name used for a code page, or empty when none is known.
std::string ConverterName(unsigned codePage);

// The charset's name in the IANA registry (as ICU's alias table gives it,
// "windows-1252", "Shift_JIS"; the preferred MIME name where the registry
// marks one, "ISO-8859-2" rather than "ISO_8859-2:1987"), or empty when the code page has none there:
// code page 0, which decodes as UTF-8 or a fallback, the odd-order UCS-4
// forms and code pages the registry does not list.
std::string IanaCharsetName(unsigned codePage);

// The code page a charset name means: any IANA or ICU alias of a converter
// in the table ("KOI8-R", "cp1252", "Shift_JIS", "latin2"), case and
// punctuation as ICU compares them; 0 when none. Numbers that share another
// one's table are never the answer.
unsigned CodePageOfCharsetName(std::string_view charset);

// Decodes one byte stream. Keeps the bytes of a character split at the end of
// an input and the shift state of stateful code pages (ISO-2022, HZ) between
// calls. Not thread-safe: one decoder per stream.
class CodePageDecoder {
public:
    struct Result {
        size_t consumed = 0;  // input bytes taken (held bytes included)
        size_t produced = 0;  // UTF-16 units written
    };

    // Fastest decodes the multi-byte code pages through direct tables where
    // they reach; IcuOnly passes every byte through the ICU converter, the
    // reference the tables are checked against. Both give the same units and
    // counts.
    enum class Route { Fastest, IcuOnly };

    explicit CodePageDecoder(unsigned codePage, Route route = Route::Fastest);
    ~CodePageDecoder();
    CodePageDecoder(CodePageDecoder&&) noexcept;
    CodePageDecoder& operator=(CodePageDecoder&&) noexcept;

    bool IsOpen() const;
    unsigned GetCodePage() const;

    // Decodes as much of src as fits into dst. When endOfInput is set, bytes of
    // an incomplete character left at the end become U+FFFD (counted) and the
    // shift state is reset. The input is taken whole unless dst fills first;
    // units that did not fit are kept and come out first on the next call.
    Result Decode(const unsigned char* src, size_t srcLen, char16_t* dst, size_t dstCap, bool endOfInput);

    // Bytes held inside the decoder (part of a character not yet complete).
    size_t PendingBytes() const;
    // Largest number of units that held state can add to one call's output.
    static constexpr size_t kMaxPendingUnits = 8;

    // Forgets held bytes and shift state (the counter is kept).
    void Reset();

    // For a code page that decodes every byte to one unit whatever its
    // neighbours, the table Decode runs on: each byte's unit and whether it
    // is counted as replaced. False for every other code page.
    bool GetSingleByteMap(std::array<char16_t, 256>& units, std::array<bool, 256>& replaced) const;

    // Invalid or unmappable input sequences replaced by U+FFFD so far.
    uint64_t ReplacementCount() const;

    // Where the first byte lies that the code page does not cover, counted
    // from the first byte given to Decode: the start of the first replaced
    // sequence, or for code page 0 also the first byte that is not UTF-8 and
    // was read in the fallback code page. kNoOffset while there is none. It
    // is found where the byte is decoded, so it costs a fast path nothing.
    static constexpr uint64_t kNoOffset = UINT64_MAX;
    uint64_t FirstUncoveredOffset() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Encodes one UTF-16 stream into a code page. A high surrogate at the end of
// an input is held until the next call (or replaced when endOfInput is set).
class CodePageEncoder {
public:
    struct Result {
        size_t consumed = 0;  // UTF-16 units taken
        size_t produced = 0;  // bytes written
    };

    explicit CodePageEncoder(unsigned codePage);
    ~CodePageEncoder();
    CodePageEncoder(CodePageEncoder&&) noexcept;
    CodePageEncoder& operator=(CodePageEncoder&&) noexcept;

    bool IsOpen() const;

    // Encodes as much as fits; endOfInput also writes the closing shift
    // sequence of stateful code pages.
    Result Encode(const char16_t* src, size_t srcLen, unsigned char* dst, size_t dstCap, bool endOfInput);

    // Upper bound of bytes produced for n units, shift sequences included.
    size_t MaxBytesFor(size_t units) const;

    void Reset();
    // Characters written as the default character so far.
    uint64_t ReplacementCount() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Whole-buffer forms. They convert everything, U+0000 and zero bytes included.
// The counters (optional) receive the number of replacements. A code page that
// cannot be converted yields an empty result and returns false.
bool DecodeCodePage(unsigned codePage, const void* data, size_t size, std::u16string& out,
                    uint64_t* replaced = nullptr);
bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out, uint64_t* replaced = nullptr);

}  // namespace codecs
