#include "app/headless/stream_run.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "app/headless/console_text.h"
#include "app/headless/headless_plan.h"
#include "app/headless/headless_reporter.h"
#include "app/headless/headless_run.h"
#include "platform/file_api.h"
#include "platform/terminal.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/io/binary_file.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/file_job.h"
#include "varnex/convert/text_file_converter.h"

using headless::Arg;
using headless::Out;
using headless::Term;
using headless::TrH;

namespace {

// Bytes read so far and the rate, redrawn on a terminal's standard error: a
// long pipe shows that it moves.
struct StreamProgress {
    FILE* err = nullptr;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last = start;
    bool shown = false;

    static void Show(CTextFileConverter*, uint64_t processed, uint64_t total, void* data)
    {
        StreamProgress& self = *static_cast<StreamProgress*>(data);
        const auto now = std::chrono::steady_clock::now();
        if (now - self.last < std::chrono::milliseconds(200))
            return;
        self.last = now;
        const double seconds = std::chrono::duration<double>(now - self.start).count();
        const double rate = seconds > 0 ? processed / seconds / 1e6 : 0.0;
        if (total > 0)
            fprintf(self.err, "\r%.1f / %.1f MiB  %.1f MB/s\x1b[K", processed / 1048576.0, total / 1048576.0, rate);
        else
            fprintf(self.err, "\r%.1f MiB  %.1f MB/s\x1b[K", processed / 1048576.0, rate);
        fflush(self.err);
        self.shown = true;
    }
    void Clear() const
    {
        if (shown)
            fprintf(err, "\r\x1b[K");
    }
};

// The one-line refusal of a stream run, or empty when it can start.
std::u16string CheckStreamRun(const CCommandLineOptions& options, bool toStdout, std::u16string& folderToCreate)
{
    if (options.problem)
        return options.DescribeProblem();
    if (options.exportType != CCommandLineOptions::EXPORT_NONE)
        return TrH("no report is written for standard input or output (-export)");
    // Every slice would write the same stream.
    if (options.shard && !options.shard->IsWhole())
        return TrH("-shard splits the files of a folder, not a stream (-in=- or -out=-)");
    platform::FileStatus input{};
    if (!options.ReadsStandardInput()) {
        if (!platform::GetFileStatus(*options.inputPath, &input))
            return Arg(TrH("input folder does not exist: %1"), *options.inputPath);
        if (input.type != platform::FileType::Regular)
            return Arg(TrH("-out=- writes one file's text, but the input is not a file: %1"), *options.inputPath);
    }
    if (toStdout || options.detectOnly)
        return {};
    const std::u16string& output = *options.outputPath;
    // "newdir/" and "newdir/." name a folder: refused before anything is made.
    const std::u16string name = output.substr(output.rfind(u'/') + 1);
    if (name.empty() || name == u"." || name == u"..")
        return Arg(TrH("output file is a folder: %1"), output);
    platform::FileStatus out;
    if (platform::GetFileStatus(output, &out)) {
        if (out.type == platform::FileType::Directory)
            return Arg(TrH("output file is a folder: %1"), output);
        if (!options.ReadsStandardInput() && out.device == input.device && out.inode == input.inode)
            return Arg(TrH("output file is the input file: %1"), output);
        if (out.type != platform::FileType::Regular || platform::IsStandardHandleFile(out))
            return {};  // written into
    }
    const std::u16string folder = CLongPath(CLongPath(output).GetDirectory()).RemoveBackslash().GetPath();
    return CheckOutputFolder(folder.empty() ? u"/" : folder, folderToCreate);
}

// The start of standard input, up to limit bytes; whole: it ended there.
bool ReadHead(uint64_t limit, std::vector<unsigned char>& head, bool& whole, int& error)
{
    head.resize(static_cast<size_t>(limit));
    size_t got = 0;
    const bool ok = platform::ReadFile(platform::STANDARD_INPUT, head.data(), head.size(), &got, &error);
    head.resize(got);
    whole = got < limit;
    return ok;
}

// What standard error shows for the text: its result, code page and message.
std::string StatusLine(const FileOutcome& outcome, const std::u16string& shown, bool detected)
{
    const CCodepageInfo* info = CCodepageInfo::GetCodepageInfo(outcome.codepage);
    if (info && outcome.codepage == -1)
        info = nullptr;  // the catalogue's "Binary" entry
    // A stream is left unchanged only when detecting.
    return FileLine(outcome.state, outcome.operation, info,
                    detected ? std::optional<float>(outcome.confidence) : std::nullopt, shown, DescribeOutcome(outcome),
                    true);
}

}  // namespace

bool IsStreamRun(const CCommandLineOptions& options)
{
    return options.ReadsStandardInput() || options.WritesStandardOutput();
}

