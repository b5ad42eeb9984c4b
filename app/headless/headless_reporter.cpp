#include "app/headless/headless_reporter.h"

#include <cstdio>
#include <cstring>

#include "app/headless/console_text.h"
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

// The last `width` bytes of s, starting at a character boundary, with "..." in front when cut.
std::string Tail(const std::string& s, size_t width)
{
    if (s.size() <= width)
        return s;
    size_t at = s.size() - (width > 3 ? width - 3 : 0);
    while (at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80)
        ++at;
    return "..." + s.substr(at);
}

void PrintRow(FILE* f, const std::u16string& label, const std::string& value)
{
    fprintf(f, "  %-22s %s\n", Out(label).c_str(), value.c_str());
}

}  // namespace

HeadlessReporter::HeadlessReporter(const HeadlessConsole& console, bool detectOnly, const std::u16string& inputFolder)
    : m_console(console), m_detectOnly(detectOnly), m_start(std::chrono::steady_clock::now())
{
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
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
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
    if (record.HasReason(VARNEXREASON_UNKNOWN_TEXT))
        ++m_totals.unknownText;

    const bool problem = state != VARNEXRESULTSTATE_OK;
    if (m_console.progressBar && !problem)
        return;
    std::string result = Out(CVarnexStandardCSVExporter::GetResultText(state, operation));
    if (state == VARNEXRESULTSTATE_OK && operation == VARNEXRESULTOPERATION_NONE)
        result = info ? (m_detectOnly ? "Detected" : "Unchanged") : "Binary";
    std::string codepage = info ? Out(info->GetCodepageShortName()) : "-";
    if (info && record.GetAllowAutoDetect())
        codepage += " " + Out(CVarnexStandardCSVExporter::FormatConfidence(record.GetConfidence()));
    std::string line = "[" + std::to_string(m_totals.finished) + "/" + std::to_string(total) + "] " + result + "  " +
                       codepage + "  " + Term(Shown(record.GetInputFile()));
    const std::u16string message = record.GetMessage();
    if (!message.empty())
        line += ": " + Term(message);
    ClearBar();
    fprintf(m_console.err, "%s\n", line.c_str());
}

void HeadlessReporter::Bar(unsigned done, unsigned total, bool finding, const std::u16string& current)
{
    if (!m_console.progressBar)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastBar < std::chrono::milliseconds(100))
        return;
    m_lastBar = now;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    const unsigned width = platform::TerminalWidth(m_console.err);
    const unsigned barWidth = 20;
    const unsigned filled = total ? static_cast<unsigned>(uint64_t{done} * barWidth / total) : 0;
    char head[128];
    snprintf(head, sizeof head, "[%s%s] %u/%u%s files  %.1f MB/s  ", std::string(filled, '#').c_str(),
             std::string(barWidth - filled, '-').c_str(), done, total, finding ? "+" : "",
             seconds > 0 ? m_totals.bytesRead / seconds / 1e6 : 0.0);
    const size_t room = width > strlen(head) + 1 ? width - strlen(head) - 1 : 0;
    const std::string line = head + Tail(Term(Shown(current)), room);
    fprintf(m_console.err, "\r%s\x1b[K", line.c_str());
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

void HeadlessReporter::PrintSummary(const VARNEXSESSIONSUMMARY& summary, const Ending& ending) const
{
    FILE* out = m_console.out;
    const double seconds = Seconds();
    fprintf(out, "%s\n", Out(TrH("Summary")).c_str());
    PrintRow(out, TrH("Files found"), std::to_string(summary.totalFiles));
    if (m_detectOnly) {
        PrintRow(out, TrH("Files detected"), std::to_string(summary.processedFiles));
    } else {
        PrintRow(out, TrH("Files converted"), std::to_string(summary.convertedFiles));
        PrintRow(out, TrH("Copied unconverted"), std::to_string(summary.copiedFiles));
        PrintRow(out, TrH("Skipped (binary)"), std::to_string(m_totals.binary));
    }
    PrintRow(out, TrH("Warnings"), std::to_string(summary.warningFiles));
    if (m_totals.unknownText > 0)
        PrintRow(out, TrH("Encoding not found"), std::to_string(m_totals.unknownText));
    PrintRow(out, TrH("Errors"), std::to_string(summary.errorFiles));
    if (ending.unreadableFolders > 0)
        PrintRow(out, TrH("Unreadable folders"), std::to_string(ending.unreadableFolders));
    if (m_totals.leftAlone > 0)
        PrintRow(out, TrH("Not files (left alone)"), std::to_string(m_totals.leftAlone));
    if (summary.processedFiles < summary.totalFiles)
        PrintRow(out, TrH("Not processed"), std::to_string(summary.totalFiles - summary.processedFiles));
    PrintRow(out, TrH("Bytes read"), FormatBytes(m_totals.bytesRead));
    if (!m_detectOnly)
        PrintRow(out, TrH("Bytes written"), FormatBytes(m_totals.bytesWritten));
    char timeText[96];
    snprintf(timeText, sizeof timeText, "%.2f s (%.0f files/s, %.1f MB/s)", seconds,
             seconds > 0 ? m_totals.finished / seconds : 0.0, seconds > 0 ? m_totals.bytesRead / seconds / 1e6 : 0.0);
    PrintRow(out, TrH("Time"), timeText);
    if (ending.report)
        PrintRow(out, TrH("Report"), Term(ending.reportPath) + (ending.reportOk ? "" : "  (" + Out(TrH("incomplete")) + ")"));
    if (ending.stoppedByUser)
        fprintf(out, "%s\n", Out(TrH("Stopped before the end.")).c_str());
    fflush(out);
}
