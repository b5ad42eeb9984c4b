#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "textrion/encoding/text_encoding.h"
#include "varnex/session/conversion_options.h"

// What the program's command line asks for, filled once at start-up. Values
// that are absent or not recognised keep their defaults; a switch whose
// absence matters is held as an optional.
class CCommandLineOptions {
public:
    enum LogType { LOG_NONE = 0, LOG_TRACE = 1, LOG_FILE = 2, LOG_XML = 3, LOG_EVENT = 4, LOG_MULTI = 5 };
    enum LogLevel { LOGLEVEL_DEBUG = 0, LOGLEVEL_INFO = 1, LOGLEVEL_WARNING = 2, LOGLEVEL_ERROR = 3,
                    LOGLEVEL_FATAL = 4, LOGLEVEL_SYS = 5 };
    enum Mode { MODE_FILE = 0, MODE_FOLDER = 1, MODE_CORVENTA = 2 };
    enum ExportType { EXPORT_NONE = 0, EXPORT_CSV = 1, EXPORT_XML = 2, EXPORT_JSON = 3 };

    // Defaults, with the process's current directory; no parsing.
    CCommandLineOptions();
    // Defaults, then parses the line as the process's command line.
    CCommandLineOptions(const std::u16string& commandLine, const std::u16string& currentDirectory);

    // Reads the switches of the line (a command file named in it replaces it).
    void Parse(const std::u16string& commandLine);

    // The mode asked for; without "mode", folders.
    Mode GetMode() const { return mode.value_or(MODE_FOLDER); }

    std::u16string commandLine;
    bool quiet = false;    // headless: no per-file lines nor progress, only problems and the summary
    bool verbose = false;  // headless: a line per file even on a terminal
    bool resetLayout = false;
    bool quit = false;
    LogType logType = LOG_NONE;
    bool regToXml = false;
    bool upgrade = false;
    bool cmdFileRead = false;
    bool conversionRequested = false;
    bool hasSwitches = false;
    bool detectOnly = false;
    std::optional<Mode> mode;  // any value given that is not FILE nor CORVENTA is FOLDER
    // -r -h -c -bom -enc -rt -cp -wf/-rf over the defaults; a "cp" that is
    // not a number leaves the code page empty (detect).
    VARNEXCONVERSIONOPTIONS conversion;
    ExportType exportType = EXPORT_NONE;
    std::u16string exportPath;
    TEXTENCODING exportEncoding = TEXTENCODING_UTF8;
    bool exportBom = true;
    std::u16string cmdFilePath;
    int cmdFileMaxSize = 32768;
    std::optional<std::u16string> locale;
    std::u16string logFile;
    LogLevel logLevel = LOGLEVEL_INFO;
    std::optional<std::u16string> inputPath;   // resolved against the current directory
    std::optional<std::u16string> outputPath;  // either may be kStandardStream, kept as given
    std::u16string currentDirectory;

    // The "cp" value as typed, when one was given: the run refuses a value
    // that is not a usable code page instead of silently detecting.
    std::u16string codepageText;
    bool helpRequested = false;  // "help" or "?"

    // "-in=-" reads standard input, "-out=-" writes standard output.
    static constexpr const char16_t* kStandardStream = u"-";
    bool ReadsStandardInput() const { return inputPath == kStandardStream; }
    bool WritesStandardOutput() const { return outputPath == kStandardStream; }

    // Leading decimal digits as a number, 0 when there are none; saturates
    // at INT_MAX instead of wrapping.
    static int ParseLeadingInt(const std::u16string& text);

private:
    void ParseLine(const std::u16string& line, bool allowCommandFile);
    std::u16string Resolve(const std::u16string& path) const;
};
