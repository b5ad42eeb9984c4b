#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/lockable_containers.h"
#include "base/thread_base.h"
#include "textrion/textrion_export.h"

// One directory entry as the finders report it. Symbolic links are followed:
// type, size and times are those of the target.
struct TEXTRION_API CFindEntry {
    enum Type { TYPE_FILE, TYPE_DIRECTORY };

    std::u16string name;
    Type type = TYPE_FILE;
    uint32_t attributes = 0;  // CFileFinderThread::ATTRIBUTE_ bits
    uint64_t size = 0;
    std::time_t modified = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool isLink = false;

    [[nodiscard]] bool IsDirectory() const { return type == TYPE_DIRECTORY; }
};

// An entry the walk met but does not report as a file or folder, with why.
struct TEXTRION_API CSkippedEntry {
    enum Reason {
        REASON_NOT_REGULAR,      // a FIFO, socket or device: never opened
        REASON_DANGLING_LINK,    // a symbolic link to nothing
        REASON_LINK_LOOP,        // a symbolic link that leads back to itself
        REASON_UNREACHABLE,      // listed but cannot be examined (a folder without search permission)
        REASON_FOLDER_REPEATED,  // a folder already searched, reached again through a link
        REASON_INTO_EXCLUDED,    // a symbolic link to an excluded folder or to something inside one
    };

    std::u16string path;  // the entry's full path
    Reason reason = REASON_NOT_REGULAR;
    int error = 0;  // errno where the system gave one
    bool isFolder = false;
    const char16_t* kind = u"";  // REASON_NOT_REGULAR: "FIFO", "socket", "device"
};

// One folder to search.
class TEXTRION_API CFileFinderJob {
public:
    virtual ~CFileFinderJob() = default;
    CFileFinderJob() = default;
    CFileFinderJob(const CFileFinderJob&) = default;
    CFileFinderJob& operator=(const CFileFinderJob&) = default;

    const std::u16string& GetBaseFolder() const { return m_baseFolder; }
    const std::u16string& GetJobFolder() const { return m_jobFolder; }
    [[nodiscard]] bool IsRecursive() const { return m_recursive; }
    [[nodiscard]] bool IncludeHidden() const { return m_includeHidden; }

    std::u16string m_baseFolder;  // where the whole search started
    std::u16string m_jobFolder;   // the folder this job lists
    bool m_recursive = false;
    bool m_includeHidden = false;
};

// A worker thread that walks folder trees breadth-first from a queue of jobs
// and hands every entry to OnFileFound. Only regular files and folders are
// reported: FIFOs, sockets and devices are skipped without being opened.
// Hidden entries are names starting with '.'; without "include hidden" they
// are neither reported nor, as folders, searched. A folder reached again
// through a link (same device and inode) is searched once per run, and
// excluded folders (ExcludeFolder) are neither reported nor searched; a link
// that leads into one is passed to OnEntrySkipped. A folder
// that cannot be listed is counted and passed to OnFolderError; every other
// entry it cannot report goes to OnEntrySkipped, so nothing the walk meets
// vanishes without a word.
class TEXTRION_API CFileFinderThread : public CThreadBase {
public:
    enum : uint32_t {
        ATTRIBUTE_READONLY = 0x1,
        ATTRIBUTE_HIDDEN = 0x2,
        ATTRIBUTE_SYSTEM = 0x4,
        ATTRIBUTE_DIRECTORY = 0x10,
        ATTRIBUTE_ARCHIVE = 0x20,
        ATTRIBUTE_NORMAL = 0x80,
        ATTRIBUTE_TEMPORARY = 0x100,
        ATTRIBUTE_COMPRESSED = 0x800,
    };

    ~CFileFinderThread() override;
    CFileFinderThread();
    // mask: shell wildcards (* and ?) matched against every name, folders included.
    explicit CFileFinderThread(const char16_t* mask);

    // Queues a search; does not start the thread (CreateThread does).
    void FindFiles(const char16_t* folder, bool recursive, bool includeHidden, unsigned long reserved = 0);
    // Folders never reported nor searched, by device and inode (an output
    // folder inside the input tree, say). Call before the thread starts.
    bool ExcludeFolder(const std::u16string& folder);
    // A file never reported (the session's own report), by its folder's
    // device and inode and its name, so it may be made after the call.
    bool ExcludeFile(const std::u16string& path);
    void ClearExcludedFolders()
    {
        m_excluded.clear();
        m_excludedFiles.clear();
    }
    // Folders that could not be listed during the last run.
    unsigned GetFolderErrorCount() const { return m_folderErrors.load(); }

    [[nodiscard]] static bool IsReadOnly(uint32_t attributes) { return attributes & ATTRIBUTE_READONLY; }
    [[nodiscard]] static bool IsHidden(uint32_t attributes) { return attributes & ATTRIBUTE_HIDDEN; }
    [[nodiscard]] static bool IsSystem(uint32_t attributes) { return attributes & ATTRIBUTE_SYSTEM; }
    [[nodiscard]] static bool IsDirectory(uint32_t attributes) { return attributes & ATTRIBUTE_DIRECTORY; }
    [[nodiscard]] static bool IsArchived(uint32_t attributes) { return attributes & ATTRIBUTE_ARCHIVE; }
    [[nodiscard]] static bool IsNormal(uint32_t attributes) { return attributes & ATTRIBUTE_NORMAL; }
    [[nodiscard]] static bool IsTemporary(uint32_t attributes) { return attributes & ATTRIBUTE_TEMPORARY; }
    [[nodiscard]] static bool IsCompressed(uint32_t attributes) { return attributes & ATTRIBUTE_COMPRESSED; }
    [[nodiscard]] static bool MatchesMask(uint32_t attributes, uint32_t mask) { return (attributes & mask) == mask; }
    [[nodiscard]] static bool IsDots(const std::u16string& name) { return name == u"." || name == u".."; }
    // Shell wildcard match (* and ?), case-insensitive for ASCII letters.
    [[nodiscard]] static bool MatchesWildcard(const std::u16string& pattern, const std::u16string& name);

protected:
    unsigned ThreadHandler() override;

    [[nodiscard]] virtual bool OnTakingJob(CFileFinderJob* job);
    virtual void OnFileFound(const CFindEntry& entry, CFileFinderJob* job) = 0;
    virtual CFileFinderJob* CreateJobInstance();
    virtual void InitNewRecursiveJob(CFileFinderJob* newJob, const CFindEntry& folderEntry, CFileFinderJob* parent);
    // A folder that could not be listed (errno in error); counted before the call.
    virtual void OnFolderError(CFileFinderJob* job, int error);
    virtual void OnEntrySkipped(const CSkippedEntry& entry, CFileFinderJob* job);

    CFileFinderJob* CreateRecursiveJob(const CFindEntry& entry, CFileFinderJob* parent);
    void SafeEnqueueJob(CFileFinderJob* job);
    CFileFinderJob* SafeDequeueJob();
    void FreeRemainingJobs();

    CLockableQueue<CFileFinderJob*, 0> m_jobs;
    unsigned m_unused = 0;
    std::u16string m_mask;

private:
    void SearchJob(CFileFinderJob* job);
    // Whether the target of the link at path is an excluded folder or lies below one.
    [[nodiscard]] bool LeadsIntoExcluded(const std::u16string& path) const;

    std::set<std::pair<uint64_t, uint64_t>> m_excluded;
    std::set<std::tuple<uint64_t, uint64_t, std::u16string>> m_excludedFiles;
    std::set<std::pair<uint64_t, uint64_t>> m_visited;  // folders searched in this run
    std::atomic<unsigned> m_folderErrors{0};
};
