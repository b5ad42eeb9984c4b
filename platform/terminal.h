#pragma once

#include <cstdio>
#include <string_view>

// The terminal the program writes to, and the signals that ask it to stop.
namespace platform {

[[nodiscard]] bool IsTerminal(FILE* stream);
// Columns of the terminal behind stream; 80 when it does not say (or says
// fewer than 20).
unsigned TerminalWidth(FILE* stream);

// Columns a terminal gives the character: 0 for combining marks and
// format characters, 2 for East Asian wide and full-width ones, else 1.
unsigned ColumnWidth(char32_t c);
// The columns of UTF-8 text; a byte that is not UTF-8 counts one column.
unsigned ColumnWidth(std::string_view utf8);

// While an object lives, Ctrl+C (SIGINT), kill (SIGTERM), a closed terminal
// (SIGHUP) and a closed pipe (SIGPIPE) set the stop request instead of ending
// the process; a second SIGINT, SIGTERM or SIGHUP removes the temporary
// files being written and ends the process at once with 128 + the signal (a
// closed pipe is met again by every later write: it never ends the process).
// One object at a time.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    [[nodiscard]] bool Requested() const;
};

}  // namespace platform
