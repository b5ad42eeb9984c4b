#include "app/headless/progress_line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/headless/console_text.h"
#include "platform/terminal.h"

namespace headless {

namespace {

constexpr unsigned kBarCells = 20;
constexpr double kSecondsBeforeEstimate = 2.0;
constexpr unsigned kShortestName = 8;  // a shorter piece of a name tells nothing
const std::string kCut = "...";

struct Piece {
    size_t offset;
    size_t length;
    unsigned columns;
};

// The characters of UTF-8 text with their widths; a byte that is not UTF-8
// stands alone, one column wide.
std::vector<Piece> Pieces(const std::string& text)
{
    std::vector<Piece> pieces;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const int length = text::Utf8SequenceAt(bytes + at, text.size() - at, c);
        const size_t taken = length > 0 ? static_cast<size_t>(length) : 1;
        pieces.push_back({at, taken, length > 0 ? platform::ColumnWidth(c) : 1});
        at += taken;
    }
    return pieces;
}

// The longest start of text within columns.
std::string Head(const std::string& text, const std::vector<Piece>& pieces, unsigned columns)
{
    size_t end = 0;
    unsigned used = 0;
    for (const Piece& piece : pieces) {
        if (used + piece.columns > columns)
            break;
        used += piece.columns;
        end = piece.offset + piece.length;
    }
    return text.substr(0, end);
}

// The longest end of text within columns, not starting on a mark that
// belongs to the character before it.
std::string Tail(const std::string& text, const std::vector<Piece>& pieces, unsigned columns)
{
    size_t first = pieces.size();
    for (unsigned used = 0; first > 0 && used + pieces[first - 1].columns <= columns;)
        used += pieces[--first].columns;
    while (first < pieces.size() && pieces[first].columns == 0)
        ++first;
    return first < pieces.size() ? text.substr(pieces[first].offset) : std::string();
}

std::string Percent(const ProgressState& state)
{
    const unsigned percent =
        state.total ? static_cast<unsigned>(std::min<uint64_t>(uint64_t{state.done} * 100 / state.total, 100)) : 0;
    char buffer[8];
    snprintf(buffer, sizeof buffer, "%3u%%", percent);
    return buffer;
}

std::string Bar(const ProgressState& state)
{
    const unsigned filled =
        state.total
            ? static_cast<unsigned>(std::min<uint64_t>(uint64_t{state.done} * kBarCells / state.total, kBarCells))
            : 0;
    return "[" + std::string(filled, '#') + std::string(kBarCells - filled, '-') + "]";
}

std::string Rate(double perSecond, const char* format)
{
    char buffer[32];
    snprintf(buffer, sizeof buffer, format, perSecond);
    return buffer;
}

}  // namespace

std::string FormatDuration(double seconds)
{
    // Capped well below what the integer holds: an estimate can be any size.
    const double held = seconds > 0 && std::isfinite(seconds) ? std::min(seconds, 1e12) : 0;
    const auto whole = static_cast<unsigned long long>(held);
    char buffer[32];
    if (whole >= 3600)
        snprintf(buffer, sizeof buffer, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60, whole % 60);
    else
        snprintf(buffer, sizeof buffer, "%llu:%02llu", whole / 60, whole % 60);
    return buffer;
}

double SecondsLeft(const ProgressState& state)
{
    if (state.finding || state.done == 0 || state.total < state.done || !(state.seconds >= kSecondsBeforeEstimate))
        return -1;
    return state.seconds * (state.total - state.done) / state.done;
}

std::string FitMiddle(const std::string& text, unsigned columns)
{
    const std::vector<Piece> pieces = Pieces(text);
    unsigned width = 0;
    for (const Piece& piece : pieces)
        width += piece.columns;
    if (width <= columns)
        return text;
    if (columns <= kCut.size())
        return kCut.substr(0, columns);
    const unsigned room = columns - static_cast<unsigned>(kCut.size());
    // The end of a path holds the file name: it gets the larger half.
    const unsigned front = room / 2;
    const std::string head = Head(text, pieces, front);
    return head + kCut + Tail(text, pieces, room - platform::ColumnWidth(head));
}

std::string FormatProgressLine(const ProgressState& state, unsigned columns)
{
    const unsigned limit = columns > 0 ? columns - 1 : 0;
    std::string line = Bar(state) + " " + Percent(state) + "  " +
                       Out(Tr("Console", "%1 files",
                              text::FromUtf8(std::to_string(state.done) + "/" + std::to_string(state.total) +
                                             (state.finding ? "+" : ""))));
    unsigned width = platform::ColumnWidth(line);
    // Later pieces give way first when the terminal is narrow.
    std::vector<std::string> optional;
    std::string times = Out(Tr("Console", "%1 elapsed", text::FromUtf8(FormatDuration(state.seconds))));
    if (const double left = SecondsLeft(state); left >= 0)
        times += ", " + Out(Tr("Console", "%1 left", text::FromUtf8(FormatDuration(left))));
    optional.push_back(times);
    if (state.seconds > 0) {
        optional.push_back(Out(Tr("Console", "%1 files/s", text::FromUtf8(Rate(state.done / state.seconds, "%.1f")))));
        optional.push_back(Rate(state.bytesRead / state.seconds / 1e6, "%.1f MB/s"));
    }
    for (const std::string& piece : optional) {
        const unsigned pieceWidth = platform::ColumnWidth(piece);
        if (width + 2 + pieceWidth > limit)
            break;
        line += "  " + piece;
        width += 2 + pieceWidth;
    }
    if (!state.current.empty() && width + 2 + kShortestName <= limit)
        line += "  " + FitMiddle(state.current, limit - width - 2);
    if (width > limit)
        line = Head(line, Pieces(line), limit);
    return line;
}

}  // namespace headless
