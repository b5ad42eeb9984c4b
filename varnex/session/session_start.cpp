#include "varnex/session/session_start.h"

#include "varnex/session/varnex.h"

bool StartNewSession(CVarnex& session, const SessionStartParams& params)
{
    // A running session may not have taken its own items yet.
    if (session.IsRunning() || session.IsStopping())
        return false;
    // Items an earlier start left behind are not this session's.
    session.ClearPreparedJobs();
    session.SetResultExporter(params.exporter, false);
    for (const VARNEXBATCHJOBITEM& item : params.items)
        session.PrepareJob(item);
    if (!session.Start(params.setting)) {
        session.ClearPreparedJobs();
        return false;
    }
    return true;
}
