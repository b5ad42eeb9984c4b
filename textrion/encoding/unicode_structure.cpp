#include "textrion/encoding/unicode_structure.h"

#include <cstdint>

#include "codecs/unicode_statistics.h"

namespace {

using codecs::CharacterTraits;

// The controls text holds: TAB, LF, VT, FF, CR, SUB (the DOS end of file)
// and ESC (terminal colours).
bool IsControlOfText(char32_t c) noexcept
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x1B;
}

// What no text holds, whatever its script: U+0000 and the other C0 controls,
// DEL and the C1 controls, the noncharacters.
bool IsForeign(char32_t c) noexcept
{
    if (c < 0x20)
        return !IsControlOfText(c);
    if (c >= 0x7F && c <= 0x9F)
        return true;
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// White space and punctuation whose UTF-16 unit holds a byte below 0x20 in
// either order. An 8-bit text has no such bytes but TAB, LF and CR, and so
// never pairs two of its bytes into one of these: this is what keeps ASCII
// and legacy text, read two bytes at a time, from passing for UTF-16.
bool IsSeparator(char32_t c) noexcept
{
    if (c < 0x100)
        return (c >= 0x09 && c <= 0x0D) || (c >= 0x20 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) ||
               (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E) || (c >= 0xA0 && c <= 0xBF) || c == 0xD7 ||
               c == 0xF7;
    switch (c) {
    case 0x037E:  // Greek question mark
    case 0x0589:  // Armenian full stop
    case 0x060C:  // Arabic comma
    case 0x061F:  // Arabic question mark
    case 0x06D4:  // Arabic full stop
    case 0x3000:  // ideographic space
    case 0x3001:  // ideographic comma
    case 0x3002:  // ideographic full stop
    case 0xFF01:  // fullwidth exclamation mark
    case 0xFF0C:  // fullwidth comma
    case 0xFF0E:  // fullwidth full stop
    case 0xFF1A:  // fullwidth colon
    case 0xFF1B:  // fullwidth semicolon
    case 0xFF1F:  // fullwidth question mark
        return true;
    default:
        return false;
    }
}

struct Form {
    unsigned unitSize;  // 2 or 4
    bool bigEndian;
    TEXTENCODING encoding;
};

uint32_t Unit(const unsigned char* p, const Form& form) noexcept
{
    if (form.unitSize == 2)
        return form.bigEndian ? (uint32_t{p[0]} << 8 | p[1]) : (uint32_t{p[1]} << 8 | p[0]);
    return form.bigEndian ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                          : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
}

// Hands each character of the bytes read as form to visit, which returns
// false to stop. False when visit stopped or a unit is no character: a
// surrogate out of its pair (in UTF-32, any), a value above U+10FFFF. A unit
// the end cuts is dropped; a pair it cuts is no fault only when cut.
template <typename Visit>
bool ForEachCharacter(const unsigned char* bytes, size_t n, const Form& form, bool cut, Visit&& visit)
{
    const size_t units = n / form.unitSize;
    for (size_t i = 0; i < units; ++i) {
        char32_t c = Unit(bytes + i * form.unitSize, form);
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (form.unitSize == 4)
                return false;
            if (i + 1 == units)
                return cut;
            const uint32_t low = Unit(bytes + (i + 1) * 2, form);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (c > 0x10FFFF) {
            return false;
        }
        if (!visit(c))
            return false;
    }
    return true;
}

bool IsSpace(char32_t c) noexcept
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x3000;
}

// The first look, with no character table: only characters, and separators
// at the rates the header gives. Noise of a few units hits a separator now
// and then; two, and a space, only in text.
bool Shaped(const unsigned char* bytes, size_t n, const Form& form, bool cut, size_t& separators)
{
    size_t characters = 0, spaces = 0, latin1 = 0;
    separators = 0;
    const bool whole = ForEachCharacter(bytes, n, form, cut, [&](char32_t c) {
        if (IsForeign(c))
            return false;
        ++characters;
        separators += IsSeparator(c);
        spaces += IsSpace(c);
        latin1 += c < 0x100;
        return true;
    });
    if (!whole || separators * 128 < characters)
        return false;
    if (latin1 * 4 >= characters * 3)
        return spaces > 0;
    return characters >= 16 && separators >= 2 && (spaces > 0 || characters >= 64);
}

