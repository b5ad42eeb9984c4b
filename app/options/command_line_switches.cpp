#include "app/options/command_line_switches.h"

#include "app/locale/tr.h"
#include "app/options/command_line_options.h"
#include "base/text.h"
#include "textrion/encoding/text_encoding.h"
#include "varnex/convert/text_file_converter.h"

namespace {

using Kind = SwitchValueKind;
using Options = CCommandLineOptions;
using Format = CTextFileConverter::OUTPUTTEXTFORMAT;
using Ending = CTextFileConverter::RETURNTYPE;

// "UTF16" and "UTF32" without an order are little-endian, as on the original platform.
const std::vector<SwitchKeyword> kOutputFormats = {
    {u"UTF8", Format::OUTPUTTEXTFORMAT_UTF8},       {u"UTF16", Format::OUTPUTTEXTFORMAT_UTF16LE},
    {u"UTF16LE", Format::OUTPUTTEXTFORMAT_UTF16LE}, {u"UTF16BE", Format::OUTPUTTEXTFORMAT_UTF16BE},
    {u"UTF32", Format::OUTPUTTEXTFORMAT_UTF32LE},   {u"UTF32LE", Format::OUTPUTTEXTFORMAT_UTF32LE},
    {u"UTF32BE", Format::OUTPUTTEXTFORMAT_UTF32BE}, {u"3412", Format::OUTPUTTEXTFORMAT_UCS4_3412},
    {u"2143", Format::OUTPUTTEXTFORMAT_UCS4_2143},
};
const std::vector<SwitchKeyword> kReportEncodings = {
    {u"UTF8", TEXTENCODING_UTF8},       {u"UTF16", TEXTENCODING_UTF16LE}, {u"UTF16LE", TEXTENCODING_UTF16LE},
    {u"UTF16BE", TEXTENCODING_UTF16BE}, {u"UTF32", TEXTENCODING_UTF32LE}, {u"UTF32LE", TEXTENCODING_UTF32LE},
    {u"UTF32BE", TEXTENCODING_UTF32BE},
};

// The rows in the order -help lists them.
const std::vector<CommandLineSwitch> kSwitches = {
    {u"in",
     {u"-in", u"-i", u"--in"},
     Kind::Path,
     {},
     {},
     "PATH",
     TrNoop("input folder or file (relative to the current folder); - reads standard input")},
    {u"out",
     {u"-out", u"-o", u"--out"},
     Kind::Path,
     {},
     {},
     "PATH",
     TrNoop("output folder (mode FILE: output file); mirrors the input tree; - writes standard output")},
    {u"r", {u"-r", u"--recursive"}, Kind::None, {}, {}, nullptr, TrNoop("include subfolders")},
    {u"h", {u"-h", u"--hidden"}, Kind::None, {}, {}, nullptr, TrNoop("include hidden files and folders")},
    {u"c",
     {u"-c", u"--copy"},
     Kind::None,
     {},
     {},
     nullptr,
     TrNoop("copy files that are not converted (binary, or of unknown encoding)")},
    {u"d",
     {u"-d", u"--detect"},
     Kind::None,
     {},
     {},
     nullptr,
     TrNoop("detect only: report each file's encoding, write nothing")},
    {u"enc",
     {u"-enc", u"--encoding"},
     Kind::Keyword,
     kOutputFormats,
     {},
     "FORMAT",
     TrNoop("output form (default UTF8; UTF-16LE and utf-16le are the same)")},
    {u"bom",
     {u"-bom"},
     Kind::Bool,
     {},
     {},
     "yes|no",
     TrNoop("write a byte order mark (default: no for UTF-8, yes for UTF-16 and UTF-32)")},
    {u"bom", {u"--bom"}, Kind::None, {}, u"yes", nullptr, TrNoop("the same as -bom=yes")},
    {u"bom", {u"--no-bom"}, Kind::None, {}, u"no", nullptr, TrNoop("the same as -bom=no")},
    {u"rt",
     {u"-rt", u"--eol"},
     Kind::Keyword,
     {{u"CRLF", Ending::RETURNTYPE_CRLF},
      {u"CR", Ending::RETURNTYPE_CR},
      {u"LF", Ending::RETURNTYPE_LF},
      {u"KEEP", Ending::RETURNTYPE_NOCHANGE}},
     {},
     "EOL",
     TrNoop("line endings (default: keep)")},
    {u"cp",
     {u"-cp", u"--code-page"},
     Kind::CodePage,
     {},
     {},
     "CODEPAGE",
     TrNoop("read every file in this code page (number or name, e.g. 1251, KOI8-R) instead of detecting")},
    {u"listcp",
     {u"--list-code-pages", u"-listcp"},
     Kind::None,
     {},
     {},
     nullptr,
     TrNoop("list the code pages: number, short name, IANA name, group")},
    {u"keepmode",
     {u"-keepmode"},
     Kind::Bool,
     {},
     {},
     "yes|no",
     TrNoop("outputs keep the input's permission bits and modification time (default yes)")},
    {u"keepmode", {u"--preserve"}, Kind::None, {}, u"yes", nullptr, TrNoop("the same as -keepmode=yes")},
    {u"keepmode", {u"--no-preserve"}, Kind::None, {}, u"no", nullptr, TrNoop("the same as -keepmode=no")},
    {u"repair",
     {u"-repair"},
     Kind::None,
     {},
     {},
     nullptr,
     TrNoop("repair UTF-8 that was encoded twice (through windows-1252)")},
    {u"wf",
     {u"-wf"},
     Kind::Text,
     {},
     {},
     "PATTERNS",
     TrNoop("only files matching these wildcards (quote them: '-wf=*.txt;*.csv')")},
    {u"rf", {u"-rf"}, Kind::Text, {}, {}, "REGEX", TrNoop("only files whose name matches this regular expression")},
    {u"shard",
     {u"-shard", u"--shard"},
     Kind::Slice,
     {},
     {},
     "K/N",
     TrNoop("take only slice K (0 to N-1) of the folder's files, chosen by path: N runs split a tree")},
    {u"mode",
     {u"-mode"},
     Kind::Keyword,
     {{u"FILE", Options::MODE_FILE}, {u"FOLDER", Options::MODE_FOLDER}, {u"CORVENTA", Options::MODE_CORVENTA}},
     {},
     "MODE",
     TrNoop("FILE converts the single file -in into the file -out (default FOLDER)")},
    {u"export", {u"-export", u"--report"}, Kind::Path, {}, {}, "FILE", TrNoop("write a report of every file")},
    {u"exporttype",
     {u"-exporttype"},
     Kind::Keyword,
     {{u"CSV", Options::EXPORT_CSV}, {u"XML", Options::EXPORT_XML}, {u"JSON", Options::EXPORT_JSON}},
     {},
     "TYPE",
     TrNoop("report format (default CSV; JSON writes JSON Lines)")},
    {u"exportheader",
     {u"-exportheader"},
     Kind::Bool,
     {},
     {},
     "yes|no",
     TrNoop("CSV header row, JSON Lines header and summary lines (default yes); no: reports concatenate")},
    {u"exportheader", {u"--no-report-header"}, Kind::None, {}, u"no", nullptr, TrNoop("the same as -exportheader=no")},
    {u"exportenc",
     {u"-exportenc"},
     Kind::Keyword,
     kReportEncodings,
     {},
     "FORMAT",
     TrNoop("report encoding (default UTF8)")},
    {u"exportbom", {u"-exportbom"}, Kind::Bool, {}, {}, "yes|no", TrNoop("report byte order mark (default yes)")},
    {u"cmdfile", {u"-CmdFile"}, Kind::Path, {}, {}, "FILE", TrNoop("read the switches from the first line of FILE")},
    {u"cmdfilemaxsize",
     {u"-cmdfilemaxsize"},
     Kind::Number,
     {},
     {},
     "N",
     TrNoop("longest first line a command file may have (default 32768); a longer one is refused")},
    {u"quiet",
     {u"-q", u"-quiet", u"--quiet"},
     Kind::None,
     {},
     {},
     nullptr,
     TrNoop("print only problems: no progress, no line per file, no summary")},
    {u"verbose",
     {u"-v", u"--verbose"},
     Kind::None,
     {},
     {},
     nullptr,
     TrNoop("a line per file also on a terminal (beside the progress bar)")},
    {u"locale",
     {u"-locale"},
     Kind::Text,
     {},
     {},
     "NAME",
     TrNoop("language of the messages (de, de_DE; default: LANGUAGE, LC_ALL, LC_MESSAGES, LANG)")},
    {u"resetlayout", {u"-resetlayout"}, Kind::None, {}, {}, nullptr, TrNoop("forget the window layout")},
    {u"quit", {u"-quit"}, Kind::None, {}, {}, nullptr, TrNoop("end after the start-up actions")},
    {u"help", {u"-help", u"-?", u"--help"}, Kind::None, {}, {}, nullptr, TrNoop("show this text")},
    {u"version", {u"--version"}, Kind::None, {}, {}, nullptr, TrNoop("show the program's name and version")},
    // Taken for compatibility, not listed: nothing writes a log, and the two
    // actions only end the reading of the line.
    {u"logtype",
     {u"-logtype"},
     Kind::Keyword,
     {{u"file", Options::LOG_FILE},
      {u"trace", Options::LOG_TRACE},
      {u"xml", Options::LOG_XML},
      {u"event", Options::LOG_EVENT},
      {u"multi", Options::LOG_MULTI}},
     {},
     nullptr,
     nullptr},
    {u"logfile", {u"-logfile"}, Kind::Text, {}, {}, nullptr, nullptr},
    {u"loglevel",
     {u"-loglevel"},
     Kind::Keyword,
     {{u"debug", Options::LOGLEVEL_DEBUG},
      {u"info", Options::LOGLEVEL_INFO},
      {u"warning", Options::LOGLEVEL_WARNING},
      {u"error", Options::LOGLEVEL_ERROR},
      {u"fatal", Options::LOGLEVEL_FATAL},
      {u"sys", Options::LOGLEVEL_SYS}},
     {},
     nullptr,
     nullptr},
    {u"upgrade", {u"-upgrade"}, Kind::None, {}, {}, nullptr, nullptr},
    {u"regtoxml", {u"-regtoxml"}, Kind::None, {}, {}, nullptr, nullptr},
};

// "UTF-16LE", "utf_16le" and "UTF16LE" are one keyword.
bool SameKeyword(std::u16string_view typed, std::u16string_view keyword)
{
    std::u16string bare;
    for (const char16_t c : typed)
        if (c != u'-' && c != u'_')
            bare.push_back(c);
    return text::EqualsNoCase(bare, keyword);
}

}  // namespace

