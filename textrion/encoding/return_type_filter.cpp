#include "textrion/encoding/return_type_filter.h"

#include <cstring>

unsigned CReturnTypeFilter::Filter(char16_t* buffer, unsigned capacity, unsigned& length, unsigned& shortfall)
{
    shortfall = 0;
    if (capacity == 0 || buffer == nullptr)
        return 0;
    if (length > capacity)
        length = capacity;

    const unsigned targetLength = m_target == CRLFTYPE_CRLF ? 2 : 1;
    const char16_t single = m_target == CRLFTYPE_CR ? u'\r' : u'\n';
    unsigned i = 0;
    unsigned finalUnits = 0;
    bool finalFixed = false;  // a break could not be widened: the rest needs another pass

    auto erase = [&](unsigned at) {
        std::memmove(buffer + at, buffer + at + 1, (length - at - 1) * sizeof(char16_t));
        --length;
    };
    auto insert = [&](unsigned at) {
        std::memmove(buffer + at + 1, buffer + at, (length - at) * sizeof(char16_t));
        ++length;
    };

    if (length > 0 && m_pendingCR) {
        m_pendingCR = false;
        if (buffer[0] == u'\n')
            erase(0);  // the LF of a CR LF split across buffers
    }

    while (i < length) {
        const char16_t u = buffer[i];
        if (u != u'\r' && u != u'\n') {
            ++i;
            continue;
        }
        const bool pair = u == u'\r' && i + 1 < length && buffer[i + 1] == u'\n';
        const bool trailingCR = u == u'\r' && i + 1 == length;
        if (trailingCR && finalFixed) {
            ++shortfall;
            break;
        }
        const unsigned breakLength = pair ? 2 : 1;
        if (breakLength == targetLength) {
            if (targetLength == 1) {
                buffer[i] = single;
            } else {
                buffer[i] = u'\r';
                buffer[i + 1] = u'\n';
            }
            i += breakLength;
        } else if (breakLength == 2) {
            erase(i + 1);  // CR LF to one unit
            buffer[i] = single;
            i += 1;
        } else if (length < capacity) {
            insert(i);  // one unit to CR LF
            buffer[i] = u'\r';
            buffer[i + 1] = u'\n';
            i += 2;
        } else {
            if (!finalFixed) {
                finalUnits = i;
                finalFixed = true;
            }
            ++shortfall;
            i += 1;
            continue;
        }
        if (trailingCR)
            m_pendingCR = true;
    }
    return finalFixed ? finalUnits : i;
}
