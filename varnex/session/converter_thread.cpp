#include "varnex/session/converter_thread.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/io/binary_file.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/session_work.h"
#include "varnex/session/varnex_file_info.h"

namespace {

// Detection found the text encoded twice, and the job asks to repair it.
bool IsRepaired(const VARNEXFILEOUTCOME& outcome)
{
    return std::any_of(outcome.reasons.begin(), outcome.reasons.end(), [](const VARNEXREASONNOTE& note) {
        return note.reason == VARNEXREASON_DOUBLE_ENCODED && note.number != 0;
    });
}

// Makes the output file's folder below the record's output root without
// passing through a link, so a link planted in the output tree cannot send
// an output elsewhere.
bool MakeOutputFolder(const CVarnexFileInfo& record, const CLongPath& output, VARNEXREASONNOTE& why,
                      platform::FileStatus& made)
{
    const std::u16string folder = CLongPath(output.GetDirectory()).RemoveBackslash().GetPath();
    std::u16string root = record.GetOutputRoot();
    std::u16string relative;
    if (root.empty()) {
        root = folder;
    } else {
        const std::u16string prefix = CLongPath(root).AddBackslash().GetPath();
        if (folder.size() >= prefix.size() && folder.compare(0, prefix.size(), prefix) == 0)
            relative = folder.substr(prefix.size());
        else if (folder != CLongPath(root).RemoveBackslash().GetPath()) {
            why = VARNEXREASONNOTE::Of(VARNEXREASON_OUTPUT_FOLDER_OUTSIDE);
            return false;
        }
    }
    int error = 0;
    if (platform::CreateFolderChain(root, relative, &error, &made))
        return true;
    if (error == ELOOP)
        why = VARNEXREASONNOTE::Of(VARNEXREASON_OUTPUT_FOLDER_LINK);
    else
        why = VARNEXREASONNOTE::Error(VARNEXREASON_OUTPUT_FOLDER_FAILED, error);
    return false;
}

// The input's size: what the run counts as read for a file it does not
// convert or copy.
uint64_t InputSize(const std::u16string& path)
{
    platform::FileStatus status;
    if (platform::GetFileStatus(path, &status) && status.type == platform::FileType::Regular)
        return status.size;
    return 0;
}

// A file that failed before anything was found keeps the record's findings.
VARNEXFILEOUTCOME Unfinished(const CVarnexFileInfo& record, VARNEXREASONNOTE why)
{
    VARNEXFILEOUTCOME outcome;
    outcome.hasFindings = false;
    outcome.bytesIn = InputSize(record.GetInputFile());
    outcome.End(VARNEXRESULTSTATE_ERROR, std::move(why));
    return outcome;
}

}  // namespace

CConverterThread::CConverterThread(CVarnexSessionWork* owner, void* param)
    : CThreadBase(reinterpret_cast<std::uintptr_t>(param)), m_owner(owner)
{
    owner->SessionCopyJobSetting(m_setting);
    if (m_setting.useConsolidatedBuffer) {
        m_textBuffer.reset(new char16_t[m_setting.chunkSize]);
        m_readBuffer.reset(new unsigned char[m_setting.readBufferSize]);
        m_writeBuffer.reset(new unsigned char[m_setting.writeBufferSize]);
    }
}

CConverterThread::~CConverterThread()
{
    SetStopAndWait();
}

unsigned CConverterThread::ThreadHandler()
{
    while (CanContinue()) {
        bool noMore = false;
        CVarnexFileInfo* record = m_owner->TakeQueuedRecord(&noMore, kIdlePollMs);
        if (record != nullptr)
            Process(record);
        else if (noMore)
            break;
    }
    return 0;
}

bool CConverterThread::ConvertNextFile()
{
    bool noMore = false;
    CVarnexFileInfo* record = m_owner->TakeQueuedRecord(&noMore, 0);
    if (record == nullptr)
        return false;
    Process(record);
    return true;
}

bool CConverterThread::ConverterCanContinue(CTextFileConverter*, void* thread)
{
    return static_cast<CConverterThread*>(thread)->CanContinue();
}

void CConverterThread::ConverterReportProgress(CTextFileConverter*, uint64_t processed,
                                               uint64_t total, void* record)
{
    if (record != nullptr)
        static_cast<CVarnexFileInfo*>(record)->SetConverterProgress(processed, total);
}

VARNEXFILEOUTCOME CConverterThread::CopyUnconverted(const CLongPath& input, const CLongPath& output,
                                                    bool keepModeAndTime, bool outputNamed)
{
    VARNEXFILEOUTCOME result;
    CAtomicOutputFile target(output.GetPath(), outputNamed);
    if (target.IsWriteThrough()) {
        int error = 0;
        const int handle = target.OpenWriteThrough(&error);
        CBinaryFileWriter writer(handle, output.c_str());
        return CopyOnce(input, writer);
    }
    // As with conversions: a file that changed while it was read is read once
    // more, and one that keeps changing is kept as read, with a warning.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            target.Restart();
        CBinaryFileWriter writer(target.GetTemporaryPath().c_str(), false, true, true);
        result = CopyOnce(input, writer);
        if (result.operation != VARNEXRESULTOPERATION_COPIED || result.reasons.empty())
            break;
    }
    platform::FileStatus from;
    if (result.operation == VARNEXRESULTOPERATION_COPIED && keepModeAndTime &&
        (!platform::GetFileStatus(input.GetPath(), &from) ||
         !platform::CopyModeAndTime(target.GetTemporaryPath(), from))) {
        result = {};
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_WRITE_FAILED));
    }
    if (result.operation == VARNEXRESULTOPERATION_COPIED && !target.Commit()) {
        result = {};
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_COMMIT_FAILED));
    }
    return result;
}

