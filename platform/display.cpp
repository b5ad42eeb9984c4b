#include "platform/display.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// What a connect error says about the server: gone for good, or not known.
DisplayReach ReachAfter(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ECONNREFUSED:
    case EACCES:
    case EPERM:
    case ENAMETOOLONG:
    case EPROTOTYPE:  // a socket of another kind
    case ENOTSOCK:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ECONNRESET:
        return DisplayReach::Unreachable;
    default:
        return DisplayReach::Unknown;
    }
}

// address already holds the name; length counts the bytes used.
DisplayReach ConnectLocal(const sockaddr_un& address, socklen_t length)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return DisplayReach::Unknown;
    int error = 0;
    while (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    close(fd);
    return error == 0 ? DisplayReach::Reachable : ReachAfter(error);
}

DisplayReach ConnectPath(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return DisplayReach::Unreachable;  // the client library cannot name it either
    std::memcpy(address.sun_path, path.data(), path.size());
    return ConnectLocal(address, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1));
}

// Linux's abstract names: a leading zero byte, no file.
DisplayReach ConnectAbstract(const std::string& name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() + 1 > sizeof address.sun_path)
        return DisplayReach::Unreachable;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return ConnectLocal(address, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size()));
}

// Every address of the host in turn, within one time budget; a host that
// does not answer in time is Unknown (a slow link may still carry a window).
DisplayReach ConnectTcp(const std::string& host, unsigned port, std::chrono::milliseconds timeout)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int lookup = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (lookup != 0)
        return lookup == EAI_NONAME || lookup == EAI_FAIL ? DisplayReach::Unreachable : DisplayReach::Unknown;
    const Clock::time_point deadline = Clock::now() + timeout;
    DisplayReach reach = DisplayReach::Unreachable;
    for (const addrinfo* a = found; a != nullptr && reach != DisplayReach::Reachable; a = a->ai_next) {
        const int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        int error = 0;
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS || error == EINTR) {
                pollfd waiting{fd, POLLOUT, 0};
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                int ready = 0;
                do
                    ready = poll(&waiting, 1, static_cast<int>(left > 0 ? left : 0));
                while (ready < 0 && errno == EINTR);
                socklen_t size = sizeof error;
                if (ready <= 0)
                    error = ETIMEDOUT;
                else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                    error = errno;
            }
        }
        close(fd);
        const DisplayReach one = error == 0 ? DisplayReach::Reachable : ReachAfter(error);
        if (one != DisplayReach::Unreachable)
            reach = one;
    }
    freeaddrinfo(found);
    return reach;
}

