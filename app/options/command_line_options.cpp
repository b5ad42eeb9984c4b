#include "app/options/command_line_options.h"

#include <algorithm>
#include <climits>

#include "app/headless/console_text.h"
#include "app/locale/locale_resource_manager.h"
#include "app/options/command_line_switches.h"
#include "base/text.h"
#include "platform/native_path.h"
#include "platform/process.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/path/long_path.h"
#include "utils/command_line_parser.h"
#include "varnex/codepage/codepage_info.h"

namespace {

std::u16string CurrentDirectory()
{
    return platform::CurrentFolder();
}

using Problem = CCommandLineOptions::Problem;
using Format = CTextFileConverter::OUTPUTTEXTFORMAT;
using Ending = CTextFileConverter::RETURNTYPE;

// The row that checks a value: a flag standing for a value ("--no-bom") is
// checked as the switch it stands for.
const CommandLineSwitch& ValueRow(const CommandLineSwitch& row)
{
    if (row.implied.empty())
        return row;
    for (const CommandLineSwitch& other : CommandLineSwitches())
        if (other.key == row.key && other.kind != SwitchValueKind::None)
            return other;
    return row;
}

std::u16string Joined(const std::vector<SwitchKeyword>& keywords)
{
    std::u16string list;
    for (const SwitchKeyword& keyword : keywords)
        list += (list.empty() ? u"" : u", ") + std::u16string(keyword.text);
    return list;
}

}  // namespace

// One switch as the line gave it.
struct CCommandLineOptions::Given {
    const CommandLineSwitch* row = nullptr;
    std::u16string argument;  // as typed, for messages
    std::u16string name;      // the switch as typed, without its value
    std::u16string value;
    int code = 0;            // keyword, yes/no, number or code page
    std::u16string meaning;  // equal for two occurrences that ask for the same
};

CCommandLineOptions::CCommandLineOptions() : currentDirectory(CurrentDirectory())
{
}

CCommandLineOptions::CCommandLineOptions(const std::u16string& line, const std::u16string& directory)
    : currentDirectory(directory)
{
    Parse(line);
}

int CCommandLineOptions::ParseLeadingInt(const std::u16string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > INT_MAX)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::u16string CCommandLineOptions::Resolve(const std::u16string& path) const
{
    CLongPath resolved(path);
    if (resolved.IsRelative()) {
        resolved = currentDirectory;
        resolved.Append(path);
    }
    return resolved.GetPath();
}

void CCommandLineOptions::Parse(const std::u16string& line)
{
    commandLine = line;
    if (!commandLine.empty())
        ParseLine(commandLine);
}

void CCommandLineOptions::ParseLine(const std::u16string& line)
{
    std::vector<Given> given;
    bool read = ReadSwitches(line, given);
    if (read) {
        const auto cmdFile =
            std::find_if(given.begin(), given.end(), [](const Given& g) { return g.row->key == u"cmdfile"; });
        if (cmdFile != given.end()) {
            // The maximum applies to the file's line, so only the process's line can set it.
            for (const Given& g : given)
                if (g.row->key == u"cmdfilemaxsize")
                    cmdFileMaxSize = g.code;
            const Given file = *cmdFile;  // given grows below
            read = ReadCommandFile(file, given);
        }
    }
    if (!read) {
        // The message about the line is still given in the language it asks for.
        const CCommandLineParser parser(commandLine.c_str(), false);
        if (parser.HasVal(u"locale") && CLocaleEnvironment::IsLanguageName(parser.GetVal(u"locale")))
            locale = parser.GetVal(u"locale");
        return;
    }
    hasSwitches = !given.empty();
    Fill(given);
}