int RunStream(const CCommandLineOptions& options, const VARNEXJOBSETTING& jobSetting, const HeadlessConsole& console)
{
    const bool fromStdin = options.ReadsStandardInput();
    const bool toStdout = options.WritesStandardOutput() || !options.outputPath;
    const std::u16string shown = fromStdin ? TrH("(standard input)") : *options.inputPath;
    std::u16string folderToCreate;
    if (std::u16string why = CheckStreamRun(options, toStdout, folderToCreate); !why.empty()) {
        fprintf(console.err, "varnelpro: %s\n", Term(why).c_str());
        return HEADLESS_EXIT_BAD_START;
    }
    if (!folderToCreate.empty() && !CLongPath(folderToCreate).AddBackslash().EnsureDirectoryExists()) {
        fprintf(console.err, "varnelpro: %s\n",
                Term(Arg(TrH("cannot write to output folder: %1"), folderToCreate)).c_str());
        return HEADLESS_EXIT_BAD_START;
    }
    VARNEXJOBSETTING setting = jobSetting;
    setting.Clamp();
    const ConversionOptions& conversion = options.conversion;
    platform::StopSignals stopSignals;

    // Detection sees what it would see of a file: every byte a test may read.
    FileJobSource source;
    source.path = fromStdin ? std::u16string(CCommandLineOptions::kStandardStream) : *options.inputPath;
    if (fromStdin) {
        int error = 0;
        if (!ReadHead(uint64_t{setting.sampleSizeMB} * 1048576u + CAdvancedDetector::kHeadMargin, source.head,
                      source.whole, error)) {
            if (stopSignals.Requested()) {
                // Stopped while the stream was still coming: nothing is written.
                FileOutcome stopped;
                stopped.End(VARNEXRESULTSTATE_CANCELLED, ReasonNote::Of(OutcomeReason::Cancelled));
                fprintf(console.err, "%s\n", StatusLine(stopped, shown, false).c_str());
                return HEADLESS_EXIT_PROBLEMS;
            }
            fprintf(console.err, "varnelpro: %s: %s\n", Out(TrH("cannot read standard input")).c_str(),
                    strerror(error));
            return HEADLESS_EXIT_BAD_START;
        }
        source.stream = platform::DuplicateHandle(platform::STANDARD_INPUT);
    }
    // Nothing in, nothing out: an empty stream is passed on as it is, as a
    // file of no bytes in a folder is.
    const bool empty = fromStdin && source.head.empty() && source.whole;

    StreamProgress progress;
    progress.err = console.err;
    FileJobParams params = FileJobParamsOf(setting);
    std::stop_source stop;
    params.stop = stop.get_token();
    params.gate = [&stopSignals, &stop] {
        if (stopSignals.Requested())
            stop.request_stop();
    };
    if (console.progressBar && !options.quiet) {
        params.progress = StreamProgress::Show;
        params.progressData = &progress;
    }
    CFileJob job(std::move(params));
    FileOutcome outcome;
    if (conversion.inputCodepage) {
        outcome.codepage = *conversion.inputCodepage;
        outcome.confidence = 1.0f;
    } else {
        outcome = job.Detect(source, conversion.repairDoubleEncoding);
    }

    const bool convertible = outcome.state != VARNEXRESULTSTATE_ERROR && CFileJob::IsConvertible(outcome);
    if (options.detectOnly) {
        // The finding is what was asked for: it goes to standard output.
        fprintf(console.out, "%s\n", StatusLine(outcome, shown, !conversion.inputCodepage).c_str());
        return outcome.state == VARNEXRESULTSTATE_OK ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
    }
    const bool copy = (conversion.copyUnconverted || empty) && outcome.state != VARNEXRESULTSTATE_ERROR &&
                      outcome.state != VARNEXRESULTSTATE_CANCELLED;
    if (!convertible && !copy) {
        // Binary data, or text whose encoding nothing found: not passed off as converted.
        fprintf(console.err, "%s\n", StatusLine(outcome, shown, true).c_str());
        if (outcome.codepage == CAdvancedDetector::kUnknownTextCodepage)
            fprintf(console.err, "varnelpro: %s\n",
                    Term(Arg(TrH("the encoding of %1 could not be found: give its code page with -cp=NUMBER to "
                                 "convert it"),
                             shown))
                        .c_str());
        else if (outcome.state == VARNEXRESULTSTATE_OK)
            fprintf(console.err, "varnelpro: %s\n", Term(Arg(TrH("binary data is not converted: %1"), shown)).c_str());
        return HEADLESS_EXIT_PROBLEMS;
    }

    FileJobTarget target;
    target.named = true;
    if (toStdout) {
        fflush(console.out);
        target.handle = platform::STANDARD_OUTPUT;
    } else {
        target.path = *options.outputPath;
    }
    FileJobOutput output = FileJobOutputOf(conversion);
    output.copyUnconverted = copy;
    progress.start = progress.last = std::chrono::steady_clock::now();  // the rate is the writing's
    outcome = job.Write(source, target, output, std::move(outcome));
    progress.Clear();
    const bool detected = !conversion.inputCodepage || outcome.operation == VARNEXRESULTOPERATION_COPIED;
    if (!options.quiet || outcome.state != VARNEXRESULTSTATE_OK)
        fprintf(console.err, "%s\n", StatusLine(outcome, shown, detected).c_str());
    return outcome.state == VARNEXRESULTSTATE_OK ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
}
