#include "app/options/command_line_options.h"

#include <climits>

#include "base/text.h"
#include "platform/native_path.h"
#include "platform/process.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/path/long_path.h"
#include "utils/command_line_parser.h"

namespace {

std::u16string CurrentDirectory()
{
    return platform::CurrentFolder();
}

template <typename T>
struct Keyword {
    const char16_t* text;
    T value;
};

// The value of the first keyword equal to text (case ignored), else fallback.
template <typename T, size_t N>
T Lookup(const Keyword<T> (&table)[N], const std::u16string& text, T fallback)
{
    for (const Keyword<T>& k : table) {
        if (text::EqualsNoCase(text, k.text))
            return k.value;
    }
    return fallback;
}

using Options = CCommandLineOptions;
using Format = CTextFileConverter::OUTPUTTEXTFORMAT;
using Ending = CTextFileConverter::RETURNTYPE;

const Keyword<Options::LogType> kLogTypes[] = {{u"file", Options::LOG_FILE},   {u"trace", Options::LOG_TRACE},
                                               {u"xml", Options::LOG_XML},     {u"event", Options::LOG_EVENT},
                                               {u"multi", Options::LOG_MULTI}};
const Keyword<Options::LogLevel> kLogLevels[] = {
    {u"debug", Options::LOGLEVEL_DEBUG}, {u"info", Options::LOGLEVEL_INFO},   {u"warning", Options::LOGLEVEL_WARNING},
    {u"error", Options::LOGLEVEL_ERROR}, {u"fatal", Options::LOGLEVEL_FATAL}, {u"sys", Options::LOGLEVEL_SYS}};
const Keyword<Ending> kLineEndings[] = {
    {u"CRLF", Ending::RETURNTYPE_CRLF}, {u"CR", Ending::RETURNTYPE_CR}, {u"LF", Ending::RETURNTYPE_LF}};
const Keyword<Options::Mode> kModes[] = {{u"FILE", Options::MODE_FILE}, {u"CORVENTA", Options::MODE_CORVENTA}};
const Keyword<Options::ExportType> kExportTypes[] = {
    {u"CSV", Options::EXPORT_CSV}, {u"XML", Options::EXPORT_XML}, {u"JSON", Options::EXPORT_JSON}};
// A Unicode form by its stored name; "UTF16" and "UTF32" name the
// little-endian forms.
const UnicodeForm* FormNamed(const std::u16string& text)
{
    if (text::EqualsNoCase(text, u"UTF16"))
        return FindUnicodeForm(TEXTENCODING_UTF16LE);
    if (text::EqualsNoCase(text, u"UTF32"))
        return FindUnicodeForm(TEXTENCODING_UTF32LE);
    return FindUnicodeFormByFormatName(text);
}

// Reports are written in UTF-8 or in UTF-16 or UTF-32 of either byte order.
TEXTENCODING ExportEncodingNamed(const std::u16string& text)
{
    const UnicodeForm* form = FormNamed(text);
    const bool plain = form != nullptr && (form->byteOrder == ByteOrder::None ||
                                           form->byteOrder == ByteOrder::LittleEndian ||
                                           form->byteOrder == ByteOrder::BigEndian);
    return plain ? form->encoding : TEXTENCODING_UTF8;
}

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
        logLevel = Lookup(kLogLevels, value(u"loglevel"), LOGLEVEL_INFO);
    quiet = parser.HasKey(u"quiet") || parser.HasKey(u"q") || parser.HasKey(u"-quiet");
    verbose = parser.HasKey(u"verbose") || parser.HasKey(u"v") || parser.HasKey(u"-verbose");
    resetLayout = parser.HasKey(u"resetlayout");
    quit = parser.HasKey(u"quit");
    if (parser.HasVal(u"locale"))
        locale = value(u"locale");
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
    if (inputKey)
        inputPath = value(inputKey) == kStandardStream ? kStandardStream : Resolve(value(inputKey));
    conversion.recursive = parser.HasKey(u"r");
    conversion.copyUnconverted = parser.HasKey(u"c");
    conversion.repairDoubleEncoding = parser.HasKey(u"repair");
    if (parser.HasVal(u"keepmode"))
        conversion.keepModeAndTime = utils::ParseBool(value(u"keepmode").c_str());
    else if (parser.HasKey(u"-preserve") || parser.HasKey(u"-no-preserve"))
        conversion.keepModeAndTime = parser.HasKey(u"-preserve");
    const char16_t* outputKey = parser.HasVal(u"out") ? u"out" : parser.HasVal(u"o") ? u"o" : nullptr;
    if (outputKey)
        outputPath = value(outputKey) == kStandardStream ? kStandardStream : Resolve(value(outputKey));
    if (const UnicodeForm* form = parser.HasVal(u"enc") ? FormNamed(value(u"enc")) : nullptr)
        conversion.outputTextFormat = static_cast<Format>(form->outputFormat);
    if (parser.HasVal(u"bom"))
        conversion.writeBom = utils::ParseBool(value(u"bom").c_str());
    if (parser.HasVal(u"rt"))
        conversion.returnType = Lookup(kLineEndings, value(u"rt"), CTextFileConverter::RETURNTYPE_NOCHANGE);
    detectOnly = parser.HasKey(u"d");
    conversion.processHiddenFiles = parser.HasKey(u"h");
    if (parser.HasVal(u"mode"))
        mode = Lookup(kModes, value(u"mode"), MODE_FOLDER);
    if (parser.HasVal(u"cp")) {
        codepageText = value(u"cp");
        if (utils::IsNumeric(codepageText))
            conversion.inputCodepage = ParseLeadingInt(codepageText);
    }
    if (parser.HasVal(u"wf") || parser.HasVal(u"rf")) {
        const bool regex = !parser.HasVal(u"wf");
        conversion.filter.SetFilterString(regex, value(regex ? u"rf" : u"wf"));
        conversion.filter.EnableFilter(true);
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
        exportEncoding = ExportEncodingNamed(value(u"exportenc"));
    if (parser.HasVal(u"exportbom"))
        exportBom = utils::ParseBool(value(u"exportbom").c_str());

    if (detectOnly)
        conversionRequested = inputPath.has_value();
    else if (GetMode() == MODE_FILE && !ReadsStandardInput())
        conversionRequested = inputPath && outputPath;
    else
        conversionRequested = inputPath.has_value();
}
