#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

// Before Qt, whose "signals" macro the runner's parameter name would meet.
#include "app/headless/program_runner.h"

#include <QCoreApplication>

#include "app/varnelpro_app.h"
#include "base/text.h"
#include "platform/display.h"
#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;

constexpr bool HasWindow()
{
#ifdef VARNELPRO_HAS_WINDOW
    return true;
#else
    return false;
#endif
}

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
        unsetenv("QT_QPA_PLATFORM");
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
    // A platform with no server to reach: the window opens.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.switches);
        bool pathInWindow = false;
        EXPECT_EQ(Window(c.switches, &pathInWindow), c.window);
        EXPECT_EQ(pathInWindow, c.pathInWindow);
    }
    // Without a display a path alone is what it always was: a run with no output.
    unsetenv("QT_QPA_PLATFORM");
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

// A display named but not there (the stale DISPLAY of an ssh session, a
// compositor that has gone) ends like no display at all: one line, status 2,
// never Qt's abort. Where the probe cannot judge, Qt's own failure is caught.
TEST_F(WindowStartTest, ADisplayThatCannotBeOpenedEndsInOneLine)
{
    TempDir dir;
    std::filesystem::create_directories(dir.File("run"));
    // A display number nothing serves here.
    int n = 99;
    platform::DisplayEnvironment x;
    for (x.display = ":99"; platform::ProbeDisplay(x).reach != platform::DisplayReach::Unreachable;)
        x.display = ":" + std::to_string(++n);
    // A socket that takes connections where no compositor speaks: Qt's choice here (xcb) still fails.
    const std::string fake = dir.File("run/wayland-fake");
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, fake.c_str(), fake.size());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listening, 4), 0);

    struct Case {
        std::string environment;
        std::string said;
    };
    const std::string runtime = "XDG_RUNTIME_DIR='" + dir.File("run") + "' ";
    const Case cases[] = {
        {"DISPLAY=" + x.display, "the display \"" + x.display + "\" cannot be opened"},
        {"DISPLAY=127.0.0.1" + x.display, "the display \"127.0.0.1" + x.display + "\" cannot be opened"},
        {runtime + "WAYLAND_DISPLAY=wayland-gone", "the display \"wayland-gone\" cannot be opened"},
        {runtime + "QT_QPA_PLATFORM=wayland", "the display \"wayland-0\" cannot be opened"},
        {"QT_QPA_PLATFORM=nosuchplatform", "the window cannot be loaded (Could not find the Qt platform plugin"},
        {runtime + "WAYLAND_DISPLAY=wayland-fake", "the window cannot be loaded ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.environment);
        for (const char* args : {"", "-in=run"}) {
            const testing_support::RunResult run = testing_support::RunProgram(
                dir, args, "env -u XDG_SESSION_TYPE LC_ALL=C.UTF-8 LANGUAGE= " + c.environment);
            EXPECT_EQ(run.status, 2) << run.err;
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            // A path alone without a window is a run that lacks its output folder.
            if (*args == '\0') {
                // A program built without the window never looks for a display.
                const std::string said = HasWindow() ? c.said : "no display for the window";
                EXPECT_EQ(run.err.rfind("varnelpro: " + said, 0), 0u) << run.err;
            }
        }
    }
    close(listening);
}

}  // namespace
