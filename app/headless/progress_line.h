#pragma once

#include <cstdint>
#include <string>

// The one-line progress display of the command-line run, built apart from
// the terminal and the clock so that what it shows can be checked for any
// moment and width. Widths are terminal columns, not bytes.
namespace headless {

struct ProgressState {
    unsigned done = 0;
    unsigned total = 0;
    bool finding = false;  // the walk still adds files: total will grow
    double seconds = 0;    // since the run started
    uint64_t bytesRead = 0;
    std::string current;  // the file being worked on, already made safe for a terminal
};

// "1:05", or "2:03:07" from an hour on; negative or unknown counts as 0.
std::string FormatDuration(double seconds);

// The time still needed, in seconds, or a negative number while too little
// is known to say (the walk goes on, nothing done yet, or under two seconds).
double SecondsLeft(const ProgressState& state);

// text cut to at most columns: the middle of it is replaced by "...", so
// that both the start of a path and its file name stay visible.
std::string FitMiddle(const std::string& text, unsigned columns);

// The bar, percentage, counts, elapsed time, time left, rate and current
// file, in at most columns - 1 columns (a full last column would wrap on
// many terminals); what does not fit is left out from the end, the file
// name first shortened in the middle.
std::string FormatProgressLine(const ProgressState& state, unsigned columns);

}  // namespace headless
