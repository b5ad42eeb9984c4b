#include "varnex/session/varnex.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/message_registry.h"
#include "varnex/export/result_exporter.h"
#include "varnex/session/converter_thread.h"
#include "varnex/session/varnex_finder_thread.h"

namespace {

const unsigned kAvailableProcessorCount = std::thread::hardware_concurrency();

}  // namespace

// ---------------------------------------------------------------------------

unsigned CVarnexHelperThread::ThreadHandler()
{
    const std::vector<CThreadBase*> children = OnVarnexThreadStart();
    for (CThreadBase* child : children)
        child->WaitForThreadExit();
    OnVarnexThreadStop();
    return 0;
}

// ---------------------------------------------------------------------------

CVarnex::CVarnex(HandlerTarget* handler, void* defaultOwnerData, SessionObserver* observer)
    : m_observer(observer ? observer : &NoSessionObserver()),
      m_defaultOwnerData(defaultOwnerData),
      m_finder(std::make_unique<CVarnexFileFinderThread>(&m_work))
{
    if (handler)
        m_handlers.push_back(handler);
}

CVarnex::CVarnex(HandlerTarget* handler, void* defaultOwnerData, std::unique_ptr<SessionObserver> ownObserver)
    : m_ownObserver(std::move(ownObserver)),
      m_observer(m_ownObserver ? m_ownObserver.get() : &NoSessionObserver()),
      m_defaultOwnerData(defaultOwnerData),
      m_finder(std::make_unique<CVarnexFileFinderThread>(&m_work))
{
    if (handler)
        m_handlers.push_back(handler);
}

CVarnex::SessionThread::~SessionThread()
{
    // Its handler reads the session; the session has joined it already.
    SetStopAndWait();
}

SessionObserver& NoSessionObserver()
{
    static SessionObserver none;
    return none;
}

CVarnex::~CVarnex()
{
    DisposeVarnex();
}

void CVarnex::DisposeVarnex()
{
    if (m_disposed.exchange(true))
        return;
    Stop();
    m_thread.WaitForThreadExit();
    m_finder.reset();
    ResetSession(VARNEXSESSIONTYPE_NONE);
}

unsigned CVarnex::GetHandlerMessage()
{
    static const unsigned message =
        platform::RegisterMessage(u"VARNEX_HANDLER_MESSAGE_490DBF9A_FBB3_4D83_9E3F_FBA72E007390");
    return message;
}

void CVarnex::GetDefaultJobSetting(VARNEXJOBSETTING& setting)
{
    setting = ::GetDefaultJobSetting();
}

void CVarnex::SetJobSetting(const VARNEXJOBSETTING& setting)
{
    if (m_running.load())
        return;
    CSingleLock lock(m_jobSettingLock);
    m_jobSetting = setting;
    m_jobSetting.Clamp();
}

void CVarnex::SafeCopyJobSetting(VARNEXJOBSETTING* setting) const
{
    CSingleLock lock(m_jobSettingLock);
    *setting = m_jobSetting;
}

bool CVarnex::RegisterHandlerWnd(HandlerTarget* handler)
{
    std::lock_guard lock(m_handlerLock);
    if (handler == nullptr || std::find(m_handlers.begin(), m_handlers.end(), handler) != m_handlers.end())
        return false;
    m_handlers.push_back(handler);
    return true;
}

bool CVarnex::UnregisterHandlerWnd(HandlerTarget* handler)
{
    std::lock_guard lock(m_handlerLock);
    auto it = std::find(m_handlers.begin(), m_handlers.end(), handler);
    if (it == m_handlers.end())
        return false;
    m_handlers.erase(it);
    return true;
}

void CVarnex::PostHandlerInfo(VARNEXMESSAGE message, intptr_t data)
{
    // Posted under the lock: once UnregisterHandlerWnd returns, its handler
    // gets nothing more and its owner may free it. Post does not block, and a
    // handler that unregisters handlers from Post is looked up again.
    std::lock_guard lock(m_handlerLock);
    const std::vector<HandlerTarget*> handlers = m_handlers;
    for (HandlerTarget* handler : handlers)
        if (std::find(m_handlers.begin(), m_handlers.end(), handler) != m_handlers.end())
            handler->Post(GetHandlerMessage(), static_cast<uintptr_t>(message), data);
}

void CVarnex::SetResultExporter(CVarnexResultExporter* exporter)
{
    CSingleLock lock(m_exporterLock);
    m_exporter = exporter;
}

void CVarnex::SetResultExporter(CVarnexResultExporter* exporter, bool autoDelete)
{
    CSingleLock lock(m_exporterLock);
    m_exporter = exporter;
    m_autoDeleteExporter = autoDelete;
}

void CVarnex::AutoDeleteResultExporter(bool autoDelete)
{
    CSingleLock lock(m_exporterLock);
    m_autoDeleteExporter = autoDelete;
}

