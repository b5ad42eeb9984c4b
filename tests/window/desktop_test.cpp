#include <sys/stat.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/options/program_version.h"
#include "app/window/dialogs/help_about.h"
#include "app/window/models/shell_actions.h"
#include "app/window/panes/varnex_tray_icon.h"
#include "app/window/qt_text.h"
#include "platform/native_path.h"
#include "support/temp_dir.h"
#include "textrion/path/long_path.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

// What the actions asked of the desktop, instead of asking it.
class DesktopRecorder {
public:
    DesktopRecorder() : m_saved(shell_detail::Hooks())
    {
        shell_detail::Hooks() = {
            [this](const QUrl& url) {
                events.push_back("open " + url.toLocalFile().toStdString());
                return openSucceeds;
            },
            [this](QWidget*, const QUrl& item, std::function<void()> fallback) {
                events.push_back("show " + item.toLocalFile().toStdString());
                if (!fileManager)
                    fallback();
            },
            [this](QWidget*, const QString& message) { events.push_back("warn " + message.toStdString()); },
        };
    }
    ~DesktopRecorder() { shell_detail::Hooks() = m_saved; }

    std::vector<std::string> events;
    bool openSucceeds = true;
    bool fileManager = true;

private:
    shell_detail::DesktopHooks m_saved;
};

