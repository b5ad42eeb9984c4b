#pragma once

#include <memory>
#include <string>

#include "base/thread_base.h"
#include "platform/file_api.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CBinaryFileWriter;
class CVarnexSessionWork;
class CVarnexFileInfo;

// Takes records from the session's queue, detects and converts them.
class VARNEX_API CConverterThread : public CThreadBase {
public:
    CConverterThread(CVarnexSessionWork* owner, void* param);
    ~CConverterThread() override;

    // Longest wait of an idle thread for the finder to queue more records
    // (queuing wakes it at once; the bound keeps stop requests prompt).
    static constexpr unsigned kIdlePollMs = 100;

protected:
    unsigned ThreadHandler() override;
    bool ConvertNextFile();

    static bool ConverterCanContinue(CTextFileConverter* converter, void* thread);
    static void ConverterReportProgress(CTextFileConverter* converter, uint64_t processed,
                                        uint64_t total, void* record);
    // Copies in blocks into a temporary name that is renamed into place, so a
    // stopped or failed copy leaves nothing. Copied: operation COPIED, state
    // OK (WARNING when the input changed meanwhile), both byte counts the
    // copy's size. keepModeAndTime gives the copy the input's permission bits
    // and modification time; outputNamed: as CAtomicOutputFile's followNamed.
    VARNEXFILEOUTCOME CopyUnconverted(const CLongPath& input, const CLongPath& output, bool keepModeAndTime = true,
                                      bool outputNamed = false);

private:
    VARNEXFILEOUTCOME CopyOnce(const CLongPath& input, CBinaryFileWriter& writer);
    void Process(CVarnexFileInfo* record);
    // The file's outcome: detected, then converted or copied when asked.
    VARNEXFILEOUTCOME DetectAndConvert(CVarnexFileInfo* record);
    // The code page, confidence and BOM (found, or as the record assigns
    // them); bytes in is the file's size.
    VARNEXFILEOUTCOME Detect(const CVarnexFileInfo& record, const CLongPath& input);
    // Converts the detected file, or copies it when it cannot be converted and
    // the job asks for a copy, adding what that did to the outcome.
    void WriteOutput(CVarnexFileInfo* record, const CLongPath& input, const CLongPath& output,
                     VARNEXFILEOUTCOME& outcome);
    VARNEXFILEOUTCOME ConvertText(CVarnexFileInfo* record, const CLongPath& input, const CLongPath& output,
                                  int codepage, const VARNEXCONVERSIONOPTIONS& options, bool repair);

    CVarnexSessionWork* m_owner;
    VARNEXJOBSETTING m_setting;
    std::unique_ptr<char16_t[]> m_textBuffer;
    std::unique_ptr<unsigned char[]> m_readBuffer;
    std::unique_ptr<unsigned char[]> m_writeBuffer;
    CAdvancedDetector::CWorkspace m_detection;  // kept: the statistical detector is costly to build
    std::u16string m_lastFolder;                // output root and folder last made
    platform::FileStatus m_lastFolderStatus;    // and what it was
};
