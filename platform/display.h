#pragma once

#include <chrono>
#include <string>

// Whether a window can open on the display the environment names, asked
// before Qt is: Qt ends the process (abort) when no platform it tries can
// reach its server, and a stale DISPLAY in an ssh session is common.
namespace platform {

// The variables Qt reads to choose and reach a display; empty means unset.
struct DisplayEnvironment {
    std::string display;         // DISPLAY: ":0", "unix:1.0", "host:10.0", "[::1]:0" ...
    std::string waylandDisplay;  // WAYLAND_DISPLAY: a socket name in runtimeDir, or a path
    std::string waylandSocket;   // WAYLAND_SOCKET: a connection already open
    std::string qpaPlatform;     // QT_QPA_PLATFORM: "xcb", "wayland;xcb", "offscreen" ...
    std::string runtimeDir;      // XDG_RUNTIME_DIR

    static DisplayEnvironment FromProcess();
};

enum class DisplayReach {
    None,         // no display is named at all
    Reachable,    // a display server accepted a connection
    Unreachable,  // every display named leads nowhere: nothing accepts a connection there
    Unknown,      // a platform without a server, or a form this probe cannot judge: Qt tries
};

struct DisplayProbe {
    DisplayReach reach = DisplayReach::None;
    std::string name;  // the displays tried, for messages (":99", "wayland-1, :0"); empty when none is named
};

// Connects to the X server's socket (abstract and file for ":n", TCP port
// 6000 + n for "host:n") and to the Wayland compositor's socket, closing each
// connection at once; tcpTimeout bounds a TCP connect to a host that does
// not answer, which then counts as Unknown. Only names the platform list
// (QT_QPA_PLATFORM) would use are tried; without one, whichever is set.
DisplayProbe ProbeDisplay(const DisplayEnvironment& environment,
                          std::chrono::milliseconds tcpTimeout = std::chrono::seconds(3));

}  // namespace platform
