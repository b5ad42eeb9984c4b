// The code page table: Windows code page numbers, the converters behind them and the Windows corrections.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "codecs/seven_bit_codecs.h"

// Internal to codecs/: what the code page queries, tables, decoder and
// encoder look up by number.
namespace codecs::detail {

// Hidden: the libraries this static library goes into do not export these.
#pragma GCC visibility push(hidden)

// What a row needs beyond ICU's table to match the Windows code page.
enum RowFix : unsigned {
    // ICU's IBM PC tables (and the IBM table behind 932) follow the IBM "PC
    // graphic" layout: byte 1A is U+001C, 1C is U+007F and 7F is U+001A.
    // Windows keeps 00..7F in place, so a DOS file's Ctrl-Z stays a Ctrl-Z.
    kPcControls = 1,
    // The number shares another row's table; a charset name never means it.
    kSecondNumber = 2,
    // Decoded through direct tables read off the converter (multibyte_table.h)
    // wherever they reach: the busy double-byte code pages and GB18030.
    kTableDecoding = 4,
};

struct CodePageRow {
    unsigned codePage;
    const char* decoderName;
    const char* encoderName;  // null: same as the decoder
    unsigned fixes = 0;
};

// Single-byte code pages ICU has no converter for: their tables are read from
// glibc's iconv at run time.
struct IconvRow {
    unsigned codePage;
    const char* charset;
};

// A single byte where ICU's table differs from the Windows one in more than
// the control layout.
struct ByteOverride {
    unsigned codePage;
    unsigned char byte;
    char16_t unit;
};

// A character Windows has where ICU's table has none.
struct ExtraMapping {
    unsigned codePage;
    std::string_view bytes;
    char16_t unit;
};

std::span<const CodePageRow> CodePageRows();
std::span<const IconvRow> IconvRows();
std::span<const ByteOverride> WindowsByteOverrides();
std::span<const ExtraMapping> WindowsExtras();

// The row of a number, or null.
const CodePageRow* FindRow(unsigned codePage);
const IconvRow* FindIconvRow(unsigned codePage);

// The 7-bit shifting scheme written in seven_bit_codecs.h, for HZ and ISO-2022-KR.
std::optional<ShiftScheme> SevenBitSchemeOf(unsigned codePage);

// The symbolic numbers Windows accepts in place of a code page.
inline constexpr unsigned kOemCodePage = 1;      // CP_OEMCP
inline constexpr unsigned kMacCodePage = 2;      // CP_MACCP
inline constexpr unsigned kThreadCodePage = 3;   // CP_THREAD_ACP
inline constexpr unsigned kSymbolCodePage = 42;  // CP_SYMBOL

// Johab, converted by johab_codec.h: ICU has no table for it.
inline constexpr unsigned kJohabCodePage = 1361;

// Code pages that convert as code page 0.
inline bool IsDefaultCodePage(unsigned codePage)
{
    return codePage == 0 || codePage == kThreadCodePage;
}

// The code page whose table a symbolic number uses.
inline unsigned TableCodePageOf(unsigned codePage)
{
    switch (codePage) {
    case kOemCodePage:
        return 437;
    case kMacCodePage:
        return 10000;
    default:
        return codePage;
    }
}

// The IBM PC control layout (kPcControls) mapped to the Windows one, for what
// passes through an ICU converter: units ICU decoded and bytes ICU encoded.
// No multi-byte character of these tables involves the three values.
inline char16_t WindowsUnitOfIcu(char16_t u)
{
    switch (u) {
    case 0x1C:
        return 0x1A;
    case 0x7F:
        return 0x1C;
    case 0x1A:
        return 0x7F;
    default:
        return u;
    }
}

inline unsigned char WindowsByteOfIcu(unsigned char b)
{
    switch (b) {
    case 0x7F:
        return 0x1A;
    case 0x1A:
        return 0x1C;
    case 0x1C:
        return 0x7F;
    default:
        return b;
    }
}

#pragma GCC visibility pop

}  // namespace codecs::detail
