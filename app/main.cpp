// varnelpro: converts folder trees of text files from any code page or Unicode
// form into one Unicode form. With -in (and -out) it runs the batch on the
// command line; -help lists the switches. Without switches it opens the window.
#include "app/varnelpro_app.h"
#include "utils/command_line_parser.h"
#ifdef VARNEL_WITH_WINDOW
#include "app/window_module.h"
#endif

int main(int argc, char** argv)
{
    CVarnelProApp app(CCommandLineParser::BuildCommandLine(argc, argv));
#ifdef VARNEL_WITH_WINDOW
    // Beside the program in the build tree, in its private library folder once installed.
    app.SetWindowRunner(ModuleWindowRunner({VARNEL_WINDOW_MODULE, VARNEL_WINDOW_MODULE_INSTALLED}));
#endif
    return app.InitInstance(argc, argv);
}
