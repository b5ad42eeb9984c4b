// ICU converter handles and the counting callbacks every code page converter is given.
#pragma once

#include <cstdint>
#include <memory>

#include <unicode/ucnv.h>

#include "platform/seven_bit_codecs.h"

// Internal to platform/: ICU types stay behind codepage.h.
namespace platform::detail {

// What the callbacks of one ICU converter need. ICU holds its address, so it
// lives as long as the converter. Not hidden: the decoder's and encoder's
// state, which the library exports, holds one.
struct CallbackContext {
    unsigned codePage = 0;
    uint64_t* replacements = nullptr;
    // A decoder's tally instead of the count, and the first byte of the
    // Decode call under way (set before each call), which the tally's
    // offsets count from.
    DecodeTally* tally = nullptr;
    const char* source = nullptr;
};

// Hidden: the libraries this static library goes into do not export these.
#pragma GCC visibility push(hidden)

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// The converter of an ICU name, or null when ICU has none.
ConverterPtr OpenConverter(const char* name);

// Writes U+FFFD for every bad input sequence and counts it (and where the
// first starts, when asked); the sequences Windows maps where ICU has
// nothing (WindowsExtras) decode as Windows does.
void U_CALLCONV CountingToUCallback(const void* context, UConverterToUnicodeArgs* args, const char* bytes,
                                    int32_t length, UConverterCallbackReason reason, UErrorCode* err);

// Writes the converter's substitution bytes for every unmappable character.
// Unlike ICU's stock callbacks it also replaces (and counts) default-ignorable
// characters such as U+200B instead of dropping them unseen.
void U_CALLCONV CountingFromUCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar* units,
                                      int32_t length, UChar32 codePoint, UConverterCallbackReason reason,
                                      UErrorCode* err);

#pragma GCC visibility pop

}  // namespace platform::detail
