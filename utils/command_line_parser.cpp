#include "utils/command_line_parser.h"

#include "base/text.h"
#include "platform/native_path.h"

namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool IsOneOf(char16_t c, std::u16string_view set)
{
    return set.find(c) != std::u16string_view::npos;
}

}  // namespace

CCommandLineParser::~CCommandLineParser() = default;

CCommandLineParser::CCommandLineParser(const char16_t* commandLine, bool caseSensitive) : m_caseSensitive(caseSensitive)
{
    if (commandLine != nullptr)
        Parse(commandLine);
}

CCommandLineParser::CCommandLineParser(const CCommandLineParser& other) = default;
CCommandLineParser& CCommandLineParser::operator=(const CCommandLineParser& other) = default;

bool CCommandLineParser::Parse(const char16_t* commandLine)
{
    if (commandLine == nullptr)
        return false;
    m_commandLine = commandLine;
    m_switches.clear();

    for (Argument& argument : ReadArguments(m_commandLine)) {
        if (!argument.isSwitch || argument.key.empty())
            continue;
        std::u16string key = m_caseSensitive ? std::move(argument.key) : text::AsciiLowered(argument.key);
        m_switches.emplace(std::move(key), std::move(argument.value));  // keeps the first occurrence
    }
    return !m_switches.empty();
}

CCommandLineParser::iterator CCommandLineParser::FindKey(const char16_t* name) const
{
    if (name == nullptr)
        return m_switches.end();
    return m_switches.find(m_caseSensitive ? std::u16string(name) : text::AsciiLowered(name));
}

bool CCommandLineParser::HasKey(const char16_t* name) const
{
    return FindKey(name) != m_switches.end();
}

bool CCommandLineParser::HasVal(const char16_t* name) const
{
    const auto it = FindKey(name);
    return it != m_switches.end() && !it->second.empty();
}

const char16_t* CCommandLineParser::GetVal(const char16_t* name) const
{
    const auto it = FindKey(name);
    return it == m_switches.end() ? nullptr : it->second.c_str();
}

bool CCommandLineParser::GetVal(const char16_t* name, std::u16string& value) const
{
    const auto it = FindKey(name);
    if (it == m_switches.end())
        return false;
    value = it->second;
    return true;
}

CCommandLineParser::iterator CCommandLineParser::GetNext(iterator& it, std::u16string& key, std::u16string& value) const
{
    if (it == m_switches.end()) {
        key.clear();
        return it;
    }
    key = it->first;
    value = it->second;
    return ++it;
}

std::vector<std::u16string> CCommandLineParser::SplitArguments(std::u16string_view line)
{
    std::vector<std::u16string> arguments;
    size_t i = 0;
    const size_t n = line.size();

    // The program name: no backslash processing, quotes only at its start.
    std::u16string program;
    if (n > 0 && line[0] == u'"') {
        i = 1;
        while (i < n && line[i] != u'"')
            program.push_back(line[i++]);
        if (i < n)
            ++i;  // the closing quote
    } else {
        while (i < n && !IsBlank(line[i]))
            program.push_back(line[i++]);
    }
    arguments.push_back(std::move(program));

    for (;;) {
        while (i < n && IsBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        std::u16string argument;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == u'\\') {
                size_t backslashes = 0;
                while (i < n && line[i] == u'\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && line[i] == u'"') {
                    argument.append(backslashes / 2, u'\\');
                    if (backslashes % 2 == 1) {
                        argument.push_back(u'"');
                        ++i;
                    }
                    // An even count leaves the quote to group below.
                } else {
                    argument.append(backslashes, u'\\');
                }
                continue;
            }
            if (line[i] == u'"') {
                quoted = !quoted;
                ++i;
                continue;
            }
            argument.push_back(line[i++]);
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::u16string CCommandLineParser::QuoteArgument(std::u16string_view argument)
{
    if (!argument.empty() && argument.find_first_of(u" \t\"") == std::u16string_view::npos)
        return std::u16string(argument);  // backslashes not before a quote are literal

    std::u16string quoted(1, u'"');
    size_t backslashes = 0;
    for (const char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            quoted.append(backslashes * 2 + 1, u'\\');  // doubled, plus one for the quote
        } else {
            quoted.append(backslashes, u'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, u'\\');  // they now stand before the closing quote
    quoted.push_back(u'"');
    return quoted;
}

std::u16string CCommandLineParser::BuildCommandLine(int argc, const char* const* argv)
{
    std::u16string line;
    for (int i = 1; i < argc && argv != nullptr; ++i) {
        if (argv[i] == nullptr)
            break;
        line.push_back(u' ');
        line += QuoteArgument(platform::FromNativePath(argv[i]));
    }
    return line;
}

std::vector<CCommandLineParser::Argument> CCommandLineParser::ReadArguments(std::u16string_view line)
{
    std::vector<Argument> arguments;
    std::vector<std::u16string> split = SplitArguments(line);
    for (size_t i = 0; i < split.size(); ++i) {
        if (split[i].empty())
            continue;
        Argument argument;
        argument.text = std::move(split[i]);
        const std::u16string_view text = argument.text;
        if (!text.empty() && IsOneOf(text[0], m_sDelimeters)) {
            const std::u16string_view body = text.substr(1);
            if (body.empty())
                break;  // a lone prefix ends the switches
            argument.isSwitch = true;
            argument.prefix = text[0];
            const size_t sep = body.find_first_of(m_sValueSep);
            argument.key = body.substr(0, sep);
            if (sep != std::u16string_view::npos) {
                argument.hasSeparator = true;
                argument.value = body.substr(sep + 1);
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

namespace utils {

bool IsNumeric(std::u16string_view text)
{
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

}  // namespace utils
