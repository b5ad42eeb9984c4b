#pragma once

#include "app/headless/headless_console.h"
#include "app/options/command_line_options.h"
#include "varnex/session/session_records.h"

// A run on standard input or output ("-in=-", "-out=-"): one text, found
// from the head of the stream (at most the scan limit) and then streamed
// through, so any length converts in little memory. Standard output carries
// the converted text and nothing else (with -d, the finding); whatever the
// run says goes to standard error. Without -out, -in=- writes standard output.
bool IsStreamRun(const CCommandLineOptions& options);
int RunStream(const CCommandLineOptions& options, const VARNEXJOBSETTING& setting, const HeadlessConsole& console);
