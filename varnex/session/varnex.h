#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/handler_target.h"
#include "base/lockable_containers.h"
#include "base/thread_base.h"
#include "varnex/session/batch_job.h"
#include "varnex/session/output_folder_list.h"
#include "varnex/session/record_store.h"
#include "varnex/session/session_observer.h"
#include "varnex/session/session_records.h"
#include "varnex/session/session_work.h"
#include "varnex/session/varnex_file_info.h"
#include "varnex/session/worker_pool.h"
#include "varnex/varnex_export.h"

class CVarnexFileFinderThread;
class CVarnexResultExporter;

// The session thread: starts the children through the start hook, waits for
// all of them, then runs the stop hook.
class VARNEX_API CVarnexHelperThread : public CThreadBase {
public:
    ~CVarnexHelperThread() override = default;

protected:
    unsigned ThreadHandler() override;
    // Returns the child threads that were started.
    virtual std::vector<CThreadBase*> OnVarnexThreadStart() = 0;
    virtual void OnVarnexThreadStop() = 0;
};

// The engine's batch session. The owner prepares job items, sets the job
// setting, registers handlers and starts it; a session thread hands folders to
// a finder thread, runs converter threads until every file is processed, tells
// its observer of each step and posts what happens to the handlers. The
// session owns its records (in a CSessionRecordStore).
//
// Threads: Start, Pause, Continue, Stop, retries and configuration come from
// the owner's thread; records arrive from the session and finder threads and
// are processed on the converter threads of the pool. The threads reach the
// session only through members of it (the session thread, the work the
// finder and the converters are given) and the observer, never through a
// virtual function of the session itself: so a subclass's destructor may
// run while they still do, and the session's own destructor joins them.
//
// Lock order, where two are held together (never the other way round):
//   the file list -> the update list -> the file queue (a reset holds all
//   three while the observer hears of it); the file list -> the observer's
//   own locks (an added record is told with the list held);
//   the summary lock -> a record's lock (counts and progress read records);
//   the control lock -> the end lock -> the handler lock (a pause or a
//   continue checks the running flags and posts under the end lock);
//   the exporter lock -> a record's lock.
class VARNEX_API CVarnex {
public:
    // Stops the session and joins its threads before any part of it goes.
    virtual ~CVarnex();
    CVarnex(const CVarnex&) = delete;
    CVarnex& operator=(const CVarnex&) = delete;

    // The observer, when given, is told of every step (see SessionObserver)
    // and must outlive the session: its owner declares it before the session.
    CVarnex(HandlerTarget* handler, void* defaultOwnerData, SessionObserver* observer = nullptr);

    // The message the session posts (wParam: VARNEXMESSAGE, lParam as noted there).
    static unsigned GetHandlerMessage();

    static void GetDefaultJobSetting(VARNEXJOBSETTING& setting);
    // Ignored while a session runs; the setting is held to its ranges.
    void SetJobSetting(const VARNEXJOBSETTING& setting);
    void SafeCopyJobSetting(VARNEXJOBSETTING* setting) const;

    bool RegisterHandlerWnd(HandlerTarget* handler);
    bool UnregisterHandlerWnd(HandlerTarget* handler);

    // Not while a session runs. With autoDelete the session deletes the
    // exporter at session end.
    void SetResultExporter(CVarnexResultExporter* exporter);
    void SetResultExporter(CVarnexResultExporter* exporter, bool autoDelete);
    void AutoDeleteResultExporter(bool autoDelete);
    // False when the exporter was set but its report could not be opened or
    // written in full (checked at session end).
    bool IsResultExportOk() const { return m_exportOk.load(); }

    void SetDefaultOwnerData(void* data) { m_defaultOwnerData.store(data); }
    void* GetDefaultOwnerData() const { return m_defaultOwnerData.load(); }
    void EnableUpdateListDispatching(bool enable) { m_dispatching.store(enable); }

    static unsigned GetSystemProcessorCount();
    static unsigned GetAvailableProcessorCount();

    void PrepareJob(const tagVARNEXBATCHJOBITEM& item);
    void PrepareJob(const CVarnexBatchJob& job);
    void ClearPreparedJobs();

    bool Start(const VARNEXJOBSETTING& setting);
    // resume: keep the records and counters and process queued retries.
    bool Start(bool resume);
    void Pause();
    void Continue();
    void Stop();

    bool RetryFile(CVarnexFileInfo* record, bool allowAutoDetect);
    bool RetryFileSetCodepage(CVarnexFileInfo* record, int codepage);

