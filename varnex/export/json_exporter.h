#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "varnex/export/csv_exporter.h"
#include "varnex/session/session_records.h"
#include "varnex/varnex_export.h"

// The result report as JSON Lines: UTF-8 without a byte order mark (a BOM
// breaks JSON parsers), one JSON object per line, each line ended by LF.
//   - first line, "type": "header": the program's version, its command line
//     and the settings that steer detection and conversion;
//   - one line per record, "type": "file" ("status": "not_processed" for a
//     record found but not processed when the session stopped);
//   - last line, "type": "summary": counts of the lines above.
// A resumed session appends a header, its files and a summary of its own.
// Keys and keyword values are stable English and never translated.
//
// Names: JSON holds any Unicode text, but a file name on Linux is bytes and
// need not be UTF-8 (its undecodable bytes are held as U+DC80..U+DCFF).
// Lone surrogates would make a line that many JSON parsers refuse, so such a
// name is written with U+FFFD in "input" (for display) and exactly, as
// percent-encoded bytes, in "input_bytes"; "input_bytes" is there only then.
// The same goes for "output". A reader that needs the file takes
// "input_bytes" when present: the U+FFFD form may name another file.
//
// Rows are written by the CSV exporter's writer thread.
class VARNEX_API CVarnexJSONExporter : public CVarnexCSVExporter {
public:
    // What the header line tells of the run.
    struct RunInfo {
        std::u16string programVersion;
        std::u16string commandLine;
        VARNEXJOBSETTING setting;
        ConversionOptions options;
        bool folder = true;
    };

    ~CVarnexJSONExporter() override;
    CVarnexJSONExporter(const char16_t* path, unsigned bufferSize, RunInfo run);

    [[nodiscard]] bool Open(VARNEXSESSIONTYPE type, bool append) override;
    // Queues the summary line, then closes as the CSV exporter does.
    void Close(VARNEXSESSIONSTOPREASON reason) override;

    // text as a JSON string literal, quotes included: '"', '\' and every
    // control character escaped, U+2028 and U+2029 escaped (JavaScript
    // readers), a lone surrogate as U+FFFD. lossy (optional) is set when a
    // lone surrogate was replaced.
    static std::u16string Quote(std::u16string_view text, bool* lossy = nullptr);

protected:
    void GetHeaderItems(Row* items) override;
    void GetFileInfoItems(Row* items, CVarnexFileInfo& info) override;
    void GetNotProcessedItems(Row* items, CVarnexFileInfo& info) override;
    void FormatRow(const Row& row, bool firstRow, std::u16string& line) override;

private:
    void GetRecordLine(Row* items, CVarnexFileInfo& info, bool processed);

    const RunInfo m_run;

    // What the summary line counts, since the last Open; records arrive from
    // several converter threads.
    std::mutex m_countLock;
    uint64_t m_files = 0;
    std::map<std::u16string, uint64_t> m_results;
    uint64_t m_replaced = 0;
    uint64_t m_bytesIn = 0;
    uint64_t m_bytesOut = 0;
};
