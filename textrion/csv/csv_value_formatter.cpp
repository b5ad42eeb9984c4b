#include "textrion/csv/csv_value_formatter.h"

#include <algorithm>
#include <vector>

void CCSVValueFormatter::Prepare(const char16_t* value, unsigned length)
{
    m_value = value;
    m_length = value ? length : 0;
    m_position = 0;
    m_calls = 0;
    m_pendingQuote = false;
    m_needsQuotes = std::any_of(m_value, m_value + m_length, [](char16_t c) {
        return c == u'\t' || c == u'\n' || c == u'\r' || c == u'"' || c == u',';
    });
}

unsigned CCSVValueFormatter::Format(char16_t* out, unsigned capacity)
{
    if (capacity == 0 || out == nullptr)
        return 0;
    unsigned written = 0;
    const bool first = m_calls++ == 0;
    if ((first && m_needsQuotes) || m_pendingQuote) {
        out[written++] = u'"';  // the opening quote, or the doubling of a quote
        m_pendingQuote = false;
    } else if (m_position >= m_length) {
        if (m_needsQuotes) {
            out[0] = u'"';
            m_needsQuotes = false;
            return 1;
        }
        return 0;
    }
    while (written < capacity && m_position < m_length) {
        const char16_t c = m_value[m_position++];
        out[written++] = c;
        if (c == u'"') {
            if (written < capacity) {
                out[written++] = u'"';
            } else {
                m_pendingQuote = true;
                break;
            }
        }
    }
    if (m_position >= m_length && !m_pendingQuote && m_needsQuotes && written < capacity) {
        out[written++] = u'"';
        m_needsQuotes = false;
    }
    return written;
}

void CCSVValueFormatter::Format(std::u16string& value, unsigned pieceSize)
{
    std::vector<char16_t> buffer(std::max(pieceSize, 1u));
    Format(value, buffer.data(), static_cast<unsigned>(buffer.size()));
}

void CCSVValueFormatter::Format(std::u16string& value, char16_t* buffer, unsigned bufferSize)
{
    if (buffer == nullptr || bufferSize == 0)
        return Format(value, 64u);
    CCSVValueFormatter formatter;
    formatter.Prepare(value.data(), static_cast<unsigned>(value.size()));
    std::u16string result;
    result.reserve(value.size() + 2);
    while (const unsigned n = formatter.Format(buffer, bufferSize))
        result.append(buffer, n);
    value = std::move(result);
}

void CTextLineList::HandleData(const char16_t* data, unsigned count)
{
    if (data == nullptr || count == 0)
        return;
    unsigned i = m_breaks.SkipSplitPair(data, count);
    unsigned start = i;

    auto addLine = [this](const char16_t* from, unsigned length) {
        if (m_openLine) {
            back().append(from, length);
            m_openLine = false;
        } else {
            emplace_back(from, length);
        }
    };

    while (i < count) {
        const char16_t c = data[i];
        if (!CLineBreakRewriter::IsBreak(c)) {
            ++i;
            continue;
        }
        addLine(data + start, i - start);
        const unsigned taken = CLineBreakRewriter::BreakLength(data, i, count);
        m_breaks.Handled(c, taken, i + taken == count);
        i += taken;
        start = i;
    }
    if (start < count) {
        addLine(data + start, count - start);
        m_openLine = true;
    }
}
