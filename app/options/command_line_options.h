#pragma once

#include <cstdint>
#include <string>

// What the program's command line asks for, filled once at start-up. Values
// that are absent or not recognised keep their defaults; the integer codes are
// the engine's (output text format, return type, text encoding).
class CCommandLineOptions {
public:
    enum LogType { LOG_NONE = 0, LOG_TRACE = 1, LOG_FILE = 2, LOG_XML = 3, LOG_EVENT = 4, LOG_MULTI = 5 };
    enum Mode { MODE_FILE = 0, MODE_FOLDER = 1, MODE_CORVENTA = 2 };
    enum ExportType { EXPORT_NONE = 0, EXPORT_CSV = 1, EXPORT_XML = 2 };

    // Defaults, with the process's current directory; no parsing.
    CCommandLineOptions();
    // Defaults, then parses the line as the process's command line.
    CCommandLineOptions(const std::u16string& commandLine, const std::u16string& currentDirectory);

    // Reads the switches of the line (a command file named in it replaces it).
    void Parse(const std::u16string& commandLine);

    std::u16string commandLine;
    bool quiet = false;
    bool localeGiven = false;
    bool resetLayout = false;
    bool quit = false;
    int logType = LOG_NONE;
    bool regToXml = false;
    bool upgrade = false;
    bool cmdFileRead = false;
    bool conversionRequested = false;
    bool hasSwitches = false;
    bool recursive = false;
    bool copyUnconverted = false;
    bool detectOnly = false;
    bool hiddenFiles = false;
    int mode = MODE_FOLDER;
    int inputCodepage = -1;
    bool inputGiven = false;
    bool outputGiven = false;
    bool encodingGiven = false;
    bool bomGiven = false;
    bool lineEndingGiven = false;
    bool modeGiven = false;
    bool codepageGiven = false;
    bool filterGiven = false;
    bool filterIsRegex = false;
    int exportType = EXPORT_NONE;
    std::u16string exportPath;
    int exportEncoding = 3;  // UTF-8
    bool exportBom = true;
    std::u16string cmdFilePath;
    int cmdFileMaxSize = 32768;
    std::u16string locale;
    std::u16string logFile;
    int logLevel = 1;
    std::u16string inputPath;
    std::u16string outputPath;
    int outputFormat = 0;  // UTF-8
    bool writeBom = true;
    int lineEnding = 0;    // keep
    std::u16string filter;
    std::u16string currentDirectory;

    // The "cp" value as typed, when one was given: the run refuses a value
    // that is not a usable code page instead of silently detecting.
    std::u16string codepageText;
    bool helpRequested = false;  // "help" or "?"

    // Leading decimal digits as a number, 0 when there are none; saturates
    // at INT_MAX instead of wrapping.
    static int ParseLeadingInt(const std::u16string& text);

private:
    void ParseLine(const std::u16string& line, bool allowCommandFile);
    std::u16string Resolve(const std::u16string& path) const;
};
