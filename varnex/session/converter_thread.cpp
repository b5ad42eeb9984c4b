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

// Makes the output file's folder below the record's output root without
// passing through a link, so a link planted in the output tree cannot send
// an output elsewhere.
bool MakeOutputFolder(const CVarnexFileInfo& record, const CLongPath& output, std::u16string& why)
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
            why = u"the output file lies outside the output folder";
            return false;
        }
    }
    int error = 0;
    if (platform::CreateFolderChain(root, relative, &error))
        return true;
    if (error == ELOOP)
        why = u"a folder on the way to the output file is a symbolic link: not followed";
    else
        why = u"cannot create the output folder: " + text::FromUtf8(std::strerror(error));
    return false;
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

CConverterThread::CopyResult CConverterThread::CopyUnconverted(const CLongPath& input, const CLongPath& output)
{
    CopyResult result;
    // As with conversions: a file that changed while it was read is read once
    // more, and one that keeps changing is kept as read, with a warning.
    CAtomicOutputFile target(output.GetPath());
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            target.Restart();
        result = CopyOnce(input, target.GetTemporaryPath());
        if (result.status != CopyResult::COPIED || result.change.empty())
            break;
    }
    if (result.status == CopyResult::COPIED && !target.Commit()) {
        result.status = CopyResult::WRITE_FAILED;
        result.why = u"cannot move the output file into place";
    }
    return result;
}

CConverterThread::CopyResult CConverterThread::CopyOnce(const CLongPath& input, const std::u16string& temp)
{
    CopyResult result;
    CBinaryFileReader reader(input.c_str(), true);
    platform::FileStatus opened;
    if (!reader.IsOpen() || !platform::GetHandleStatus(reader.GetFileHandle(), &opened)) {
        result.status = CopyResult::READ_FAILED;
        result.why = u"cannot open the input file";
        return result;
    }
    reader.SetReadLimit(opened.size);  // a growing file is copied as it was at open
    CBinaryFileWriter writer(temp.c_str(), false, true, true);
    if (!writer.IsOpen()) {
        result.status = CopyResult::WRITE_FAILED;
        result.why = u"cannot create the output file";
        return result;
    }
    std::vector<unsigned char> block(1u << 16);
    while (result.status == CopyResult::COPIED && !reader.Eof()) {
        const unsigned n = reader.Read(block.data(), static_cast<unsigned>(block.size()));
        if (n > 0 && writer.Write(block.data(), n) != n) {
            result.status = CopyResult::WRITE_FAILED;
            result.why = u"writing the output file failed";
        } else if (!CanContinue()) {
            result.status = CopyResult::STOPPED;
        }
    }
    if (result.status == CopyResult::COPIED && reader.HasReadError()) {
        result.status = CopyResult::READ_FAILED;
        result.why = u"reading the input file failed";
    }
    if (!writer.Close() && result.status == CopyResult::COPIED) {
        result.status = CopyResult::WRITE_FAILED;
        result.why = u"writing the output file failed";
    }
    platform::FileStatus now;
    if (result.status == CopyResult::COPIED && platform::GetHandleStatus(reader.GetFileHandle(), &now) &&
        (now.size != opened.size || now.modified != opened.modified ||
         now.modifiedNanoseconds != opened.modifiedNanoseconds || reader.GetPosition() != opened.size)) {
        result.change = u"the file changed while it was copied (" + text::FromUnsigned(opened.size) +
                        u" bytes at the start, " + text::FromUnsigned(now.size) +
                        u" at the end): the copy holds what was read";
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
        DetectAndConvert(record);
    } catch (const std::exception& e) {
        record->SetResultState(VARNEXRESULTSTATE_ERROR);
        record->SetResultOperation(VARNEXRESULTOPERATION_NONE);
        record->SetMessage(u"internal error: " + text::FromUtf8(e.what()));
    } catch (...) {
        record->SetResultState(VARNEXRESULTSTATE_ERROR);
        record->SetResultOperation(VARNEXRESULTOPERATION_NONE);
        record->SetMessage(u"internal error");
    }
    m_owner->SessionFileFinished(record);
}

