#include "app/headless/headless_reporter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/headless/console_text.h"
#include "app/headless/progress_line.h"
#include "platform/terminal.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/session/varnex_file_info.h"

using headless::Out;
using headless::Term;
using headless::TrH;

namespace {

std::string FormatBytes(uint64_t bytes)
{
    char buffer[32];
    if (bytes < 1024)
        snprintf(buffer, sizeof buffer, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024)
        snprintf(buffer, sizeof buffer, "%.1f KiB", bytes / 1024.0);
    else if (bytes < 1024ull * 1024 * 1024)
        snprintf(buffer, sizeof buffer, "%.1f MiB", bytes / (1024.0 * 1024));
    else
        snprintf(buffer, sizeof buffer, "%.2f GiB", bytes / (1024.0 * 1024 * 1024));
    return buffer;
}

constexpr auto kBarInterval = std::chrono::milliseconds(250);

// What became of a file, in the words of the interface language.
std::u16string ResultWord(VARNEXRESULTSTATE state, VARNEXRESULTOPERATION operation, bool text, bool detectOnly)
{
    switch (state) {
    case VARNEXRESULTSTATE_OK:
        if (operation == VARNEXRESULTOPERATION_CONVERTED)
            return Tr("Console", "Converted");
        if (operation == VARNEXRESULTOPERATION_COPIED)
            return Tr("Console", "Copied");
        if (!text)
            return Tr("Console", "Binary");
        return detectOnly ? Tr("Console", "Detected") : Tr("Console", "Unchanged");
    case VARNEXRESULTSTATE_WARNING:
        return Tr("Console", "Warning");
    case VARNEXRESULTSTATE_NOT_SUPPORTED:
        return Tr("Console", "Not Supported");
    case VARNEXRESULTSTATE_WRITE_ERROR:
        return Tr("Console", "Write Error");
    case VARNEXRESULTSTATE_CANCELLED:
        return Tr("Console", "Cancelled");
    default:
        return Tr("Console", "Conversion Error");
    }
}

}  // namespace

std::string FileLine(VARNEXRESULTSTATE state, VARNEXRESULTOPERATION operation, const CCodepageInfo* info,
                     std::optional<float> confidence, const std::u16string& shown, const std::u16string& message,
                     bool detectOnly)
{
    std::string line = Out(ResultWord(state, operation, info != nullptr, detectOnly)) + "  ";
    line += info ? Out(info->GetCodepageShortName()) : "-";
    if (info && confidence)
        line += " " + Out(CVarnexStandardCSVExporter::FormatConfidence(*confidence));
    line += "  " + Term(shown);
    if (!message.empty())
        line += ": " + Term(message);
    return line;
}

namespace {

// Label and value per row, the values lined up in one column however wide
// the labels of the language are on screen; never narrower than the column
// scripts reading the English table have always seen.
void PrintTable(FILE* f, const std::vector<std::pair<std::u16string, std::string>>& rows)
{
    unsigned widest = 22;
    for (const auto& row : rows)
        widest = std::max(widest, platform::ColumnWidth(Out(row.first)));
    for (const auto& [label, value] : rows) {
        const std::string shown = Out(label);
        fprintf(f, "  %s%s %s\n", shown.c_str(), std::string(widest - platform::ColumnWidth(shown), ' ').c_str(),
                value.c_str());
    }
}

}  // namespace

HeadlessReporter::HeadlessReporter(const HeadlessConsole& console, bool detectOnly, const std::u16string& inputFolder,
                                   Clock clock)
    : m_console(console),
      m_detectOnly(detectOnly),
      m_clock(std::move(clock)),
      m_start(m_clock())
{
    if (m_console.quiet)
        m_console.progressBar = false;
    if (!inputFolder.empty())
        m_prefix = CLongPath(inputFolder).AddBackslash().GetPath();
}

std::u16string HeadlessReporter::Shown(const std::u16string& path) const
{
    if (!m_prefix.empty() && path.size() > m_prefix.size() && path.compare(0, m_prefix.size(), m_prefix) == 0)
        return path.substr(m_prefix.size());
    return path;
}

double HeadlessReporter::Seconds() const
{
    return std::chrono::duration<double>(m_clock() - m_start).count();
}

