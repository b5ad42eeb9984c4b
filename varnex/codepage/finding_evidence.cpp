#include "varnex/codepage/finding_evidence.h"

#include "platform/letter_case.h"

namespace finding_evidence {

uint64_t NonAsciiBytes(const char* data, size_t size)
{
    uint64_t n = 0;
    for (size_t i = 0; i < size; ++i)
        n += static_cast<unsigned char>(data[i]) >= 0x80 ? 1 : 0;
    return n;
}

double MixedCaseWordShare(std::u16string_view text)
{
    // Only pairs with a letter outside ASCII count, so that camel case in
    // code is no misplaced script; only words holding such a letter are
    // counted at all, so that English words around them dilute nothing.
    uint64_t words = 0, mixed = 0;
    size_t letters = 0;
    bool foreign = false, isMixed = false;
    platform::LetterCase previous = platform::LetterCase::kNone;
    bool previousForeign = false;
    const auto endWord = [&] {
        if (letters >= 2 && foreign) {
            ++words;
            mixed += isMixed ? 1 : 0;
        }
        letters = 0;
        foreign = isMixed = false;
        previous = platform::LetterCase::kNone;
    };
    for (char16_t c : text) {
        const platform::LetterCase kind = platform::CaseOfLetter(c);
        if (kind == platform::LetterCase::kNone) {
            endWord();
            continue;
        }
        const bool isForeign = c >= 0x80;
        ++letters;
        foreign = foreign || isForeign;
        if (kind == platform::LetterCase::kCapital && previous == platform::LetterCase::kSmall &&
            (isForeign || previousForeign))
            isMixed = true;
        previous = kind;
        previousForeign = isForeign;
    }
    endWord();
    return words == 0 ? 0.0 : static_cast<double>(mixed) / static_cast<double>(words);
}

bool HasHzShift(const char* data, size_t size)
{
    return std::string_view(data, size).find("~{") != std::string_view::npos;
}

}  // namespace finding_evidence