    bool IsRunning() const { return m_running.load(); }
    bool IsPaused() const { return m_paused.load(); }
    bool IsStopping() const { return m_stopping.load(); }
    bool IsStoppped() const { return !m_running.load(); }
    VARNEXSESSIONSTATUS GetSessionStatus() const { return m_status.load(); }
    VARNEXSESSIONSTOPREASON GetStopReason() const { return m_stopReason.load(); }
    bool HasIncomingJob() const;
    // Joins the session thread, which runs its last steps after it posted
    // STOPPED; true at once when none runs.
    bool WaitForThreadExit() { return m_thread.WaitForThreadExit(); }

    CLockableVector<CVarnexFileInfo*>& GetFileList() const { return m_records.List(); }
    CLockableQueue<CVarnexFileInfo*, 0>& GetFileQueue() const { return m_fileQueue; }
    void GetSessionSummary(VARNEXSESSIONSUMMARY& summary);
    // The summary with the progress as last computed (CalcProgress).
    void GetSessionSummaryAsComputed(VARNEXSESSIONSUMMARY& summary) const;
    // Recomputes progress and progressDetailed; takes the summary lock.
    void CalcProgress();
    void PostListChangedMessage() { PostHandlerInfo(VARNEXMESSAGE_LISTCHANGED, 0); }
    // Folders that could not be listed in this session.
    unsigned GetUnreadableFolderCount() const { return m_unreadableFolders.load(); }
    unsigned DispatchUpdateList(CLockableVector<CVarnexFileInfo*>& out, VARNEXSESSIONSUMMARY* summary,
                                unsigned maxCount);
    void GetOutputFolderList(COutputFolderList& out) const;
    // Incremented whenever the file list is cleared (a new session): a view
    // that kept rows of the list knows they are gone.
    unsigned ListGeneration() const { return m_records.Generation(); }

    // A record its owner made itself, with an id from
    // IncrementQueueFileUniqueIdCounter: listed and queued as a file found
    // by the session, which owns it from now on.
    void HandleFileInfo(std::unique_ptr<CVarnexFileInfo> record);
    // The id of the next record (the value before the increment).
    unsigned IncrementQueueFileUniqueIdCounter() { return m_records.NextId(); }

    // The target of a file found under baseFolder, mirrored into outputFolder;
    // empty when there is no output folder or the target would not lie inside it.
    static std::u16string GenerateTargetPath(const char16_t* file, const char16_t* baseFolder,
                                             const char16_t* outputFolder);
    static std::u16string GenerateTargetPath(const char16_t* file, const char16_t* outputFolder);

protected:
    // A session that owns its observer (a filtered list): it goes once the
    // threads that call it have been joined.
    CVarnex(HandlerTarget* handler, void* defaultOwnerData, std::unique_ptr<SessionObserver> ownObserver);
    SessionObserver* OwnObserver() const { return m_ownObserver.get(); }

    void HandleJob(const tagVARNEXBATCHJOBITEM& item);
    bool WaitForPause();
    bool WaitForContinue();

    // Guards the summary and the records being processed (m_processing),
    // whose progress the summary's progress adds up.
    mutable CCriticalSection m_summaryLock;
    VARNEXSESSIONSUMMARY m_summary;

private:
    // The session thread: its hooks start and end the session.
    class SessionThread final : public CVarnexHelperThread {
    public:
        explicit SessionThread(CVarnex& session) : m_session(session) { }
        ~SessionThread() override;
        // What the finder follows: this thread's stop and pause.
        CThreadSignals& ChildSignals() const { return Signals(); }

    protected:
        std::vector<CThreadBase*> OnVarnexThreadStart() override { return m_session.OnVarnexThreadStart(); }
        void OnVarnexThreadStop() override { m_session.OnVarnexThreadStop(); }

    private:
        CVarnex& m_session;
    };

    // What the finder and the converters may reach of the session.
    class Work final : public CVarnexSessionWork {
    public:
        explicit Work(CVarnex& session) : m_session(session) { }

        void SessionHandleJob(const tagVARNEXBATCHJOBITEM& item) override { m_session.HandleJob(item); }
        void SessionAddFound(const std::shared_ptr<const JobRequest>& job, const std::u16string& inputPath,
                             const std::u16string& outputPath) override
        {
            m_session.SessionAddFound(job, inputPath, outputPath);
        }
        void SessionAddSkipped(const std::u16string& path, VARNEXRESULTSTATE state, ReasonNote why) override
        {
            m_session.SessionAddSkipped(path, state, std::move(why));
        }
        void SessionCountFolderError() override { ++m_session.m_unreadableFolders; }
        void SessionCopyJobSetting(VARNEXJOBSETTING& setting) const override { m_session.SafeCopyJobSetting(&setting); }
        CVarnexFileInfo* TakeQueuedRecord(bool* noMore, unsigned waitMs) override
        {
            return m_session.TakeQueuedRecord(noMore, waitMs);
        }
        void SessionFileStarted(CVarnexFileInfo* record) override { m_session.SessionFileStarted(record); }
        void SessionFileFinished(CVarnexFileInfo* record) override { m_session.SessionFileFinished(record); }
        bool SessionNotifyUpdate(CVarnexFileInfo* record) override { return m_session.SessionNotifyUpdate(record); }

