#include "varnex/codepage/finding_evidence.h"

#include <array>

#include "codecs/codepage.h"
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

constexpr uint8_t kCaseBits = 3;  // a platform::LetterCase
constexpr uint8_t kWordBit = 4;
constexpr uint8_t kForeignBit = 8;  // the character is outside ASCII
constexpr uint8_t kJoinsBit = 16;

bool JoinsWords(char16_t c)
{
    return c == 0x2019 || c == 0x00B7 || c == 0x00AD || c == 0x2010;
}

// What the shares read of a UTF-16 unit, one lookup per unit.
struct UnitKinds {
    static platform::LetterCase Case(char16_t c) { return platform::CaseOfLetter(c); }
    static bool Foreign(char16_t c) { return c >= 0x80; }
    static bool Word(char16_t c) { return platform::IsWordCharacter(c); }
    static bool Joins(char16_t c) { return JoinsWords(c); }
};

// The same read from a byte's entry in a code page's table.
struct TableKinds {
    const ByteKinds* table;
    uint8_t Of(char b) const { return table->kind[static_cast<unsigned char>(b)]; }
    platform::LetterCase Case(char b) const { return static_cast<platform::LetterCase>(Of(b) & kCaseBits); }
    bool Foreign(char b) const { return (Of(b) & kForeignBit) != 0; }
    bool Word(char b) const { return (Of(b) & kWordBit) != 0; }
    bool Joins(char b) const { return (Of(b) & kJoinsBit) != 0; }
};

// The words of MixedCaseWordShare and how many are mixed; with stopAtMixed
// it ends at the first mixed word, all that a zero share needs to know.
struct MixedCaseCount {
    uint64_t words = 0;
    uint64_t mixed = 0;
    double Share() const { return words == 0 ? 0.0 : static_cast<double>(mixed) / static_cast<double>(words); }
};

template <typename Text, typename Kinds>
MixedCaseCount CountMixedCaseWords(Text text, const Kinds& kinds, bool stopAtMixed)
{
    // Only pairs with a letter outside ASCII count, so that camel case in
    // code is no misplaced script; only words holding such a letter are
    // counted at all, so that English words around them dilute nothing.
    using platform::LetterCase;
    MixedCaseCount count;
    uint64_t letters = 0;
    bool foreign = false, isMixed = false;
    LetterCase previous = LetterCase::kNone;
    bool previousForeign = false;
    for (const auto c : text) {
        const LetterCase kind = kinds.Case(c);
        const bool isForeign = kinds.Foreign(c);
        const bool ends = kind == LetterCase::kNone;
        const bool counted = ends && letters >= 2 && foreign;
        count.words += counted;
        count.mixed += counted && isMixed;
        const bool mixedPair =
            kind == LetterCase::kCapital && previous == LetterCase::kSmall && (isForeign || previousForeign);
        letters = ends ? 0 : letters + 1;
        foreign = !ends && (foreign || isForeign);
        isMixed = !ends && (isMixed || mixedPair);
        previous = kind;
        previousForeign = isForeign;
        if (stopAtMixed && isMixed)
            break;  // the pair makes a word of two letters, one foreign: counted below
    }
    const bool counted = letters >= 2 && foreign;
    count.words += counted;
    count.mixed += counted && isMixed;
    return count;
}

template <typename Text, typename Kinds> double CountSymbolsInWords(Text text, const Kinds& kinds, uint64_t* counted)
{
    uint64_t inside = 0, symbols = 0;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        const auto c = text[i];
        const bool between = kinds.Foreign(c) && kinds.Word(text[i - 1]) && kinds.Word(text[i + 1]);
        inside += between;
        symbols += between && !kinds.Word(c) && !kinds.Joins(c);
    }
    if (counted != nullptr)
        *counted = symbols;
    return inside == 0 ? 0.0 : static_cast<double>(symbols) / static_cast<double>(inside);
}

}  // namespace

double MixedCaseWordShare(std::u16string_view text)
{
    return CountMixedCaseWords(text, UnitKinds{}, false).Share();
}

bool HasMixedCaseWord(std::u16string_view text)
{
    return CountMixedCaseWords(text, UnitKinds{}, true).mixed > 0;
}

double SymbolInWordShare(std::u16string_view text, uint64_t* counted)
{
    return CountSymbolsInWords(text, UnitKinds{}, counted);
}

bool MakeByteKinds(unsigned codepage, ByteKinds& kinds)
{
    std::array<char16_t, 256> units{};
    std::array<bool, 256> replaced{};
    const codecs::CodePageDecoder decoder(codepage);
    if (!decoder.IsOpen() || !decoder.GetSingleByteMap(units, replaced))
        return false;
    for (unsigned b = 0; b < 256; ++b) {
        const char16_t c = units[b];
        kinds.kind[b] =
            static_cast<uint8_t>(static_cast<uint8_t>(UnitKinds::Case(c)) | (UnitKinds::Word(c) ? kWordBit : 0) |
                                 (UnitKinds::Foreign(c) ? kForeignBit : 0) | (UnitKinds::Joins(c) ? kJoinsBit : 0));
    }
    return true;
}

TextShares MeasureBytes(std::string_view bytes, const ByteKinds& kinds, Measure what)
{
    const TableKinds table{&kinds};
    TextShares shares;
    shares.mixedCase = CountMixedCaseWords(bytes, table, what == Measure::kAnyMixedCase).Share();
    if (what == Measure::kBoth)
        shares.symbolShare = CountSymbolsInWords(bytes, table, &shares.symbols);
    return shares;
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
