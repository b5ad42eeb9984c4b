#pragma once

#include <memory>
#include <string>

#include "base/thread_base.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

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
    struct CopyResult {
        enum Status { COPIED, STOPPED, READ_FAILED, WRITE_FAILED };
        Status status = COPIED;
        std::u16string why;     // the failure
        std::u16string change;  // how the input changed while it was copied
    };
    // Copies in blocks into a temporary name that is renamed into place, so a
    // stopped or failed copy leaves nothing.
    CopyResult CopyUnconverted(const CLongPath& input, const CLongPath& output);

private:
    CopyResult CopyOnce(const CLongPath& input, const std::u16string& temp);
    void Process(CVarnexFileInfo* record);
    // Detects and converts one file and sets the record's results.
    void DetectAndConvert(CVarnexFileInfo* record);

    CVarnexSessionWork* m_owner;
    VARNEXJOBSETTING m_setting;
    std::unique_ptr<char16_t[]> m_textBuffer;
    std::unique_ptr<unsigned char[]> m_readBuffer;
    std::unique_ptr<unsigned char[]> m_writeBuffer;
    CAdvancedDetector::CWorkspace m_detection;  // kept: the statistical detector is costly to build
};
