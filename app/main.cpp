// varnelpro: converts folder trees of text files from any code page or Unicode
// form into one Unicode form. With -in (and -out) it runs the batch on the
// command line; -help lists the switches.
#include <cstdio>

#include "app/headless/headless_run.h"
#include "app/options/command_line_options.h"
#include "app/options/startup.h"
#include "utils/command_line_parser.h"

int main(int argc, char** argv)
{
    CCommandLineOptions options;
    options.Parse(CCommandLineParser::BuildCommandLine(argc, argv));
    return RunProgram(options, argc, argv);
}
