#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <string>
#include <vector>

#include "base/lockable.h"
#include "base/lockable_containers.h"
#include "base/thread_base.h"
#include "textrion/encoding/text_encoding.h"
#include "varnex/export/report_target.h"
#include "varnex/export/result_exporter.h"
#include "varnex/session/varnex_file_info.h"
#include "varnex/varnex_export.h"

class CTextFileWriter;

// A result report in comma-separated values, written through the text file
// writer in any of its encodings. The converter threads only build a row and
// queue it; a thread of the exporter's own writes the rows, so no converter
// waits for the report's disk. Derived classes choose the columns with the two
// hooks.
//
// The report is put in place when it is closed (CReportTarget). The file:
// rows separated by CR LF, no line break after the last row, cells
// separated by a comma and quoted only where the CSV value formatter requires.
// Every Open queues the header row, also when a resumed session appends, so the
// report shows where each session starts.
//
// A class that derives from this one must call Close() in its own destructor:
// the writer thread calls its virtual functions until Close has joined it.
class VARNEX_API CVarnexCSVExporter : public CVarnexResultExporter, public CThreadBase {
public:
    using Row = std::vector<std::u16string>;

    ~CVarnexCSVExporter() override;

    // Stores the settings; nothing is opened before Open.
    CVarnexCSVExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom, unsigned bufferSize);
    CVarnexCSVExporter(const CVarnexCSVExporter&) = delete;
    CVarnexCSVExporter& operator=(const CVarnexCSVExporter&) = delete;

    // Creates or truncates the report (append false), or continues it (append
    // true: a BOM only when the file is new or empty, and the first row starts on
    // a line of its own when the file already holds rows). An exporter still
    // open is closed first. False, with nothing queued, when the file cannot be
    // opened for writing or the writer thread cannot start.
    [[nodiscard]] bool Open(VARNEXSESSIONTYPE type, bool append) override;
    [[nodiscard]] bool Prepare(int* error) override { return m_target.Prepare(error); }
    // Builds the record's row and queues it. Rows handed over while the
    // exporter is not open are dropped: they belong to no report.
    void ExportFileInfo(CVarnexFileInfo& info) override;
    // Queues the row GetNotProcessedItems builds.
    void ExportNotProcessed(CVarnexFileInfo& info) override;
    // The reason is not used.
    void Close(VARNEXSESSIONSTOPREASON reason) override;
    // Does not wait for a write in progress.
    [[nodiscard]] bool IsOpen() const override;

    // True once a write or the close of the report failed since the last Open
    // (a full disk, an I/O error): the report is incomplete. Rows after the
    // first failure are dropped, so the report ends where it failed.
    [[nodiscard]] bool HasWriteError() const override { return m_writeError.load(std::memory_order_acquire); }

    const std::u16string& GetPath() const { return m_path; }
    std::u16string GetReportPath() const override { return m_path; }

    // For reports of several runs joined end to end (cat): every row ends its
    // line, so the next report's first row starts a line of its own, and
    // without header the report holds only record rows (the JSON Lines also
    // lose their summary). Set before Open.
    void SetConcatenable(bool header)
    {
        m_concatenable = true;
        m_header = header;
    }
    [[nodiscard]] bool WritesHeader() const { return m_header; }

protected:
    // Stops the writer thread, writes every row still queued and closes the
    // report. Harmless when the exporter is not open.
    void Close();
    // Writes every queued row; the writer thread must not be running.
    void Flush();

    // Writes one row; the caller holds the writer lock.
    virtual void NonLockedWriteItem(const Row* row);
    // The text of one row, line break before it included: CSV cells
    // separated by commas, rows by CR LF (no break before the first row).
    virtual void FormatRow(const Row& row, bool firstRow, std::u16string& line);
    // Queues a row unless the exporter is closed; the caller holds no lock.
    void QueueRow(std::unique_ptr<Row> row);

    // The column titles; an empty row writes no header line.
    virtual void GetHeaderItems(Row* items) = 0;
    // The cells of one record; an empty row writes no line for the record.
    // Runs on the converter threads, several at once.
    virtual void GetFileInfoItems(Row* items, CVarnexFileInfo& info) = 0;
    // The cells of a record that was not processed; none by default.
    virtual void GetNotProcessedItems(Row* /*items*/, CVarnexFileInfo& /*info*/) { }

    // The session type given to the last Open.
    VARNEXSESSIONTYPE GetSessionType() const { return m_sessionType.load(std::memory_order_relaxed); }

    unsigned ThreadHandler() override;

