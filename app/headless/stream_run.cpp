#include "app/headless/stream_run.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
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
#include "varnex/convert/text_file_converter.h"
#include "varnex/export/csv_exporter.h"

using headless::Arg;
using headless::Out;
using headless::Term;
using headless::TrH;

namespace {

bool StopNotRequested(CTextFileConverter*, void* signals)
{
    return !static_cast<const platform::StopSignals*>(signals)->Requested();
}

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
std::string StatusLine(const VARNEXFILEOUTCOME& outcome, const std::u16string& shown, bool detected)
{
    const CCodepageInfo* info = CCodepageInfo::GetCodepageInfo(outcome.codepage);
    if (info && outcome.codepage == -1)
        info = nullptr;  // the catalogue's "Binary" entry
    // A stream is left unchanged only when detecting.
    return FileLine(outcome.state, outcome.operation, info,
                    detected ? std::optional<float>(outcome.confidence) : std::nullopt, shown,
                    DescribeOutcome(outcome), true);
}

// -c: the bytes as they are, the head first, then the rest of the stream or
// file, into standard output or the named output (replaced when whole).
VARNEXFILEOUTCOME CopyAsIs(const CCommandLineOptions& options, bool toStdout, std::vector<unsigned char> head)
{
    VARNEXFILEOUTCOME result;
    const bool fromStdin = options.ReadsStandardInput();
    const std::unique_ptr<CBinaryFileReader> reader =
        fromStdin ? std::make_unique<CBinaryFileReader>(platform::DuplicateHandle(platform::STANDARD_INPUT),
                                                        std::move(head), CCommandLineOptions::kStandardStream)
                  : std::make_unique<CBinaryFileReader>(options.inputPath->c_str(), true);
    std::optional<CAtomicOutputFile> target;
    std::unique_ptr<CBinaryFileWriter> writer;
    int error = 0;
    if (toStdout) {
        writer = std::make_unique<CBinaryFileWriter>(platform::DuplicateHandle(platform::STANDARD_OUTPUT), u"-");
    } else {
        target.emplace(*options.outputPath, true);
        writer = target->IsWriteThrough()
                     ? std::make_unique<CBinaryFileWriter>(target->OpenWriteThrough(&error), target->GetFinalPath().c_str())
                     : std::make_unique<CBinaryFileWriter>(target->GetTemporaryPath().c_str(), false, true, true);
    }
    std::vector<unsigned char> block(1u << 16);
    while (reader->IsOpen() && writer->IsOpen() && !reader->Eof() && !writer->HasWriteError()) {
        const unsigned n = reader->Read(block.data(), static_cast<unsigned>(block.size()));
        writer->Write(block.data(), n);
    }
    const bool written = writer->IsOpen() && writer->Close();
    platform::FileStatus input;
    if (!reader->IsOpen() || reader->HasReadError())
        result.End(VARNEXRESULTSTATE_ERROR, VARNEXREASONNOTE::Error(VARNEXREASON_READ_FAILED, reader->GetLastError()));
    else if (!written)
        result.End(VARNEXRESULTSTATE_WRITE_ERROR,
                   VARNEXREASONNOTE::Error(VARNEXREASON_WRITE_FAILED, writer->GetLastError()));
    else if (target && !target->IsWriteThrough() && options.conversion.keepModeAndTime && !fromStdin &&
             (!platform::GetHandleStatus(reader->GetFileHandle(), &input) ||
              !platform::CopyModeAndTime(target->GetTemporaryPath(), input, &error)))
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Error(VARNEXREASON_WRITE_FAILED, error));
    else if (target && !target->Commit(&error))
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Error(VARNEXREASON_COMMIT_FAILED, error));
    else
        result.operation = VARNEXRESULTOPERATION_COPIED;
    result.bytesIn = reader->GetPosition();
    result.bytesOut = writer->GetBytesWritten();
    return result;
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
    const VARNEXCONVERSIONOPTIONS& conversion = options.conversion;
    platform::StopSignals stopSignals;

    // Detection sees what it would see of a file: every byte a test may read.
    std::vector<unsigned char> head;
    bool whole = true;
    if (fromStdin) {
        int error = 0;
        if (!ReadHead(uint64_t{setting.sampleSizeMB} * 1048576u + CAdvancedDetector::kHeadMargin, head, whole,
                      error)) {
            fprintf(console.err, "varnelpro: %s: %s\n", Out(TrH("cannot read standard input")).c_str(),
                    strerror(error));
            return HEADLESS_EXIT_BAD_START;
        }
    }

    VARNEXFILEOUTCOME outcome;
    bool repair = false;
    if (conversion.inputCodepage) {
        outcome.codepage = *conversion.inputCodepage;
        outcome.confidence = 1.0f;
    } else {
        const auto detector =
            fromStdin ? std::make_unique<CAdvancedDetector>(shown, head, whole, setting.chunkSize, setting.sampleSizeMB,
                                                            setting.allowBinaryListDetection, setting.useGB18030)
                      : std::make_unique<CAdvancedDetector>(*options.inputPath, setting.chunkSize,
                                                            setting.sampleSizeMB, setting.allowBinaryListDetection,
                                                            setting.useGB18030);
        outcome.codepage = detector->GetCodepage();
        outcome.confidence = detector->GetConfidence();
        outcome.hasBom = detector->HasBom();
        switch (detector->GetResult()) {
        case CAdvancedDetector::DETECTIONRESULT_UNSURE:
            outcome.End(VARNEXRESULTSTATE_WARNING, VARNEXREASONNOTE::Of(VARNEXREASON_DETECTION_UNSURE));
            break;
        case CAdvancedDetector::DETECTIONRESULT_UNKNOWN_TEXT:
            outcome.End(VARNEXRESULTSTATE_WARNING, VARNEXREASONNOTE::Of(VARNEXREASON_UNKNOWN_TEXT));
            break;
        case CAdvancedDetector::DETECTIONRESULT_ERROR:
            outcome.End(VARNEXRESULTSTATE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_UNREADABLE));
            break;
        case CAdvancedDetector::DETECTIONRESULT_OK:
            if (detector->HasC1Controls())
                outcome.End(VARNEXRESULTSTATE_WARNING, VARNEXREASONNOTE::Of(VARNEXREASON_C1_CONTROLS));
            else if (detector->IsDoubleEncoded())
                outcome.End(VARNEXRESULTSTATE_WARNING,
                            VARNEXREASONNOTE::Of(VARNEXREASON_DOUBLE_ENCODED, conversion.repairDoubleEncoding));
            repair = detector->IsDoubleEncoded() && conversion.repairDoubleEncoding;
            break;
        }
    }

    const bool convertible = outcome.codepage >= 0 && outcome.state != VARNEXRESULTSTATE_ERROR &&
                             CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(outcome.codepage));
    if (options.detectOnly) {
        // The finding is what was asked for: it goes to standard output.
        fprintf(console.out, "%s\n", StatusLine(outcome, shown, !conversion.inputCodepage).c_str());
        return outcome.state == VARNEXRESULTSTATE_OK ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
    }
    if (!convertible && conversion.copyUnconverted && outcome.state != VARNEXRESULTSTATE_ERROR) {
        outcome.Then(CopyAsIs(options, toStdout, std::move(head)));
        if (!options.quiet || outcome.state != VARNEXRESULTSTATE_OK)
            fprintf(console.err, "%s\n", StatusLine(outcome, shown, true).c_str());
        return outcome.state == VARNEXRESULTSTATE_OK ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
    }
    if (!convertible) {
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

    const std::u16string name = fromStdin ? std::u16string(CCommandLineOptions::kStandardStream) : *options.inputPath;
    CTextFileConverter converter(name.c_str(), setting.chunkSize, setting.readBufferSize, setting.writeBufferSize);
    if (fromStdin)
        converter.SetInputStream(platform::DuplicateHandle(platform::STANDARD_INPUT), std::move(head));
    if (toStdout) {
        fflush(console.out);
        converter.SetOutputHandle(platform::STANDARD_OUTPUT);
    }
    converter.SetKeepModeAndTime(conversion.keepModeAndTime);
    converter.SetOutputNamed(true);
    converter.SetRepairDoubleEncoding(repair);
    converter.SetContinueCallback(StopNotRequested, &stopSignals);
    StreamProgress progress;
    progress.err = console.err;
    if (console.progressBar && !options.quiet)
        converter.SetReportProgressCallback(StreamProgress::Show, &progress);
    converter.Convert(toStdout ? u"" : options.outputPath->c_str(), static_cast<unsigned>(outcome.codepage),
                      conversion.outputTextFormat, conversion.returnType, conversion.writeBom);
    progress.Clear();
    outcome.Then(converter.GetOutcome());
    if (!options.quiet || outcome.state != VARNEXRESULTSTATE_OK)
        fprintf(console.err, "%s\n", StatusLine(outcome, shown, !conversion.inputCodepage).c_str());
    return outcome.state == VARNEXRESULTSTATE_OK ? HEADLESS_EXIT_OK : HEADLESS_EXIT_PROBLEMS;
}
