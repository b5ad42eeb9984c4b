// The program's own window, started the way a user starts it (the program
// file, its window module, its settings file under $XDG_DATA_HOME), on Qt's
// offscreen platform; a plugin of tests/window/driver plays the user.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "app/options/program_version.h"
#include "app/settings/my_settings.h"
#include "base/text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct WindowRun {
    int status = -1;
    std::map<std::string, std::string> seen;  // "Dialog/Name" -> what it showed
    std::string err;
};

class RealWindow : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"data/Quillmark/VarnelPro", "config", "run", "docs"})
            std::filesystem::create_directories(home.File(folder));
        std::filesystem::permissions(home.File("run"), std::filesystem::perms::owner_all);
        WriteBytes(home.File("docs/a.txt"), "text\n");
    }

    std::string SettingsFile() const { return home.File("data/Quillmark/VarnelPro/VarnelPro.Current.xml"); }
    static std::string Version() { return text::ToUtf8(CMySettings::SettingsVersionOf(ProgramVersion())); }
    void Store(const std::string& body) const
    {
        WriteBytes(SettingsFile(), "<?xml version=\"1.0\"?>\n<varnel><settings version=\"" + Version() + "\">" + body +
                                       "</settings></varnel>\n");
    }
    CMySettings Reloaded() const
    {
        CMySettings settings(text::FromUtf8(SettingsFile()), ProgramVersion());
        EXPECT_TRUE(settings.Load());
        return settings;
    }

    // Runs varnelpro with the driver told what to do (shell words: VARNEL_DRIVER_...=...).
    WindowRun Start(const std::string& driver) const
    {
        const std::string log = home.File("driver.log");
        std::filesystem::remove(log);
        const std::string command =
            "cd '" + home.Path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE LC_ALL=C.UTF-8 " +
            "LANGUAGE= QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH='" + VARNEL_DRIVER_PLUGINS +
            "' QT_QPA_GENERIC_PLUGINS=varneldriver HOME='" + home.Path() + "' XDG_DATA_HOME='" + home.File("data") +
            "' XDG_CONFIG_HOME='" + home.File("config") + "' XDG_RUNTIME_DIR='" + home.File("run") +
            "' VARNEL_DRIVER_LOG='" + log + "' " + driver + " timeout 120 '" + VARNELPRO_EXE + "' >'" +
            home.File("out.txt") + "' 2>'" + home.File("err.txt") + "'";
        WindowRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.err = ReadBytes(home.File("err.txt"));
        std::istringstream lines(std::filesystem::exists(log) ? ReadBytes(log) : "");
        for (std::string line; std::getline(lines, line);)
            run.seen[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        EXPECT_EQ(run.seen["Driver/Done"], "true") << run.err;
        return run;
    }

    TempDir home;
};

constexpr char kJob[] = "<jobSetting><converterThreads>3</converterThreads><chunkSize>4096</chunkSize>"
                        "<sampleSizeMB>8</sampleSizeMB><useGB18030>true</useGB18030>"
                        "<useConsolidatedBuffer>false</useConsolidatedBuffer></jobSetting>";
constexpr char kCurrent[] = "<currentProfile><copyUnconverted>true</copyUnconverted><writeBom>true</writeBom>"
                            "<processHiddenFiles>true</processHiddenFiles><inputCodepage>1251</inputCodepage>"
                            "<outputTextFormat>UTF16BE</outputTextFormat><returnType>LF</returnType>"
                            "<filter name=\"Texts\" enabled=\"true\" type=\"wildcard\">"
                            "<expression>*.txt;*.md</expression></filter></currentProfile>";

// Each value differs from its default, so a window that did not read the
// file shows something else.
TEST_F(RealWindow, ShowsTheStoredSettingsInPreferencesAndTheConvertDialog)
{
    Store(std::string(kJob) + kCurrent + "<preferences><previewSizeLimit>65536</previewSizeLimit></preferences>");
    const std::string stored = ReadBytes(SettingsFile());
    WindowRun run = Start("VARNEL_DRIVER_CONVERT='" + home.File("docs") + "'");
    EXPECT_EQ(run.status, 0) << run.err;

    const std::map<std::string, std::string> expected = {
        {"Window/MessageBar", "hidden"},
        {"Preferences/CopyUnconverted", "true"},
        {"Preferences/WriteBom", "true"},
        {"Preferences/ProcessHidden", "true"},
        {"Preferences/OutputEncoding", "UTF-16 BE"},
        {"Preferences/ReturnType", "LF Only (Unix/Linux)"},
        {"Preferences/ConverterThreads", "3"},
        {"Preferences/ChunkSize", "4096"},
        {"Preferences/SampleSize", "8"},
        {"Preferences/GB18030", "true"},
        {"Preferences/ConsolidatedBuffer", "false"},
        {"Preferences/PreviewSize", "64"},
        {"Convert/CopyUnconverted", "true"},
        {"Convert/WriteBom", "true"},
        {"Convert/ProcessHidden", "true"},
        {"Convert/OutputEncoding", "UTF-16 BE"},
        {"Convert/ReturnType", "LF Only (Unix/Linux)"},
        {"Convert/FilterExpression", "*.txt;*.md"},
        {"Convert/InputPath", home.File("docs")},
    };
    for (const auto& [control, value] : expected)
        EXPECT_EQ(run.seen[control], value) << control;
    EXPECT_NE(run.seen["Convert/InputCodepage"].find("1251"), std::string::npos) << run.seen["Convert/InputCodepage"];
    // Looking and cancelling writes nothing.
    EXPECT_EQ(ReadBytes(SettingsFile()), stored);
}

