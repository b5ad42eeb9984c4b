#include "textrion/encoding/double_encoding.h"

#include <cstdint>

#include "textrion/encoding/utf8_validation.h"

namespace {

// windows-1252's characters at 80..9F; 0 where it has none (Latin-1's C1
// control of that value stands in for the byte).
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The windows-1252 byte of c (c from U+0080 on), -1 when it has none.
int Cp1252Byte(uint32_t c) noexcept
{
    if (c >= 0x80 && c <= 0xFF)
        return static_cast<int>(c);
    // The table's characters lie in U+0152..U+02DC and U+2013..U+2122: most
    // text outside Latin (Cyrillic, CJK) is ruled out without the search.
    if (c < 0x0152 || c > 0x2122 || (c > 0x02DC && c < 0x2013))
        return -1;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

// One character of valid UTF-8 at s[i]: its value and length; length 0 when
// the text ends inside it.
struct Character {
    uint32_t value;
    size_t length;
};

Character Next(std::string_view s, size_t i) noexcept
{
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (i + length > s.size())
        return {0, 0};
    uint32_t value = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
    for (size_t k = 1; k < length; ++k)
        value = value << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return {value, length};
}

bool DecodesAgain(const std::string& bytes) noexcept
{
    const Utf8Validity v = ValidateUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return v.status == Utf8Validity::kValid && v.multiByte;
}

// Walks utf8 run by run: onRun(start, end, bytes, decodesAgain) for each run
// of characters windows-1252 holds, onOther(c) for every other character.
template <typename OnRun, typename OnOther> void WalkRuns(std::string_view utf8, OnRun onRun, OnOther onOther)
{
    std::string bytes;
    size_t runStart = 0;
    size_t i = 0;
    const auto endRun = [&](size_t end) {
        if (!bytes.empty())
            onRun(runStart, end, bytes, DecodesAgain(bytes));
        bytes.clear();
    };
    while (i < utf8.size()) {
        const Character c = Next(utf8, i);
        if (c.length == 0)
            break;
        const int byte = c.value >= 0x80 ? Cp1252Byte(c.value) : -1;
        if (byte < 0) {
            endRun(i);
            onOther(c.value, i, c.length);
        } else {
            if (bytes.empty())
                runStart = i;
            bytes.push_back(static_cast<char>(byte));
        }
        i += c.length;
    }
    endRun(i);
}

}  // namespace

DoubleEncodingScan ScanDoubleEncoding(std::string_view utf8) noexcept
{
    DoubleEncodingScan scan;
    try {
        WalkRuns(
            utf8,
            [&](size_t, size_t, const std::string& bytes, bool again) {
                scan.nonAscii += bytes.size();
                if (again) {
                    scan.redecoded += bytes.size();
                    ++scan.runs;
                }
            },
            [&](uint32_t c, size_t, size_t) { scan.nonAscii += c >= 0x80; });
    } catch (...) {
        // Out of memory for a run's bytes: what was counted stands.
    }
    return scan;
}

bool LooksDoubleEncoded(std::string_view utf8) noexcept
{
    const DoubleEncodingScan scan = ScanDoubleEncoding(utf8);
    return scan.runs > 0 && scan.redecoded * 5 >= scan.nonAscii * 4;
}

void CDoubleEncodingRepair::EndRun(std::u16string& out)
{
    if (DecodesAgain(m_bytes)) {
        for (size_t i = 0; i < m_bytes.size();) {
            const Character c = Next(m_bytes, i);
            if (c.value >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((c.value - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((c.value - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(c.value);
            }
            i += c.length;
        }
    } else {
        out += m_run;
    }
    m_run.clear();
    m_bytes.clear();
}

void CDoubleEncodingRepair::Repair(std::u16string_view units, bool final, std::u16string& out)
{
    for (const char16_t u : units) {
        const int byte = u >= 0x80 ? Cp1252Byte(u) : -1;
        if (byte < 0) {
            if (!m_run.empty())
                EndRun(out);
            out += u;
        } else {
            m_run += u;
            m_bytes += static_cast<char>(byte);
        }
    }
    if (final && !m_run.empty())
        EndRun(out);
}
