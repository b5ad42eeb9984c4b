#include "textrion/encoding/return_type_filter.h"

#include <cstring>

namespace {

LineEnding LineEndingOf(CReturnTypeFilter::CRLFTYPE target)
{
    switch (target) {
    case CReturnTypeFilter::CRLFTYPE_CR:
        return LineEnding::Cr;
    case CReturnTypeFilter::CRLFTYPE_LF:
        return LineEnding::Lf;
    default:
        return LineEnding::CrLf;
    }
}

}  // namespace

CReturnTypeFilter::CReturnTypeFilter(CRLFTYPE target) : m_breaks(LineEndingOf(target))
{
}

unsigned CReturnTypeFilter::Filter(char16_t* buffer, unsigned capacity, unsigned& length, unsigned& shortfall)
{
    shortfall = 0;
    if (capacity == 0 || buffer == nullptr)
        return 0;
    if (length > capacity)
        length = capacity;

    const std::u16string_view target = m_breaks.Replacement();
    const unsigned targetLength = static_cast<unsigned>(target.size());
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

    if (m_breaks.SkipSplitPair(buffer, length) > 0)
        erase(0);

    while (i < length) {
        if (!CLineBreakRewriter::IsBreak(buffer[i])) {
            ++i;
            continue;
        }
        const char16_t first = buffer[i];
        const unsigned breakLength = CLineBreakRewriter::BreakLength(buffer, i, length);
        const bool endsInput = i + breakLength == length;
        const bool trailingCR = first == u'\r' && endsInput && breakLength == 1;
        if (trailingCR && finalFixed) {
            ++shortfall;
            break;
        }
        if (breakLength < targetLength && length == capacity) {
            if (!finalFixed) {
                finalUnits = i;
                finalFixed = true;
            }
            ++shortfall;
            i += 1;
            continue;
        }
        if (breakLength > targetLength)
            erase(i + 1);  // CR LF to one unit
        else if (breakLength < targetLength)
            insert(i);  // one unit to CR LF
        std::memcpy(buffer + i, target.data(), targetLength * sizeof(char16_t));
        i += targetLength;
        m_breaks.Handled(first, breakLength, endsInput);
    }
    return finalFixed ? finalUnits : i;
}
