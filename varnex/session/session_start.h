#pragma once

#include <vector>

#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnex;
class CVarnexResultExporter;

// What an owner hands a new session: the setting, the items in order, and
// the report (kept by the owner, who keeps it until the session has ended;
// null: none). The window and the headless run both start sessions this way.
struct VARNEX_API SessionStartParams {
    VARNEXJOBSETTING setting;
    std::vector<VARNEXBATCHJOBITEM> items;
    CVarnexResultExporter* exporter = nullptr;
};

// Starts a new session of params, from the owner's thread: its records and
// counts start over. False, and nothing left prepared, when it does not start
// (a session still runs, or its thread cannot be made); a running session's
// own items are left alone.
[[nodiscard]] VARNEX_API bool StartNewSession(CVarnex& session, const SessionStartParams& params);
