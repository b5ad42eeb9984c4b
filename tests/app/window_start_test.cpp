#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Before Qt, whose "signals" macro the runner's parameter name would meet.
#include "app/headless/program_runner.h"

#include <QCoreApplication>

#include "app/varnelpro_app.h"
#include "base/text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

class WindowStartTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            if (const char* value = getenv(name))
                saved.emplace_back(name, value);
            unsetenv(name);
        }
    }
    void TearDown() override
    {
        unsetenv("WAYLAND_DISPLAY");
        for (const auto& [name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
    }
    // The start a command line makes in a build with the window.
    static bool Window(const std::string& switches, bool* pathInWindow = nullptr)
    {
        CVarnelProApp app(u" " + text::FromUtf8(switches));
        CVarnelProApp::WindowRunner runner;
        runner.makeApplication = [](int&, char**) -> std::unique_ptr<QCoreApplication> { return nullptr; };
        runner.run = [](CVarnelProApp&) { return 0; };
        app.SetWindowRunner(runner);
        if (pathInWindow)
            *pathInWindow = app.OpensPathInWindow();
        return app.WantsWindow();
    }
    std::vector<std::pair<std::string, std::string>> saved;
};

// A file manager opening a folder or a text file starts "varnelpro -in=PATH"
// (or "varnelpro PATH"):
// the window shows it; anything that asks for a result stays on the command line.
TEST_F(WindowStartTest, APathAloneOpensTheWindowAnythingMoreRunsHeadless)
{
    struct Case {
        const char* switches;
        bool window;
        bool pathInWindow;
    };
    const Case cases[] = {
        {"", true, false},
        {"-in=/srv/docs", true, true},
        {"-in=/srv/docs/notes.txt -locale=de_DE", true, true},
        {"/srv/docs", true, true},
        {"/srv/docs /srv/out", false, false},
        {"-in=/srv/docs -out=/srv/out", false, false},
        {"-in=/srv/docs -d", false, false},
        {"-in=/srv/docs -export=/srv/r.csv", false, false},
        {"-in=-", false, false},
        {"-in=/srv/docs -help", false, true},
    };
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.switches);
        bool pathInWindow = false;
        EXPECT_EQ(Window(c.switches, &pathInWindow), c.window);
        EXPECT_EQ(pathInWindow, c.pathInWindow);
    }
    // Without a display a path alone is what it always was: a run with no output.
    unsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(Window("-in=/srv/docs"));
}

TEST_F(WindowStartTest, APathAloneWithoutADisplayIsRefusedAndWritesNothing)
{
    TempDir dir;
    testing_support::WriteBytes(dir.File("a.txt"), "x\n");
    const testing_support::RunResult run =
        testing_support::RunProgram(dir, "-in=a.txt", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no output"), std::string::npos) << run.err;
}

}  // namespace
