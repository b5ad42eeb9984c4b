#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "base/thread_base.h"
#include "platform/file_api.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/file_outcome.h"
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

private:
    void Process(CVarnexFileInfo* record);
    // The file's outcome: detected, then converted or copied when asked.
    VARNEXFILEOUTCOME DetectAndConvert(CVarnexFileInfo* record);
    // The open folder the record's output goes into, made below the output
    // root when missing and never reached through a link; null with why.
    platform::FolderRef OutputFolder(const CVarnexFileInfo& record, const CLongPath& output, VARNEXREASONNOTE& why);

    CVarnexSessionWork* m_owner;
    VARNEXJOBSETTING m_setting;
    std::unique_ptr<char16_t[]> m_textBuffer;
    std::unique_ptr<unsigned char[]> m_readBuffer;
    std::unique_ptr<unsigned char[]> m_writeBuffer;
    std::stop_source m_stop;  // requested once the thread is stopped
    CAdvancedDetector::CWorkspace m_detection;  // kept: the statistical detector is costly to build
    // The output root last written below, opened once for all its files.
    std::u16string m_rootPath;
    platform::FolderRef m_root;
};