private:
    // Closes the writer and records its failure; the caller holds the writer lock.
    void NonLockedCloseWriter();

    const std::u16string m_path;
    const TEXTENCODING m_encoding;
    const bool m_writeBom;
    const unsigned m_bufferSize;
    CReportTarget m_target;  // under the writer lock once open

    // Guards the writer pointer, the first-row flag, the scratch buffers and
    // every write. Lock order: the queue's lock, then this one.
    mutable CCriticalSection m_writerLock;
    std::unique_ptr<CTextFileWriter> m_writer;
    // No line break goes before the next row.
    bool m_firstRow = true;
    bool m_concatenable = false;
    bool m_header = true;
    std::u16string m_line;
    std::array<char16_t, 2048> m_cellBuffer{};

    // Rows waiting for the writer thread, in the order they were queued. The
    // open flag changes under the queue's lock, so a row is either queued before
    // Close drains the queue or dropped, never left behind for the next report.
    CLockableQueue<std::unique_ptr<Row>, 0> m_queue;
    // Wakes the idle writer thread when a row arrives or a stop is requested,
    // so closing never waits out a polling interval.
    std::condition_variable_any m_rowQueued;
    std::atomic<bool> m_open{false};

    std::atomic<bool> m_writeError{false};
    std::atomic<VARNEXSESSIONTYPE> m_sessionType{VARNEXSESSIONTYPE_NONE};
};

// The report the program writes: one row per processed record with the
// columns Input File, Output File, Code Page, Confidence, BOM, Status,
// Replaced and Message. The output path is given only when an output file
// was written (converted or copied).
class VARNEX_API CVarnexStandardCSVExporter : public CVarnexCSVExporter {
public:
    ~CVarnexStandardCSVExporter() override;

    CVarnexStandardCSVExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom, unsigned bufferSize);

    // The text a result is shown with: an OK result by its operation
    // ("Converted", "Copied", "OK"); any state outside the known ones, and a
    // finished record still without a result, as "Conversion Error".
    static const char16_t* GetResultText(VARNEXRESULTSTATE state, VARNEXRESULTOPERATION operation);
    // 0..1 with two decimals and a '.' whatever the locale; out-of-range
    // values are held to the range.
    static std::u16string FormatConfidence(float confidence);
    // The report's cells of a record, in the column order above, read under
    // the record's lock so that they describe one state of it. A record not
    // processed has the status "Not processed".
    static void GetStandardItems(Row* items, CVarnexFileInfo& info, bool processed = true);

protected:
    void GetHeaderItems(Row* items) override;
    void GetFileInfoItems(Row* items, CVarnexFileInfo& info) override;
    void GetNotProcessedItems(Row* items, CVarnexFileInfo& info) override;
};

// The standard report's columns, then Code Page Number, IANA Name, Detected
// By, BOM Out, CR LF, LF, CR, Bytes In, Bytes Out, Result and Reasons. The
// added cells are keywords and numbers, never translated; a cell that does
// not apply (line endings of a file not converted) is empty. The program
// writes this one.
class VARNEX_API CVarnexDetailedCSVExporter : public CVarnexStandardCSVExporter {
public:
    ~CVarnexDetailedCSVExporter() override;

    CVarnexDetailedCSVExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom, unsigned bufferSize);

protected:
    void GetHeaderItems(Row* items) override;
    void GetFileInfoItems(Row* items, CVarnexFileInfo& info) override;
    void GetNotProcessedItems(Row* items, CVarnexFileInfo& info) override;

private:
    static void GetDetailedItems(Row* items, CVarnexFileInfo& info, bool processed);
};