std::span<const CommandLineSwitch> CommandLineSwitches()
{
    return kSwitches;
}

const CommandLineSwitch* FindCommandLineSwitch(std::u16string_view typed)
{
    if (!typed.empty() && typed[0] == u'/')
        return FindCommandLineSwitch(u"-" + std::u16string(typed.substr(1)));
    for (const CommandLineSwitch& row : kSwitches)
        for (const std::u16string_view name : row.names)
            if (text::EqualsNoCase(typed, name))
                return &row;
    return nullptr;
}

const SwitchKeyword* FindSwitchKeyword(const CommandLineSwitch& row, std::u16string_view value)
{
    for (const SwitchKeyword& keyword : row.keywords)
        if (SameKeyword(value, keyword.text))
            return &keyword;
    return nullptr;
}

bool ParseSwitchSlice(std::u16string_view text, uint32_t& index, uint32_t& count)
{
    const size_t slash = text.find(u'/');
    if (slash == std::u16string_view::npos)
        return false;
    // At most 9 digits each: no one runs a billion slices.
    unsigned long long k = 0, n = 0;
    if (!text::ToUnsigned(text.substr(0, slash), 9, k) || !text::ToUnsigned(text.substr(slash + 1), 9, n) || n == 0 ||
        k >= n)
        return false;
    index = static_cast<uint32_t>(k);
    count = static_cast<uint32_t>(n);
    return true;
}

bool ParseSwitchBool(std::u16string_view text, bool& value)
{
    static constexpr std::u16string_view kTrue[] = {u"yes", u"y", u"true", u"t", u"on", u"1"};
    static constexpr std::u16string_view kFalse[] = {u"no", u"n", u"false", u"f", u"off", u"0"};
    for (const bool meaning : {true, false}) {
        for (const std::u16string_view word : meaning ? kTrue : kFalse) {
            if (text::EqualsNoCase(text, word)) {
                value = meaning;
                return true;
            }
        }
    }
    return false;
}
