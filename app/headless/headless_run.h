#pragma once

#include <cstdio>
#include <string>

#include "app/headless/headless_console.h"
#include "app/headless/headless_plan.h"
#include "app/options/command_line_options.h"
#include "varnex/session/session_records.h"

// Exit status of the command-line run.
enum HeadlessExitCode {
    HEADLESS_EXIT_OK = 0,         // every file converted (or detected) without a warning
    HEADLESS_EXIT_PROBLEMS = 1,   // some file ended with a warning or error, or the run was stopped
    HEADLESS_EXIT_BAD_START = 2,  // the run could not start; nothing was changed on disk
};

// Runs the batch the options describe with the given job setting and returns
// the exit status. Ctrl+C stops the session cleanly (finished files stay,
// the file being written is dropped).
int RunHeadless(const CCommandLineOptions& options, const VARNEXJOBSETTING& setting, const HeadlessConsole& console);

// The switches, for -help: every listed row of the switch table.
void PrintUsage(FILE* to);
// "varnelpro 2.0.0", for --version.
void PrintVersion(FILE* to);
// The code pages -cp takes: number, short name, IANA name, group.
void PrintCodePages(FILE* to);
