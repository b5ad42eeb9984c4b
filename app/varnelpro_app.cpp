#include "app/varnelpro_app.h"

#include <QCoreApplication>

#include "app/headless/headless_run.h"
#include "app/locale/tr.h"
#include "app/settings/profile_store.h"
#include "base/text.h"
#include "platform/native_path.h"
#include "platform/terminal.h"

namespace {

std::string Out(const std::u16string& s) { return platform::ToNativePath(s); }

}  // namespace

CVarnelProApp::CVarnelProApp(const std::u16string& commandLine)
{
    m_options.Parse(commandLine);
}

int CVarnelProApp::InitInstance(int argc, char** argv)
{
    // Qt's settings store and translations want an application object.
    QCoreApplication application(argc, argv);
    CProfileStore store;
    if (m_options.resetLayout) {
        if (!store.ResetLayout())
            fprintf(stderr, "varnelpro: %s\n", text::ForTerminal(store.GetLastError()).c_str());
        else if (!m_options.quiet)
            printf("%s\n", Out(Tr("Startup", "Layout has been reset")).c_str());
    }
    if (m_options.quit)
        return HEADLESS_EXIT_OK;

    m_locales.Initialize(m_options.locale.value_or(u""), store.GetProfileString(u"Settings", u"LanguageDir", u""));

    if (m_options.helpRequested) {
        PrintUsage(stdout);
        return HEADLESS_EXIT_OK;
    }
    if (m_options.inputPath) {
        SettingsMessages messages;
        m_settings.Load(&messages);
        for (const std::u16string& message : messages)
            fprintf(stderr, "varnelpro: %s\n", text::ForTerminal(message).c_str());
        HeadlessConsole console;
        console.progressBar = platform::IsTerminal(stderr);
        return RunHeadless(m_options, m_settings.GetJobSetting(), console);
    }
    if (m_options.upgrade || m_options.regToXml)
        return HEADLESS_EXIT_OK;
    fprintf(stderr, "%s\n\n", Out(Tr("Startup", "No input given. The program converts on the command line:")).c_str());
    PrintUsage(stderr);
    return HEADLESS_EXIT_BAD_START;
}
