#include "app/window/window_runner.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <QApplication>
#include <QFileInfo>

#include "app/headless/headless_run.h"
#include "app/locale/tr.h"
#include "app/settings/profile_store.h"
#include "app/window/main_frame.h"
#include "app/window/panes/folder_list_wnd.h"
#include "app/window/qt_text.h"
#include "base/text.h"

namespace {

// Qt's messages while the application object is made. When no platform can
// start (a display the probe could not judge, a missing plugin), Qt ends the
// process with an abort and a core; the start then ends as one without a
// display does: one line and exit status 2. Once the object stands, what was
// held goes on to the handler that was there before.
struct HeldMessage {
    QtMsgType type;
    std::string category;
    QString text;
};
QtMessageHandler g_previousHandler = nullptr;
std::vector<HeldMessage>* g_heldMessages = nullptr;
std::mutex g_heldLock;  // threads Qt starts meanwhile (D-Bus) may speak too

void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const std::string category = context.category != nullptr ? context.category : "";
    std::lock_guard lock(g_heldLock);
    if (g_heldMessages == nullptr) {  // a late message of another thread
        g_previousHandler(type, context, text);
        return;
    }
    if (type != QtFatalMsg) {
        g_heldMessages->push_back({type, category, text});
        return;
    }
    // The platform's own reason ("could not connect to display :99") says
    // more than the closing "no Qt platform plugin could be initialized".
    QString reason = text;
    for (const HeldMessage& held : *g_heldMessages) {
        if (held.category.rfind("qt.qpa", 0) == 0) {
            reason = held.text;
            break;
        }
    }
    reason = reason.section(u'\n', 0, 0).trimmed();
    const std::string line =
        "varnelpro: " +
        text::ForTerminal(Tr("Startup",
                             "the window cannot be loaded (%1); to convert on the command line run: "
                             "varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)",
                             U16(reason))) +
        "\n";
    fputs(line.c_str(), stderr);
    fflush(stderr);
    // Not exit(): static objects would be destroyed under a half-made application.
    _exit(HEADLESS_EXIT_BAD_START);
}

std::unique_ptr<QApplication> MakeApplicationOrEnd(int& argc, char** argv)
{
    std::vector<HeldMessage> held;
    g_heldMessages = &held;
    g_previousHandler = qInstallMessageHandler(HoldStartMessage);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    {
        std::lock_guard lock(g_heldLock);
        g_heldMessages = nullptr;
    }
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
        g_previousHandler(message.type, context, message.text);
    }
    return application;
}

}  // namespace

CVarnelProApp::WindowRunner MakeWindowRunner()
{
    CVarnelProApp::WindowRunner runner;
    runner.makeApplication = [](int& argc, char** argv) -> std::unique_ptr<QCoreApplication> {
        auto application = MakeApplicationOrEnd(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Varnel Professional"));
        return application;
    };
    runner.run = [](CVarnelProApp& app) {
        // The same file, read by the same rules, as a command-line run; what
        // a file that could not be used says stays in view above the lists.
        SettingsMessages messages;
        app.GetSettings().Load(&messages);
        CProfileStore store;
        CMainFrame frame(app.GetSettings(), app.GetLocales(), store);
        frame.ShowMessages(messages);
        frame.show();
        if (app.OpensPathInWindow()) {
            // A text file opens on its folder.
            const QFileInfo path(QString::fromStdU16String(*app.GetOptions().inputPath));
            frame.FolderView()->SelectFolder(
                (path.isDir() ? path.absoluteFilePath() : path.absolutePath()).toStdU16String());
        }
        return QApplication::exec();
    };
    return runner;
}
