// The one place that tells which codec family converts a code page; the decoder and the encoder both ask it.
#pragma once

#include <memory>

#include "codecs/codepage_table.h"
#include "codecs/seven_bit_codecs.h"
#include "codecs/single_byte_table.h"

// Internal to codecs/.
namespace codecs::detail {

// Hidden: the libraries this static library goes into do not export these.
#pragma GCC visibility push(hidden)

enum class CodecFamily {
    kNone,        // not a code page converted here
    kDefault,     // code page 0 (and 3): UTF-8, else the fallback code page
    kSingleByte,  // one byte, one unit, through a table (single_byte_table.h)
    kSevenBit,    // HZ and ISO-2022-KR (seven_bit_codecs.h)
    kJohab,       // 1361 (johab_codec.h)
    kIcu,         // an ICU converter of the table's row (codepage_icu.h)
};

struct FamilyChoice {
    CodecFamily family = CodecFamily::kNone;
    std::shared_ptr<const SingleByteTable> table;  // kSingleByte
    ShiftScheme scheme = ShiftScheme::Hz;          // kSevenBit
    const CodePageRow* row = nullptr;              // kIcu
};

// Tried in this order: code page 0, a single-byte table, the 7-bit schemes,
// Johab, then a row of the table. Whether the family's tables or converter
// open is the decoder's and encoder's to find out.
FamilyChoice ChooseFamily(unsigned codePage);

#pragma GCC visibility pop

}  // namespace codecs::detail
