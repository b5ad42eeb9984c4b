#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "varnex/varnex_export.h"

class CAtomicOutputFile;

// Where a report goes. A file is written like an output: under a temporary
// name beside it and renamed into place when the report ends, so a report
// path that is a hard link of an input leaves the input's text alone, and
// a run killed midway leaves the older file. A FIFO, a device,
// a process substitution or the file a standard stream is open on is
// written into as the rows come. A link the user named leads to the file
// that is replaced.
class VARNEX_API CReportTarget {
public:
    explicit CReportTarget(std::u16string path);
    ~CReportTarget();
    CReportTarget(const CReportTarget&) = delete;
    CReportTarget& operator=(const CReportTarget&) = delete;

    // Opens the destination now and holds it for the next Begin, so a report
    // that cannot be written is known before any file is done (a FIFO waits
    // here for its reader). False with errno in *error.
    [[nodiscard]] bool Prepare(int* error = nullptr);
    // The handle to write the report with (the caller closes it), prepared
    // now unless it was. append: what the file holds comes first, and
    // *carried gets its size. -1 with errno in *error.
    int Begin(bool append, uint64_t* carried, int* error = nullptr);
    // Puts the report in place once its handle was closed (nothing to do for
    // one written into); false with errno in *error.
    [[nodiscard]] bool End(int* error = nullptr);
    // Drops a report begun or prepared: nothing is replaced.
    void Abandon();

    const std::u16string& GetPath() const { return m_path; }
    // The destination is written into (a FIFO, a device, a standard stream).
    [[nodiscard]] bool IsWrittenInto() const;

private:
    std::u16string m_path;
    std::unique_ptr<CAtomicOutputFile> m_file;
    int m_handle = -1;  // prepared, not yet handed out
};
