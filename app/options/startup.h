#pragma once

#include "app/options/command_line_options.h"

// The start-up actions the options ask for (layout reset, quit, language),
// then -help or the command-line run. Returns the process exit status.
int RunProgram(const CCommandLineOptions& options, int argc, char** argv);
