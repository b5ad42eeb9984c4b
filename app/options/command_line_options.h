#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "textrion/encoding/text_encoding.h"
#include "varnex/session/conversion_options.h"
#include "varnex/session/path_shard.h"

// What the program's command line asks for, filled once at start-up. Every
// switch and value is checked against the switch table
// (command_line_switches.h): the first one that does not fit is kept as the
// problem, and the program then changes nothing. Absent switches keep their
// defaults; a switch whose absence matters is held as an optional.
class CCommandLineOptions {
public:
    enum LogType { LOG_NONE = 0, LOG_TRACE = 1, LOG_FILE = 2, LOG_XML = 3, LOG_EVENT = 4, LOG_MULTI = 5 };
    enum LogLevel {
        LOGLEVEL_DEBUG = 0,
        LOGLEVEL_INFO = 1,
        LOGLEVEL_WARNING = 2,
        LOGLEVEL_ERROR = 3,
        LOGLEVEL_FATAL = 4,
        LOGLEVEL_SYS = 5
    };
    enum Mode { MODE_FILE = 0, MODE_FOLDER = 1, MODE_CORVENTA = 2 };
    enum ExportType { EXPORT_NONE = 0, EXPORT_CSV = 1, EXPORT_XML = 2, EXPORT_JSON = 3 };

    // Why the line cannot be used, with what the message names.
    struct Problem {
        enum Kind {
            UNKNOWN_SWITCH,    // argument: the switch as typed
            BAD_VALUE,         // name, value
            UNKNOWN_CODEPAGE,  // name, value
            NO_VALUE,          // name
            TAKES_NO_VALUE,    // name, value
            CONFLICT,          // name: the earlier argument, value: the later one; commandFile
            EXTRA_ARGUMENT,    // argument
            CMDFILE_MISSING,   // name, value: the file
            CMDFILE_UNREADABLE,
            CMDFILE_EMPTY,
            CMDFILE_TOO_LONG,  // name, value: the file; its first line is longer than cmdFileMaxSize
        };
        Kind kind = UNKNOWN_SWITCH;
        std::u16string argument;
        std::u16string name;
        std::u16string value;
        // The command file the later of two clashing switches came from; empty
        // when both are on the process's line.
        std::u16string commandFile{};
    };

    // Defaults, with the process's current directory; no parsing.
    CCommandLineOptions();
    // Defaults, then parses the line as the process's command line.
    CCommandLineOptions(const std::u16string& commandLine, const std::u16string& currentDirectory);

    // Reads the switches of the line and of the first line of a command file
    // it names, as one line: a switch given in both must ask for the same.
    void Parse(const std::u16string& commandLine);

    // One line naming the switch and what is wrong with it, in the interface
    // language; empty when the line had no problem.
    std::u16string DescribeProblem() const;

    // The mode asked for; without "mode", folders.
    Mode GetMode() const { return mode.value_or(MODE_FOLDER); }

    // The process's line, followed by the command file's first line when one was read.
    std::u16string commandLine;
    bool quiet = false;    // headless: no per-file lines nor progress, only problems and the summary
    bool verbose = false;  // headless: a line per file even on a terminal
    bool resetLayout = false;
    bool quit = false;
    LogType logType = LOG_NONE;
    bool regToXml = false;
    bool upgrade = false;
    bool cmdFileRead = false;
    bool hasSwitches = false;
    bool detectOnly = false;
    std::optional<Mode> mode;  // any value given that is not FILE nor CORVENTA is FOLDER
    // -r -h -c -bom -enc -rt -cp -wf/-rf over the defaults. Without -bom,
    // UTF-8 gets no byte order mark and UTF-16 and UTF-32 get one.
    ConversionOptions conversion{.writeBom = false};
    ExportType exportType = EXPORT_NONE;
    std::u16string exportPath;
    TEXTENCODING exportEncoding = TEXTENCODING_UTF8;
    bool exportBom = true;
    bool exportHeader = true;  // no: CSV without its header row, JSON Lines without header and summary
    // -shard=K/N: the slice of the input folder's files this run takes; its
    // report is one of several to be joined, also with N = 1.
    std::optional<Shard> shard;
    std::u16string cmdFilePath;
    int cmdFileMaxSize = 32768;
    std::optional<std::u16string> locale;
    std::u16string logFile;
    LogLevel logLevel = LOGLEVEL_INFO;
    std::optional<std::u16string> inputPath;   // resolved against the current directory
    std::optional<std::u16string> outputPath;  // either may be kStandardStream, kept as given
    std::u16string currentDirectory;

    // The "cp" value as typed, when one was given (a number or a name).
    std::u16string codepageText;
    bool helpRequested = false;  // "help" or "?"
    bool versionRequested = false;
    bool listCodePages = false;
    std::optional<Problem> problem;  // the first switch that does not fit

    // "-in=-" reads standard input, "-out=-" writes standard output.
    static constexpr const char16_t* kStandardStream = u"-";
    bool ReadsStandardInput() const { return inputPath == kStandardStream; }
    bool WritesStandardOutput() const { return outputPath == kStandardStream; }

    // Leading decimal digits as a number, 0 when there are none; saturates
    // at INT_MAX instead of wrapping.
    static int ParseLeadingInt(const std::u16string& text);

private:
    struct Given;
    void ParseLine(const std::u16string& line);
    bool ReadSwitches(const std::u16string& line, std::vector<Given>& given, const std::u16string& commandFile = {});
    bool CheckValue(Given& given);
    bool ReadCommandFile(const Given& file, std::vector<Given>& given);
    void Fill(const std::vector<Given>& given);
    std::u16string Resolve(const std::u16string& path) const;
};
