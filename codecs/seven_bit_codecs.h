#pragma once

#include <cstddef>
#include <cstdint>

#include "codecs/codec_state.h"

// Internal to codecs/: the two 7-bit code pages that switch between ASCII
// and a 94x94 double-byte set, HZ (52936, GB2312 between "~{" and "~}") and
// ISO-2022-KR (50225, KS X 1001 between SO and SI after "ESC $ ) C"). They are
// written here rather than taken from ICU, whose converters read six KS X 1001
// symbols unlike the Windows table (middle dot, soft hyphen, ...), open HZ
// output with a needless "~}", write "~~" inside GB runs, and drop a cut
// character at the end of HZ input without a trace. The double-byte sets come
// from ICU's tables of the Windows code pages 936 and 949.
namespace codecs::detail {

enum class ShiftScheme { Hz, Iso2022Kr };

// A 94x94 set in its 7-bit form: both bytes 21..7E.
class Set94;

// KS X 1001 in its 7-bit form, from 949's table, for Johab (johab_codec.h):
// the unit of a code (0 for none) and the code (lead << 8 | trail) of a
// character (-1 for none). Null set: ICU has no 949 table.
bool HasKsX1001();
char16_t KsX1001Unit(int lead, int trail);
int KsX1001Code(char32_t c);

// Same contract as CodePageDecoder::Decode: never stops at bad input (U+FFFD,
// counted into tally); at the end a cut character or escape becomes U+FFFD.
class SevenBitDecoder {
public:
    explicit SevenBitDecoder(ShiftScheme scheme);
    bool IsOpen() const { return m_set != nullptr; }
    Progress Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end, DecodeTally& tally);
    size_t PendingBytes() const;
    void Reset();

private:
    ShiftScheme m_scheme;
    const Set94* m_set;
    bool m_double = false;  // inside a double-byte run
    int m_lead = -1;        // a lead byte waits for its trail
    bool m_tilde = false;   // HZ: a "~" waits for its second byte
    int m_escape = 0;       // ISO-2022-KR: bytes of "ESC $ ) C" seen so far
};

// Same contract as CodePageEncoder::Encode: an unmappable character is written
// as '?' (in ASCII) and counted; endOfInput closes an open double-byte run.
// ISO-2022-KR output opens with its header "ESC $ ) C" once it has a character.
class SevenBitEncoder {
public:
    explicit SevenBitEncoder(ShiftScheme scheme);
    bool IsOpen() const { return m_set != nullptr; }
    Progress Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end, uint64_t& replaced);
    static size_t MaxBytesFor(size_t units) { return (units + 1) * 7; }
    void Reset();

private:
    void Push(unsigned char b) { m_pending[m_pendingCount++] = b; }
    void EnterDouble();
    void LeaveDouble();
    void Drain(unsigned char* dst, size_t cap, size_t& out);

    ShiftScheme m_scheme;
    const Set94* m_set;
    bool m_double = false;
    bool m_started = false;  // ISO-2022-KR: the header is written
    char16_t m_heldHigh = 0;
    // The bytes of one character that found no room: at most the header, SO
    // and a code.
    unsigned char m_pending[8] = {};
    size_t m_pendingCount = 0;
};

}  // namespace codecs::detail
