// varnelpro: converts folder trees of text files from any code page or Unicode
// form into one Unicode form. With -in (and -out) it runs the batch on the
// command line; -help lists the switches. Without switches it opens the window.
#include "app/varnelpro_app.h"
#include "utils/command_line_parser.h"
#ifdef VARNEL_WITH_WINDOW
#include "app/window/window_runner.h"
#endif

int main(int argc, char** argv)
{
    CVarnelProApp app(CCommandLineParser::BuildCommandLine(argc, argv));
#ifdef VARNEL_WITH_WINDOW
    app.SetWindowRunner(MakeWindowRunner());
#endif
    return app.InitInstance(argc, argv);
}