bool CCommandLineOptions::ReadSwitches(const std::u16string& line, std::vector<Given>& given,
                                       const std::u16string& commandFile)
{
    auto fail = [this](Problem::Kind kind, std::u16string argument, std::u16string name = {},
                       std::u16string value = {}) {
        problem = Problem{kind, std::move(argument), std::move(name), std::move(value)};
        return false;
    };
    // Two spellings of one switch must ask for the same, also one on the
    // process's line and one in the command file.
    auto add = [&](Given g) {
        for (const Given& earlier : given) {
            if (earlier.row->key != g.row->key)
                continue;
            if (earlier.meaning == g.meaning)
                return true;
            fail(Problem::CONFLICT, g.argument, earlier.argument, g.argument);
            problem->commandFile = commandFile;
            return false;
        }
        given.push_back(std::move(g));
        return true;
    };

    const std::vector<CCommandLineParser::Argument> arguments = CCommandLineParser::ReadArguments(line);
    std::vector<std::u16string> positional;
    bool switchesEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const CCommandLineParser::Argument& a = arguments[i];
        if (switchesEnded || !a.isSwitch) {
            positional.push_back(a.text);
            continue;
        }
        if (a.prefix == u'-' && a.key == u"-" && !a.hasSeparator) {
            switchesEnded = true;  // "--": what follows are paths, even those starting with '-'
            continue;
        }
        Given g;
        g.name = std::u16string(1, a.prefix) + a.key;
        g.argument = a.text;
        g.row = a.key.empty() ? nullptr : FindCommandLineSwitch(g.name);
        if (g.row == nullptr) {
            if (a.prefix == u'/') {
                positional.push_back(a.text);  // a path such as /home/u/in
                continue;
            }
            return fail(Problem::UNKNOWN_SWITCH, a.text);
        }
        if (g.row->kind == SwitchValueKind::None) {
            if (a.hasSeparator)
                return fail(Problem::TAKES_NO_VALUE, a.text, g.name, a.value);
            g.value = g.row->implied;
        } else {
            g.value = a.value;
            // GNU style: "--in PATH".
            const bool longForm = g.name.starts_with(u"--");
            if (longForm && !a.hasSeparator && i + 1 < arguments.size() &&
                (!arguments[i + 1].isSwitch || arguments[i + 1].prefix == u'/')) {
                g.value = arguments[++i].text;
                g.argument += u" " + g.value;
            }
            if (g.value.empty())
                return fail(Problem::NO_VALUE, a.text, g.name);
        }
        if (!CheckValue(g))
            return false;
        if (!add(std::move(g)))
            return false;
    }

    // varnelpro IN OUT
    if (positional.size() > 2)
        return fail(Problem::EXTRA_ARGUMENT, positional[2]);
    for (size_t i = 0; i < positional.size(); ++i) {
        Given g;
        g.row = FindCommandLineSwitch(i == 0 ? u"-in" : u"-out");
        g.name = g.argument = g.value = positional[i];
        CheckValue(g);
        if (!add(std::move(g)))
            return false;
    }
    return true;
}

bool CCommandLineOptions::CheckValue(Given& g)
{
    const CommandLineSwitch& row = ValueRow(*g.row);
    bool yes = false;
    switch (row.kind) {
    case SwitchValueKind::None:
        break;
    case SwitchValueKind::Text:
        // A language is looked up as a folder of its own below Locales, never a path.
        if (row.key == u"locale" && !CLocaleEnvironment::IsLanguageName(g.value))
            break;
        g.meaning = g.value;
        return true;
    case SwitchValueKind::Path:
        g.meaning = Resolve(g.value);
        return true;
    case SwitchValueKind::Number:
        if (!utils::IsNumeric(g.value))
            break;
        g.code = ParseLeadingInt(g.value);
        g.meaning = text::FromUnsigned(static_cast<unsigned>(g.code));
        return true;
    case SwitchValueKind::Keyword:
        if (const SwitchKeyword* keyword = FindSwitchKeyword(row, g.value)) {
            g.code = keyword->code;
            g.meaning = text::FromUnsigned(static_cast<unsigned>(g.code));
            return true;
        }
        break;
    case SwitchValueKind::Bool:
        if (!ParseSwitchBool(g.value, yes))
            break;
        g.code = yes ? 1 : 0;
        g.meaning = yes ? u"1" : u"0";
        return true;
    case SwitchValueKind::Slice: {
        uint32_t k = 0, n = 1;
        if (!ParseSwitchSlice(g.value, k, n))
            break;
        g.meaning = text::FromUnsigned(k) + u"/" + text::FromUnsigned(n);
        return true;
    }
    case SwitchValueKind::CodePage:
        if (const CCodepageInfo* info = CCodepageInfo::GetCodepageInfoByName(g.value);
            info != nullptr && CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(info->GetCodepage()))) {
            g.code = info->GetCodepage();
            g.meaning = text::FromUnsigned(static_cast<unsigned>(g.code));
            return true;
        }
        problem = Problem{Problem::UNKNOWN_CODEPAGE, g.argument, g.name, g.value};
        return false;
    }
    if (row.kind == SwitchValueKind::None) {
        g.meaning = g.value;
        return true;
    }
    problem = Problem{Problem::BAD_VALUE, g.argument, g.name, g.value};
    return false;
}

