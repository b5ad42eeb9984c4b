#include "platform/display.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using platform::DisplayEnvironment;
using platform::DisplayReach;
using testing_support::TempDir;

// A listening socket standing in for a display server; it never accepts, the
// kernel completes the connections on its own.
class Listener {
public:
    // A file socket; kept as a stale file (nothing listening) when stale.
    static Listener File(const std::string& path, bool stale = false)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.data(), path.size());
        Listener l(AF_UNIX, reinterpret_cast<sockaddr*>(&address),
                   static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1));
        if (stale)
            l.Close();
        return l;
    }
    static Listener Abstract(const std::string& name)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        return Listener(AF_UNIX, reinterpret_cast<sockaddr*>(&address),
                        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size()));
    }
    // On 127.0.0.1, at a port the system picks above 6000.
    static Listener Tcp()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return Listener(AF_INET, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    Listener(Listener&& other) noexcept : m_fd(other.m_fd), m_port(other.m_port) { other.m_fd = -1; }
    ~Listener() { Close(); }

    bool Listening() const { return m_fd >= 0; }
    unsigned Port() const { return m_port; }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    Listener(int family, sockaddr* address, socklen_t length) : m_fd(socket(family, SOCK_STREAM, 0))
    {
        if (m_fd < 0 || bind(m_fd, address, length) != 0 || listen(m_fd, 8) != 0) {
            Close();
            return;
        }
        if (family == AF_INET) {
            sockaddr_in bound{};
            socklen_t size = sizeof bound;
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&bound), &size);
            m_port = ntohs(bound.sin_port);
        }
    }
    int m_fd = -1;
    unsigned m_port = 0;
};

DisplayEnvironment X(const std::string& display)
{
    DisplayEnvironment e;
    e.display = display;
    return e;
}

class DisplayProbeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Listening());
        ASSERT_GT(server.Port(), 6000u);
        // The X display whose TCP port is the listener's; its local socket
        // (abstract, as the X server makes it on Linux) is made by the cases.
        n = std::to_string(server.Port() - 6000);
        ASSERT_TRUE(compositor.Listening());
    }
    DisplayEnvironment Wayland(const std::string& name) const
    {
        DisplayEnvironment e;
        e.waylandDisplay = name;
        e.runtimeDir = runtime.Path();
        return e;
    }

    TempDir runtime;
    Listener server = Listener::Tcp();
    Listener compositor = Listener::File(runtime.File("wayland-test"));
    std::string n;
};

TEST_F(DisplayProbeTest, XDisplaysAreReachedTheWayTheClientLibraryNamesThem)
{
    struct Case {
        std::string display;
        bool localServer;  // the abstract socket of display n listens
        DisplayReach expected;
    };
    const Case cases[] = {
        {":" + n, true, DisplayReach::Reachable},
        {":" + n + ".0", true, DisplayReach::Reachable},
        {"unix:" + n, true, DisplayReach::Reachable},
        {"unix/:" + n, true, DisplayReach::Reachable},
        {":" + n, false, DisplayReach::Unreachable},  // the stale DISPLAY of an ssh session
        {"127.0.0.1:" + n + ".0", false, DisplayReach::Reachable},
        {"tcp/127.0.0.1:" + n, false, DisplayReach::Reachable},
        {"nonsense", true, DisplayReach::Unreachable},
        {":x", true, DisplayReach::Unreachable},
        {"host::0", true, DisplayReach::Unreachable},  // DECnet
        {":99999", true, DisplayReach::Unreachable},
        {"/private/tmp/launch/org.x:0", true, DisplayReach::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display);
        std::optional<Listener> local;
        if (c.localServer)
            local.emplace(Listener::Abstract("/tmp/.X11-unix/X" + n));
        const platform::DisplayProbe probe = platform::ProbeDisplay(X(c.display));
        EXPECT_EQ(probe.reach, c.expected);
        EXPECT_EQ(probe.name, c.display);
    }
    // The port of a server that has gone.
    server.Close();
    EXPECT_EQ(platform::ProbeDisplay(X("127.0.0.1:" + n)).reach, DisplayReach::Unreachable);
}

TEST_F(DisplayProbeTest, WaylandSocketsAndThePlatformList)
{
    Listener stale = Listener::File(runtime.File("wayland-stale"), true);
    struct Case {
        const char* what;
        DisplayEnvironment environment;
        DisplayReach expected;
        std::string name;
    };
    DisplayEnvironment noRuntime = Wayland("wayland-test");
    noRuntime.runtimeDir.clear();
    DisplayEnvironment handedOver;
    handedOver.waylandSocket = "3";
    DisplayEnvironment staleBoth = Wayland("wayland-gone");
    staleBoth.display = ":" + n;
    DisplayEnvironment xOnly = X(":" + n);
    xOnly.qpaPlatform = "xcb";
    DisplayEnvironment offscreen = X(":" + n);
    offscreen.qpaPlatform = "offscreen";
    DisplayEnvironment xcbWithoutDisplay;
    xcbWithoutDisplay.qpaPlatform = "xcb";
    DisplayEnvironment listed = Wayland("wayland-gone");
    listed.display = ":" + n;
    listed.qpaPlatform = " wayland-egl:option ; xcb";
    DisplayEnvironment ignoredWayland = Wayland("wayland-test");
    ignoredWayland.display = ":" + n;
    ignoredWayland.qpaPlatform = "xcb";
    DisplayEnvironment defaultName = Wayland("");
    defaultName.qpaPlatform = "wayland";
    const Case cases[] = {
        {"nothing named", DisplayEnvironment(), DisplayReach::None, ""},
        {"compositor listens", Wayland("wayland-test"), DisplayReach::Reachable, "wayland-test"},
        {"by absolute path", Wayland(runtime.File("wayland-test")), DisplayReach::Reachable,
         runtime.File("wayland-test")},
        {"no socket", Wayland("wayland-gone"), DisplayReach::Unreachable, "wayland-gone"},
        {"stale socket file", Wayland("wayland-stale"), DisplayReach::Unreachable, "wayland-stale"},
        {"no runtime folder", noRuntime, DisplayReach::Unreachable, "wayland-test"},
        {"a connection handed over", handedOver, DisplayReach::Unknown, "WAYLAND_SOCKET"},
        {"both stale", staleBoth, DisplayReach::Unreachable, "wayland-gone, :" + n},
        {"xcb asked for, X gone", xOnly, DisplayReach::Unreachable, ":" + n},
        {"xcb asked for, no DISPLAY", xcbWithoutDisplay, DisplayReach::Unreachable, ""},
        {"a platform without a server", offscreen, DisplayReach::Unknown, "offscreen"},
        {"list with options, all gone", listed, DisplayReach::Unreachable, "wayland-gone, :" + n},
        {"a compositor xcb does not use", ignoredWayland, DisplayReach::Unreachable, ":" + n},
        {"the library's default name", defaultName, DisplayReach::Unreachable, "wayland-0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const platform::DisplayProbe probe = platform::ProbeDisplay(c.environment);
        EXPECT_EQ(probe.reach, c.expected);
        EXPECT_EQ(probe.name, c.name);
    }
    // A live X server is enough when the compositor is gone.
    Listener local = Listener::Abstract("/tmp/.X11-unix/X" + n);
    EXPECT_EQ(platform::ProbeDisplay(staleBoth).reach, DisplayReach::Reachable);
}

}  // namespace