unsigned CVarnex::GetSystemProcessorCount()
{
    return std::thread::hardware_concurrency();
}

unsigned CVarnex::GetAvailableProcessorCount()
{
    return kAvailableProcessorCount;
}

void CVarnex::PrepareJob(const tagVARNEXBATCHJOBITEM& item)
{
    m_preparedJobs.Add(item);
}

void CVarnex::PrepareJob(const CVarnexBatchJob& job)
{
    m_preparedJobs.Add(job);
}

void CVarnex::ClearPreparedJobs()
{
    m_preparedJobs.Reset();
}

bool CVarnex::Start(const VARNEXJOBSETTING& setting)
{
    if (m_stopping.load())
        return false;
    SetJobSetting(setting);
    return Start(false);
}

bool CVarnex::Start(bool resume)
{
    std::lock_guard control(m_controlLock);
    if (m_stopping.load() || m_running.load())
        return false;
    m_thread.WaitForThreadExit();
    m_resumeRequested = resume;
    // Running from here on, so that a Stop right after Start always stops; the
    // flags a Pause or Stop may set next are reset here, never on the session
    // thread, which would undo them.
    m_paused.store(false);
    m_stopReason.store(VARNEXSESSIONSTOPREASON_FINISHED);
    {
        std::lock_guard end(m_endLock);
        m_startPosted = false;
    }
    m_running.store(true);
    m_status.store(VARNEXSESSIONSTATUS_RUNNING);
    m_workers.Clear();  // as CreateThread clears the session thread's own signals
    if (!m_thread.CreateThread()) {
        m_running.store(false);
        m_status.store(VARNEXSESSIONSTATUS_IDLE);
        return false;
    }
    m_thread.WaitForThreadRunning();
    return true;
}

std::vector<CThreadBase*> CVarnex::OnVarnexThreadStart()
{
    try {
        return StartSession();
    } catch (...) {
        // Whatever started follows this thread's stop signal and is joined by
        // the stop hook; the session ends as stopped, never as "finished".
        m_stopReason.store(VARNEXSESSIONSTOPREASON_USER);
        RequestStop();
        return {m_finder.get()};
    }
}

std::vector<CThreadBase*> CVarnex::StartSession()
{
    {
        CSingleLock lock(m_jobSettingLock);
        m_runningSetting = m_jobSetting;
    }
    const bool resumed = m_resumeRequested && m_sessionExists;
    const VARNEXSESSIONTYPE type =
        m_runningSetting.detectOnly ? VARNEXSESSIONTYPE_DETECTION : VARNEXSESSIONTYPE_CONVERSION;
    if (!resumed) {
        m_resumeRequested = false;
        m_sessionExists = true;
        ResetSession(type);
        m_records.ResetIds();
        m_unreadableFolders.store(0);
        m_finder->ClearExcludedFolders();
        CSingleLock lock(m_outputFolders.GetCriticalSection());
        m_outputFolders.m_folders.clear();
        m_preparedJobs.Deploy(m_work, &m_outputFolders);
    } else {
        CSingleLock lock(m_outputFolders.GetCriticalSection());
        m_preparedJobs.Deploy(m_work, &m_outputFolders);
    }
    {
        CSingleLock lock(m_exporterLock);
        if (m_exporter) {
            // The report is never one of the inputs, also when it lies in the input tree.
            if (const std::u16string report = m_exporter->GetReportPath(); !report.empty())
                m_finder->ExcludeFile(report);
            m_exportOk.store(m_exporter->Open(type, resumed));
        } else {
            m_exportOk.store(true);
        }
    }
    m_observer->OnSessionStarted(resumed);
    PostHandlerInfo(VARNEXMESSAGE_STARTED, resumed ? 1 : 0);
    {
        std::lock_guard end(m_endLock);
        m_startPosted = true;
    }
    m_startPostedChanged.notify_all();

    std::vector<CThreadBase*> children;
    // The finder follows the session thread's own stop and pause signals,
    // the converters the pool's.
    const bool finderStarted = m_finder->CreateThread(&m_thread.ChildSignals());
    if (finderStarted)
        children.push_back(m_finder.get());
    else
        m_finder->FreeRemainingJobs();  // or the next session would walk them
    const unsigned wanted = std::max(1u, m_runningSetting.converterThreads != 0 ? m_runningSetting.converterThreads
                                                                                : GetAvailableProcessorCount());
    bool anyConverter = false;
    for (unsigned i = 0; i < wanted; ++i) {
        std::shared_ptr<CConverterThread> converter;
        try {
            converter = std::make_shared<CConverterThread>(&m_work, m_workers);
        } catch (const std::bad_alloc&) {
            break;
        }
        if (!m_workers.Start([converter](std::stop_token stop) { converter->Run(stop); }))
            break;
        anyConverter = true;
    }
    if (!anyConverter || !finderStarted) {
        // Nothing could process the files, or the folders would go unwalked:
        // end now rather than "finish" with files left idle or never found.
        m_stopReason.store(VARNEXSESSIONSTOPREASON_USER);
        RequestStop();
    }
    return children;
}

