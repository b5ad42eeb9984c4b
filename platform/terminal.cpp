#include "platform/terminal.h"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <iterator>

#include <unicode/uchar.h>

#include "base/text.h"

#include "platform/file_api.h"
#include "platform/temporary_files.h"

namespace platform {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
std::atomic<bool> g_stopRequested{false};
struct sigaction g_previous[std::size(kStopSignals)];

void OnStopSignal(int signal)
{
    // A closed pipe stops the run as a first signal does; the writes that
    // meet the closed pipe after it fail with EPIPE and change nothing more.
    if (!g_stopRequested.exchange(true)) {
        InterruptWaitingReads(true);
        return;
    }
    if (signal == SIGPIPE)
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

unsigned ColumnWidth(char32_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return 0;
    const auto category = static_cast<UCharCategory>(u_charType(static_cast<UChar32>(c)));
    if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || (category == U_FORMAT_CHAR && c != 0xAD) ||
        (c >= 0x1160 && c <= 0x11FF))  // Jamo joining a syllable
        return 0;
    const int width = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_EAST_ASIAN_WIDTH);
    return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

unsigned ColumnWidth(std::string_view utf8)
{
    unsigned columns = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    for (size_t at = 0; at < utf8.size();) {
        char32_t c = 0;
        const int length = text::Utf8SequenceAt(bytes + at, utf8.size() - at, c);
        if (length <= 0) {
            ++columns;
            ++at;
            continue;
        }
        columns += ColumnWidth(c);
        at += static_cast<size_t>(length);
    }
    return columns;
}

StopSignals::StopSignals()
{
    g_stopRequested.store(false);
    InterruptWaitingReads(false);
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
