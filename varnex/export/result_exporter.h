#pragma once

#include <string>

#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

class CVarnexFileInfo;

// What the session knows of a result report. The session opens it at session
// start, hands it every processed record while IsOpen() is true (from the
// converter threads, several at once) and closes it at session end.
class VARNEX_API CVarnexResultExporter {
public:
    virtual ~CVarnexResultExporter() = default;

    // Opens the report's destination ahead of the session, so that one that
    // cannot be written stops a run before any file is done; Open then uses
    // it. False with errno in *error.
    [[nodiscard]] virtual bool Prepare(int* /*error*/) { return true; }
    // False when the report cannot be written; the caller reports that, since
    // the session would otherwise run without the report it was asked for.
    // append: continue the report of an earlier session (a resumed session).
    [[nodiscard]] virtual bool Open(VARNEXSESSIONTYPE type, bool append) = 0;
    // Thread-safe; must not wait for the report's disk.
    virtual void ExportFileInfo(CVarnexFileInfo& info) = 0;
    // A record the session found but did not process (stopped before its
    // turn), handed over at session end before Close so that the report
    // lists it and a rerun can be scoped to it. Reports that list only
    // results leave it out.
    virtual void ExportNotProcessed(CVarnexFileInfo& /*info*/) { }
    // Every record handed over before the call is in the report when it returns.
    virtual void Close(VARNEXSESSIONSTOPREASON reason) = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;
    // True once writing the report failed since the last Open: the report is
    // incomplete, and the caller reports that as a failure. Asked at session
    // end, before an auto-deleted exporter is gone.
    [[nodiscard]] virtual bool HasWriteError() const { return false; }
    // The report's file, which the session leaves out of its walk (empty: none).
    virtual std::u16string GetReportPath() const { return {}; }
};