void HeadlessReporter::Finished(CVarnexFileInfo& record, unsigned total)
{
    ++m_totals.finished;
    m_totals.bytesRead += record.GetBytesIn();
    m_totals.bytesWritten += record.GetBytesOut();
    const VARNEXRESULTSTATE state = record.GetResultState();
    const VARNEXRESULTOPERATION operation = record.GetResultOperation();
    const CCodepageInfo* info = record.GetCodepageInfo();
    if (info && info->GetCodepage() == -1)
        info = nullptr;  // the catalogue's "Binary" entry
    if (!m_detectOnly && state == VARNEXRESULTSTATE_OK && operation == VARNEXRESULTOPERATION_NONE && !info)
        ++m_totals.binary;
    if (state == VARNEXRESULTSTATE_NOT_SUPPORTED && !info)
        ++m_totals.leftAlone;
    if (record.HasReason(OutcomeReason::UnknownText))
        ++m_totals.unknownText;

    const bool problem = state != VARNEXRESULTSTATE_OK;
    if (!problem && (m_console.quiet || (m_console.progressBar && !m_console.verbose)))
        return;
    const std::optional<float> confidence =
        record.GetAllowAutoDetect() ? std::optional<float>(record.GetConfidence()) : std::nullopt;
    const std::string line =
        "[" + std::to_string(m_totals.finished) + "/" + std::to_string(total) + "] " +
        FileLine(state, operation, info, confidence, Shown(record.GetInputFile()), record.GetMessage(), m_detectOnly);
    ClearBar();
    fprintf(m_console.err, "%s\n", line.c_str());
}

void HeadlessReporter::Bar(unsigned done, unsigned total, bool finding, const std::u16string& current)
{
    if (!m_console.progressBar)
        return;
    const auto now = m_clock();
    // Also after a file's line took the bar away: lines may come faster than a terminal should redraw.
    if (m_lastBar && now - *m_lastBar < kBarInterval)
        return;
    m_lastBar = now;
    headless::ProgressState state;
    state.done = done;
    state.total = total;
    state.finding = finding;
    state.seconds = std::chrono::duration<double>(now - m_start).count();
    state.bytesRead = m_totals.bytesRead;
    state.current = Term(Shown(current));
    const unsigned columns = m_console.columns ? m_console.columns : platform::TerminalWidth(m_console.err);
    fprintf(m_console.err, "\r%s\x1b[K", headless::FormatProgressLine(state, columns).c_str());
    fflush(m_console.err);
    m_barShown = true;
}

void HeadlessReporter::ClearBar()
{
    if (m_barShown) {
        fprintf(m_console.err, "\r\x1b[K");
        m_barShown = false;
    }
}

bool HeadlessReporter::PrintSummary(const VARNEXSESSIONSUMMARY& summary, const Ending& ending, int* error) const
{
    if (m_console.quiet)
        return true;  // the exit status and the problem lines say it
    FILE* out = m_console.out;
    const double seconds = Seconds();
    std::vector<std::pair<std::u16string, std::string>> rows;
    const auto row = [&rows](std::u16string label, std::string value) {
        rows.emplace_back(std::move(label), std::move(value));
    };
    row(TrH("Files found"), std::to_string(summary.totalFiles));
    if (m_detectOnly) {
        row(TrH("Files detected"), std::to_string(summary.processedFiles));
    } else {
        row(TrH("Files converted"), std::to_string(summary.convertedFiles));
        row(TrH("Copied unconverted"), std::to_string(summary.copiedFiles));
        row(TrH("Skipped (binary)"), std::to_string(m_totals.binary));
    }
    row(TrH("Warnings"), std::to_string(summary.warningFiles));
    if (m_totals.unknownText > 0)
        row(TrH("Encoding not found"), std::to_string(m_totals.unknownText));
    row(TrH("Errors"), std::to_string(summary.errorFiles));
    if (ending.unreadableFolders > 0)
        row(TrH("Unreadable folders"), std::to_string(ending.unreadableFolders));
    if (m_totals.leftAlone > 0)
        row(TrH("Not files (left alone)"), std::to_string(m_totals.leftAlone));
    if (summary.processedFiles < summary.totalFiles)
        row(TrH("Not processed"), std::to_string(summary.totalFiles - summary.processedFiles));
    row(TrH("Bytes read"), FormatBytes(m_totals.bytesRead));
    if (!m_detectOnly)
        row(TrH("Bytes written"), FormatBytes(m_totals.bytesWritten));
    char elapsed[32], files[32], bytes[32];
    snprintf(elapsed, sizeof elapsed, "%.2f s", seconds);
    snprintf(files, sizeof files, "%.0f", seconds > 0 ? m_totals.finished / seconds : 0.0);
    snprintf(bytes, sizeof bytes, "%.1f MB/s", seconds > 0 ? m_totals.bytesRead / seconds / 1e6 : 0.0);
    row(TrH("Time"),
        std::string(elapsed) + " (" + Out(Tr("Console", "%1 files/s", text::FromUtf8(files))) + ", " + bytes + ")");
    if (ending.report)
        row(TrH("Report"), Term(ending.reportPath) + (ending.reportOk ? "" : "  (" + Out(TrH("incomplete")) + ")"));
    fprintf(out, "%s\n", Out(TrH("Summary")).c_str());
    PrintTable(out, rows);
    if (ending.stoppedByUser)
        fprintf(out, "%s\n", Out(TrH("Stopped before the end.")).c_str());
    errno = 0;
    if (fflush(out) == 0 && !ferror(out))
        return true;
    *error = errno;
    return false;
}
