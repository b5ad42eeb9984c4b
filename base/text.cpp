#include "base/text.h"

namespace text {

int Utf8SequenceAt(const unsigned char* s, size_t n, char32_t& cp)
{
    const unsigned char b = s[0];
    int len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        if (b == 0xED)
            hi = 0x9F;  // encoded surrogates are not UTF-8
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    for (int j = 1; j < len; ++j) {
        if (static_cast<size_t>(j) >= n)
            return -1;
        const unsigned char c = s[j];
        if (c < (j == 1 ? lo : 0x80) || c > (j == 1 ? hi : 0xBF))
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    return len;
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string FromUtf8(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        char32_t cp = 0;
        const int len = Utf8SequenceAt(s + i, n - i, cp);
        if (len > 0) {
            AppendUtf16(out, cp);
            i += static_cast<size_t>(len);
            continue;
        }
        // One U+FFFD for the lead byte and the continuation bytes that were
        // valid so far (the maximal subpart).
        out.push_back(u'\uFFFD');
        size_t j = 1;
        while (i + j < n && j < 4 && (s[i + j] & 0xC0) == 0x80) {
            char32_t probe = 0;
            if (Utf8SequenceAt(s + i, j + 1, probe) != -1)
                break;
            ++j;
        }
        i += j;
    }
    return out;
}

std::string ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string ForTerminal(std::u16string_view utf16)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(utf16.size());
    const auto escape = [&](const char* prefix, unsigned value, int digits) {
        out += prefix;
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            out += kHex[(value >> shift) & 15];
    };
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            escape("\\x", c - 0xDC00, 2);
        } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) || c == 0x061C || c == 0x200E ||
                   c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
            escape("\\u", c, 4);
        } else if (c == u'\\') {
            out += "\\\\";
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u16string FromNumber(long long value)
{
    if (value >= 0)
        return FromUnsigned(static_cast<unsigned long long>(value));
    std::u16string out(1, u'-');
    out += FromUnsigned(0ULL - static_cast<unsigned long long>(value));
    return out;
}

std::u16string FromUnsigned(unsigned long long value)
{
    char16_t buf[24];
    size_t pos = sizeof(buf) / sizeof(buf[0]);
    do {
        buf[--pos] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::u16string(buf + pos, buf + sizeof(buf) / sizeof(buf[0]));
}

bool ToUnsigned(std::u16string_view digits, size_t maxDigits, unsigned long long& value)
{
    if (digits.empty() || digits.size() > maxDigits)
        return false;
    value = 0;
    for (const char16_t c : digits) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

char16_t AsciiLower(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

std::u16string AsciiLowered(std::u16string_view s)
{
    std::u16string out(s);
    for (auto& c : out)
        c = AsciiLower(c);
    return out;
}

bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name, bool ignoreAsciiCase)
{
    const auto same = [ignoreAsciiCase](char16_t a, char16_t b) {
        return ignoreAsciiCase ? AsciiLower(a) == AsciiLower(b) : a == b;
    };
    // One backtrack point: the last '*' and the name position it took up to.
    size_t p = 0, n = 0, star = std::u16string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] != u'*' && (pattern[p] == u'?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = n;
        } else if (star != std::u16string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

}  // namespace text