bool CCommandLineOptions::ReadCommandFile(const Given& file, std::vector<Given>& given)
{
    const CLongPath path(Resolve(file.value));
    auto fail = [&](Problem::Kind kind) {
        problem = Problem{kind, file.argument, file.name, path.GetPath()};
        return false;
    };
    if (!path.FileExists() && !path.IsDirectory())
        return fail(Problem::CMDFILE_MISSING);
    // Two more characters than allowed show a longer line: the reader drops
    // half of a surrogate pair cut at its limit, so one more could hide it.
    const int probe = cmdFileMaxSize > INT_MAX - 2 ? INT_MAX : cmdFileMaxSize + 2;
    std::u16string first;
    if (path.IsDirectory() || !CFirstLineTextReader(path.c_str()).Read(probe, first))
        return fail(Problem::CMDFILE_UNREADABLE);
    // A line cut at the limit would run with part of a path or a filter.
    if (first.size() > static_cast<size_t>(std::max(cmdFileMaxSize, 0)))
        return fail(Problem::CMDFILE_TOO_LONG);
    if (first.find_first_not_of(u" \t") == std::u16string::npos)
        return fail(Problem::CMDFILE_EMPTY);
    cmdFileRead = true;
    cmdFilePath = path.GetPath();
    // The leading blank keeps the file's first word from being read as a program name.
    const std::u16string fileLine = u" " + first;
    commandLine += fileLine;
    return ReadSwitches(fileLine, given, cmdFilePath);
}

void CCommandLineOptions::Fill(const std::vector<Given>& given)
{
    auto find = [&given](std::u16string_view key) -> const Given* {
        for (const Given& g : given)
            if (g.row->key == key)
                return &g;
        return nullptr;
    };
    auto has = [&](std::u16string_view key) { return find(key) != nullptr; };
    auto code = [&](std::u16string_view key) { return find(key)->code; };
    auto value = [&](std::u16string_view key) { return find(key)->value; };
    // "-" stands for the standard stream, not a file named so.
    auto path = [&](std::u16string_view key) {
        const std::u16string typed = value(key);
        return typed == kStandardStream ? typed : Resolve(typed);
    };

    if (has(u"cmdfilemaxsize"))
        cmdFileMaxSize = code(u"cmdfilemaxsize");
    // Logging is parsed for compatibility; nothing writes a log.
    if (has(u"logtype"))
        logType = static_cast<LogType>(code(u"logtype"));
    if (has(u"logfile")) {
        if (!has(u"logtype"))
            logType = LOG_FILE;
        if (logType == LOG_FILE || logType == LOG_XML)
            logFile = value(u"logfile");
    }
    if (has(u"loglevel"))
        logLevel = static_cast<LogLevel>(code(u"loglevel"));
    quiet = has(u"quiet");
    verbose = has(u"verbose");
    resetLayout = has(u"resetlayout");
    quit = has(u"quit");
    if (has(u"locale"))
        locale = value(u"locale");
    helpRequested = has(u"help");
    versionRequested = has(u"version");
    listCodePages = has(u"listcp");

    if (has(u"upgrade")) {
        upgrade = true;
        return;
    }
    if (has(u"regtoxml")) {
        regToXml = true;
        return;
    }

    if (has(u"in"))
        inputPath = path(u"in");
    conversion.recursive = has(u"r");
    conversion.copyUnconverted = has(u"c");
    conversion.repairDoubleEncoding = has(u"repair");
    if (has(u"keepmode"))
        conversion.keepModeAndTime = code(u"keepmode") != 0;
    if (has(u"out"))
        outputPath = path(u"out");
    if (has(u"enc"))
        conversion.outputTextFormat = static_cast<Format>(code(u"enc"));
    // A mark at the start of UTF-8 breaks "#!" scripts and Unix tools; the
    // wider forms need it to be read back.
    conversion.writeBom =
        has(u"bom") ? code(u"bom") != 0 : conversion.outputTextFormat != CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    if (has(u"rt"))
        conversion.returnType = static_cast<Ending>(code(u"rt"));
    detectOnly = has(u"d");
    conversion.processHiddenFiles = has(u"h");
    if (has(u"mode"))
        mode = static_cast<Mode>(code(u"mode"));
    if (has(u"cp")) {
        codepageText = value(u"cp");
        conversion.inputCodepage = code(u"cp");
    }
    if (has(u"wf") || has(u"rf")) {
        const bool regex = !has(u"wf");
        conversion.filter.SetFilterString(regex, value(regex ? u"rf" : u"wf"));
        conversion.filter.EnableFilter(true);
    }
    if (has(u"export")) {
        exportType = EXPORT_CSV;
        exportPath = Resolve(value(u"export"));
    }
    if (has(u"exporttype"))
        exportType = static_cast<ExportType>(code(u"exporttype"));
    if (has(u"exportenc"))
        exportEncoding = static_cast<TEXTENCODING>(code(u"exportenc"));
    if (has(u"exportbom"))
        exportBom = code(u"exportbom") != 0;
    if (has(u"exportheader"))
        exportHeader = code(u"exportheader") != 0;
    if (has(u"shard"))
        ParseSwitchSlice(value(u"shard"), shard.emplace().index, shard->count);
}