TEST(ShellActions, OpenFilesAndFoldersWithoutEverRunningAProgram)
{
    TempDir dir;
    const std::string folder = dir.Path();
    WriteBytes(dir.File("notes.txt"), "text\n");
    WriteBytes(dir.File("tool"), std::string("\x7F"
                                             "ELF\x02\x01",
                                             6));
    WriteBytes(dir.File("run.sh"), "#!/bin/sh\necho hi\n");
    chmod(dir.File("run.sh").c_str(), 0755);
    WriteBytes(dir.File("script.sh"), "#!/bin/sh\necho hi\n");  // not executable: text
    WriteBytes(dir.File("app.desktop"), "[Desktop Entry]\nExec=rm -rf ~\n");
    const std::string warnProgram = "warn This file is a program. It is shown in its folder instead of being run.";
    const struct {
        const char* name;
        void (*action)(QWidget*, const std::u16string&);
        std::string path;
        bool fileManager;
        bool openSucceeds;
        std::vector<std::string> expected;
    } rows[] = {
        {"text file", OpenFile, dir.File("notes.txt"), true, true, {"open " + dir.File("notes.txt")}},
        {"text script", OpenFile, dir.File("script.sh"), true, true, {"open " + dir.File("script.sh")}},
        {"ELF binary", OpenFile, dir.File("tool"), true, true, {warnProgram, "show " + dir.File("tool")}},
        {"executable script", OpenFile, dir.File("run.sh"), true, true, {warnProgram, "show " + dir.File("run.sh")}},
        {"desktop entry",
         OpenFile,
         dir.File("app.desktop"),
         true,
         true,
         {warnProgram, "show " + dir.File("app.desktop")}},
        {"missing file", OpenFile, dir.File("gone.txt"), true, true, {"warn Unable to open this file."}},
        {"a folder is no file", OpenFile, folder, true, true, {"warn Unable to open this file."}},
        {"desktop refuses",
         OpenFile,
         dir.File("notes.txt"),
         true,
         false,
         {"open " + dir.File("notes.txt"), "warn Unable to open this file."}},
        {"file in its folder",
         OpenContainingFolder,
         dir.File("notes.txt"),
         true,
         true,
         {"show " + dir.File("notes.txt")}},
        {"no file manager: the folder",
         OpenContainingFolder,
         dir.File("notes.txt"),
         false,
         true,
         {"show " + dir.File("notes.txt"), "open " + folder}},
        {"a folder opens itself", OpenContainingFolder, folder, true, true, {"open " + folder}},
        {"gone file: its folder", OpenContainingFolder, dir.File("gone.txt"), true, true, {"open " + folder}},
        {"gone folder", OpenContainingFolder, dir.File("gone/x.txt"), true, true, {"warn Unable to open this folder."}},
        {"properties of nothing", ShowProperties, dir.File("gone.txt"), true, true, {"warn Unable to open this file."}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DesktopRecorder desktop;
        desktop.fileManager = row.fileManager;
        desktop.openSucceeds = row.openSucceeds;
        row.action(nullptr, platform::FromNativePath(row.path));
        EXPECT_EQ(desktop.events, row.expected);
    }
}

TEST(ShellActions, UrlsAndPropertiesNameTheExactFile)
{
    TempDir dir;
    const std::string odd = dir.File("caf\xE9 #1.txt");  // not UTF-8 on disk
    WriteBytes(odd, "12345");
    chmod(odd.c_str(), 0640);
    const QUrl url = shell_detail::FileUrl(platform::FromNativePath(odd));
    EXPECT_TRUE(url.toString(QUrl::FullyEncoded).endsWith(QStringLiteral("/caf%E9%20%231.txt")))
        << url.toString(QUrl::FullyEncoded).toStdString();

    CFilePropertiesDlg properties(nullptr, platform::FromNativePath(odd));
    EXPECT_EQ(properties.ValueOf(QStringLiteral("Size")), QStringLiteral("5 bytes"));
    EXPECT_EQ(properties.ValueOf(QStringLiteral("Permissions")), QStringLiteral("rw-r----- (640)"));
    EXPECT_EQ(properties.ValueOf(QStringLiteral("Location")), QString::fromStdString(dir.Path()));
    CFilePropertiesDlg folder(nullptr, platform::FromNativePath(dir.Path()));
    EXPECT_EQ(folder.ValueOf(QStringLiteral("Type")), QStringLiteral("Folder"));
    EXPECT_TRUE(folder.ValueOf(QStringLiteral("Size")).isEmpty());
}

TEST(HelpAndAbout, TheManualOfTheLanguageOpensAndAMissingOneIsSaid)
{
    TempDir program;
    CLocaleResourceManager locales(platform::FromNativePath(program.Path()));
    locales.Initialize(u"", u"", {});
    {
        DesktopRecorder desktop;
        OpenUserManual(nullptr, locales);
        ASSERT_EQ(desktop.events.size(), 1u);
        EXPECT_EQ(desktop.events[0].rfind("warn The user manual is not installed:", 0), 0u) << desktop.events[0];
    }
    std::filesystem::create_directories(program.File("help"));
    WriteBytes(program.File("help/index.html"), "<html></html>");
    DesktopRecorder desktop;
    OpenUserManual(nullptr, locales);
    EXPECT_EQ(desktop.events, std::vector<std::string>{"open " + program.File("help/index.html")});

    std::unique_ptr<QMessageBox> about(CreateAboutBox(nullptr));
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Varnel Professional"));
    EXPECT_TRUE(about->text().contains(Qs(ProgramVersion())));

    // The build tree holds the program's manuals as they are installed.
    CLocaleResourceManager german(CLongPath(CLongPath::GetAppDir()).Append(u"../../app").GetPath());
    ASSERT_TRUE(german.Initialize(u"de_DE", u"", {}));
    EXPECT_TRUE(german.GetCurrentHelpFile().ends_with(u"/app/help/de_DE/index.html"));
}

TEST(VarnexTrayIcon, WithoutASystemTrayKeepsItsTextsAndStillBringsTheWindowBack)
{
    QWidget window;
    CVarnexTrayIcon tray(&window);
    EXPECT_FALSE(tray.IsAvailable()) << "the offscreen platform has no tray";
    QSignalSpy requested(&tray, &CVarnexTrayIcon::showMainWindowRequested);
    tray.Show();
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Varnel Professional\nIdle"));
    tray.SetStatusLine(QStringLiteral("Paused"));
    EXPECT_EQ(tray.ToolTip(), QStringLiteral("Varnel Professional\nPaused"));
    window.showMinimized();
    tray.ShowMainWindow();
    EXPECT_EQ(requested.count(), 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    tray.Hide();
}

}  // namespace