void CVarnex::OnVarnexThreadStop()
{
    // The finder has ended; the converters end once the queue is empty and
    // can bring no more, or once stopped.
    m_workers.Join();
    m_observer->OnSessionEnding();
    if (m_finder)
        m_finder->SafeCloseHandle();
    {
        // Retries asked for while the session ended wait for the next Start(true).
        CSingleLock lock(m_fileQueue.GetCriticalSection());
        CLockableQueue<CVarnexFileInfo*, 0> kept;
        while (!m_fileQueue.empty()) {
            CVarnexFileInfo* record = m_fileQueue.front();
            m_fileQueue.pop();
            if (record->GetStatus() == VARNEXFILESTATUS_RETRYING)
                kept.push(record);
        }
        while (!kept.empty()) {
            m_fileQueue.push(kept.front());
            kept.pop();
        }
    }
    VARNEXSESSIONSTOPREASON reason = m_stopReason.load();
    {
        std::lock_guard end(m_endLock);
        m_running.store(false);
        m_paused.store(false);
        m_status.store(VARNEXSESSIONSTATUS_IDLE);
    }
    m_startPostedChanged.notify_all();
    {
        // Every thread has ended: a record not finished now was never taken
        // (stopped before its turn) or waits for a retry. The report lists
        // them, so that a rerun can be scoped to them.
        std::vector<CVarnexFileInfo*> notProcessed;
        {
            CSingleLock lock(GetFileList().GetCriticalSection());
            for (CVarnexFileInfo* record : GetFileList())
                if (record->GetStatus() != VARNEXFILESTATUS_FINISHED)
                    notProcessed.push_back(record);
        }
        CSingleLock lock(m_exporterLock);
        if (m_exporter) {
            if (m_exporter->IsOpen())
                for (CVarnexFileInfo* record : notProcessed)
                    m_exporter->ExportNotProcessed(*record);
            m_exporter->Close(reason);
            if (m_exporter->HasWriteError())
                m_exportOk.store(false);
            if (m_autoDeleteExporter) {
                delete m_exporter;
                m_exporter = nullptr;
            }
        }
    }
    m_observer->OnSessionStopped(reason);
    PostHandlerInfo(VARNEXMESSAGE_STOPPED, reason);
    m_resumeRequested = false;
    m_stopping.store(false);
}

void CVarnex::Pause()
{
    std::lock_guard control(m_controlLock);
    {
        // A pause right after Start waits for STARTED: posted after PAUSED,
        // it would show a running session that is in fact paused.
        std::unique_lock end(m_endLock);
        while (!m_startPosted && m_running.load() && m_thread.IsThreadAlive())
            m_startPostedChanged.wait_for(end, std::chrono::milliseconds(50));
        if (m_stopping.load() || !m_running.load() || m_paused.load())
            return;
        m_paused.store(true);
        m_thread.SetPause();
        m_workers.Pause();
    }
    WaitForPause();
    // Not once the session has ended meanwhile: a PAUSED after its STOPPED
    // would leave the views showing a paused session that is gone.
    std::lock_guard end(m_endLock);
    if (!m_running.load())
        return;
    m_observer->OnSessionPaused();
    PostHandlerInfo(VARNEXMESSAGE_PAUSED, 0);
}

void CVarnex::Continue()
{
    std::lock_guard control(m_controlLock);
    {
        std::lock_guard end(m_endLock);
        if (m_stopping.load() || !m_running.load() || !m_paused.load())
            return;
        m_paused.store(false);
        m_thread.SetContinue();
        m_workers.Continue();
    }
    WaitForContinue();
    std::lock_guard end(m_endLock);
    if (!m_running.load())
        return;
    m_observer->OnSessionContinued();
    PostHandlerInfo(VARNEXMESSAGE_CONTINUED, 0);
}

bool CVarnex::WaitForPause()
{
    if (!m_running.load())
        return false;
    if (m_finder)
        m_finder->WaitForPause();
    m_workers.WaitParked();
    return true;
}

bool CVarnex::WaitForContinue()
{
    if (!m_running.load())
        return false;
    if (m_finder)
        m_finder->WaitForContinue();
    m_workers.WaitLeft();
    return true;
}

void CVarnex::Stop()
{
    std::lock_guard control(m_controlLock);
    if (m_stopping.load())
        return;
    if (!m_running.load()) {
        ClearPreparedJobs();
        return;
    }
    m_stopping.store(true);
    m_stopReason.store(VARNEXSESSIONSTOPREASON_USER);
    RequestStop();
    m_thread.WaitForThreadExit();
}

void CVarnex::RequestStop()
{
    m_thread.SetStop();
    m_workers.RequestStop();
}

bool CVarnex::HasIncomingJob() const
{
    return m_finder && m_finder->IsThreadAlive();
}