TEST_F(RealWindow, OkInPreferencesChangesOnlyWhatItShows)
{
    Store(std::string(kJob).insert(12, "<detectOnly>true</detectOnly>") +
          "<currentProfile><recursive>true</recursive><keepModeAndTime>false</keepModeAndTime>"
          "<inputCodepage>1251</inputCodepage><filter name=\"Sources\" enabled=\"true\" type=\"regex\">"
          "<expression>\\.c$</expression><comment>mine</comment></filter><laterOption>7</laterOption>"
          "</currentProfile><preferences><showLanguageMenu>false</showLanguageMenu></preferences>"
          "<laterSection a=\"1\"/><sessionProfiles><profile name=\"Work\"><recursive>yes</recursive></profile>"
          "</sessionProfiles>");
    WindowRun run = Start("VARNEL_DRIVER_PREFERENCES=ok VARNEL_DRIVER_SET='WriteBom=true;PreviewSize=32'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.seen["Preferences/ConverterThreads"], "3");
    EXPECT_EQ(run.seen.count("Prompt"), 0u) << run.seen["Prompt"];

    const CMySettings settings = Reloaded();
    // What was changed.
    EXPECT_TRUE(settings.GetCurrentProfile().options.writeBom);
    EXPECT_EQ(settings.GetPreviewSizeLimit(), 32u << 10);
    // What Preferences shows and was left alone.
    EXPECT_EQ(settings.GetJobSetting().converterThreads, 3u);
    EXPECT_EQ(settings.GetJobSetting().chunkSize, 4096u);
    // What it does not show.
    const ConversionOptions& o = settings.GetCurrentProfile().options;
    EXPECT_TRUE(settings.GetJobSetting().detectOnly);
    EXPECT_TRUE(o.recursive);
    EXPECT_FALSE(o.keepModeAndTime);
    EXPECT_EQ(o.StoredInputCodepage(), 1251);
    EXPECT_TRUE(o.filter.IsEnabled());
    EXPECT_TRUE(o.filter.IsRegex());
    EXPECT_EQ(o.filter.GetFilterString(), u"\\.c$");
    EXPECT_EQ(settings.GetCurrentProfile().filterComment, u"mine");
    EXPECT_FALSE(settings.GetShowLanguageMenu());
    const std::string file = ReadBytes(SettingsFile());
    for (const char* kept : {"<laterOption>7</laterOption>", "<laterSection a=\"1\"", "<recursive>yes</recursive>"})
        EXPECT_NE(file.find(kept), std::string::npos) << kept << "\n" << file;
}

TEST_F(RealWindow, WhatTheSettingsFileSaysIsShownInTheWindow)
{
    struct Case {
        const char* what;
        std::string file;
        std::string bar;   // part of the message bar's text
        std::string onOk;  // part of what OK in Preferences then says, "" for nothing
    };
    const Case cases[] = {
        {"cut off", "<varnel><settings version=\"" + Version() + "\"><jobSetting>",
         SettingsFile() + "\" is not well-formed XML", "it was kept as"},
        {"out of range",
         "<varnel><settings version=\"" + Version() +
             "\"><jobSetting><chunkSize>5</chunkSize></jobSetting>"
             "</settings></varnel>",
         "\"5\" is out of range (16 to 65536); 16 is used.", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(SettingsFile(), c.file);
        WindowRun run = Start("VARNEL_DRIVER_PREFERENCES=ok");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.seen["Window/MessageBar"].find(c.bar), std::string::npos) << run.seen["Window/MessageBar"];
        if (c.onOk.empty())
            EXPECT_EQ(run.seen.count("Prompt"), 0u) << run.seen["Prompt"];
        else
            EXPECT_NE(run.seen["Prompt"].find(c.onOk), std::string::npos) << run.seen["Prompt"];
        // The file now holds what the window used: the next start says nothing.
        run = Start("");
        EXPECT_EQ(run.seen["Window/MessageBar"], "hidden");
        EXPECT_EQ(run.seen["Preferences/ChunkSize"], c.onOk.empty() ? "16" : "2048");
        std::filesystem::remove(SettingsFile() + ".unreadable");
    }
}

}  // namespace