std::u16string CCommandLineOptions::DescribeProblem() const
{
    using headless::Args;
    using headless::TrH;
    if (!problem)
        return {};
    const Problem& p = *problem;
    const CommandLineSwitch* row = FindCommandLineSwitch(p.name);
    switch (p.kind) {
    case Problem::UNKNOWN_SWITCH:
        return Args(TrH("unknown switch: %1 (-help lists the switches)"), {p.argument});
    case Problem::BAD_VALUE:
        if (row != nullptr && ValueRow(*row).kind == SwitchValueKind::Number)
            return Args(TrH("%1: \"%2\" is not a number"), {p.name, p.value});
        if (row != nullptr && ValueRow(*row).kind == SwitchValueKind::Slice)
            return Args(TrH("%1: \"%2\" is not K/N (N at least 1, K from 0 to N-1)"), {p.name, p.value});
        if (row != nullptr && row->key == u"locale")
            return Args(TrH("%1: \"%2\" is not a language name (letters, digits and _ - . @, as in de_DE.UTF-8)"),
                        {p.name, p.value});
        if (row != nullptr && ValueRow(*row).kind == SwitchValueKind::Bool)
            return Args(TrH("%1: unknown value \"%2\"; one of: %3"), {p.name, p.value, u"yes, no"});
        return Args(TrH("%1: unknown value \"%2\"; one of: %3"),
                    {p.name, p.value, row != nullptr ? Joined(ValueRow(*row).keywords) : u""});
    case Problem::UNKNOWN_CODEPAGE:
        return Args(TrH("%1: unknown code page \"%2\" (--list-code-pages lists them)"), {p.name, p.value});
    case Problem::NO_VALUE:
        return Args(TrH("%1 needs a value, as in %1=%2"),
                    {p.name, text::FromUtf8(row != nullptr && row->valueName ? row->valueName : "VALUE")});
    case Problem::TAKES_NO_VALUE:
        return Args(TrH("%1 takes no value: %2"), {p.name, p.argument});
    case Problem::CONFLICT:
        if (!p.commandFile.empty())
            return Args(TrH("switch given twice with different values: %1 and, in the command file %3, %2"),
                        {p.name, p.value, p.commandFile});
        return Args(TrH("switch given twice with different values: %1 and %2"), {p.name, p.value});
    case Problem::EXTRA_ARGUMENT:
        return Args(TrH("unexpected argument: %1 (give an input and an output, or use -in= and -out=)"), {p.argument});
    case Problem::CMDFILE_MISSING:
        return Args(TrH("%1: the command file does not exist: %2"), {p.name, p.value});
    case Problem::CMDFILE_UNREADABLE:
        return Args(TrH("%1: cannot read the command file: %2"), {p.name, p.value});
    case Problem::CMDFILE_EMPTY:
        return Args(TrH("%1: the first line of the command file holds no switches: %2"), {p.name, p.value});
    case Problem::CMDFILE_TOO_LONG:
        return Args(TrH("%1: the first line of the command file is longer than %2 characters "
                        "(-cmdfilemaxsize): %3"),
                    {p.name, text::FromUnsigned(static_cast<unsigned>(std::max(cmdFileMaxSize, 0))), p.value});
    }
    return {};
}
