#pragma once

#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnexFileInfo;

// What a session tells the one observer it was given. Calls come from the
// session's own threads (the session thread, the finder, the converters) and
// from the owner's thread for retries, pause and continue; an observer guards
// its own state. Each runs without session locks except OnClearingFileList
// and OnFileInfoDeleting (the file list, update list and file queue held),
// OnFileInfoAdding (file list held, the record already in it) and
// OnSessionPaused and OnSessionContinued (the control and end locks held):
// those must not call into the session. The observer must outlive the
// session, so an owner declares it before the session it hands it to.
class VARNEX_API SessionObserver {
public:
    virtual ~SessionObserver() = default;

    virtual void OnClearingFileList() { }
    virtual void OnFileInfoAdding(CVarnexFileInfo* /*record*/) { }
    virtual void OnFileInfoDeleting(CVarnexFileInfo* /*record*/) { }
    virtual void OnFileStartProcessing(CVarnexFileInfo* /*record*/) { }
    virtual void OnFileProcessed(CVarnexFileInfo* /*record*/) { }
    virtual void OnPreparingFileRetry(CVarnexFileInfo* /*record*/) { }
    virtual void OnSessionReset(VARNEXSESSIONTYPE /*type*/) { }
    virtual void OnSessionStarted(bool /*resumed*/) { }
    virtual void OnSessionPaused() { }
    virtual void OnSessionContinued() { }
    // Every worker has ended; the session's end steps follow.
    virtual void OnSessionEnding() { }
    // The reason is posted after the call, so the observer may change it.
    virtual void OnSessionStopped(VARNEXSESSIONSTOPREASON& /*reason*/) { }
};

// An observer that does nothing, for sessions given none.
VARNEX_API SessionObserver& NoSessionObserver();
