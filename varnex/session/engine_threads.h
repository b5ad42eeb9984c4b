#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/lockable.h"
#include "base/thread_base.h"
#include "textrion/finder/file_finder.h"
#include "textrion/path/long_path.h"
#include "varnex/convert/text_file_converter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnex;
class CVarnexFileInfo;

// The session's output folders, sorted, without duplicates; compared exactly
// (case matters).
class VARNEX_API COutputFolderList : public CLockable {
public:
    COutputFolderList() = default;
    COutputFolderList(const COutputFolderList& other);
    COutputFolderList& operator=(const COutputFolderList& other);
    ~COutputFolderList() override = default;

    std::set<std::u16string> m_folders;
};

// Prepared job items in the order they were added; consumed by a session start.
class VARNEX_API CVarnexBatchJob : public CLockable {
public:
    CVarnexBatchJob() = default;
    ~CVarnexBatchJob() override = default;
    CVarnexBatchJob(const CVarnexBatchJob&) = delete;
    CVarnexBatchJob& operator=(const CVarnexBatchJob&) = delete;

    void Add(const tagVARNEXBATCHJOBITEM& item);
    void Add(const CVarnexBatchJob& other);
    void Reset();
    size_t GetCount() const;

protected:
    friend class CVarnex;
    // Hands every item to the session in order, records the output folders
    // (when a list is given) and empties the job.
    void Deploy(CVarnex& session, COutputFolderList* folders);

    std::vector<tagVARNEXBATCHJOBITEM> m_items;
};

// The file-name filter of a job: a wildcard list ("*.txt;*.csv", split at
// ';', tokens not trimmed, case ignored) or a regular expression (case
// ignored, matching the whole name). Expressions run in time linear in the
// name's length, so no pattern can hang a walk: the ECMAScript syntax without
// back-references and look-arounds, which such an engine cannot offer (a
// pattern using them is refused as invalid). Compiled once.
class VARNEX_API CNameFilter {
public:
    // extraSeparators also end a token (the views' filters split at CR and LF too).
    static bool PassesWildcardList(const std::u16string& name, const std::u16string& list,
                                   const char16_t* extraSeparators = u"");
    static bool MatchesWildcard(const std::u16string& name, const std::u16string& pattern);
    // Whether the expression compiles; error (optional) receives why not.
    static bool IsValidRegex(const std::u16string& expression, std::string* error = nullptr);

    CNameFilter() = default;
    CNameFilter(bool regex, const std::u16string& expression);
    // A name that cannot be matched (a bad expression, an error while
    // matching) does not pass.
    bool Passes(const std::u16string& name) const;

private:
    bool m_regex = false;
    std::u16string m_expression;
    struct Compiled;
    static std::shared_ptr<const Compiled> Compile(const std::u16string& expression, std::string* error);
    std::shared_ptr<const Compiled> m_compiled;
};

// A folder item's search, with what every file found inherits from the item.
class VARNEX_API CVarnexFileFinderJob : public CFileFinderJob {
public:
    CVarnexFileFinderJob() = default;
    ~CVarnexFileFinderJob() override = default;
    CVarnexFileFinderJob(const CVarnexFileFinderJob&) = default;
    CVarnexFileFinderJob& operator=(const CVarnexFileFinderJob&) = default;

    bool IsFilterEnabled() const { return m_filterEnabled; }

    int32_t m_inputCodepage = -1;
    CTextFileConverter::OUTPUTTEXTFORMAT m_outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    CTextFileConverter::RETURNTYPE m_returnType = CTextFileConverter::RETURNTYPE_NOCHANGE;
    bool m_writeBom = true;
    bool m_copyUnconverted = false;
    bool m_filterEnabled = false;
    bool m_filterIsRegex = false;
    std::u16string m_outputFolder;
    std::u16string m_filterExpression;
    CNameFilter m_filter;
};

// The engine's finder: every file found becomes a file item of the session.
class VARNEX_API CVarnexFileFinderThread : public CFileFinderThread {
public:
    explicit CVarnexFileFinderThread(CVarnex* owner);
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
    CVarnex* m_owner;
};

// Takes records from the session's queue, detects and converts them.
class VARNEX_API CConverterThread : public CThreadBase {
public:
    CConverterThread(CVarnex* owner, void* param);
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

    CVarnex* m_owner;
    VARNEXJOBSETTING m_setting;
    std::unique_ptr<char16_t[]> m_textBuffer;
    std::unique_ptr<unsigned char[]> m_readBuffer;
    std::unique_ptr<unsigned char[]> m_writeBuffer;
};
