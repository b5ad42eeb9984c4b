#include "app/window/window_runner.h"

#include <QApplication>
#include <QFileInfo>

#include "app/settings/profile_store.h"
#include "app/window/folder_list_wnd.h"
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
        if (app.OpensPathInWindow()) {
            // A text file opens on its folder.
            const QFileInfo path(QString::fromStdU16String(*app.GetOptions().inputPath));
            frame.FolderView()->SelectFolder((path.isDir() ? path.absoluteFilePath() : path.absolutePath())
                                                 .toStdU16String());
        }
        return QApplication::exec();
    };
    return runner;
}
