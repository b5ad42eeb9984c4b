// Code page 0, the system's default: UTF-8 where the bytes are UTF-8, the fallback code page elsewhere.
#pragma once

#include <cstddef>
#include <memory>

#include "codecs/codec_state.h"
#include "codecs/single_byte_table.h"

// Internal to codecs/. Encoding to code page 0 writes UTF-8 through ICU.
namespace codecs::detail {

// Same contract as CodePageDecoder::Decode: a byte that does not start a
// well-formed UTF-8 sequence is read alone, as its character in the fallback
// table, and counted as uncovered (or replaced, where the table has none).
class DefaultDecoder {
public:
    explicit DefaultDecoder(std::shared_ptr<const SingleByteTable> fallback) : m_fallback(std::move(fallback)) { }
    Progress Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end, DecodeTally& tally);
    size_t PendingBytes() const { return m_heldCount; }
    void Reset()
    {
        m_heldCount = 0;
        m_pendingLow = 0;
    }

private:
    std::shared_ptr<const SingleByteTable> m_fallback;
    unsigned char m_held[4] = {};  // a UTF-8 sequence cut by the end of the last input
    size_t m_heldCount = 0;
    char16_t m_pendingLow = 0;  // the second half of a pair that found no room
};

}  // namespace codecs::detail
