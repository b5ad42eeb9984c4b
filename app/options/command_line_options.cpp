#include "app/options/command_line_options.h"

#include <climits>

#include "base/text.h"
#include "platform/native_path.h"
#include "platform/process.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/path/long_path.h"
#include "utils/command_line_parser.h"

namespace {

std::u16string CurrentDirectory()
{
    return platform::CurrentFolder();
}

struct Keyword {
    const char16_t* text;
    int value;
};

// The value of the first keyword equal to text (case ignored), else fallback.
template <size_t N>
int Lookup(const Keyword (&table)[N], const std::u16string& text, int fallback)
{
    for (const Keyword& k : table) {
        if (text::EqualsNoCase(text, k.text))
            return k.value;
    }
    return fallback;
}

const Keyword kLogTypes[] = {{u"file", 2}, {u"trace", 1}, {u"xml", 3}, {u"event", 4}, {u"multi", 5}};
const Keyword kLogLevels[] = {{u"debug", 0}, {u"info", 1},  {u"warning", 2},
                              {u"error", 3}, {u"fatal", 4}, {u"sys", 5}};
const Keyword kOutputFormats[] = {{u"UTF8", 0},    {u"UTF16", 1},   {u"UTF16LE", 1}, {u"UTF16BE", 2}, {u"UTF32", 3},
                                  {u"UTF32LE", 3}, {u"UTF32BE", 4}, {u"3412", 5},    {u"2143", 6}};
const Keyword kLineEndings[] = {{u"CRLF", 1}, {u"CR", 2}, {u"LF", 3}};
const Keyword kModes[] = {{u"FILE", 0}, {u"CORVENTA", 2}};
const Keyword kExportTypes[] = {{u"CSV", 1}, {u"XML", 2}};
const Keyword kExportEncodings[] = {{u"UTF8", 3},    {u"UTF16", 2},   {u"UTF16LE", 2}, {u"UTF16BE", 1},
                                    {u"UTF32", 5},   {u"UTF32LE", 5}, {u"UTF32BE", 4}};

}  // namespace

CCommandLineOptions::CCommandLineOptions() : currentDirectory(CurrentDirectory()) {}

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
        ParseLine(commandLine, true);
}

void CCommandLineOptions::ParseLine(const std::u16string& line, bool allowCommandFile)
{
    CCommandLineParser parser(nullptr, false);
    hasSwitches = parser.Parse(line.c_str());
    auto value = [&parser](const char16_t* name) {
        const char16_t* v = parser.GetVal(name);
        return std::u16string(v ? v : u"");
    };

    if (parser.HasVal(u"cmdfilemaxsize"))
        cmdFileMaxSize = ParseLeadingInt(value(u"cmdfilemaxsize"));
    if (allowCommandFile && !cmdFileRead && parser.HasVal(u"cmdfile")) {
        const CLongPath file(Resolve(value(u"cmdfile")));
        std::u16string first;
        if (file.FileExists() && !file.IsDirectory() &&
            CFirstLineTextReader(file.c_str()).Read(cmdFileMaxSize, first) && !first.empty()) {
            cmdFileRead = true;
            cmdFilePath = file.GetPath();
            commandLine = u" " + first;
            ParseLine(commandLine, false);
            return;
        }
    }

    // Logging is parsed for compatibility; nothing writes a log.
    if (parser.HasVal(u"logtype"))
        logType = Lookup(kLogTypes, value(u"logtype"), LOG_NONE);
    if (parser.HasVal(u"logfile")) {
        if (!parser.HasVal(u"logtype"))
            logType = LOG_FILE;
        if (logType == LOG_FILE || logType == LOG_XML)
            logFile = value(u"logfile");
    }
    if (parser.HasVal(u"loglevel"))
        logLevel = Lookup(kLogLevels, value(u"loglevel"), 1);
    quiet = parser.HasKey(u"quiet") || parser.HasKey(u"q");
    resetLayout = parser.HasKey(u"resetlayout");
    quit = parser.HasKey(u"quit");
    if (parser.HasVal(u"locale")) {
        localeGiven = true;
        locale = value(u"locale");
    }
    helpRequested = parser.HasKey(u"help") || parser.HasKey(u"?");

    if (parser.HasKey(u"upgrade")) {
        upgrade = true;
        return;
    }
    if (parser.HasKey(u"regtoxml")) {
        regToXml = true;
        return;
    }

    const char16_t* inputKey = parser.HasVal(u"in") ? u"in" : parser.HasVal(u"i") ? u"i" : nullptr;
    if (inputKey) {
        inputGiven = true;
        inputPath = Resolve(value(inputKey));
    }
    recursive = parser.HasKey(u"r");
    copyUnconverted = parser.HasKey(u"c");
    const char16_t* outputKey = parser.HasVal(u"out") ? u"out" : parser.HasVal(u"o") ? u"o" : nullptr;
    if (outputKey) {
        outputGiven = true;
        outputPath = Resolve(value(outputKey));
    }
    if (parser.HasVal(u"enc")) {
        encodingGiven = true;
        outputFormat = Lookup(kOutputFormats, value(u"enc"), outputFormat);
    }
    if (parser.HasVal(u"bom")) {
        bomGiven = true;
        writeBom = utils::ParseBool(value(u"bom").c_str());
    }
    if (parser.HasVal(u"rt")) {
        lineEndingGiven = true;
        lineEnding = Lookup(kLineEndings, value(u"rt"), 0);
    }
    detectOnly = parser.HasKey(u"d");
    hiddenFiles = parser.HasKey(u"h");
    if (parser.HasVal(u"mode")) {
        modeGiven = true;
        mode = Lookup(kModes, value(u"mode"), MODE_FOLDER);
    }
    if (parser.HasVal(u"cp")) {
        codepageText = value(u"cp");
        if (utils::IsNumeric(codepageText)) {
            codepageGiven = true;
            inputCodepage = ParseLeadingInt(codepageText);
        }
    }
    if (parser.HasVal(u"wf") || parser.HasVal(u"rf")) {
        filterGiven = true;
        filterIsRegex = !parser.HasVal(u"wf");
        filter = value(filterIsRegex ? u"rf" : u"wf");
    }
    if (parser.HasVal(u"export")) {
        exportType = EXPORT_CSV;
        exportPath = Resolve(value(u"export"));
    }
    if (parser.HasVal(u"exporttype")) {
        exportType = Lookup(kExportTypes, value(u"exporttype"), EXPORT_NONE);
        if (exportType == EXPORT_NONE)
            exportPath.clear();
    }
    if (parser.HasVal(u"exportenc"))
        exportEncoding = Lookup(kExportEncodings, value(u"exportenc"), 3);
    if (parser.HasVal(u"exportbom"))
        exportBom = utils::ParseBool(value(u"exportbom").c_str());

    if (detectOnly)
        conversionRequested = inputGiven;
    else if (mode == MODE_FILE)
        conversionRequested = inputGiven && outputGiven;
    else
        conversionRequested = inputGiven;
}
