#include "platform/unicode_statistics.h"

#include <bitset>
#include <cstdint>

namespace platform {

bool IsTextUnicode(const void* data, size_t size, unsigned* flags)
{
    unsigned result = 0;
    auto finish = [&](bool answer) {
        if (flags)
            *flags = result;
        return answer;
    };
    if (size < 2 || data == nullptr)
        return finish(false);
    if (size % 2 != 0) {
        result |= TEXT_UNICODE_ODD_LENGTH;
        return finish(false);
    }

    const auto* bytes = static_cast<const unsigned char*>(data);
    const size_t units = size / 2;
    size_t zeroHigh = 0, zeroLow = 0, badControls = 0;
    bool allAscii = true;
    std::bitset<256> lowSeen, highSeen;
    for (size_t i = 0; i < units; ++i) {
        const unsigned lo = bytes[2 * i];
        const unsigned hi = bytes[2 * i + 1];
        const uint16_t u = static_cast<uint16_t>(lo | (hi << 8));
        if (u == 0) {
            result |= TEXT_UNICODE_NUL;
            return finish(false);
        }
        if (u == 0xFFFE || u == 0xFFFF) {
            result |= TEXT_UNICODE_ILLEGAL_CHARS;
            return finish(false);
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < units) {
                const uint16_t next = static_cast<uint16_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
                if (next < 0xDC00 || next > 0xDFFF) {
                    result |= TEXT_UNICODE_ILLEGAL_CHARS;
                    return finish(false);
                }
                ++i;  // the pair is one character
                lowSeen.set(lo);
                highSeen.set(hi);
                allAscii = false;
                continue;
            }
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            result |= TEXT_UNICODE_ILLEGAL_CHARS;
            return finish(false);
        }
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0B && u != 0x0C && u != 0x0D && u != 0x1A &&
            u != 0x1B)
            ++badControls;
        if (u >= 0x80)
            allAscii = false;
        if (hi == 0)
            ++zeroHigh;
        else if (lo == 0)
            ++zeroLow;
        lowSeen.set(lo);
        highSeen.set(hi);
    }

    if (badControls * 100 > units) {
        result |= TEXT_UNICODE_CONTROLS;
        return finish(false);
    }
    if (zeroLow > 0 && zeroLow * 4 > zeroHigh) {
        result |= TEXT_UNICODE_REVERSE;
        return finish(false);
    }
    if (allAscii) {
        result |= TEXT_UNICODE_ASCII16;
        return finish(true);
    }
    if (zeroHigh == 0) {
        result |= TEXT_UNICODE_NO_ZERO_HIGH;
        return finish(false);
    }
    if (highSeen.count() * 2 <= lowSeen.count()) {
        result |= TEXT_UNICODE_STATISTICS;
        return finish(true);
    }
    return finish(false);
}

}  // namespace platform
