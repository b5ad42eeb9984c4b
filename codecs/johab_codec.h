#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/seven_bit_codecs.h"

// Internal to codecs/: code page 1361 (Johab), which ICU lacks. Hangul is
// composed bit by bit (5 bits each for initial, medial and final, lead bytes
// 84..D3); symbols and Hanja are KS X 1001 rows folded two to a lead byte
// (D9..DE and E0..F9), taken from 949's table. Bytes 00..7F are ASCII, as in
// the Windows code page.
namespace codecs::detail {

// Same contract as CodePageDecoder::Decode.
class JohabDecoder {
public:
    bool IsOpen() const { return HasKsX1001(); }
    Progress Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end, DecodeTally& tally);
    size_t PendingBytes() const { return m_lead >= 0 ? 1 : 0; }
    void Reset() { m_lead = -1; }

private:
    int m_lead = -1;  // a lead byte waits for its trail
};

// Same contract as CodePageEncoder::Encode: unmappable characters become '?'.
class JohabEncoder {
public:
    bool IsOpen() const { return HasKsX1001(); }
    Progress Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end, uint64_t& replaced);
    static size_t MaxBytesFor(size_t units) { return units * 2 + 2; }
    void Reset()
    {
        m_heldHigh = 0;
        m_pendingCount = 0;
    }

private:
    char16_t m_heldHigh = 0;
    unsigned char m_pending[2] = {};
    size_t m_pendingCount = 0;
};

// The Johab code of a character (lead << 8 | trail, or the byte itself below
// 80), -1 for none; and the character of a two-byte code, 0 for none.
int JohabCodeOf(char32_t c);
char16_t JohabUnitOf(int lead, int trail);

}  // namespace codecs::detail
