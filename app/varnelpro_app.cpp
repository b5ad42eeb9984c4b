#include "app/varnelpro_app.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <QCoreApplication>

#include "app/headless/headless_run.h"
#include "app/locale/tr.h"
#include "app/settings/profile_store.h"
#include "base/text.h"
#include "platform/native_path.h"
#include "platform/terminal.h"
#include "varnex/convert/file_outcome.h"

namespace {

std::string Out(const std::u16string& s)
{
    return platform::ToNativePath(s);
}

// Prints a text whole and makes sure it arrived: a write error (a full
// disk) is said, as GNU tools do, not hidden behind exit 0. The text is
// made in memory first, so that the error is the one of the write itself.
int PrintChecked(void (*print)(FILE*))
{
    char* printed = nullptr;
    size_t size = 0;
    FILE* memory = open_memstream(&printed, &size);
    print(memory != nullptr ? memory : stdout);
    if (memory != nullptr)
        fclose(memory);
    errno = 0;
    const bool written = (size == 0 || fwrite(printed, 1, size, stdout) == size) && fflush(stdout) == 0;
    const int error = errno != 0 ? errno : EIO;
    free(printed);
    if (written && !ferror(stdout))
        return HEADLESS_EXIT_OK;
    fprintf(stderr, "varnelpro: %s\n",
            text::ForTerminal(Tr("Startup", "cannot write to standard output: %1", text::FromUtf8(strerror(error))))
                .c_str());
    return HEADLESS_EXIT_PROBLEMS;
}

}  // namespace

CVarnelProApp::CVarnelProApp(const std::u16string& commandLine)
{
    m_options.Parse(commandLine);
}

const platform::DisplayProbe& CVarnelProApp::Display() const
{
    if (!m_display)
        m_display = platform::ProbeDisplay(platform::DisplayEnvironment::FromProcess());
    return *m_display;
}

bool CVarnelProApp::OpensPathInWindow() const
{
    // What a file manager starts for a folder or a text file: a path and no
    // output, report or detection, which on the command line alone would be
    // refused for want of an output folder.
    return m_options.inputPath && !m_options.ReadsStandardInput() && !m_options.outputPath && !m_options.detectOnly &&
           m_options.exportType == CCommandLineOptions::EXPORT_NONE && !m_options.cmdFileRead;
}

bool CVarnelProApp::WantsWindow() const
{
    if (m_options.problem || (m_options.inputPath && !OpensPathInWindow()) || m_options.quit ||
        m_options.helpRequested || m_options.versionRequested || m_options.listCodePages || m_options.upgrade ||
        m_options.regToXml)
        return false;
    if (!m_windowRunner.run || !m_windowRunner.makeApplication)
        return false;
    const platform::DisplayReach reach = Display().reach;
    return reach == platform::DisplayReach::Reachable || reach == platform::DisplayReach::Unknown;
}

int CVarnelProApp::InitInstance(int argc, char** argv)
{
    // Qt's settings store and translations want an application object; the
    // window wants the widget one, made before anything else of Qt.
    const bool window = WantsWindow();
    std::unique_ptr<QCoreApplication> application =
        window ? m_windowRunner.makeApplication(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    CProfileStore store;
    auto chooseLanguage = [&] {
        return m_locales.Initialize(m_options.locale.value_or(u""),
                                    store.GetProfileString(u"Settings", u"LanguageDir", u""));
    };
    if (m_options.versionRequested) {
        return PrintChecked(PrintVersion);
    }
    if (m_options.problem) {
        // Nothing is done on a line with a mistake in it; only the language
        // of the message is looked up.
        chooseLanguage();
        fprintf(stderr, "varnelpro: %s\n", text::ForTerminal(m_options.DescribeProblem()).c_str());
        return HEADLESS_EXIT_BAD_START;
    }
    if (m_options.resetLayout) {
        if (!store.ResetLayout())
            fprintf(stderr, "varnelpro: %s\n", text::ForTerminal(store.GetLastError()).c_str());
        else if (!m_options.quiet)
            printf("%s\n", Out(Tr("Startup", "Layout has been reset")).c_str());
    }
    if (m_options.quit)
        return HEADLESS_EXIT_OK;

    const bool translated = chooseLanguage();
    // A language asked for by name that has no bundle: say once why the text stays English.
    if (!translated && m_options.locale && !CLocaleEnvironment::IsEnglish(*m_options.locale))
        fprintf(stderr, "varnelpro: %s\n",
                text::ForTerminal(Tr("Startup", "no language bundle for \"%1\"; English is used", *m_options.locale))
                    .c_str());
    // The engine's reasons for a warning or an error, in the chosen language.
    SetReasonTranslator([](const char* english) { return Tr("Reasons", english); });

    if (m_options.helpRequested) {
        return PrintChecked(PrintUsage);
    }
    if (m_options.listCodePages) {
        return PrintChecked(PrintCodePages);
    }
    if (m_options.inputPath && !window) {
        SettingsMessages messages;
        m_settings.Load(&messages);
        for (const std::u16string& message : messages)
            fprintf(stderr, "varnelpro: %s\n", text::ForTerminal(message).c_str());
        HeadlessConsole console;
        console.quiet = m_options.quiet;
        console.verbose = m_options.verbose;
        console.progressBar = !console.quiet && platform::IsTerminal(stderr);
        return RunHeadless(m_options, m_settings.GetJobSetting(), console);
    }
    if (m_options.upgrade || m_options.regToXml)
        return HEADLESS_EXIT_OK;
    if (window)
        return m_windowRunner.run(*this);
    // Qt would abort on a display that leads nowhere (a stale DISPLAY of an ssh session).
    if (m_display && m_display->reach == platform::DisplayReach::Unreachable && !m_display->name.empty()) {
        fprintf(stderr, "varnelpro: %s\n",
                text::ForTerminal(Tr("Startup",
                                     "the display \"%1\" cannot be opened; to convert on the command "
                                     "line run: varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)",
                                     text::FromUtf8(m_display->name)))
                    .c_str());
        return HEADLESS_EXIT_BAD_START;
    }
    fprintf(stderr, "varnelpro: %s\n",
            Out(Tr("Startup", "no display for the window; to convert on the command line run: "
                              "varnelpro -in=FOLDER -out=FOLDER (-help lists the switches)"))
                .c_str());
    return HEADLESS_EXIT_BAD_START;
}
