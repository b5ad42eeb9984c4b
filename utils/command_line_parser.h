#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "utils/utils_export.h"

// Turns a whole command line into switches, each a key with an optional value.
//
// Syntax: an argument that begins with '-' or '/' is a switch; the rest of the
// argument up to the first '=' or ':' is the key, everything after that
// separator is the value (which may itself hold '=' and ':', so "/out:/a:b"
// gives out = "/a:b"). A lone "-" or "/" ends the parse. Arguments without a
// prefix (the program path, file names) are ignored, as are switches with an
// empty key. The first occurrence of a key wins. Without case sensitivity keys
// are stored and looked up ASCII-lower-cased; values are never changed.
//
// Note that an absolute path given as a bare argument ("/tmp/x") is read as a
// switch, so paths are passed as values: -in=/tmp/x.
//
// The line is split into arguments the way Windows splits a command line (see
// SplitArguments), so a line read from a command file behaves as it does there.
// On Linux, BuildCommandLine turns argv into such a line.
class UTILS_API CCommandLineParser {
public:
    // One argument of a line, as the grammar reads it.
    struct Argument {
        std::u16string text;        // as split, quotes removed
        bool isSwitch = false;      // opens with '-' or '/' (and is more than that)
        char16_t prefix = 0;        // '-' or '/' for a switch
        std::u16string key;         // up to the separator, case as typed: "in", "-in" for "--in"
        bool hasSeparator = false;  // '=' or ':' followed the key
        std::u16string value;       // after the separator
    };

    using SwitchMap = std::map<std::u16string, std::u16string>;
    using iterator = SwitchMap::const_iterator;

    // Characters that open a switch, and characters that end its key.
    static constexpr char16_t m_sDelimeters[] = u"-/";
    static constexpr char16_t m_sValueSep[] = u"=:";

    virtual ~CCommandLineParser();
    // Parses commandLine at once unless it is null.
    explicit CCommandLineParser(const char16_t* commandLine = nullptr, bool caseSensitive = false);
    CCommandLineParser(const CCommandLineParser& other);
    CCommandLineParser& operator=(const CCommandLineParser& other);

    // Replaces the stored line and every switch. Null changes nothing and gives
    // false. True when at least one switch was stored.
    bool Parse(const char16_t* commandLine);

    [[nodiscard]] bool HasArgs() const { return !m_switches.empty(); }
    // A null name is never found.
    [[nodiscard]] bool HasKey(const char16_t* name) const;
    // The switch exists and its value is not empty.
    [[nodiscard]] bool HasVal(const char16_t* name) const;
    // The value (empty for a switch without value), or null when there is no
    // such switch. The pointer lives until the next Parse or assignment.
    const char16_t* GetVal(const char16_t* name) const;
    // False, value untouched, when there is no such switch.
    [[nodiscard]] bool GetVal(const char16_t* name, std::u16string& value) const;

    // Affects later Parse calls and lookups only; stored keys stay as they are.
    void SetCaseSensitive(bool caseSensitive) { m_caseSensitive = caseSensitive; }
    [[nodiscard]] bool GetCaseSensitive() const { return m_caseSensitive; }

    const char16_t* GetCommandLineW() const { return m_commandLine.c_str(); }
    const SwitchMap& GetVals() const { return m_switches; }

    // Walks the switches in key order (plain UTF-16 code unit order):
    //   for (auto it = p.GetFirst(); !p.IsLast(it);) p.GetNext(it, key, value);
    // GetNext copies the entry under it, advances it and returns it; at the end
    // it only empties key.
    iterator GetFirst() const { return m_switches.begin(); }
    iterator GetNext(iterator& it, std::u16string& key, std::u16string& value) const;
    [[nodiscard]] bool IsLast(const iterator& it) const { return it == m_switches.end(); }

    // Splits a line as Windows does: blanks (space, tab) separate arguments;
    // double quotes group text and are removed; 2n backslashes before a quote
    // give n backslashes and the quote groups, 2n+1 give n backslashes and a
    // literal quote; other backslashes are literal. The first argument is the
    // program name: it ends at the first blank, or at the closing quote when it
    // begins with one, and backslashes there are plain characters. A line that
    // begins with a blank therefore has an empty program name.
    static std::vector<std::u16string> SplitArguments(std::u16string_view line);
    // One argument quoted so that SplitArguments gives it back unchanged (in any
    // place but the program name's).
    static std::u16string QuoteArgument(std::u16string_view argument);
    // The line for argv[1..argc-1], each argument quoted as needed, behind an
    // empty program name (a leading blank): an absolute program path such as
    // /usr/bin/varnelpro would otherwise read as a switch. Empty without
    // arguments. Bytes that are not
    // valid UTF-8 are kept as the lone surrogates U+DC80..U+DCFF, which the
    // file layer maps back to the same bytes.
    static std::u16string BuildCommandLine(int argc, const char* const* argv);
    // Every non-empty argument of a line in order, the program name's place
    // included (BuildCommandLine leaves it empty), repeats and arguments
    // without a prefix too; a lone '-' or '/' ends the list as it ends Parse.
    // Switches with an empty key ("-=x") are kept, for callers that refuse them.
    static std::vector<Argument> ReadArguments(std::u16string_view line);

private:
    iterator FindKey(const char16_t* name) const;

    std::u16string m_commandLine;
    SwitchMap m_switches;
    bool m_caseSensitive = false;
};

// Value helpers for switch values.
namespace utils {

// True when every character is an ASCII decimal digit; an empty text counts
// as numeric. Signs, blanks and separators make it false.
[[nodiscard]] UTILS_API bool IsNumeric(std::u16string_view text);

}  // namespace utils
