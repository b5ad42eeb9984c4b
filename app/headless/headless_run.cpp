#include "app/headless/headless_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "app/headless/xml_exporter.h"
#include "app/locale/tr.h"
#include "base/text.h"
#include "platform/file_api.h"
#include "platform/native_path.h"
#include "platform/terminal.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/session/job_paths.h"
#include "varnex/session/varnex.h"

namespace {

// Our own texts go out as UTF-8; anything holding a name from disk goes
// through Term, which escapes what a terminal would act on.
std::string Out(const std::u16string& s) { return platform::ToNativePath(s); }
std::string Term(const std::u16string& s) { return text::ForTerminal(s); }

std::u16string TrH(const char* text) { return Tr("Headless", text); }

std::u16string Arg(std::u16string format, const std::u16string& arg)
{
    const size_t at = format.find(u"%1");
    if (at != std::u16string::npos)
        format.replace(at, 2, arg);
    return format;
}

bool Exists(const std::u16string& path, platform::FileStatus& status)
{
    return platform::GetFileStatus(path, &status, true);
}

// The output folder, or where it would be made: each missing folder must be
// creatable under the nearest existing one, which must be a writable folder.
std::u16string CheckOutputFolder(const std::u16string& folder, std::u16string& toCreate)
{
    platform::FileStatus status;
    if (Exists(folder, status)) {
        if (status.type != platform::FileType::Directory)
            return Arg(TrH("output folder is a file: %1"), folder);
        if (!platform::IsWritableDirectory(folder))
            return Arg(TrH("cannot write to output folder: %1"), folder);
        return {};
    }
    CLongPath up(folder);
    while (up.UpOneLevel()) {
        // "file/" would not be found as the file it names.
        const std::u16string ancestor = CLongPath(up).RemoveBackslash().GetPath();
        if (!Exists(ancestor, status))
            continue;
        if (status.type != platform::FileType::Directory)
            return Arg(TrH("output folder is inside a file: %1"), ancestor);
        if (!platform::IsWritableDirectory(ancestor))
            return Arg(TrH("cannot write to output folder: %1"), ancestor);
        toCreate = folder;
        return {};
    }
    return Arg(TrH("cannot write to output folder: %1"), folder);
}

std::u16string CheckExportFile(const std::u16string& path, std::u16string& folderToCreate)
{
    platform::FileStatus status;
    if (Exists(path, status) && status.type == platform::FileType::Directory)
        return Arg(TrH("export file is a folder: %1"), path);
    const std::u16string folder = CLongPath(CLongPath(path).GetDirectory()).RemoveBackslash().GetPath();
    if (std::u16string why = CheckOutputFolder(folder.empty() ? u"/" : folder, folderToCreate); !why.empty())
        return Arg(TrH("cannot write the export file: %1"), path) + u" (" + why + u")";
    return {};
}

}  // namespace