    private:
        CVarnex& m_session;
    };

    // Starts the finder and the converters (on the session thread).
    std::vector<CThreadBase*> OnVarnexThreadStart();
    // Joins the converters once the finder has ended, then ends the session.
    void OnVarnexThreadStop();
    void PostHandlerInfo(VARNEXMESSAGE message, intptr_t data);
    // Stops and joins every thread and lets the records go; runs once.
    void DisposeVarnex();
    // Stops the session thread, the finder and the converters.
    void RequestStop();
    // Resets or resumes the session and starts the finder and converter threads.
    std::vector<CThreadBase*> StartSession();
    // What the threads reach through Work (see CVarnexSessionWork).
    void SessionAddFound(const std::shared_ptr<const JobRequest>& job, const std::u16string& inputPath,
                         const std::u16string& outputPath);
    void SessionAddSkipped(const std::u16string& path, VARNEXRESULTSTATE state, ReasonNote why);
    CVarnexFileInfo* TakeQueuedRecord(bool* noMore, unsigned waitMs);
    void SessionFileStarted(CVarnexFileInfo* record);
    // Counts the record and then marks it finished, as one step under the
    // summary lock, so a retry never undoes counts that were not yet added.
    void SessionFileFinished(CVarnexFileInfo* record);
    bool SessionNotifyUpdate(CVarnexFileInfo* record);

    // Counts and lists the record, which the store keeps from now on.
    CVarnexFileInfo* SessionAddFile(std::unique_ptr<CVarnexFileInfo> record);
    bool SessionPrepareRetryFile(CVarnexFileInfo* record, bool allowAutoDetect, bool setCodepage, int codepage);
    void ResetSession(VARNEXSESSIONTYPE type);

    const std::unique_ptr<SessionObserver> m_ownObserver;  // may be null
    SessionObserver* const m_observer;                     // never null
    std::list<CVarnexFileInfo*> m_processing;              // under m_summaryLock
    std::atomic<bool> m_dispatching{false};
    CSessionRecordStore m_records;
    CLockableList<CVarnexFileInfo*> m_updateList;

    mutable CCriticalSection m_exporterLock;
    CVarnexResultExporter* m_exporter = nullptr;
    bool m_autoDeleteExporter = false;
    std::atomic<bool> m_exportOk{true};

    // Re-entrant: a handler may register or unregister handlers from Post.
    mutable std::recursive_mutex m_handlerLock;
    std::vector<HandlerTarget*> m_handlers;
    std::atomic<void*> m_defaultOwnerData;

    std::atomic<bool> m_disposed{false};
    bool m_sessionExists = false;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_stopping{false};
    bool m_resumeRequested = false;
    std::atomic<VARNEXSESSIONSTOPREASON> m_stopReason{VARNEXSESSIONSTOPREASON_FINISHED};
    std::atomic<VARNEXSESSIONSTATUS> m_status{VARNEXSESSIONSTATUS_IDLE};
    std::mutex m_controlLock;  // Start, Pause, Continue and Stop one at a time
    // The session end's clearing of the running flags against a pause or a
    // continue that checks them and posts its message.
    std::mutex m_endLock;
    std::condition_variable m_startPostedChanged;
    bool m_startPosted = false;  // STARTED is out for the running session; under m_endLock

    mutable CCriticalSection m_jobSettingLock;
    VARNEXJOBSETTING m_jobSetting;
    VARNEXJOBSETTING m_runningSetting;  // the copy the running session uses

    Work m_work{*this};
    std::unique_ptr<CVarnexFileFinderThread> m_finder;
    mutable CLockableQueue<CVarnexFileInfo*, 0> m_fileQueue;
    std::condition_variable_any m_queueChanged;
    CVarnexBatchJob m_preparedJobs;
    COutputFolderList m_outputFolders;
    std::atomic<unsigned> m_unreadableFolders{0};
    SessionThread m_thread{*this};
    // Last: its threads are joined before the members they use go.
    CWorkerPool m_workers;
};
