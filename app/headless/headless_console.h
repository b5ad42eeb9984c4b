#pragma once

#include <cstdio>

// Where the command-line run writes, and how much.
struct HeadlessConsole {
    FILE* out = stdout;        // summary
    FILE* err = stderr;        // progress, per-file lines, errors
    bool progressBar = false;  // err is a terminal: one redrawn line instead of a line per file
    bool quiet = false;        // only problems: no bar, no line for a file that went well, no summary
    bool verbose = false;      // a line per file even beside the bar
    unsigned columns = 0;      // width of err; 0: ask the terminal
};