bool AllDigits(std::string_view s)
{
    if (s.empty() || s.size() > 5)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// [protocol/]host:display[.screen], the way the X client library reads it.
DisplayReach ProbeX(const std::string& display, std::chrono::milliseconds tcpTimeout)
{
    if (display.empty())
        return DisplayReach::Unreachable;
    if (display.front() == '/')
        return DisplayReach::Unknown;  // a socket path (launchd style): left to the library
    std::string_view rest = display;
    std::string_view protocol;
    const size_t colon = rest.rfind(':');
    const size_t slash = rest.find('/');
    if (slash != std::string_view::npos && (colon == std::string_view::npos || slash < colon)) {
        protocol = rest.substr(0, slash);
        rest.remove_prefix(slash + 1);
    }
    const size_t last = rest.rfind(':');
    if (last == std::string_view::npos)
        return DisplayReach::Unreachable;
    std::string_view host = rest.substr(0, last);
    std::string_view number = rest.substr(last + 1);
    if (const size_t dot = number.find('.'); dot != std::string_view::npos)
        number = number.substr(0, dot);
    if (!host.empty() && host.back() == ':')
        return DisplayReach::Unreachable;  // DECnet, which the library does not speak
    if (!AllDigits(number))
        return DisplayReach::Unreachable;
    const unsigned n = static_cast<unsigned>(std::stoul(std::string(number)));
    if (host.empty() || host == "unix" || protocol == "unix" || protocol == "local") {
        const std::string socketName = "/tmp/.X11-unix/X" + std::to_string(n);
        const DisplayReach abstract = ConnectAbstract(socketName);
        if (abstract == DisplayReach::Reachable)
            return abstract;
        const DisplayReach file = ConnectPath(socketName);
        return file == DisplayReach::Unreachable ? abstract : file;
    }
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (6000 + n > 65535)
        return DisplayReach::Unreachable;
    return ConnectTcp(std::string(host), 6000 + n, tcpTimeout);
}

std::string WaylandName(const DisplayEnvironment& environment)
{
    return environment.waylandDisplay.empty() ? "wayland-0" : environment.waylandDisplay;
}

DisplayReach ProbeWayland(const DisplayEnvironment& environment)
{
    if (!environment.waylandSocket.empty())
        return DisplayReach::Unknown;  // handed an open connection: nothing to connect to
    const std::string name = WaylandName(environment);
    if (name.front() == '/')
        return ConnectPath(name);
    // Without the runtime folder the client library has no place to look.
    if (environment.runtimeDir.empty())
        return DisplayReach::Unreachable;
    return ConnectPath(environment.runtimeDir + "/" + name);
}

// The result of several tries: one server that answers is enough; one that
// could not be judged leaves it to Qt.
void Combine(DisplayReach& sum, DisplayReach one)
{
    if (sum == DisplayReach::Reachable || one == DisplayReach::Reachable)
        sum = DisplayReach::Reachable;
    else if (sum == DisplayReach::Unknown || one == DisplayReach::Unknown)
        sum = DisplayReach::Unknown;
    else
        sum = DisplayReach::Unreachable;
}

}  // namespace

DisplayEnvironment DisplayEnvironment::FromProcess()
{
    DisplayEnvironment environment;
    environment.display = Variable("DISPLAY");
    environment.waylandDisplay = Variable("WAYLAND_DISPLAY");
    environment.waylandSocket = Variable("WAYLAND_SOCKET");
    environment.qpaPlatform = Variable("QT_QPA_PLATFORM");
    environment.runtimeDir = Variable("XDG_RUNTIME_DIR");
    return environment;
}

DisplayProbe ProbeDisplay(const DisplayEnvironment& environment, std::chrono::milliseconds tcpTimeout)
{
    bool x = false;
    bool wayland = false;
    if (!environment.qpaPlatform.empty()) {
        // "name[:options]" entries separated by ';', tried in order by Qt.
        std::string_view list = environment.qpaPlatform;
        while (!list.empty()) {
            const size_t end = list.find(';');
            std::string_view entry = list.substr(0, end);
            list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
            entry = entry.substr(0, entry.find(':'));
            while (!entry.empty() && entry.front() == ' ')
                entry.remove_prefix(1);
            while (!entry.empty() && entry.back() == ' ')
                entry.remove_suffix(1);
            if (entry.empty())
                continue;
            if (entry == "xcb")
                x = true;
            else if (entry.substr(0, 7) == "wayland")
                wayland = true;
            else
                return {DisplayReach::Unknown, std::string(entry)};  // offscreen, vnc, eglfs ...: no server here
        }
        if (!x && !wayland)
            return {DisplayReach::Unknown, environment.qpaPlatform};
    } else {
        x = !environment.display.empty();
        wayland = !environment.waylandDisplay.empty() || !environment.waylandSocket.empty();
        if (!x && !wayland)
            return {DisplayReach::None, ""};
    }
    DisplayProbe probe{DisplayReach::Unreachable, ""};
    if (wayland) {
        Combine(probe.reach, ProbeWayland(environment));
        probe.name = environment.waylandSocket.empty() ? WaylandName(environment) : "WAYLAND_SOCKET";
    }
    if (x && probe.reach != DisplayReach::Reachable) {
        Combine(probe.reach, ProbeX(environment.display, tcpTimeout));
        if (!environment.display.empty())
            probe.name += (probe.name.empty() ? "" : ", ") + environment.display;
    }
    return probe;
}

}  // namespace platform
