#pragma once

#include <string>

#include "textrion/finder/file_finder.h"
#include "varnex/session/conversion_options.h"
#include "varnex/session/name_filter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnexSessionWork;

// A folder item's search, with what every file found inherits from the item.
class VARNEX_API CVarnexFileFinderJob : public CFileFinderJob {
public:
    CVarnexFileFinderJob() = default;
    ~CVarnexFileFinderJob() override = default;
    CVarnexFileFinderJob(const CVarnexFileFinderJob&) = default;
    CVarnexFileFinderJob& operator=(const CVarnexFileFinderJob&) = default;

    bool IsFilterEnabled() const { return m_options.filter.IsEnabled(); }

    // The item's options; recursive and hidden are also in the base job,
    // which walks by them.
    VARNEXCONVERSIONOPTIONS m_options;
    std::u16string m_outputFolder;
    CNameFilter m_filter;  // m_options.filter, compiled once per item
    VARNEXSHARD m_shard;   // folders are walked whole; files and rows only of this slice

    bool Owns(const std::u16string& path) const { return m_shard.OwnsBelow(path, m_baseFolder); }
};

// The engine's finder: every file found becomes a file item of the session.
class VARNEX_API CVarnexFileFinderThread : public CFileFinderThread {
public:
    explicit CVarnexFileFinderThread(CVarnexSessionWork* owner);
    ~CVarnexFileFinderThread() override;

    void FindFiles(const tagVARNEXBATCHJOBITEM& item);
    using CFileFinderThread::ExcludeFolder;
    // For a finder that could not be started: its searches must not wait for the next session.
    using CFileFinderThread::FreeRemainingJobs;

protected:
    void OnFileFound(const CFindEntry& entry, CFileFinderJob* job) override;
    CFileFinderJob* CreateJobInstance() override;
    void InitNewRecursiveJob(CFileFinderJob* newJob, const CFindEntry& folderEntry, CFileFinderJob* parent) override;
    void OnFolderError(CFileFinderJob* job, int error) override;
    void OnEntrySkipped(const CSkippedEntry& entry, CFileFinderJob* job) override;

private:
    CVarnexSessionWork* m_owner;
};