std::u16string PlanHeadlessRun(const CCommandLineOptions& options, HeadlessPlan& plan)
{
    plan = HeadlessPlan{};
    if (!options.inputGiven)
        return TrH("no input folder given");
    platform::FileStatus input;
    if (!Exists(options.inputPath, input))
        return Arg(TrH("input folder does not exist: %1"), options.inputPath);
    const bool folder = input.type == platform::FileType::Directory;
    if (!folder && input.type != platform::FileType::Regular)
        return Arg(TrH("input is neither a file nor a folder: %1"), options.inputPath);
    if (folder) {
        platform::DirectoryReader reader;
        if (!reader.Open(options.inputPath))
            return Arg(TrH("cannot read the input folder: %1"), options.inputPath);
    }
    if (options.mode == CCommandLineOptions::MODE_FILE && folder && !options.detectOnly)
        return Arg(TrH("mode FILE converts one file, but the input is a folder: %1"), options.inputPath);

    if (!options.codepageText.empty()) {
        const int cp = options.inputCodepage;
        if (!options.codepageGiven || CCodepageInfo::GetCodepageInfo(cp) == nullptr ||
            !CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(cp)))
            return Arg(TrH("unknown code page: %1"), options.codepageText);
    }
    if (options.filterGiven && options.filterIsRegex) {
        std::string why;
        if (!CNameFilter::IsValidRegex(options.filter, &why))
            return Arg(TrH("invalid regular expression: %1"), options.filter) + u" (" + text::FromUtf8(why) + u")";
    }

    tagVARNEXBATCHJOBITEM& item = plan.item;
    item.folder = folder;
    item.recursive = options.recursive;
    item.processHiddenFiles = options.hiddenFiles;
    item.writeBom = options.writeBom;
    item.copyUnconverted = options.copyUnconverted;
    item.inputCodepage = options.codepageGiven ? options.inputCodepage : -1;
    item.outputTextFormat = static_cast<CTextFileConverter::OUTPUTTEXTFORMAT>(options.outputFormat);
    item.returnType = static_cast<CTextFileConverter::RETURNTYPE>(options.lineEnding);
    if (options.filterGiven) {
        item.filter.SetFilterString(options.filterIsRegex, options.filter.c_str());
        item.filter.EnableFilter(true);
    }
    item.inputPath = options.inputPath;
    plan.detectOnly = options.detectOnly;

    if (!options.detectOnly) {
        // A conversion without an output would write nothing yet look converted.
        if (!options.outputGiven)
            return options.mode == CCommandLineOptions::MODE_FILE ? TrH("no output file given")
                                                                   : TrH("no output folder given");
        std::u16string outputFolder = options.outputPath;
        if (options.mode == CCommandLineOptions::MODE_FILE) {
            platform::FileStatus out;
            if (Exists(options.outputPath, out) && out.type == platform::FileType::Directory)
                return Arg(TrH("output file is a folder: %1"), options.outputPath);
            if (Exists(options.outputPath, out) && out.device == input.device && out.inode == input.inode)
                return Arg(TrH("output file is the input file: %1"), options.outputPath);
            outputFolder = CLongPath(CLongPath(options.outputPath).GetDirectory()).RemoveBackslash().GetPath();
            item.outputPath = options.outputPath;
        } else if (folder) {
            item.outputPath = options.outputPath;
        } else {
            item.outputPath = CLongPath(options.outputPath).Append(CLongPath(options.inputPath).GetFileName()).GetPath();
            platform::FileStatus out;
            if (Exists(item.outputPath, out) && out.device == input.device && out.inode == input.inode)
                return Arg(TrH("output file is the input file: %1"), item.outputPath);
        }
        if (std::u16string why = CheckOutputFolder(outputFolder.empty() ? u"/" : outputFolder, plan.outputFolderToCreate);
            !why.empty())
            return why;
    }

    if (options.exportType != CCommandLineOptions::EXPORT_NONE) {
        if (options.exportPath.empty())
            return TrH("no export file given");
        if (std::u16string why = CheckExportFile(options.exportPath, plan.exportFolderToCreate); !why.empty())
            return why;
        plan.exportType = options.exportType;
        plan.exportPath = options.exportPath;
    }

    // Nothing may write onto an input or onto the report, however the paths are spelt.
    const JOBPATHCHECK paths = CheckJobPaths(item, plan.exportPath);
    switch (paths.clash) {
    case JOBPATHCHECK::CLASH_INPUT_IN_OUTPUT:
        return platform::ResolvePath(item.inputPath) == platform::ResolvePath(item.outputPath)
                   ? Arg(TrH("the output folder is the input folder: %1"), options.outputPath)
                   : Arg(TrH("the input lies inside the output folder: %1"), options.outputPath);
    case JOBPATHCHECK::CLASH_OUTPUT_IS_INPUT:
        return Arg(TrH("output file is the input file: %1"), item.outputPath);
    case JOBPATHCHECK::CLASH_REPORT_IS_INPUT:
        return Arg(TrH("the export file is an input file: %1"), paths.path);
    case JOBPATHCHECK::CLASH_REPORT_IS_OUTPUT:
        return Arg(TrH("the export file would be replaced by the output of %1"), paths.path);
    case JOBPATHCHECK::CLASH_NONE:
        break;
    }
    plan.outputInsideInput = paths.outputInsideInput;
    return {};
}

namespace {

// Hands finished records and the end of the session to the main thread.
class HeadlessSession : public CVarnex, private HandlerTarget {
public:
    HeadlessSession() : CVarnex(nullptr, nullptr) { RegisterHandlerWnd(this); }
    ~HeadlessSession() override { DisposeVarnex(); }

    // Waits until something happened or the timeout passed; moves the
    // finished records out. True once the session has stopped.
    bool Wait(std::chrono::milliseconds timeout, std::deque<CVarnexFileInfo*>& finished)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] { return m_stopped || !m_finished.empty(); });
        finished.insert(finished.end(), m_finished.begin(), m_finished.end());
        m_finished.clear();
        return m_stopped;
    }
    std::u16string CurrentFile()
    {
        std::lock_guard lock(m_mutex);
        return m_current;
    }

