#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A strict JSON reader for checking reports (RFC 8259, plus the I-JSON rule
// that a string holds no lone surrogate): any fault in the text, invalid
// UTF-8, a raw control character in a string, a duplicate key or anything
// after the value fails the parse.
namespace testing_support {

struct JsonValue {
    enum Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Null;
    bool boolean = false;
    std::string text;  // a number as written, or a string in UTF-8
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member's value; a null value when there is no such member.
    const JsonValue& operator[](const std::string& key) const;
    bool Has(const std::string& key) const;
    bool IsNull() const { return kind == Null; }
    unsigned long long Unsigned() const { return kind == Number ? std::stoull(text) : 0; }
};

// The value of text, or nothing (with the reason in why) when it is not JSON.
std::optional<JsonValue> ParseJson(std::string_view text, std::string* why = nullptr);

// The lines of a JSON Lines file: each must end in LF and be one JSON value.
std::optional<std::vector<JsonValue>> ParseJsonLines(std::string_view text, std::string* why = nullptr);

}  // namespace testing_support
