#include <cstdio>
#include <memory>

#include <QCoreApplication>

#include "app/headless/headless_run.h"
#include "app/locale/tr.h"
#include "app/window_module.h"
#include "base/text.h"
#include "platform/process.h"

CVarnelProApp::WindowRunner ModuleWindowRunner(std::vector<std::string> places)
{
    struct Loaded {
        CVarnelProApp::WindowRunner runner;
        std::string error;
    };
    auto loaded = std::make_shared<Loaded>();
    CVarnelProApp::WindowRunner runner;
    runner.makeApplication = [loaded, places = std::move(places)](int& argc,
                                                                  char** argv) -> std::unique_ptr<QCoreApplication> {
        using Entry = void (*)(CVarnelProApp::WindowRunner*);
        if (auto entry =
                reinterpret_cast<Entry>(platform::ProgramModuleFunction(places, kWindowRunnerFunction, &loaded->error)))
            entry(&loaded->runner);
        if (loaded->runner.makeApplication)
            return loaded->runner.makeApplication(argc, argv);
        return std::make_unique<QCoreApplication>(argc, argv);
    };
    runner.run = [loaded](CVarnelProApp& app) {
        if (loaded->runner.run)
            return loaded->runner.run(app);
        // Said once the language is chosen, which needs the application object.
        fprintf(stderr, "varnelpro: %s\n",
                text::ForTerminal(Tr("Startup",
                                     "the window cannot be loaded (%1); to convert on the command line run: "
                                     "varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)",
                                     text::FromUtf8(loaded->error)))
                    .c_str());
        return static_cast<int>(HEADLESS_EXIT_BAD_START);
    };
    return runner;
}