protected:
    void OnFileStartProcessing(CVarnexFileInfo* record) override
    {
        std::lock_guard lock(m_mutex);
        m_current = record->GetInputFile();
    }
    void OnFileProcessed(CVarnexFileInfo* record) override
    {
        std::lock_guard lock(m_mutex);
        m_finished.push_back(record);
        m_changed.notify_one();
    }

private:
    void Post(unsigned, uintptr_t wParam, intptr_t) override
    {
        if (static_cast<VARNEXMESSAGE>(wParam) != VARNEXMESSAGE_STOPPED)
            return;
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_one();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CVarnexFileInfo*> m_finished;
    std::u16string m_current;
    bool m_stopped = false;
};

struct Totals {
    unsigned finished = 0;
    unsigned binary = 0;
    unsigned leftAlone = 0;  // entries that are not files: special files, links to nothing, repeated folders
    uint64_t bytesRead = 0;
    uint64_t bytesWritten = 0;
};

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

class Reporter {
public:
    Reporter(const HeadlessConsole& console, bool detectOnly, const std::u16string& inputFolder)
        : m_console(console), m_detectOnly(detectOnly), m_start(std::chrono::steady_clock::now())
    {
        if (!inputFolder.empty())
            m_prefix = CLongPath(inputFolder).AddBackslash().GetPath();
    }

    // Files below the input folder are shown by their path inside it.
    std::u16string Shown(const std::u16string& path) const
    {
        if (!m_prefix.empty() && path.size() > m_prefix.size() && path.compare(0, m_prefix.size(), m_prefix) == 0)
            return path.substr(m_prefix.size());
        return path;
    }

    void Finished(CVarnexFileInfo& record, unsigned total)
    {
        ++m_totals.finished;
        platform::FileStatus status;
        if (platform::GetFileStatus(record.GetInputFile(), &status) && status.type == platform::FileType::Regular)
            m_totals.bytesRead += status.size;
        const VARNEXRESULTSTATE state = record.GetResultState();
        const VARNEXRESULTOPERATION operation = record.GetResultOperation();
        const CCodepageInfo* info = record.GetCodepageInfo();
        if (info && info->GetCodepage() == -1)
            info = nullptr;  // the catalogue's "Binary" entry
        if (operation != VARNEXRESULTOPERATION_NONE && platform::GetFileStatus(record.GetOutputFile(), &status))
            m_totals.bytesWritten += status.size;
        if (!m_detectOnly && state == VARNEXRESULTSTATE_OK && operation == VARNEXRESULTOPERATION_NONE && !info)
            ++m_totals.binary;
        if (state == VARNEXRESULTSTATE_NOT_SUPPORTED && !info)
            ++m_totals.leftAlone;

        const bool problem = state != VARNEXRESULTSTATE_OK;
        if (m_console.progressBar && !problem)
            return;
        std::string result = Out(CVarnexStandardCSVExporter::GetResultText(state, operation));
        if (state == VARNEXRESULTSTATE_OK && operation == VARNEXRESULTOPERATION_NONE)
            result = info ? (m_detectOnly ? "Detected" : "Unchanged") : "Binary";
        std::string codepage = info ? Out(info->GetCodepageShortName()) : "-";
        if (info && record.GetAllowAutoDetect())
            codepage += " " + Out(CVarnexStandardCSVExporter::FormatConfidence(record.GetConfidence()));
        std::string line = "[" + std::to_string(m_totals.finished) + "/" + std::to_string(total) + "] " + result +
                           "  " + codepage + "  " + Term(Shown(record.GetInputFile()));
        const std::u16string message = record.GetMessage();
        if (!message.empty())
            line += ": " + Term(message);
        ClearBar();
        fprintf(m_console.err, "%s\n", line.c_str());
    }

    void Bar(unsigned done, unsigned total, bool finding, const std::u16string& current)
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
        const std::string line = head + Tail(Term(Shown(current)), width > strlen(head) + 1 ? width - strlen(head) - 1 : 0);
        fprintf(m_console.err, "\r%s\x1b[K", line.c_str());
        fflush(m_console.err);
        m_barShown = true;
    }

    void ClearBar()
    {
        if (m_barShown) {
            fprintf(m_console.err, "\r\x1b[K");
            m_barShown = false;
        }
    }

    const Totals& GetTotals() const { return m_totals; }
    double Seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    HeadlessConsole m_console;
    bool m_detectOnly;
    Totals m_totals;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastBar{};
    bool m_barShown = false;
    std::u16string m_prefix;
};

