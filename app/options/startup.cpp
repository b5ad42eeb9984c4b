#include "app/options/startup.h"

#include <unistd.h>

#include <QCoreApplication>

#include "app/headless/headless_run.h"
#include "app/locale/locale_resource_manager.h"
#include "app/locale/tr.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "platform/native_path.h"

namespace {

std::string Out(const std::u16string& s) { return platform::ToNativePath(s); }

}  // namespace

int RunProgram(const CCommandLineOptions& options, int argc, char** argv)
{
    // Qt's settings store and translations want an application object.
    QCoreApplication application(argc, argv);
    CProfileStore store;
    if (options.resetLayout) {
        if (!store.ResetLayout())
            fprintf(stderr, "varnelpro: %s\n", Out(store.GetLastError()).c_str());
        else if (!options.quiet)
            printf("%s\n", Out(Tr("Startup", "Layout has been reset")).c_str());
    }
    if (options.quit)
        return HEADLESS_EXIT_OK;

    CLocaleResourceManager locales;
    locales.Initialize(options.locale, store.GetProfileString(u"Settings", u"LanguageDir", u""));

    if (options.helpRequested) {
        PrintUsage(stdout);
        return HEADLESS_EXIT_OK;
    }
    if (options.inputGiven) {
        CMySettings settings;
        SettingsMessages messages;
        settings.Load(&messages);
        for (const std::u16string& message : messages)
            fprintf(stderr, "varnelpro: %s\n", Out(message).c_str());
        HeadlessConsole console;
        console.progressBar = isatty(fileno(stderr)) != 0;
        return RunHeadless(options, settings.GetJobSetting(), console);
    }
    if (options.upgrade || options.regToXml)
        return HEADLESS_EXIT_OK;
    fprintf(stderr, "%s\n\n", Out(Tr("Startup", "No input given. The program converts on the command line:")).c_str());
    PrintUsage(stderr);
    return HEADLESS_EXIT_BAD_START;
}
