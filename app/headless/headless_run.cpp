#include "app/headless/headless_run.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "app/headless/console_text.h"
#include "app/headless/headless_reporter.h"
#include "app/headless/stream_run.h"
#include "app/options/command_line_switches.h"
#include "app/options/program_version.h"
#include "codecs/codepage.h"
#include "platform/file_api.h"
#include "platform/terminal.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/export/json_exporter.h"
#include "varnex/export/xml_exporter.h"
#include "varnex/session/session_start.h"
#include "varnex/session/varnex.h"

using headless::Arg;
using headless::Out;
using headless::Term;
using headless::TrH;

namespace {

// Hands finished records and the end of the session to the main thread.
class HeadlessFollower : public SessionObserver {
public:
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

    void OnFileStartProcessing(CVarnexFileInfo* record) override
    {
        std::lock_guard lock(m_mutex);
        m_current = record->GetInputFile();
    }
    void OnFileProcessed(CVarnexFileInfo* record) override
    {
        std::lock_guard lock(m_mutex);
        m_finished.push_back(record);
        // The main thread looks every 100 ms anyway: waking it for each of
        // thousands of small files would cost the workers more than the files.
        if (m_finished.size() % kWakeEvery == 0)
            m_changed.notify_one();
    }

    void OnSessionStopped(VARNEXSESSIONSTOPREASON&) override
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_one();
    }

private:
    static constexpr size_t kWakeEvery = 256;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<CVarnexFileInfo*> m_finished;
    std::u16string m_current;
    bool m_stopped = false;
};

// The report the options ask for, or null.
std::unique_ptr<CVarnexResultExporter> MakeExporter(const CCommandLineOptions& options, const HeadlessPlan& plan,
                                                    const VARNEXJOBSETTING& setting)
{
    const TEXTENCODING encoding = options.exportEncoding;
    // A report to be joined to others holds no BOM but at its start: the first, headed one.
    const bool concatenable = !options.exportHeader || options.shard.has_value();
    if (plan.exportType == CCommandLineOptions::EXPORT_CSV) {
        auto csv = std::make_unique<CVarnexDetailedCSVExporter>(
            plan.exportPath.c_str(), encoding, options.exportBom && options.exportHeader, setting.writeBufferSize);
        if (concatenable)
            csv->SetConcatenable(options.exportHeader);
        return csv;
    }
    if (plan.exportType == CCommandLineOptions::EXPORT_XML)
        return std::make_unique<CVarnexXMLExporter>(plan.exportPath.c_str(), encoding, options.exportBom);
    if (plan.exportType == CCommandLineOptions::EXPORT_JSON) {
        CVarnexJSONExporter::RunInfo run{ProgramVersion(), options.commandLine, setting, plan.item.options,
                                         plan.item.folder};
        auto json =
            std::make_unique<CVarnexJSONExporter>(plan.exportPath.c_str(), setting.writeBufferSize, std::move(run));
        if (concatenable)
            json->SetConcatenable(options.exportHeader);
        return json;
    }
    return nullptr;
}

// Makes the output folder and removes what interrupted runs left in it;
// false, said on the console, when the folder cannot be made.
bool PrepareOutputFolder(const HeadlessPlan& plan, const HeadlessConsole& console)
{
    if (!plan.outputFolderToCreate.empty()) {
        // Made with the input folder's permission bits: a folder only its
        // owner could read does not become readable by all.
        const platform::FolderModeSource modes{
            plan.item.folder ? plan.item.inputPath
                             : CLongPath(CLongPath(plan.item.inputPath).GetDirectory()).RemoveBackslash().GetPath()};
        int error = 0;
        if (!platform::CreateFolderChain(plan.outputFolderToCreate, u"", &error, &modes)) {
            fprintf(console.err, "varnelpro: %s\n",
                    Term(Arg(TrH("cannot write to output folder: %1"), plan.outputFolderToCreate)).c_str());
            return false;
        }
    }

    if (plan.outputInsideInput)
        fprintf(console.err, "varnelpro: %s\n",
                Out(TrH("the output folder lies inside the input folder: it is left out of the walk, and a file "
                        "in it is replaced where an input of the same name is converted"))
                    .c_str());

    if (!plan.detectOnly && !plan.outputWrittenThrough) {
        // Temporary files of runs that were killed before they could remove them.
        const bool folder = plan.item.folder;
        const std::u16string outputFolder =
            folder ? plan.item.outputPath
                   : CLongPath(CLongPath(plan.item.outputPath).GetDirectory()).RemoveBackslash().GetPath();
        for (const std::u16string& stale : CAtomicOutputFile::RemoveStaleTemporaryFiles(outputFolder, folder))
            fprintf(console.err, "varnelpro: %s\n",
                    Term(Arg(TrH("removed a temporary file left by an interrupted run: %1"), stale)).c_str());
    }
    return true;
}

