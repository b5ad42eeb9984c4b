#pragma once

#include <memory>
#include <string>

#include "varnex/session/session_records.h"
#include "varnex/session/varnex_file_info.h"
#include "varnex/varnex_export.h"

// What the session's finder and converter threads (and its prepared job)
// need of the session, and all they may reach of it.
class VARNEX_API CVarnexSessionWork {
public:
    virtual ~CVarnexSessionWork() = default;

    // A job item to take on: a folder to search, or a file for the queue.
    virtual void SessionHandleJob(const tagVARNEXBATCHJOBITEM& item) = 0;
    // A file a folder item's walk found, for the queue: its job is shared by
    // every file of the walk.
    virtual void SessionAddFound(const std::shared_ptr<const JobRequest>& job, const std::u16string& inputPath,
                                 const std::u16string& outputPath) = 0;
    // An entry the walk met but cannot take as a file: listed as finished,
    // with its state and why, so the summary and the report name it.
    virtual void SessionAddSkipped(const std::u16string& path, VARNEXRESULTSTATE state, ReasonNote why) = 0;
    virtual void SessionCountFolderError() = 0;

    virtual void SessionCopyJobSetting(VARNEXJOBSETTING& setting) const = 0;
    // The next queued record for a converter thread. With the finder ended
    // and the queue empty, *noMore is set: no record can come any more.
    virtual CVarnexFileInfo* TakeQueuedRecord(bool* noMore, unsigned waitMs) = 0;
    virtual void SessionFileStarted(CVarnexFileInfo* record) = 0;
    // Counts the record and then marks it finished, as one step.
    virtual void SessionFileFinished(CVarnexFileInfo* record) = 0;
    virtual bool SessionNotifyUpdate(CVarnexFileInfo* record) = 0;
};
