// varnelpro: converts folder trees of text files from any code page or Unicode
// form into one Unicode form. With -in (and -out) it runs the batch on the
// command line; -help lists the switches.
#include "app/varnelpro_app.h"
#include "utils/command_line_parser.h"

int main(int argc, char** argv)
{
    CVarnelProApp app(CCommandLineParser::BuildCommandLine(argc, argv));
    return app.InitInstance(argc, argv);
}