// Shows the files as they finish, and the progress, until the session has
// stopped; a stop signal (Ctrl-C) stops it.
void FollowSession(CVarnex& session, HeadlessFollower& follower, const platform::StopSignals& stopSignals,
                   HeadlessReporter& reporter, const HeadlessConsole& console)
{
    bool stopRequested = false;
    std::deque<CVarnexFileInfo*> finished;
    VARNEXSESSIONSUMMARY summary;
    for (bool stopped = false; !stopped;) {
        stopped = follower.Wait(std::chrono::milliseconds(100), finished);
        if (stopSignals.Requested() && !stopRequested) {
            stopRequested = true;
            reporter.ClearBar();
            if (!console.quiet)
                fprintf(console.err, "%s\n", Out(TrH("Stopping...")).c_str());
            session.Stop();
        }
        session.GetSessionSummary(summary);
        for (CVarnexFileInfo* record : finished)
            reporter.Finished(*record, summary.totalFiles);
        finished.clear();
        reporter.Bar(summary.processedFiles, summary.totalFiles, session.HasIncomingJob(), follower.CurrentFile());
    }
    reporter.ClearBar();
}

// The summary and what else the user must be told; the exit status.
int EndRun(CVarnex& session, HeadlessReporter& reporter, const HeadlessPlan& plan, bool report,
           const HeadlessConsole& console)
{
    VARNEXSESSIONSUMMARY summary;
    session.GetSessionSummary(summary);
    HeadlessReporter::Ending ending;
    ending.unreadableFolders = session.GetUnreadableFolderCount();
    ending.stoppedByUser = session.GetStopReason() == VARNEXSESSIONSTOPREASON_USER;
    ending.report = report;
    ending.reportOk = !report || session.IsResultExportOk();
    ending.reportPath = plan.exportPath;
    int summaryError = 0;
    const bool summaryWritten = reporter.PrintSummary(summary, ending, &summaryError);
    if (!summaryWritten)
        fprintf(console.err, "varnelpro: %s: %s\n", Out(TrH("cannot write the summary")).c_str(),
                strerror(summaryError ? summaryError : EIO));
    if (reporter.GetTotals().unknownText > 0 && !plan.detectOnly) {
        // Text left unconverted must say how to convert it.
        const std::u16string hint =
            plan.item.folder
                ? TrH("files whose encoding could not be found were not converted: convert each with "
                      "-mode=FILE -cp=NUMBER")
                : Arg(TrH("the encoding of %1 could not be found: give its code page with -cp=NUMBER to convert it"),
                      plan.item.inputPath);
        fprintf(console.err, "varnelpro: %s\n", Term(hint).c_str());
    }
    if (!ending.reportOk)
        fprintf(console.err, "varnelpro: %s\n",
                Term(Arg(TrH("cannot write the export file: %1"), plan.exportPath)).c_str());

    const bool clean = summaryWritten && !ending.stoppedByUser && ending.reportOk && ending.unreadableFolders == 0 &&
                       summary.warningFiles == 0 && summary.errorFiles == 0 &&
                       summary.processedFiles == summary.totalFiles;
    return clean ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
}

}  // namespace

