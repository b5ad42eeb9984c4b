#include "varnex/codepage/finding_evidence.h"

namespace finding_evidence {

namespace {

// -1 small, 1 capital, 0 no Cyrillic or Greek letter.
int CaseOf(char16_t c)
{
    if ((c >= 0x0400 && c <= 0x042F) || (c >= 0x0391 && c <= 0x03A9))
        return 1;
    if ((c >= 0x0430 && c <= 0x045F) || (c >= 0x03AC && c <= 0x03CE))
        return -1;
    return 0;
}

}  // namespace

uint64_t NonAsciiBytes(const char* data, size_t size)
{
    uint64_t n = 0;
    for (size_t i = 0; i < size; ++i)
        n += static_cast<unsigned char>(data[i]) >= 0x80 ? 1 : 0;
    return n;
}

double MixedCaseWordShare(std::u16string_view text)
{
    uint64_t words = 0, mixed = 0;
    size_t letters = 0;
    bool sawSmall = false, isMixed = false;
    const auto endWord = [&] {
        if (letters >= 2) {
            ++words;
            mixed += isMixed ? 1 : 0;
        }
        letters = 0;
        sawSmall = isMixed = false;
    };
    for (char16_t c : text) {
        const int kind = CaseOf(c);
        if (kind == 0) {
            endWord();
            continue;
        }
        ++letters;
        if (kind < 0)
            sawSmall = true;
        else if (sawSmall)
            isMixed = true;
    }
    endWord();
    return words == 0 ? 0.0 : static_cast<double>(mixed) / static_cast<double>(words);
}

bool HasHzShift(const char* data, size_t size)
{
    return std::string_view(data, size).find("~{") != std::string_view::npos;
}

}  // namespace finding_evidence
