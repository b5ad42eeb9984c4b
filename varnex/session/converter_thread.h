#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "platform/file_api.h"
#include "textrion/path/long_path.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnexSessionWork;
class CVarnexFileInfo;
class CWorkerPool;

// What one converter thread of the session's pool does: takes records from
// the session's queue, detects and converts them, until the queue can bring
// no more or the thread is stopped. Made on the session thread, run on the
// worker; it keeps its buffers and detector from file to file.
class VARNEX_API CConverterThread {
public:
    CConverterThread(CVarnexSessionWork* owner, CWorkerPool& pool);
    CConverterThread(const CConverterThread&) = delete;
    CConverterThread& operator=(const CConverterThread&) = delete;

    // Longest wait of an idle thread for the finder to queue more records
    // (queuing wakes it at once; the bound keeps stop requests prompt).
    static constexpr unsigned kIdlePollMs = 100;

    void Run(std::stop_token stop);

private:
    void Process(CVarnexFileInfo* record);
    // The file's outcome: detected, then converted or copied when asked.
    FileOutcome DetectAndConvert(CVarnexFileInfo* record);
    // The open folder the record's output goes into, made below the output
    // root when missing and never reached through a link; null with why.
    platform::FolderRef OutputFolder(const CVarnexFileInfo& record, const CLongPath& output, ReasonNote& why);

    CVarnexSessionWork* m_owner;
    CWorkerPool& m_pool;
    std::stop_token m_stop;
    VARNEXJOBSETTING m_setting;
    std::unique_ptr<char16_t[]> m_textBuffer;
    std::unique_ptr<unsigned char[]> m_readBuffer;
    std::unique_ptr<unsigned char[]> m_writeBuffer;
    CAdvancedDetector::CWorkspace m_detection;  // kept: the statistical detector is costly to build
    // The output root last written below, opened once for all its files.
    std::u16string m_rootPath;
    platform::FolderRef m_root;
};