int RunHeadless(const CCommandLineOptions& options, const VARNEXJOBSETTING& jobSetting, const HeadlessConsole& console)
{
    if (IsStreamRun(options))
        return RunStream(options, jobSetting, console);
    HeadlessPlan plan;
    if (std::u16string why = PlanHeadlessRun(options, plan); !why.empty()) {
        fprintf(console.err, "varnelpro: %s\n", Term(why).c_str());
        return HEADLESS_EXIT_BAD_START;
    }
    const std::u16string& reportFolder = plan.exportFolderToCreate;
    if (!reportFolder.empty() && !CLongPath(reportFolder).AddBackslash().EnsureDirectoryExists()) {
        fprintf(console.err, "varnelpro: %s\n",
                Term(Arg(TrH("cannot write to output folder: %1"), reportFolder)).c_str());
        return HEADLESS_EXIT_BAD_START;
    }

    VARNEXJOBSETTING setting = jobSetting;
    setting.detectOnly = plan.detectOnly;
    setting.Clamp();

    const std::unique_ptr<CVarnexResultExporter> exporter = MakeExporter(options, plan, setting);
    // A report that cannot be written stops the run before any file is
    // done; a FIFO's reader is waited for here.
    if (int error = 0; exporter && !exporter->Prepare(&error)) {
        fprintf(console.err, "varnelpro: %s (%s)\n",
                Term(Arg(TrH("cannot write the export file: %1"), plan.exportPath)).c_str(), strerror(error));
        return HEADLESS_EXIT_BAD_START;
    }
    if (!PrepareOutputFolder(plan, console))
        return HEADLESS_EXIT_BAD_START;

    // Caught from before the session starts until it is gone.
    platform::StopSignals stopSignals;
    HeadlessFollower follower;
    CVarnex session(nullptr, nullptr, &follower);
    if (!StartNewSession(session, SessionStartParams{setting, {plan.item}, exporter.get()})) {
        fprintf(console.err, "varnelpro: %s\n", Out(TrH("the session could not start")).c_str());
        return HEADLESS_EXIT_BAD_START;
    }

    HeadlessConsole shown = console;
    if (plan.standardOutputTaken)
        shown.out = console.err;  // standard output is the output or the report
    HeadlessReporter reporter(shown, plan.detectOnly, plan.item.folder ? plan.item.inputPath : std::u16string());
    FollowSession(session, follower, stopSignals, reporter, console);
    return EndRun(session, reporter, plan, exporter != nullptr, console);
}

void PrintUsage(FILE* to)
{
    constexpr size_t kColumn = 28;
    std::u16string text = TrH("Usage: varnelpro -in=<folder or file> -out=<folder> [switches]\n"
                              "       varnelpro [switches] <folder or file> <folder>\n"
                              "Converts text files of any code page or Unicode form into one Unicode form.\n");
    text += u"\n";
    for (const CommandLineSwitch& row : CommandLineSwitches()) {
        if (row.help == nullptr)
            continue;
        std::u16string names;
        for (const std::u16string_view name : row.names) {
            names += (names.empty() ? u"" : u", ") + std::u16string(name);
            if (row.kind != SwitchValueKind::None)
                names += u"=" + text::FromUtf8(row.valueName);
        }
        std::u16string line = u"  " + names;
        line += line.size() + 2 > kColumn ? u"\n" + std::u16string(kColumn, u' ')
                                          : std::u16string(kColumn - line.size(), u' ');
        line += TrH(row.help);
        if (row.kind == SwitchValueKind::Keyword) {
            line += u" [";
            for (size_t i = 0; i < row.keywords.size(); ++i)
                line += (i == 0 ? u"" : u", ") + std::u16string(row.keywords[i].text);
            line += u"]";
        }
        text += line + u"\n";
    }
    text += u"\n";
    text += TrH("Switches start with '-' or '/'; values follow '=' or ':' (the long forms also take the next\n"
                "argument: --in PATH). A switch given twice must have the same value; an unknown switch or\n"
                "value stops the run. Exit status: 0 all files OK, 1 some files ended with a warning or an\n"
                "error (or the run was stopped), 2 the run could not start (nothing was changed).\n"
                "Run varnelpro without switches on a desktop to open the window.\n");
    fputs(Out(text).c_str(), to);
}

void PrintVersion(FILE* to)
{
    fprintf(to, "varnelpro %s\n", Out(ProgramVersion()).c_str());
}

void PrintCodePages(FILE* to)
{
    // Tab-separated, so that scripts can cut columns.
    fprintf(to, "%s\n", Out(TrH("number\tshort name\tIANA name\tgroup")).c_str());
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache()) {
        const int codepage = info->GetCodepage();
        if (codepage < 0 || !CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(codepage)))
            continue;  // "Binary" and pages this system cannot read are not for -cp
        const std::string iana = codecs::IanaCharsetName(static_cast<unsigned>(codepage));
        fprintf(to, "%d\t%s\t%s\t%s\n", codepage, Out(info->GetCodepageShortName()).c_str(),
                iana.empty() ? "-" : iana.c_str(), Out(info->GetLanguageGroup()).c_str());
    }
}
