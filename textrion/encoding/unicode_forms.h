#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "textrion/encoding/text_encoding.h"
#include "textrion/textrion_export.h"

// The order of a form's bytes within one code unit.
enum class ByteOrder : uint8_t {
    None,  // UTF-8: single bytes
    LittleEndian,
    BigEndian,
    Order2143,  // octets 2 1 4 3 of a 32-bit unit, 1 the most significant
    Order3412,  // octets 3 4 1 2
};

// Everything the program knows about one Unicode form, in one row: how the
// reader and writer name it, its byte order mark, its code page number, the
// converter's output format, its byte order and unit size, and its names.
struct UnicodeForm {
    TEXTENCODING encoding;
    BOM bom;
    std::string_view bomBytes;
    unsigned codePage;
    int outputFormat;  // CTextFileConverter::OUTPUTTEXTFORMAT
    ByteOrder byteOrder;
    unsigned unitSize;           // bytes per code unit
    const char16_t* name;        // shown to the user: "UTF-16LE"
    const char16_t* formatName;  // stored and typed: "UTF16LE"
};

// Every form, the converter's output formats in their numeric order.
TEXTRION_API std::span<const UnicodeForm> UnicodeForms();

// The row for a value, nullptr when the value names no Unicode form
// (TEXTENCODING_CODEPAGE, BOM_NONE, a code page such as 1252 or 65000).
TEXTRION_API const UnicodeForm* FindUnicodeForm(TEXTENCODING encoding);
TEXTRION_API const UnicodeForm* FindUnicodeFormByBom(BOM bom);
TEXTRION_API const UnicodeForm* FindUnicodeFormByCodePage(unsigned codePage);
TEXTRION_API const UnicodeForm* FindUnicodeFormByOutputFormat(int outputFormat);
// Case-insensitive, against formatName.
TEXTRION_API const UnicodeForm* FindUnicodeFormByFormatName(std::u16string_view formatName);

// The form whose byte order mark starts bytes[0, length); the longest mark
// wins, so FF FE 00 00 is UTF-32LE and FE FF 00 00 UCS-4 3412.
TEXTRION_API const UnicodeForm* FindUnicodeFormByMark(const unsigned char* bytes, unsigned length);
