#pragma once

#include <string>

#include "app/options/command_line_options.h"
#include "varnex/session/session_records.h"

// What the run will do, worked out from the options before anything is
// touched: the job item, and the export target.
struct HeadlessPlan {
    tagVARNEXBATCHJOBITEM item;
    bool detectOnly = false;
    std::u16string outputFolderToCreate;  // empty: nothing to create
    CCommandLineOptions::ExportType exportType = CCommandLineOptions::EXPORT_NONE;
    std::u16string exportPath;
    std::u16string exportFolderToCreate;
    // The report is a FIFO, a device or a standard stream: written into.
    bool reportWrittenInto = false;
    // Standard output is the report or the output: the summary and every
    // status line go to standard error.
    bool standardOutputTaken = false;
    bool outputInsideInput = false;  // the output folder is left out of the walk
    // A FIFO, a device or what a standard handle is open on: written into,
    // no file made beside it, and the summary goes to standard error.
    bool outputWrittenThrough = false;
};

// Checks the options and builds the plan. Returns the one-line reason the run
// cannot start (empty when it can). Reads the file system, never changes it.
std::u16string PlanHeadlessRun(const CCommandLineOptions& options, HeadlessPlan& plan);

// Shared with the standard-stream run: the output folder, or where it would
// be made (toCreate); empty when it can be written.
std::u16string CheckOutputFolder(const std::u16string& folder, std::u16string& toCreate);
