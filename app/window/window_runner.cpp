#include "app/window/window_runner.h"

#include <QApplication>

#include "app/settings/profile_store.h"
#include "app/window/main_frame.h"

CVarnelProApp::WindowRunner MakeWindowRunner()
{
    CVarnelProApp::WindowRunner runner;
    runner.makeApplication = [](int& argc, char** argv) -> std::unique_ptr<QCoreApplication> {
        auto application = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Varnel Professional"));
        return application;
    };
    runner.run = [](CVarnelProApp& app) {
        CProfileStore store;
        CMainFrame frame(app.GetSettings(), app.GetLocales(), store);
        frame.show();
        return QApplication::exec();
    };
    return runner;
}
