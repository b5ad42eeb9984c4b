#include "varnex/convert/file_job.h"

#include <cerrno>
#include <memory>
#include <optional>

#include "platform/file_api.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/io/binary_file.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/codepage_info.h"

namespace {

// The output of target, made atomically (or written through where the user
// named a FIFO or device).
std::unique_ptr<CAtomicOutputFile> OutputFile(const FileJobTarget& target)
{
    if (target.folder)
        return std::make_unique<CAtomicOutputFile>(target.folder, CLongPath(target.path).GetFileName(), target.path);
    return std::make_unique<CAtomicOutputFile>(target.path, target.named);
}

}  // namespace

FileJobSource::~FileJobSource()
{
    if (stream >= 0)
        platform::CloseFile(stream);
}

CFileJob::CFileJob(FileJobParams params) : m_params(std::move(params))
{
}

bool CFileJob::CanContinue() const
{
    if (m_params.gate)
        m_params.gate();
    return !m_params.stop.stop_requested();
}

bool CFileJob::ConverterCanContinue(CTextFileConverter*, void* job)
{
    return static_cast<const CFileJob*>(job)->CanContinue();
}

FileOutcome CFileJob::Detect(const FileJobSource& source, bool repairDoubleEncoding)
{
    FileOutcome outcome;
    platform::FileStatus status;
    if (!source.IsStream() && platform::GetFileStatus(source.path, &status) &&
        status.type == platform::FileType::Regular)
        outcome.bytesIn = status.size;
    // A large sample must not hold up a stop or a pause.
    CAdvancedDetector detector(source.path, source.IsStream() ? &source.head : nullptr, source.whole,
                               m_params.workspace, m_params.chunkSize, m_params.sampleSizeMB,
                               m_params.allowBinaryListDetection, m_params.useGB18030,
                               [this] { return CanContinue(); });
    outcome.codepage = detector.GetCodepage();
    outcome.confidence = detector.GetConfidence();
    outcome.hasBom = detector.HasBom();
    outcome.method = detector.GetMethod();
    if (detector.WasStopped())
        outcome.End(VARNEXRESULTSTATE_CANCELLED, ReasonNote::Of(OutcomeReason::Cancelled));
    else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNSURE)
        outcome.End(VARNEXRESULTSTATE_WARNING, ReasonNote::Of(OutcomeReason::DetectionUnsure));
    else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNKNOWN_TEXT)
        outcome.End(VARNEXRESULTSTATE_WARNING, ReasonNote::Of(OutcomeReason::UnknownText));
    else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_ERROR)
        outcome.End(VARNEXRESULTSTATE_ERROR, ReasonNote::Of(OutcomeReason::Unreadable));
    else if (detector.HasC1Controls())
        outcome.End(VARNEXRESULTSTATE_WARNING, ReasonNote::Of(OutcomeReason::C1Controls));
    else if (detector.IsDoubleEncoded())
        outcome.End(VARNEXRESULTSTATE_WARNING, ReasonNote::Of(OutcomeReason::DoubleEncoded, repairDoubleEncoding));
    return outcome;
}

FileOutcome CFileJob::Assigned(const CCodepageInfo* info, bool hasBom, uint64_t size)
{
    FileOutcome outcome;
    outcome.bytesIn = size;
    outcome.codepage = info ? info->GetCodepage() : -1;
    outcome.confidence = 1.0f;
    outcome.hasBom = hasBom;
    outcome.method = DetectionMethod::Fixed;
    // Never pass a file without a code page off as binary.
    if (info == nullptr || outcome.codepage == -1)
        outcome.End(VARNEXRESULTSTATE_ERROR, ReasonNote::Of(OutcomeReason::NoCodepage));
    return outcome;
}

bool CFileJob::IsConvertible(const FileOutcome& outcome)
{
    return outcome.codepage >= 0 && CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(outcome.codepage));
}

FileOutcome CFileJob::Write(FileJobSource& source, const FileJobTarget& target, const FileJobOutput& output,
                            FileOutcome found)
{
    FileOutcome outcome = std::move(found);
    const int codepage = outcome.codepage;
    // Neither a binary file nor text of unknown code page is converted; both
    // are copied as they are when asked.
    const bool asIs = codepage == -1 || codepage == CAdvancedDetector::kUnknownTextCodepage;
    const bool supported = !asIs && IsConvertible(outcome);
    if (!asIs && !supported)
        outcome.End(VARNEXRESULTSTATE_NOT_SUPPORTED,
                    ReasonNote::Of(OutcomeReason::CodepageNotConvertible, static_cast<uint64_t>(codepage)));
    if (supported) {
        if (m_params.beforeConverting)
            m_params.beforeConverting();
        // Detection found the text encoded twice, and the job asks to repair it.
        bool repair = false;
        for (const ReasonNote& note : outcome.reasons)
            repair |= note.reason == OutcomeReason::DoubleEncoded && note.number != 0;
        outcome.Then(Convert(source, target, output, codepage, repair));
    } else if (output.copyUnconverted) {
        outcome.Then(Copy(source, target, output.keepModeAndTime));
    }
    return outcome;
}

FileOutcome CFileJob::Convert(FileJobSource& source, const FileJobTarget& target, const FileJobOutput& output,
                              int codepage, bool repair)
{
    CTextFileConverter converter(source.path.c_str(), m_params.chunkSize, m_params.readBufferSize,
                                 m_params.writeBufferSize, m_params.textBuffer, m_params.readBuffer,
                                 m_params.writeBuffer);
    if (source.IsStream()) {
        converter.SetInputStream(source.stream, std::move(source.head));
        source.stream = -1;  // the converter's now
    }
    if (target.handle >= 0)
        converter.SetOutputHandle(target.handle);
    converter.SetOutputFolder(target.folder);
    converter.SetOutputNamed(target.named);
    converter.SetContinueCallback(ConverterCanContinue, this);
    converter.SetReportProgressCallback(m_params.progress, m_params.progressData);
    converter.SetRepairDoubleEncoding(repair);
    converter.SetKeepModeAndTime(output.keepModeAndTime);
    converter.Convert(target.path.c_str(), static_cast<unsigned>(codepage), output.textFormat, output.returnType,
                      output.writeBom, 0);
    return converter.GetOutcome();
}

