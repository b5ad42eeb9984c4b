#pragma once

#include <memory>
#include <string>

#include "textrion/finder/file_finder.h"
#include "varnex/session/conversion_options.h"
#include "varnex/session/name_filter.h"
#include "varnex/session/session_records.h"
#include "varnex/session/varnex_file_info.h"
#include "varnex/varnex_export.h"

class CVarnexSessionWork;

// What every folder of one item's search has in common, made once per item.
struct FolderWalk {
    std::shared_ptr<const JobRequest> files;  // what every file found takes on
    CNameFilter filter;                       // the options' filter, compiled once
    // Folders are walked whole; files and rows only of this slice.
    Shard shard;
};

// A folder item's search: one folder, and the walk it belongs to.
class VARNEX_API CVarnexFileFinderJob : public CFileFinderJob {
public:
    CVarnexFileFinderJob() = default;
    ~CVarnexFileFinderJob() override = default;
    CVarnexFileFinderJob(const CVarnexFileFinderJob&) = default;
    CVarnexFileFinderJob& operator=(const CVarnexFileFinderJob&) = default;

    const ConversionOptions& Options() const { return m_walk->files->options; }
    bool IsFilterEnabled() const { return Options().filter.IsEnabled(); }
    bool Owns(const std::u16string& path) const { return m_walk->shard.OwnsBelow(path, m_baseFolder); }

    // Shared by every folder of the walk. Recursive and hidden are also in
    // the base job, which walks by them.
    std::shared_ptr<const FolderWalk> m_walk;
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
