#pragma once

// How text bytes map to UTF-16 code units. TEXTENCODING_CODEPAGE: the bytes are
// in a code page held separately.
enum TEXTENCODING : int {
    TEXTENCODING_CODEPAGE = 0,
    TEXTENCODING_UTF16BE = 1,
    TEXTENCODING_UTF16LE = 2,
    TEXTENCODING_UTF8 = 3,
    TEXTENCODING_UTF32BE = 4,
    TEXTENCODING_UTF32LE = 5,
    TEXTENCODING_UCS4_2143 = 6,  // octets 2 1 4 3 of the code point, 1 the most significant
    TEXTENCODING_UCS4_3412 = 7,  // octets 3 4 1 2
};

// Result of the BOM detector. Numbered differently from TEXTENCODING.
enum BOM : int {
    BOM_NONE = 0,
    BOM_UTF8 = 1,       // EF BB BF
    BOM_UTF16LE = 2,    // FF FE
    BOM_UTF16BE = 3,    // FE FF
    BOM_UTF32LE = 4,    // FF FE 00 00
    BOM_UTF32BE = 5,    // 00 00 FE FF
    BOM_UCS4_2143 = 6,  // 00 00 FF FE
    BOM_UCS4_3412 = 7,  // FE FF 00 00
};

// Result of the BOM-less UTF-16 detector.
enum BOMLESS_UNICODE : int {
    BOMLESS_NONE = 0,
    BOMLESS_UTF16LE = 1,
    BOMLESS_UTF16BE = 2,
};
