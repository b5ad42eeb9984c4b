#pragma once

#include <cstdio>

// Where the command-line run writes.
struct HeadlessConsole {
    FILE* out = stdout;   // summary
    FILE* err = stderr;   // progress, per-file lines, errors
    bool progressBar = false;  // err is a terminal: one redrawn line instead of a line per file
};
