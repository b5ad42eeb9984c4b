// Code page 0: UTF-8 where the bytes are UTF-8, the fallback code page elsewhere.
#include "codecs/default_codec.h"

#include <cstring>

#include "base/text.h"

namespace codecs::detail {

Progress DefaultDecoder::Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end,
                                DecodeTally& tally)
{
    const SingleByteTable& fb = *m_fallback;
    size_t used = 0, out = 0;
    // Both need out < cap. A pair split by a full output is finished on the
    // next call, as ICU's decoders do, so a one-unit output still makes progress.
    auto put = [&](char32_t cp) {
        if (cp <= 0xFFFF) {
            dst[out++] = static_cast<char16_t>(cp);
            return;
        }
        dst[out++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        const auto low = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        if (out < cap)
            dst[out++] = low;
        else
            m_pendingLow = low;
    };
    // A byte that is not UTF-8, at index at of this call's input (below 0: a held byte).
    auto putFallback = [&](unsigned char b, ptrdiff_t at) {
        dst[out++] = fb.units[b];
        if (fb.invalid[b])
            tally.Replaced(at);
        else
            tally.Uncovered(at);
    };
    if (m_pendingLow != 0) {
        if (cap == 0)
            return {0, 0};
        dst[out++] = m_pendingLow;
        m_pendingLow = 0;
    }
    // First finish a sequence held from the previous call.
    while (m_heldCount > 0) {
        if (out == cap)
            return {used, out};
        unsigned char seq[4];
        size_t have = m_heldCount;
        std::memcpy(seq, m_held, have);
        size_t extra = 0;
        while (have < 4 && extra < n)
            seq[have++] = src[extra++];
        char32_t cp = 0;
        const int len = text::Utf8SequenceAt(seq, have, cp);
        if (len < 0 && !end) {
            // Still incomplete: keep it all for the next call.
            std::memcpy(m_held, seq, have);
            m_heldCount = have;
            return {n, out};
        }
        if (len > 0) {
            put(cp);
            used += static_cast<size_t>(len) - m_heldCount;
            m_heldCount = 0;
            break;
        }
        // Not UTF-8: the first held byte is a fallback character.
        putFallback(m_held[0], -static_cast<ptrdiff_t>(m_heldCount));
        std::memmove(m_held, m_held + 1, --m_heldCount);
    }
    while (used < n && out < cap) {
        const unsigned char b = src[used];
        if (b < 0x80) {
            dst[out++] = b;
            ++used;
            continue;
        }
        char32_t cp = 0;
        const int len = text::Utf8SequenceAt(src + used, n - used, cp);
        if (len < 0 && !end) {
            m_heldCount = n - used;
            std::memcpy(m_held, src + used, m_heldCount);
            return {n, out};
        }
        if (len <= 0) {
            putFallback(b, static_cast<ptrdiff_t>(used));
            ++used;
        } else {
            put(cp);
            used += static_cast<size_t>(len);
        }
    }
    return {used, out};
}

}  // namespace codecs::detail