void PrintRow(FILE* f, const std::u16string& label, const std::string& value)
{
    fprintf(f, "  %-22s %s\n", Out(label).c_str(), value.c_str());
}

}  // namespace

int RunHeadless(const CCommandLineOptions& options, const VARNEXJOBSETTING& jobSetting, const HeadlessConsole& console)
{
    HeadlessPlan plan;
    if (std::u16string why = PlanHeadlessRun(options, plan); !why.empty()) {
        fprintf(console.err, "varnelpro: %s\n", Term(why).c_str());
        return HEADLESS_EXIT_BAD_START;
    }
    for (const std::u16string& folder : {plan.outputFolderToCreate, plan.exportFolderToCreate}) {
        if (!folder.empty() && !CLongPath(folder).AddBackslash().EnsureDirectoryExists()) {
            fprintf(console.err, "varnelpro: %s\n", Term(Arg(TrH("cannot write to output folder: %1"), folder)).c_str());
            return HEADLESS_EXIT_BAD_START;
        }
    }

    if (plan.outputInsideInput)
        fprintf(console.err, "varnelpro: %s\n",
                Out(TrH("the output folder lies inside the input folder: it is left out of the walk, and a file "
                        "in it is replaced where an input of the same name is converted"))
                    .c_str());

    if (!plan.detectOnly) {
        // Temporary files of a run that was killed before it could remove them.
        const bool folder = plan.item.folder;
        const std::u16string outputFolder =
            folder ? plan.item.outputPath
                   : CLongPath(CLongPath(plan.item.outputPath).GetDirectory()).RemoveBackslash().GetPath();
        for (const std::u16string& stale : CAtomicOutputFile::RemoveStaleTemporaryFiles(outputFolder, folder))
            fprintf(console.err, "varnelpro: %s\n",
                    Term(Arg(TrH("removed a temporary file left by an interrupted run: %1"), stale)).c_str());
    }

    VARNEXJOBSETTING setting = jobSetting;
    setting.detectOnly = plan.detectOnly;
    setting.Clamp();

    std::unique_ptr<CVarnexResultExporter> exporter;
    const auto encoding = static_cast<TEXTENCODING>(options.exportEncoding);
    if (plan.exportType == CCommandLineOptions::EXPORT_CSV)
        exporter = std::make_unique<CVarnexStandardCSVExporter>(plan.exportPath.c_str(), encoding, options.exportBom,
                                                                setting.writeBufferSize);
    else if (plan.exportType == CCommandLineOptions::EXPORT_XML)
        exporter = std::make_unique<CVarnexXMLExporter>(plan.exportPath.c_str(), encoding, options.exportBom);

    platform::StopSignals stopSignals;
    HeadlessSession session;
    if (exporter)
        session.SetResultExporter(exporter.get(), false);
    session.PrepareJob(plan.item);
    if (!session.Start(setting)) {
        fprintf(console.err, "varnelpro: %s\n", Out(TrH("the session could not start")).c_str());
        return HEADLESS_EXIT_BAD_START;
    }

    Reporter reporter(console, plan.detectOnly, plan.item.folder ? plan.item.inputPath : std::u16string());
    bool stopRequested = false;
    std::deque<CVarnexFileInfo*> finished;
    VARNEXSESSIONSUMMARY summary;
    for (bool stopped = false; !stopped;) {
        stopped = session.Wait(std::chrono::milliseconds(100), finished);
        if (stopSignals.Requested() && !stopRequested) {
            stopRequested = true;
            reporter.ClearBar();
            fprintf(console.err, "%s\n", Out(TrH("Stopping...")).c_str());
            session.Stop();
        }
        session.GetSessionSummary(summary);
        for (CVarnexFileInfo* record : finished)
            reporter.Finished(*record, summary.totalFiles);
        finished.clear();
        reporter.Bar(summary.processedFiles, summary.totalFiles, session.HasIncomingJob(),
                     session.CurrentFile());
    }
    reporter.ClearBar();
    session.GetSessionSummary(summary);
    const Totals& totals = reporter.GetTotals();
    const unsigned unreadable = session.GetUnreadableFolderCount();
    const bool userStop = session.GetStopReason() == VARNEXSESSIONSTOPREASON_USER;
    const bool exportOk = !exporter || session.IsResultExportOk();

    FILE* out = console.out;
    const double seconds = reporter.Seconds();
    fprintf(out, "%s\n", Out(TrH("Summary")).c_str());
    PrintRow(out, TrH("Files found"), std::to_string(summary.totalFiles));
    if (plan.detectOnly) {
        PrintRow(out, TrH("Files detected"), std::to_string(summary.processedFiles));
    } else {
        PrintRow(out, TrH("Files converted"), std::to_string(summary.convertedFiles));
        PrintRow(out, TrH("Copied unconverted"), std::to_string(summary.copiedFiles));
        PrintRow(out, TrH("Skipped (binary)"), std::to_string(totals.binary));
    }
    PrintRow(out, TrH("Warnings"), std::to_string(summary.warningFiles));
    PrintRow(out, TrH("Errors"), std::to_string(summary.errorFiles));
    if (unreadable > 0)
        PrintRow(out, TrH("Unreadable folders"), std::to_string(unreadable));
    if (totals.leftAlone > 0)
        PrintRow(out, TrH("Not files (left alone)"), std::to_string(totals.leftAlone));
    if (summary.processedFiles < summary.totalFiles)
        PrintRow(out, TrH("Not processed"), std::to_string(summary.totalFiles - summary.processedFiles));
    PrintRow(out, TrH("Bytes read"), FormatBytes(totals.bytesRead));
    if (!plan.detectOnly)
        PrintRow(out, TrH("Bytes written"), FormatBytes(totals.bytesWritten));
    char timeText[96];
    snprintf(timeText, sizeof timeText, "%.2f s (%.0f files/s, %.1f MB/s)", seconds,
             seconds > 0 ? totals.finished / seconds : 0.0, seconds > 0 ? totals.bytesRead / seconds / 1e6 : 0.0);
    PrintRow(out, TrH("Time"), timeText);
    if (exporter)
        PrintRow(out, TrH("Report"), Term(plan.exportPath) + (exportOk ? "" : "  (" + Out(TrH("incomplete")) + ")"));
    if (userStop)
        fprintf(out, "%s\n", Out(TrH("Stopped before the end.")).c_str());
    if (!exportOk)
        fprintf(console.err, "varnelpro: %s\n", Term(Arg(TrH("cannot write the export file: %1"), plan.exportPath)).c_str());
    fflush(out);

    const bool clean = !userStop && exportOk && unreadable == 0 && summary.warningFiles == 0 &&
                       summary.errorFiles == 0 && summary.processedFiles == summary.totalFiles;
    return clean ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
}

