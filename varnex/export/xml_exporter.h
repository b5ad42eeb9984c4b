#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "textrion/encoding/text_encoding.h"
#include "varnex/export/report_target.h"
#include "varnex/export/result_exporter.h"
#include "varnex/varnex_export.h"

class CTextFileWriter;

// The result report as XML: one <file> element per processed record with the
// columns of the detailed CSV report as attributes. Rows are written as they arrive;
// the session hands them over one at a time.
class VARNEX_API CVarnexXMLExporter : public CVarnexResultExporter {
public:
    CVarnexXMLExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom);
    ~CVarnexXMLExporter() override;

    [[nodiscard]] bool Open(VARNEXSESSIONTYPE type, bool append) override;
    [[nodiscard]] bool Prepare(int* error) override;
    void ExportFileInfo(CVarnexFileInfo& info) override;
    // A <file> element whose status is "Not processed".
    void ExportNotProcessed(CVarnexFileInfo& info) override;
    void Close(VARNEXSESSIONSTOPREASON reason) override;
    [[nodiscard]] bool IsOpen() const override;
    std::u16string GetReportPath() const override { return m_path; }
    [[nodiscard]] bool HasWriteError() const override;

    // Text as attribute content: markup characters escaped, characters XML
    // cannot hold (controls, lone surrogates) as U+FFFD.
    static std::u16string Escape(const std::u16string& text);

private:
    void ExportRecord(CVarnexFileInfo& info, bool processed);
    void NonLockedClose();

    std::u16string m_path;
    TEXTENCODING m_encoding;
    bool m_writeBom;
    mutable std::mutex m_mutex;
    std::unique_ptr<CTextFileWriter> m_writer;
    CReportTarget m_target;
    bool m_writeError = false;
};
