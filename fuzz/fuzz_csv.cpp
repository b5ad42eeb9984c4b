// The CSV value formatter and the line list, fed in pieces whose sizes come
// from the input, against plain whole-text forms of the same rules.
//
// Input: byte 0 the piece size of the static form, byte 1 the seed of the
// other piece sizes; the rest, as UTF-8, is the value and the text.
#include <algorithm>
#include <vector>

#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "textrion/csv/csv_value_formatter.h"

namespace {

std::u16string Quoted(const std::u16string& value)
{
    if (value.find_first_of(u"\t\r\n\",") == std::u16string::npos)
        return value;
    std::u16string out = u"\"";
    for (const char16_t c : value) {
        out.push_back(c);
        if (c == u'"')
            out.push_back(u'"');
    }
    return out + u"\"";
}

std::vector<std::u16string> Lines(const std::u16string& text)
{
    std::vector<std::u16string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, u"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// Piece sizes 1..16 from a small generator seeded by the input.
struct Pieces {
    unsigned state;
    unsigned Next()
    {
        state = state * 1103515245u + 12345u;
        return 1 + (state >> 16) % 16;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const unsigned pieceSize = 1 + in.Byte() % 32;
    Pieces pieces{in.Byte()};
    const std::u16string value = text::FromUtf8(in.Rest());
    const std::u16string expected = Quoted(value);

    std::u16string whole = value;
    CCSVValueFormatter::Format(whole, pieceSize);
    FUZZ_CHECK(whole == expected);

    // The instance form with a different room at every call.
    CCSVValueFormatter formatter;
    formatter.Prepare(value.data(), static_cast<unsigned>(value.size()));
    std::u16string stepwise;
    char16_t out[16];
    for (unsigned room = pieces.Next(), n; (n = formatter.Format(out, room)) != 0; room = pieces.Next()) {
        FUZZ_CHECK(n <= room && stepwise.size() <= expected.size());
        stepwise.append(out, n);
    }
    FUZZ_CHECK(stepwise == expected);

    CTextLineList list;
    for (size_t at = 0; at < value.size();) {
        const size_t n = std::min<size_t>(pieces.Next(), value.size() - at);
        list.HandleData(value.data() + at, static_cast<unsigned>(n));
        at += n;
    }
    FUZZ_CHECK(static_cast<const std::vector<std::u16string>&>(list) == Lines(value));
    return 0;
}
