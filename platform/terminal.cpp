#include "platform/terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <iterator>

#include "platform/temporary_files.h"

namespace platform {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
std::atomic<bool> g_stopRequested{false};
struct sigaction g_previous[std::size(kStopSignals)];

void OnStopSignal(int signal)
{
    if (!g_stopRequested.exchange(true))
        return;
    // The second signal ends the program at once, but never leaves a
    // half-written temporary file behind.
    RemoveTemporaryFilesNow();
    _exit(128 + signal);
}

}  // namespace

bool IsTerminal(FILE* stream)
{
    return stream != nullptr && isatty(fileno(stream)) != 0;
}

unsigned TerminalWidth(FILE* stream)
{
    struct winsize size = {};
    if (stream != nullptr && ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col >= 20)
        return size.ws_col;
    return 80;
}

StopSignals::StopSignals()
{
    g_stopRequested.store(false);
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &action, &g_previous[i]);
}

StopSignals::~StopSignals()
{
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &g_previous[i], nullptr);
}

bool StopSignals::Requested() const
{
    return g_stopRequested.load();
}

}  // namespace platform