FileOutcome CFileJob::Copy(FileJobSource& source, const FileJobTarget& target, bool keepModeAndTime)
{
    FileOutcome result;
    const bool file = !source.IsStream();
    std::unique_ptr<CBinaryFileReader> reader;
    if (file) {
        reader = std::make_unique<CBinaryFileReader>(source.path.c_str(), true);
    } else {
        reader = std::make_unique<CBinaryFileReader>(source.stream, std::move(source.head), source.path.c_str());
        source.stream = -1;
    }
    if (target.handle >= 0) {
        CBinaryFileWriter writer(platform::DuplicateHandle(target.handle), u"-");
        return CopyOnce(*reader, file, writer);
    }
    const std::unique_ptr<CAtomicOutputFile> output = OutputFile(target);
    int error = 0;
    if (output->IsWriteThrough()) {
        CBinaryFileWriter writer(output->OpenWriteThrough(&error), output->GetFinalPath().c_str());
        return CopyOnce(*reader, file, writer, error);
    }
    // As with conversions: a file that changed while it was read is read once
    // more, and one that keeps changing is kept as read, with a warning.
    for (int attempt = 0; attempt < (file ? 2 : 1); ++attempt) {
        if (attempt > 0) {
            output->Restart();
            reader = std::make_unique<CBinaryFileReader>(source.path.c_str(), true);
        }
        // Made first: making it may choose another name.
        const int handle = output->Create(&error);
        CBinaryFileWriter writer(handle, output->GetTemporaryPath().c_str());
        result = CopyOnce(*reader, file, writer, error);
        if (result.operation != VARNEXRESULTOPERATION_COPIED || result.reasons.empty())
            break;
    }
    platform::FileStatus from;
    if (result.operation == VARNEXRESULTOPERATION_COPIED && keepModeAndTime && file &&
        (!platform::GetHandleStatus(reader->GetFileHandle(), &from) || !output->CopyModeAndTime(from, &error))) {
        result = {};
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, ReasonNote::Error(OutcomeReason::WriteFailed, error));
    }
    if (result.operation == VARNEXRESULTOPERATION_COPIED && !output->Commit(&error)) {
        result = {};
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, ReasonNote::Error(OutcomeReason::CommitFailed, error));
    }
    return result;
}

FileOutcome CFileJob::CopyOnce(CBinaryFileReader& reader, bool file, CBinaryFileWriter& writer, int createError)
{
    FileOutcome result;
    platform::FileStatus opened;
    if (!reader.IsOpen() || (file && !platform::GetHandleStatus(reader.GetFileHandle(), &opened))) {
        result.End(VARNEXRESULTSTATE_ERROR, ReasonNote::Error(OutcomeReason::OpenFailed, reader.GetLastError()));
        return result;
    }
    if (file)
        reader.SetReadLimit(opened.size);  // a growing file is copied as it was at open
    if (!writer.IsOpen()) {
        result.End(VARNEXRESULTSTATE_WRITE_ERROR,
                   ReasonNote::Error(OutcomeReason::CreateFailed, createError ? createError : writer.GetLastError()));
        return result;
    }
    std::vector<unsigned char> block(1u << 16);
    while (result.state == VARNEXRESULTSTATE_OK && !reader.Eof()) {
        const unsigned n = reader.Read(block.data(), static_cast<unsigned>(block.size()));
        if (n > 0 && writer.Write(block.data(), n) != n)
            result.End(VARNEXRESULTSTATE_WRITE_ERROR,
                       ReasonNote::Error(OutcomeReason::WriteFailed, writer.GetLastError()));
        else if (!CanContinue())
            result.End(VARNEXRESULTSTATE_CANCELLED, ReasonNote::Of(OutcomeReason::Cancelled));
    }
    // A read a stop interrupted (a pipe that sends nothing) is the stop's.
    if (result.state == VARNEXRESULTSTATE_OK && reader.HasReadError() && !CanContinue())
        result.End(VARNEXRESULTSTATE_CANCELLED, ReasonNote::Of(OutcomeReason::Cancelled));
    else if (result.state == VARNEXRESULTSTATE_OK && reader.HasReadError())
        result.End(VARNEXRESULTSTATE_ERROR, ReasonNote::Error(OutcomeReason::ReadFailed, reader.GetLastError()));
    if (!writer.Close() && result.state == VARNEXRESULTSTATE_OK)
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, ReasonNote::Error(OutcomeReason::WriteFailed, writer.GetLastError()));
    if (result.state != VARNEXRESULTSTATE_OK)
        return result;
    result.operation = VARNEXRESULTOPERATION_COPIED;
    result.bytesIn = result.bytesOut = writer.GetBytesWritten();
    platform::FileStatus now;
    if (file && platform::GetHandleStatus(reader.GetFileHandle(), &now) &&
        (now.size != opened.size || now.modified != opened.modified ||
         now.modifiedNanoseconds != opened.modifiedNanoseconds || reader.GetPosition() != opened.size)) {
        result.state = VARNEXRESULTSTATE_WARNING;
        result.reasons.push_back(ReasonNote::Of(OutcomeReason::ChangedWhileCopied, opened.size, now.size));
    }
    return result;
}
