#pragma once

#include <cstdio>
#include <string>

#include "app/options/command_line_options.h"
#include "varnex/session/session_records.h"

// Exit status of the command-line run.
enum HeadlessExitCode {
    HEADLESS_EXIT_OK = 0,        // every file converted (or detected) without a warning
    HEADLESS_EXIT_PROBLEMS = 1,  // some file ended with a warning or error, or the run was stopped
    HEADLESS_EXIT_BAD_START = 2, // the run could not start; nothing was changed on disk
};

// What the run will do, worked out from the options before anything is
// touched: the job item, and the export target.
struct HeadlessPlan {
    tagVARNEXBATCHJOBITEM item;
    bool detectOnly = false;
    std::u16string outputFolderToCreate;  // empty: nothing to create
    int exportType = 0;
    std::u16string exportPath;
    std::u16string exportFolderToCreate;
    bool outputInsideInput = false;  // the output folder is left out of the walk
};

// Checks the options and builds the plan. Returns the one-line reason the run
// cannot start (empty when it can). Reads the file system, never changes it.
std::u16string PlanHeadlessRun(const CCommandLineOptions& options, HeadlessPlan& plan);

struct HeadlessConsole {
    FILE* out = stdout;   // summary
    FILE* err = stderr;   // progress, per-file lines, errors
    bool progressBar = false;  // err is a terminal: one redrawn line instead of a line per file
};

// Runs the batch the options describe with the given job setting and returns
// the exit status. Ctrl+C stops the session cleanly (finished files stay,
// the file being written is dropped).
int RunHeadless(const CCommandLineOptions& options, const VARNEXJOBSETTING& setting, const HeadlessConsole& console);

// The switches, for -help.
void PrintUsage(FILE* to);
