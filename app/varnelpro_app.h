#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "app/locale/locale_resource_manager.h"
#include "app/options/command_line_options.h"
#include "app/settings/my_settings.h"
#include "platform/display.h"

class QCoreApplication;

// The program object: owns, in this order, the language resources, the
// command-line options (parsed at construction) and the settings.
class CVarnelProApp {
public:
    // commandLine: the switches as one line (CCommandLineParser::BuildCommandLine).
    explicit CVarnelProApp(const std::u16string& commandLine);

    // The start-up actions the options ask for (layout reset, quit, language),
    // then -help or the command-line run. Returns the process exit status.
    int InitInstance(int argc, char** argv);

    const CCommandLineOptions& GetOptions() const { return m_options; }
    CMySettings& GetSettings() { return m_settings; }
    CLocaleResourceManager& GetLocales() { return m_locales; }

    // The desktop window, for builds that have it: makes the application
    // object a window needs, and runs the window until it closes.
    struct WindowRunner {
        std::function<std::unique_ptr<QCoreApplication>(int& argc, char** argv)> makeApplication;
        std::function<int(CVarnelProApp& app)> run;
    };
    void SetWindowRunner(WindowRunner runner) { m_windowRunner = std::move(runner); }

    // Whether this start opens the window: no conversion or action switch
    // (a path alone opens the window on it), a window in the build, and a
    // display to show it on that answers (or one only Qt can judge).
    bool WantsWindow() const;
    // Only a path was given: the window, when there is one, shows it.
    bool OpensPathInWindow() const;

private:
    // The display the environment names, probed once when a window is wanted.
    const platform::DisplayProbe& Display() const;

    CLocaleResourceManager m_locales;
    CCommandLineOptions m_options;
    CMySettings m_settings;
    WindowRunner m_windowRunner;
    mutable std::optional<platform::DisplayProbe> m_display;
};
