// The ICU family: converter handles, the counting callbacks, and the decoder and encoder on a converter.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <unicode/ucnv.h>

#include "codecs/codec_state.h"
#include "codecs/codepage_table.h"
#include "codecs/multibyte_table.h"

// Internal to codecs/: ICU types stay behind codepage.h.
namespace codecs::detail {

// What the callbacks of one ICU converter need. ICU holds its address, so it
// lives as long as the converter. Not hidden, nor are the converter handle
// and the classes below: the decoder's and encoder's state, which the
// library exports, holds them.
struct CallbackContext {
    unsigned codePage = 0;
    uint64_t* replacements = nullptr;
    // A decoder's tally instead of the count, and the first byte of the
    // Decode call under way (set before each call), which the tally's
    // offsets count from.
    DecodeTally* tally = nullptr;
    const char* source = nullptr;
};

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Hidden: the libraries this static library goes into do not export these.
#pragma GCC visibility push(hidden)

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

// The direct tables of a row's converter (kTableDecoding), read off it once
// and shared; null where they cannot be read.
std::shared_ptr<const MultiByteTable> MultiByteTableFor(const CodePageRow& row);

#pragma GCC visibility pop

// Decodes through a row's converter; where the row says so (and tables is
// set), through the direct tables first (multibyte_table.h), which give the
// same units and counts. Same contract as CodePageDecoder::Decode.
class IcuDecoder {
public:
    // context: the decoder's, set up for its code page and tally; it lives as
    // long as this decoder, and its source is set before each Decode.
    bool Open(const CodePageRow& row, bool tables, CallbackContext& context);
    Progress Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end, DecodeTally& tally);
    size_t PendingBytes() const;
    void Reset();

private:
    Progress DecodeByTables(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end,
                            DecodeTally& tally);
    void Feed(const unsigned char* src, size_t n, bool end, DecodeTally& tally);
    bool Holds() const;

    ConverterPtr m_cnv;
    bool m_pcControls = false;
    const CallbackContext* m_context = nullptr;
    // Direct tables tried before ICU (null: every byte goes through ICU).
    std::shared_ptr<const MultiByteTable> m_table;
    // Units ICU gave beyond the caller's room, handed out first next time.
    std::u16string m_spill;
    size_t m_spillBegin = 0;
};

// Encodes through the converter of an ICU name; the default character is the
// code page's own '?'. Same contract as CodePageEncoder::Encode.
class IcuEncoder {
public:
    // context: the encoder's, set up for its code page and count; it lives
    // as long as this encoder.
    bool Open(const char* name, bool pcControls, CallbackContext& context);
    Progress Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end, uint64_t& replaced);
    size_t MaxBytesFor(size_t units) const;
    void Reset();

private:
    ConverterPtr m_cnv;
    bool m_pcControls = false;
};

}  // namespace codecs::detail
