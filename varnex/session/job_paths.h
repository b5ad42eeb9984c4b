#pragma once

#include <string>

#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

// Where a job's input, output and report meet, worked out on the paths the
// system reaches (links followed) before anything is written. A clash means
// the run could write onto an input or onto its own report and must not start.
struct VARNEX_API JobPathCheck {
    enum Clash {
        CLASH_NONE,
        CLASH_INPUT_IN_OUTPUT,   // the input is the output folder or lies inside it
        CLASH_OUTPUT_IS_INPUT,   // a single file's output is the file itself
        CLASH_REPORT_IS_INPUT,   // the report would replace an input file
        CLASH_REPORT_IS_OUTPUT,  // an output would replace the report
    };
    Clash clash = CLASH_NONE;
    std::u16string path;             // the input or output the clash is with
    bool outputInsideInput = false;  // allowed: the output folder is left out of the walk
};

// item: a folder or a single-file item with its input and output paths;
// reportPath: empty when no report is written.
VARNEX_API JobPathCheck CheckJobPaths(const tagVARNEXBATCHJOBITEM& item, const std::u16string& reportPath);
