#include "codecs/unicode_statistics.h"

#include <bitset>
#include <cstdint>

#include <unicode/uchar.h>
#include <unicode/uscript.h>

namespace codecs {

namespace {

bool IsBlank(uint16_t u)
{
    return u == 0x09 || u == 0x0A || u == 0x0D || u == 0x20;
}
// A blank as UTF-16 BE text shows it when read as LE.
bool IsSwappedBlank(uint16_t u)
{
    return u == 0x0900 || u == 0x0A00 || u == 0x0D00 || u == 0x2000;
}

// Collects the scripts of the characters outside ASCII; a sample of one
// language uses few, random bytes hit unassigned and private-use code points
// and many scripts at once.
class ScriptCoherence {
public:
    void Add(UChar32 c)
    {
        ++m_characters;
        const int8_t type = u_charType(c);
        if (type == U_UNASSIGNED || type == U_PRIVATE_USE_CHAR || type == U_CONTROL_CHAR) {
            m_coherent = false;
            return;
        }
        UErrorCode err = U_ZERO_ERROR;
        const UScriptCode script = uscript_getScript(c, &err);
        if (U_FAILURE(err) || script == USCRIPT_COMMON || script == USCRIPT_INHERITED)
            return;
        for (int i = 0; i < m_count; ++i)
            if (m_scripts[i] == script)
                return;
        if (m_count == kMaxScripts)
            m_coherent = false;
        else
            m_scripts[m_count++] = script;
    }
    // Too few characters say nothing either way.
    bool Coherent() const { return m_coherent && m_characters >= kMinCharacters; }

private:
    static constexpr int kMaxScripts = 3;  // Japanese: Han, Hiragana, Katakana
    static constexpr size_t kMinCharacters = 8;
    UScriptCode m_scripts[kMaxScripts] = {};
    int m_count = 0;
    size_t m_characters = 0;
    bool m_coherent = true;
};

}  // namespace

bool IsTextUnicode(const void* data, size_t size, unsigned* flags)
{
    unsigned result = 0;
    auto finish = [&](bool answer) {
        if (flags)
            *flags = result;
        return answer;
    };
    if (size < 2 || data == nullptr)
        return finish(false);
    if (size % 2 != 0) {
        result |= TEXT_UNICODE_ODD_LENGTH;
        return finish(false);
    }

    const auto* bytes = static_cast<const unsigned char*>(data);
    const size_t units = size / 2;
    size_t zeroHigh = 0, badControls = 0, blanks = 0, swappedBlanks = 0;
    bool allAscii = true;
    std::bitset<256> lowSeen, highSeen;
    ScriptCoherence scripts;
    for (size_t i = 0; i < units; ++i) {
        const unsigned lo = bytes[2 * i];
        const unsigned hi = bytes[2 * i + 1];
        const uint16_t u = static_cast<uint16_t>(lo | (hi << 8));
        if (u == 0) {
            result |= TEXT_UNICODE_NUL;
            return finish(false);
        }
        if (u == 0xFFFE || u == 0xFFFF) {
            result |= TEXT_UNICODE_ILLEGAL_CHARS;
            return finish(false);
        }
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < units) {
                const uint16_t next = static_cast<uint16_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
                if (next < 0xDC00 || next > 0xDFFF) {
                    result |= TEXT_UNICODE_ILLEGAL_CHARS;
                    return finish(false);
                }
                ++i;  // the pair is one character
                lowSeen.set(lo);
                highSeen.set(hi);
                allAscii = false;
                scripts.Add(0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
                continue;
            }
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            result |= TEXT_UNICODE_ILLEGAL_CHARS;
            return finish(false);
        }
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0B && u != 0x0C && u != 0x0D && u != 0x1A && u != 0x1B)
            ++badControls;
        if (u >= 0x80) {
            allAscii = false;
            if (u < 0xD800 || u > 0xDBFF)  // a pair cut by the end of the sample tells nothing
                scripts.Add(u);
        }
        blanks += IsBlank(u);
        swappedBlanks += IsSwappedBlank(u);
        if (hi == 0)
            ++zeroHigh;
        lowSeen.set(lo);
        highSeen.set(hi);
    }

    if (badControls * 100 > units) {
        result |= TEXT_UNICODE_CONTROLS;
        return finish(false);
    }
    if (swappedBlanks > 0 && swappedBlanks >= blanks) {
        result |= TEXT_UNICODE_REVERSE;
        return finish(false);
    }
    if (allAscii) {
        result |= TEXT_UNICODE_ASCII16;
        return finish(true);
    }
    if (zeroHigh == 0) {
        result |= TEXT_UNICODE_NO_ZERO_HIGH;
        return finish(false);
    }
    if (highSeen.count() * 2 <= lowSeen.count() || (blanks > 0 && scripts.Coherent())) {
        result |= TEXT_UNICODE_STATISTICS;
        return finish(true);
    }
    return finish(false);
}

CharacterTraits DescribeCharacter(char32_t c) noexcept
{
    CharacterTraits traits;
    switch (u_charType(static_cast<UChar32>(c))) {
    case U_UNASSIGNED:
    case U_SURROGATE:
    case U_CONTROL_CHAR:
        return traits;
    case U_PRIVATE_USE_CHAR:
        traits.use = CharacterTraits::PRIVATE_USE;
        return traits;
    default:
        traits.use = CharacterTraits::TEXT;
        break;
    }
    UErrorCode err = U_ZERO_ERROR;
    const UScriptCode script = uscript_getScript(static_cast<UChar32>(c), &err);
    if (U_FAILURE(err) || script == USCRIPT_COMMON || script == USCRIPT_INHERITED || script == USCRIPT_UNKNOWN)
        return traits;
    // Japanese writes kana and Han in one word, Chinese notes Bopomofo beside Han.
    traits.script =
        script == USCRIPT_HIRAGANA || script == USCRIPT_KATAKANA || script == USCRIPT_BOPOMOFO ? USCRIPT_HAN : script;
    return traits;
}

}  // namespace codecs