void CConverterThread::DetectAndConvert(CVarnexFileInfo* record)
{
    const CLongPath input(record->GetInputFile());
    const CLongPath output(record->GetOutputFile());
    int codepage = -1;
    float confidence = 0.0f;
    bool hasBom = false;
    VARNEXRESULTSTATE state = VARNEXRESULTSTATE_OK;
    VARNEXRESULTOPERATION operation = VARNEXRESULTOPERATION_NONE;
    std::u16string message;
    uint64_t replaced = 0;

    if (record->GetAllowAutoDetect()) {
        // A large sample must not hold up a stop or a pause.
        CAdvancedDetector detector(input.GetPath(), m_detection, m_setting.chunkSize, m_setting.sampleSizeMB,
                                   m_setting.allowBinaryListDetection, m_setting.useGB18030,
                                   [this] { return CanContinue(); });
        codepage = detector.GetCodepage();
        confidence = detector.GetConfidence();
        hasBom = detector.HasBom();
        if (detector.WasStopped()) {
            state = VARNEXRESULTSTATE_CANCELLED;
            message = u"cancelled";
        } else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_UNSURE) {
            state = VARNEXRESULTSTATE_WARNING;
            message = u"the code page detection is unsure";
        } else if (detector.GetResult() == CAdvancedDetector::DETECTIONRESULT_ERROR) {
            state = VARNEXRESULTSTATE_ERROR;
            message = u"the file could not be read";
        }
    } else {
        const CCodepageInfo* info = record->GetCodepageInfo();
        codepage = info ? info->GetCodepage() : -1;
        confidence = 1.0f;
        hasBom = record->GetHasBom();
        if (info == nullptr || codepage == -1) {
            // Never pass a file without a code page off as binary.
            state = VARNEXRESULTSTATE_ERROR;
            message = u"no code page is assigned and detection is off";
        }
    }

    const bool convert = !m_setting.detectOnly && !output.IsEmpty() && state != VARNEXRESULTSTATE_ERROR &&
                         state != VARNEXRESULTSTATE_CANCELLED;
    if (convert) {
        const VARNEXCONVERSIONOPTIONS options = record->GetOptions();
        const bool copy = options.copyUnconverted;
        const bool binary = codepage == -1;
        const bool supported = !binary && CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(codepage));
        if (!binary && !supported) {
            state = VARNEXRESULTSTATE_NOT_SUPPORTED;
            message = u"code page " + text::FromNumber(codepage) + u" cannot be converted here";
        }
        if (std::u16string why; !MakeOutputFolder(*record, output, why)) {
            state = VARNEXRESULTSTATE_WRITE_ERROR;
            message = why;
        } else if (supported) {
            record->SetStatus(VARNEXFILESTATUS_CONVERTING);
            m_owner->SessionNotifyUpdate(record);
            CTextFileConverter converter(input.c_str(), m_setting.chunkSize, m_setting.readBufferSize,
                                         m_setting.writeBufferSize, m_textBuffer.get(), m_readBuffer.get(),
                                         m_writeBuffer.get());
            converter.SetContinueCallback(ConverterCanContinue, this);
            converter.SetReportProgressCallback(ConverterReportProgress, record);
            const auto result = converter.Convert(output.c_str(), static_cast<unsigned>(codepage),
                                                  options.outputTextFormat, options.returnType, options.writeBom, 0);
            replaced = converter.GetReplacementCount();
            switch (result) {
            case CTextFileConverter::CONVERTRESULT_OK:
                operation = VARNEXRESULTOPERATION_CONVERTED;
                if (replaced > 0) {
                    state = VARNEXRESULTSTATE_WARNING;
                    message = text::FromUnsigned(replaced) +
                              u" characters could not be decoded or written and were replaced by U+FFFD";
                }
                if (!converter.GetInputChange().empty()) {
                    state = VARNEXRESULTSTATE_WARNING;
                    message += (message.empty() ? u"" : u"; ") + converter.GetInputChange();
                }
                break;
            case CTextFileConverter::CONVERTRESULT_CANCELLED:
                state = VARNEXRESULTSTATE_CANCELLED;
                message = u"cancelled";
                break;
            default:
                state = converter.IsOutputError() ? VARNEXRESULTSTATE_WRITE_ERROR
                                                  : VARNEXRESULTSTATE_CONVERSION_ERROR;
                message = converter.GetErrorText();
                break;
            }
        }
        if (copy && operation == VARNEXRESULTOPERATION_NONE && state != VARNEXRESULTSTATE_CANCELLED &&
            state != VARNEXRESULTSTATE_WRITE_ERROR && (binary || !supported)) {
            const CopyResult copied = CopyUnconverted(input, output);
            switch (copied.status) {
            case CopyResult::COPIED:
                operation = VARNEXRESULTOPERATION_COPIED;
                if (!copied.change.empty()) {
                    state = VARNEXRESULTSTATE_WARNING;
                    message += (message.empty() ? u"" : u"; ") + copied.change;
                }
                break;
            case CopyResult::STOPPED:
                state = VARNEXRESULTSTATE_CANCELLED;
                message = u"cancelled";
                break;
            case CopyResult::READ_FAILED:
                state = VARNEXRESULTSTATE_ERROR;
                message = copied.why;
                break;
            case CopyResult::WRITE_FAILED:
                state = VARNEXRESULTSTATE_WRITE_ERROR;
                message = copied.why;
                break;
            }
        }
    }

    record->SetCodepage(codepage);
    record->SetConfidence(confidence);
    record->SetHasBom(hasBom);
    record->SetResultState(state);
    record->SetResultOperation(operation);
    record->SetMessage(message);
    record->SetReplacedCount(replaced);
}