VARNEXFILEOUTCOME CConverterThread::CopyOnce(const CLongPath& input, CBinaryFileWriter& writer)
{
    VARNEXFILEOUTCOME result;
    CBinaryFileReader reader(input.c_str(), true);
    platform::FileStatus opened;
    if (!reader.IsOpen() || !platform::GetHandleStatus(reader.GetFileHandle(), &opened)) {
        result.End(VARNEXRESULTSTATE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_OPEN_FAILED));
        return result;
    }
    reader.SetReadLimit(opened.size);  // a growing file is copied as it was at open
    if (!writer.IsOpen()) {
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_CREATE_FAILED));
        return result;
    }
    std::vector<unsigned char> block(1u << 16);
    while (result.state == VARNEXRESULTSTATE_OK && !reader.Eof()) {
        const unsigned n = reader.Read(block.data(), static_cast<unsigned>(block.size()));
        if (n > 0 && writer.Write(block.data(), n) != n)
            result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_WRITE_FAILED));
        else if (!CanContinue())
            result.End(VARNEXRESULTSTATE_CANCELLED, VARNEXREASONNOTE::Of(VARNEXREASON_CANCELLED));
    }
    if (result.state == VARNEXRESULTSTATE_OK && reader.HasReadError())
        result.End(VARNEXRESULTSTATE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_READ_FAILED));
    if (!writer.Close() && result.state == VARNEXRESULTSTATE_OK)
        result.End(VARNEXRESULTSTATE_WRITE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_WRITE_FAILED));
    if (result.state != VARNEXRESULTSTATE_OK)
        return result;
    result.operation = VARNEXRESULTOPERATION_COPIED;
    result.bytesIn = result.bytesOut = writer.GetBytesWritten();
    platform::FileStatus now;
    if (platform::GetHandleStatus(reader.GetFileHandle(), &now) &&
        (now.size != opened.size || now.modified != opened.modified ||
         now.modifiedNanoseconds != opened.modifiedNanoseconds || reader.GetPosition() != opened.size)) {
        result.state = VARNEXRESULTSTATE_WARNING;
        result.reasons.push_back(
            VARNEXREASONNOTE::Of(VARNEXREASON_CHANGED_WHILE_COPIED, opened.size, now.size));
    }
    return result;
}

void CConverterThread::Process(CVarnexFileInfo* record)
{
    m_owner->SessionFileStarted(record);
    record->ResetProgress();
    record->SetStatus(VARNEXFILESTATUS_STARTED);
    m_owner->SessionNotifyUpdate(record);
    // A failure nothing below caught (memory, a hook) ends this file, never
    // the thread, which would leave the record started for good.
    try {
        record->SetOutcome(DetectAndConvert(record));
    } catch (const std::exception& e) {
        record->SetOutcome(
            Unfinished(*record, VARNEXREASONNOTE::Detail(VARNEXREASON_INTERNAL_EXCEPTION, text::FromUtf8(e.what()))));
    } catch (...) {
        record->SetOutcome(Unfinished(*record, VARNEXREASONNOTE::Of(VARNEXREASON_INTERNAL_ERROR)));
    }
    m_owner->SessionFileFinished(record);
}

VARNEXFILEOUTCOME CConverterThread::DetectAndConvert(CVarnexFileInfo* record)
{
    const CLongPath input(record->GetInputFile());
    const CLongPath output(record->GetOutputFile());
    VARNEXFILEOUTCOME outcome = Detect(*record, input);
    const bool write = !m_setting.detectOnly && !output.IsEmpty() && outcome.state != VARNEXRESULTSTATE_ERROR &&
                       outcome.state != VARNEXRESULTSTATE_CANCELLED;
    if (write)
        WriteOutput(record, input, output, outcome);
    return outcome;
}

