#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/headless/headless_console.h"
#include "varnex/session/session_records.h"

class CCodepageInfo;
class CVarnexFileInfo;

// One file's line in the interface language: what became of it, its code
// page (info null: binary) with the confidence when it was detected, the
// name as shown, and the message.
std::string FileLine(VARNEXRESULTSTATE state, VARNEXRESULTOPERATION operation, const CCodepageInfo* info,
                     std::optional<float> confidence, const std::u16string& shown, const std::u16string& message,
                     bool detectOnly);

// What the command-line run shows: a line per finished file (off a terminal,
// with verbose, or for a file with a problem), the progress bar on a
// terminal, and the summary at the end. Quiet leaves only the problems.
class HeadlessReporter {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    struct Totals {
        unsigned finished = 0;
        unsigned binary = 0;
        unsigned unknownText = 0;  // text whose encoding was not found
        unsigned leftAlone = 0;    // entries that are not files: special files, links to nothing, repeated folders
        uint64_t bytesRead = 0;
        uint64_t bytesWritten = 0;
    };
    // What the summary tells besides the session's own counters.
    struct Ending {
        unsigned unreadableFolders = 0;
        bool stoppedByUser = false;
        bool report = false;
        bool reportOk = true;
        std::u16string reportPath;
    };

    HeadlessReporter(const HeadlessConsole& console, bool detectOnly, const std::u16string& inputFolder,
                     Clock clock = std::chrono::steady_clock::now);

    void Finished(CVarnexFileInfo& record, unsigned total);
    // Redraws the bar, at most a few times a second.
    void Bar(unsigned done, unsigned total, bool finding, const std::u16string& current);
    void ClearBar();
    // False with errno in *error when the summary could not be written (a
    // full device, a closed pipe).
    bool PrintSummary(const VARNEXSESSIONSUMMARY& summary, const Ending& ending, int* error) const;
    const Totals& GetTotals() const { return m_totals; }

private:
    // Files below the input folder are shown by their path inside it.
    std::u16string Shown(const std::u16string& path) const;
    double Seconds() const;

    HeadlessConsole m_console;
    bool m_detectOnly;
    Clock m_clock;
    Totals m_totals;
    std::chrono::steady_clock::time_point m_start;
    std::optional<std::chrono::steady_clock::time_point> m_lastBar;  // none until the first drawing
    bool m_barShown = false;
    std::u16string m_prefix;
};
