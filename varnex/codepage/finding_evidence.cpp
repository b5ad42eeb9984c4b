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

namespace {

// The words of MixedCaseWordShare and how many are mixed; with stopAtMixed
// it ends at the first mixed word, all that a zero share needs to know.
struct MixedCaseCount {
    uint64_t words = 0;
    uint64_t mixed = 0;
};

MixedCaseCount CountMixedCaseWords(std::u16string_view text, bool stopAtMixed)
{
    // Only pairs with a letter outside ASCII count, so that camel case in
    // code is no misplaced script; only words holding such a letter are
    // counted at all, so that English words around them dilute nothing.
    MixedCaseCount count;
    size_t letters = 0;
    bool foreign = false, isMixed = false;
    platform::LetterCase previous = platform::LetterCase::kNone;
    bool previousForeign = false;
    const auto endWord = [&] {
        if (letters >= 2 && foreign) {
            ++count.words;
            count.mixed += isMixed ? 1 : 0;
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
            (isForeign || previousForeign)) {
            isMixed = true;
            if (stopAtMixed)
                break;  // the pair makes a word of two letters, one foreign
        }
        previous = kind;
        previousForeign = isForeign;
    }
    endWord();
    return count;
}

}  // namespace

double MixedCaseWordShare(std::u16string_view text)
{
    const MixedCaseCount count = CountMixedCaseWords(text, false);
    return count.words == 0 ? 0.0 : static_cast<double>(count.mixed) / static_cast<double>(count.words);
}

bool HasMixedCaseWord(std::u16string_view text)
{
    return CountMixedCaseWords(text, true).mixed > 0;
}

double SymbolInWordShare(std::u16string_view text, uint64_t* counted)
{
    const auto isLetter = [](char16_t c) { return platform::IsWordCharacter(c); };
    const auto joinsWords = [](char16_t c) { return c == 0x2019 || c == 0x00B7 || c == 0x00AD || c == 0x2010; };
    uint64_t inside = 0, symbols = 0;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80 || !isLetter(text[i - 1]) || !isLetter(text[i + 1]))
            continue;
        ++inside;
        if (!isLetter(c) && !joinsWords(c))
            ++symbols;
    }
    if (counted != nullptr)
        *counted = symbols;
    return inside == 0 ? 0.0 : static_cast<double>(symbols) / static_cast<double>(inside);
}

unsigned DistinctNonAsciiBytes(const char* data, size_t size)
{
    // Marked without a test per byte; ASCII bytes mark places not counted.
    bool seen[256] = {};
    for (size_t i = 0; i < size; ++i)
        seen[static_cast<unsigned char>(data[i])] = true;
    unsigned distinct = 0;
    for (unsigned b = 0x80; b < 256; ++b)
        distinct += seen[b] ? 1 : 0;
    return distinct;
}

bool HasHzShift(const char* data, size_t size)
{
    return std::string_view(data, size).find("~{") != std::string_view::npos;
}

}  // namespace finding_evidence
