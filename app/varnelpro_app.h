#pragma once

#include <memory>

#include "app/locale/locale_resource_manager.h"
#include "app/options/command_line_options.h"
#include "app/settings/my_settings.h"

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

private:
    CLocaleResourceManager m_locales;
    CCommandLineOptions m_options;
    CMySettings m_settings;
};
