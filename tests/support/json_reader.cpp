#include "support/json_reader.h"

#include <cstdint>

namespace testing_support {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) { }

    std::optional<JsonValue> Document()
    {
        JsonValue value;
        if (!Value(value, 0))
            return std::nullopt;
        SkipSpace();
        if (m_at != m_text.size())
            return Fail("text after the value");
        return value;
    }
    const std::string& Why() const { return m_why; }

private:
    std::nullopt_t Fail(const std::string& why)
    {
        if (m_why.empty())
            m_why = why + " at byte " + std::to_string(m_at);
        return std::nullopt;
    }
    bool Error(const std::string& why)
    {
        Fail(why);
        return false;
    }
    void SkipSpace()
    {
        while (m_at < m_text.size() &&
               (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r'))
            ++m_at;
    }
    bool Take(char c)
    {
        SkipSpace();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Literal(std::string_view word)
    {
        if (m_text.substr(m_at, word.size()) != word)
            return false;
        m_at += word.size();
        return true;
    }

    bool Value(JsonValue& value, int depth)
    {
        if (depth > 64)
            return Error("nested too deep");
        SkipSpace();
        if (m_at >= m_text.size())
            return Error("no value");
        const char c = m_text[m_at];
        if (c == '{')
            return ObjectValue(value, depth);
        if (c == '[')
            return ArrayValue(value, depth);
        if (c == '"') {
            value.kind = JsonValue::String;
            return StringValue(value.text);
        }
        if (Literal("true") || Literal("false")) {
            value.kind = JsonValue::Bool;
            value.boolean = c == 't';
            return true;
        }
        if (Literal("null"))
            return true;
        return NumberValue(value);
    }

    bool ObjectValue(JsonValue& value, int depth)
    {
        value.kind = JsonValue::Object;
        ++m_at;
        if (Take('}'))
            return true;
        do {
            SkipSpace();
            std::string key;
            if (m_at >= m_text.size() || m_text[m_at] != '"' || !StringValue(key))
                return Error("no key");
            if (value.Has(key))
                return Error("duplicate key " + key);
            if (!Take(':'))
                return Error("no colon");
            JsonValue member;
            if (!Value(member, depth + 1))
                return false;
            value.members.emplace_back(std::move(key), std::move(member));
        } while (Take(','));
        return Take('}') || Error("object not closed");
    }

    bool ArrayValue(JsonValue& value, int depth)
    {
        value.kind = JsonValue::Array;
        ++m_at;
        if (Take(']'))
            return true;
        do {
            JsonValue item;
            if (!Value(item, depth + 1))
                return false;
            value.items.push_back(std::move(item));
        } while (Take(','));
        return Take(']') || Error("array not closed");
    }

    bool NumberValue(JsonValue& value)
    {
        const size_t start = m_at;
        const auto digits = [this] {
            const size_t from = m_at;
            while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9')
                ++m_at;
            return m_at - from;
        };
        if (m_at < m_text.size() && m_text[m_at] == '-')
            ++m_at;
        const size_t first = m_at;
        const size_t whole = digits();
        if (whole == 0 || (whole > 1 && m_text[first] == '0'))
            return Error("bad number");
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            if (digits() == 0)
                return Error("bad fraction");
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-'))
                ++m_at;
            if (digits() == 0)
                return Error("bad exponent");
        }
        value.kind = JsonValue::Number;
        value.text = std::string(m_text.substr(start, m_at - start));
        return true;
    }

    bool Hex4(uint32_t& unit)
    {
        if (m_at + 4 > m_text.size())
            return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_text[m_at++];
            unit <<= 4;
            if (c >= '0' && c <= '9')
                unit |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                unit |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                unit |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    static void AppendUtf8(std::string& out, uint32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // One UTF-8 sequence, checked as the standard defines well-formed UTF-8.
    bool Utf8Sequence(std::string& out)
    {
        const auto byte = [this](size_t i) { return static_cast<unsigned char>(m_text[i]); };
        const unsigned char lead = byte(m_at);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || m_at + length > m_text.size())
            return Error("invalid UTF-8");
        uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t i = 1; i < length; ++i) {
            if ((byte(m_at + i) & 0xC0) != 0x80)
                return Error("invalid UTF-8");
            cp = cp << 6 | (byte(m_at + i) & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return Error("invalid UTF-8");
        out.append(m_text.substr(m_at, length));
        m_at += length;
        return true;
    }

    bool StringValue(std::string& out)
    {
        ++m_at;  // the opening quote
        while (m_at < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at]);
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20)
                return Error("raw control character in a string");
            if (c != '\\') {
                if (!Utf8Sequence(out))
                    return false;
                continue;
            }
            if (++m_at >= m_text.size())
                break;
            const char escape = m_text[m_at++];
            switch (escape) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                uint32_t unit = 0;
                if (!Hex4(unit))
                    return Error("bad \\u escape");
                if (unit >= 0xDC00 && unit <= 0xDFFF)
                    return Error("lone low surrogate");
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    uint32_t low = 0;
                    if (!Literal("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                        return Error("lone high surrogate");
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, unit);
                break;
            }
            default:
                return Error("bad escape");
            }
        }
        return Error("string not closed");
    }

    std::string_view m_text;
    size_t m_at = 0;
    std::string m_why;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const
{
    static const JsonValue kNull;
    for (const auto& [name, value] : members)
        if (name == key)
            return value;
    return kNull;
}

bool JsonValue::Has(const std::string& key) const
{
    for (const auto& member : members)
        if (member.first == key)
            return true;
    return false;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string* why)
{
    Reader reader(text);
    std::optional<JsonValue> value = reader.Document();
    if (!value && why != nullptr)
        *why = reader.Why();
    return value;
}

std::optional<std::vector<JsonValue>> ParseJsonLines(std::string_view text, std::string* why)
{
    std::vector<JsonValue> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            if (why != nullptr)
                *why = "last line without LF";
            return std::nullopt;
        }
        std::optional<JsonValue> value = ParseJson(text.substr(at, end - at), why);
        if (!value) {
            if (why != nullptr)
                *why = "line " + std::to_string(lines.size() + 1) + ": " + *why;
            return std::nullopt;
        }
        lines.push_back(std::move(*value));
        at = end + 1;
    }
    return lines;
}

}  // namespace testing_support