void PrintUsage(FILE* to)
{
    const std::u16string text = TrH(
        "Usage: varnelpro -in=<folder or file> -out=<folder> [switches]\n"
        "Converts text files of any code page or Unicode form into one Unicode form.\n"
        "\n"
        "  -in=PATH, -i=PATH     input folder or file (relative to the current folder)\n"
        "  -out=PATH, -o=PATH    output folder (mode FILE: output file); mirrors the input tree\n"
        "  -r                    include subfolders\n"
        "  -h                    include hidden files and folders\n"
        "  -c                    copy files that are not converted (binary) to the output\n"
        "  -d                    detect only: report each file's encoding, write nothing\n"
        "  -enc=FORMAT           UTF8 (default), UTF16, UTF16LE, UTF16BE, UTF32, UTF32LE, UTF32BE, 3412, 2143\n"
        "  -bom=yes|no           write a byte order mark (default yes)\n"
        "  -rt=CRLF|CR|LF        line endings (default: keep)\n"
        "  -cp=NUMBER            read every file in this code page instead of detecting\n"
        "  -wf=PATTERNS          only files matching these wildcards (\"*.txt;*.csv\")\n"
        "  -rf=REGEX             only files whose name matches this regular expression\n"
        "  -mode=FILE            convert the single file -in into the file -out\n"
        "  -export=FILE          write a report of every file\n"
        "  -exporttype=CSV|XML   report format (default CSV)\n"
        "  -exportenc=FORMAT     report encoding: UTF8 (default), UTF16LE, UTF16BE, UTF32LE, UTF32BE\n"
        "  -exportbom=yes|no     report byte order mark (default yes)\n"
        "  -CmdFile=FILE         read the switches from the first line of FILE\n"
        "  -help, -?             show this text\n"
        "\n"
        "Switches start with '-' or '/'; values follow '=' or ':'. Exit status: 0 all files OK,\n"
        "1 some files ended with a warning or an error (or the run was stopped), 2 the run\n"
        "could not start (nothing was changed).\n");
    fputs(Out(text).c_str(), to);
}