VARNEXFILEOUTCOME CConverterThread::Detect(const CVarnexFileInfo& record, const CLongPath& input)
{
    VARNEXFILEOUTCOME outcome;
    outcome.bytesIn = InputSize(input.GetPath());
    if (record.GetAllowAutoDetect()) {
        // A large sample must not hold up a stop or a pause.
        CAdvancedDetector detector(input.GetPath(), m_detection, m_setting.chunkSize, m_setting.sampleSizeMB,
                                   m_setting.allowBinaryListDetection, m_setting.useGB18030,
                                   [this] { return CanContinue(); });
        outcome.codepage = detector.GetCodepage();
        outcome.confidence = detector.GetConfidence();
        outcome.hasBom = detector.HasBom();
        outcome.method = detector.GetMethod();
        if (detector.WasStopped())
            outcome.End(VARNEXRESULTSTATE_CANCELLED, VARNEXREASONNOTE::Of(VARNEXREASON_CANCELLED));
        else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNSURE)
            outcome.End(VARNEXRESULTSTATE_WARNING, VARNEXREASONNOTE::Of(VARNEXREASON_DETECTION_UNSURE));
        else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNKNOWN_TEXT)
            outcome.End(VARNEXRESULTSTATE_WARNING, VARNEXREASONNOTE::Of(VARNEXREASON_UNKNOWN_TEXT));
        else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_ERROR)
            outcome.End(VARNEXRESULTSTATE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_UNREADABLE));
        else if (detector.HasC1Controls())
            outcome.End(VARNEXRESULTSTATE_WARNING, VARNEXREASONNOTE::Of(VARNEXREASON_C1_CONTROLS));
        else if (detector.IsDoubleEncoded())
            outcome.End(VARNEXRESULTSTATE_WARNING,
                        VARNEXREASONNOTE::Of(VARNEXREASON_DOUBLE_ENCODED, record.GetOptions().repairDoubleEncoding));
    } else {
        const CCodepageInfo* info = record.GetCodepageInfo();
        outcome.codepage = info ? info->GetCodepage() : -1;
        outcome.confidence = 1.0f;
        outcome.hasBom = record.GetHasBom();
        outcome.method = VARNEXDETECTIONMETHOD_FIXED;
        // Never pass a file without a code page off as binary.
        if (info == nullptr || outcome.codepage == -1)
            outcome.End(VARNEXRESULTSTATE_ERROR, VARNEXREASONNOTE::Of(VARNEXREASON_NO_CODEPAGE));
    }
    return outcome;
}

void CConverterThread::WriteOutput(CVarnexFileInfo* record, const CLongPath& input, const CLongPath& output,
                                   VARNEXFILEOUTCOME& outcome)
{
    const VARNEXCONVERSIONOPTIONS options = record->GetOptions();
    const int codepage = outcome.codepage;
    // Neither a binary file nor text of unknown code page is converted; both
    // are copied as they are when asked.
    const bool asIs = codepage == -1 || codepage == CAdvancedDetector::kUnknownTextCodepage;
    const bool supported = !asIs && CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(codepage));
    if (!asIs && !supported)
        outcome.End(VARNEXRESULTSTATE_NOT_SUPPORTED,
                    VARNEXREASONNOTE::Of(VARNEXREASON_CODEPAGE_NOT_CONVERTIBLE, static_cast<uint64_t>(codepage)));
    // The folder is made even for a file that is then left alone. Files
    // come folder by folder: the folder made and checked for the last file
    // is not walked again while its path still leads to that same folder
    // (one swapped for a link, or removed, is walked, and refused or made).
    const std::u16string directory = output.GetDirectory();
    std::u16string folder = record->GetOutputRoot() + u'\0' + directory;
    platform::FileStatus now;
    const bool same = folder == m_lastFolder && platform::GetFileStatus(directory, &now) &&
                      now.type == platform::FileType::Directory && now.device == m_lastFolderStatus.device &&
                      now.inode == m_lastFolderStatus.inode;
    VARNEXREASONNOTE why;
    const bool made = same || MakeOutputFolder(*record, output, why, m_lastFolderStatus);
    m_lastFolder = made ? std::move(folder) : std::u16string();
    if (!made)
        outcome.End(VARNEXRESULTSTATE_WRITE_ERROR, std::move(why));
    else if (supported)
        outcome.Then(ConvertText(record, input, output, codepage, options, IsRepaired(outcome)));
    else if (options.copyUnconverted)
        outcome.Then(CopyUnconverted(input, output, options.keepModeAndTime, record->IsOutputNamed()));
}

VARNEXFILEOUTCOME CConverterThread::ConvertText(CVarnexFileInfo* record, const CLongPath& input,
                                                const CLongPath& output, int codepage,
                                                const VARNEXCONVERSIONOPTIONS& options, bool repair)
{
    record->SetStatus(VARNEXFILESTATUS_CONVERTING);
    m_owner->SessionNotifyUpdate(record);
    CTextFileConverter converter(input.c_str(), m_setting.chunkSize, m_setting.readBufferSize,
                                 m_setting.writeBufferSize, m_textBuffer.get(), m_readBuffer.get(),
                                 m_writeBuffer.get());
    converter.SetContinueCallback(ConverterCanContinue, this);
    converter.SetReportProgressCallback(ConverterReportProgress, record);
    converter.SetRepairDoubleEncoding(repair);
    converter.SetKeepModeAndTime(options.keepModeAndTime);
    converter.SetOutputNamed(record->IsOutputNamed());
    converter.Convert(output.c_str(), static_cast<unsigned>(codepage), options.outputTextFormat, options.returnType,
                      options.writeBom, 0);
    return converter.GetOutcome();
}