// The second look, asked only of a form the first one let through: assigned
// characters, few private-use ones, letters in words. Noise that gets this far
// draws its letters from one script after another.
class ScriptTally {
public:
    bool Add(char32_t c)
    {
        ++m_characters;
        int script = CharacterTraits::kNoScript;
        if (c < 0x80) {
            if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
                script = LatinScript();
        } else {
            const CharacterTraits traits = codecs::DescribeCharacter(c);
            if (traits.use == CharacterTraits::NOT_TEXT)
                return false;
            m_privateUse += traits.use == CharacterTraits::PRIVATE_USE;
            script = traits.script;
        }
        if (script == CharacterTraits::kNoScript)
            return true;
        ++m_letters;
        if (m_last != CharacterTraits::kNoScript && script != m_last)
            ++m_changes;
        m_last = script;
        bool seen = false;
        for (int i = 0; i < m_count && !seen; ++i)
            seen = m_scripts[i] == script;
        if (!seen && m_count <= kFewScripts)
            m_scripts[m_count++] = script;
        return true;
    }

    // Short samples and many scripts give noise less room to show.
    bool ReadsAsText() const
    {
        const size_t wordLength = m_count <= kFewScripts && m_characters >= 64 ? 2 : 3;
        return m_privateUse * 64 <= m_characters && m_letters >= wordLength * m_changes;
    }

private:
    static constexpr int kFewScripts = 4;

    static int LatinScript()
    {
        static const int latin = codecs::DescribeCharacter(U'a').script;
        return latin;
    }

    int m_scripts[kFewScripts + 1] = {};
    int m_count = 0;  // kFewScripts + 1: more than few
    int m_last = CharacterTraits::kNoScript;
    size_t m_characters = 0;
    size_t m_letters = 0;
    size_t m_changes = 0;
    size_t m_privateUse = 0;
};

bool ReadsAsText(const unsigned char* bytes, size_t n, const Form& form, bool cut)
{
    ScriptTally tally;
    return ForEachCharacter(bytes, n, form, cut, [&](char32_t c) { return tally.Add(c); }) && tally.ReadsAsText();
}

constexpr Form kUtf32Le{4, false, TEXTENCODING_UTF32LE};
constexpr Form kUtf32Be{4, true, TEXTENCODING_UTF32BE};
constexpr Form kUtf16Le{2, false, TEXTENCODING_UTF16LE};
constexpr Form kUtf16Be{2, true, TEXTENCODING_UTF16BE};

}  // namespace

const UnicodeForm* JudgeUnicodeStructure(const unsigned char* bytes, size_t n, bool cut) noexcept
{
    if (bytes == nullptr || n < kUnicodeStructureMinimum)
        return nullptr;
    size_t separators = 0;
    // A whole file holds whole units; a cut sample drops its partial last one.
    // Text in one form never passes the first look in another, the other byte
    // order of UTF-16 aside.
    if (n % 4 == 0 || cut) {
        for (const Form& form : {kUtf32Le, kUtf32Be})
            if (Shaped(bytes, n, form, cut, separators) && ReadsAsText(bytes, n, form, cut))
                return FindUnicodeForm(form.encoding);
    }
    if (n % 2 != 0 && !cut)
        return nullptr;
    size_t leSeparators = 0, beSeparators = 0;
    const bool le = Shaped(bytes, n, kUtf16Le, cut, leSeparators) && ReadsAsText(bytes, n, kUtf16Le, cut);
    const bool be = Shaped(bytes, n, kUtf16Be, cut, beSeparators) && ReadsAsText(bytes, n, kUtf16Be, cut);
    if (le && (!be || leSeparators > beSeparators))
        return FindUnicodeForm(TEXTENCODING_UTF16LE);
    if (be && (!le || beSeparators > leSeparators))
        return FindUnicodeForm(TEXTENCODING_UTF16BE);
    return nullptr;
}
