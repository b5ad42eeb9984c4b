#include "varnex/export/csv_exporter.h"

#include <cmath>
#include <exception>
#include <string_view>

#include "base/text.h"
#include "textrion/csv/csv_value_formatter.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/io/binary_file.h"
#include "textrion/io/text_file_writer.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/report_record.h"

namespace {

std::string_view BomBytes(TEXTENCODING encoding)
{
    const UnicodeForm* form = FindUnicodeForm(encoding);
    return form ? form->bomBytes : std::string_view();
}

// Whether a report being continued already holds a row, so that the next one
// needs a line break before it. A missing or empty file, or one holding just
// the byte order mark, does not.
bool ReportHoldsRows(const std::u16string& path, TEXTENCODING encoding)
{
    const uint64_t size = CBinaryFileReader::GetFileSize(path.c_str());
    if (size == 0)
        return false;
    const std::string_view bom = BomBytes(encoding);
    if (size != bom.size())
        return true;
    CBinaryFileReader reader(path.c_str(), true);
    char bytes[4] = {};
    const unsigned got = reader.Read(bytes, static_cast<unsigned>(bom.size()));
    return std::string_view(bytes, got) != bom;
}

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

CVarnexCSVExporter::CVarnexCSVExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom, unsigned bufferSize)
    : m_path(path ? path : u""),
      m_encoding(encoding),
      m_writeBom(writeBom),
      m_bufferSize(bufferSize),
      m_target(m_path)
{
}

CVarnexCSVExporter::~CVarnexCSVExporter()
{
    Close();
}

bool CVarnexCSVExporter::Open(VARNEXSESSIONTYPE type, bool append)
{
    // A report still open ends here with all its rows; otherwise its thread
    // would keep running and its rows would land in the new report.
    Close();
    m_writeError.store(false, std::memory_order_release);
    m_sessionType.store(type, std::memory_order_relaxed);

    const bool holdsRows = append && ReportHoldsRows(m_path, m_encoding);
    std::unique_ptr<CTextFileWriter> writer;
    {
        CSingleLock lock(m_writerLock);
        uint64_t carried = 0;
        const int handle = m_target.Begin(append, &carried);
        if (handle < 0)
            return false;
        try {
            writer = std::make_unique<CTextFileWriter>(handle, m_path.c_str(), nullptr, m_bufferSize, m_encoding,
                                                       m_writeBom && carried == 0);
        } catch (const std::exception&) {
            m_target.Abandon();
            return false;
        }
    }
    if (!writer->IsOpen())
        return false;
    // Paths are the names on disk, byte for byte, also where they are not UTF-8.
    writer->SetFileNameBytes(true);
    {
        CSingleLock lock(m_writerLock);
        m_writer = std::move(writer);
        // Decided by the file, not by an earlier session of this object: a new
        // exporter continuing a report must not glue its header onto the last
        // row, and a report deleted in between must not start with a blank line.
        m_firstRow = !holdsRows;
        if (m_writer->HasWriteError())  // the byte order mark did not make it
            m_writeError.store(true, std::memory_order_release);
    }

    auto header = std::make_unique<Row>();
    if (m_header)
        GetHeaderItems(header.get());
    {
        CSingleLock lock(m_queue.GetCriticalSection());
        m_open.store(true, std::memory_order_release);
        if (!header->empty())
            m_queue.push(std::move(header));
    }
    if (!CreateThread(nullptr)) {
        Close();
        return false;
    }
    return true;
}

void CVarnexCSVExporter::ExportFileInfo(CVarnexFileInfo& info)
{
    if (!m_open.load(std::memory_order_acquire))
        return;
    auto row = std::make_unique<Row>();
    GetFileInfoItems(row.get(), info);
    if (!row->empty())
        QueueRow(std::move(row));
}

void CVarnexCSVExporter::ExportNotProcessed(CVarnexFileInfo& info)
{
    if (!m_open.load(std::memory_order_acquire))
        return;
    auto row = std::make_unique<Row>();
    GetNotProcessedItems(row.get(), info);
    if (!row->empty())
        QueueRow(std::move(row));
}

void CVarnexCSVExporter::QueueRow(std::unique_ptr<Row> row)
{
    {
        CSingleLock lock(m_queue.GetCriticalSection());
        if (!m_open.load(std::memory_order_relaxed))
            return;
        m_queue.push(std::move(row));
    }
    m_rowQueued.notify_one();
}

void CVarnexCSVExporter::Close(VARNEXSESSIONSTOPREASON /*reason*/)
{
    Close();
}

void CVarnexCSVExporter::Close()
{
    SetStop();
    {
        // The writer thread checks for the stop under this lock before it
        // sleeps, so taking it here means the notification cannot fall
        // between its check and its wait.
        CSingleLock lock(m_queue.GetCriticalSection());
        m_open.store(false, std::memory_order_release);
    }
    m_rowQueued.notify_all();
    SetStopAndWait(INFINITE_TIMEOUT);

    Flush();
    CSingleLock lock(m_writerLock);
    NonLockedCloseWriter();
}

void CVarnexCSVExporter::Flush()
{
    CSingleLock queueLock(m_queue.GetCriticalSection());
    CSingleLock writerLock(m_writerLock);
    while (!m_queue.empty()) {
        const std::unique_ptr<Row> row = std::move(m_queue.front());
        m_queue.pop();
        if (m_writer)
            NonLockedWriteItem(row.get());
    }
}

void CVarnexCSVExporter::NonLockedCloseWriter()
{
    if (!m_writer)
        return;
    const bool closed = m_writer->Close();
    if (!closed || m_writer->HasWriteError())
        m_writeError.store(true, std::memory_order_release);
    m_writer.reset();
    // An incomplete report is put in place too: it ends where it failed,
    // and the failure is reported.
    if (!m_target.End())
        m_writeError.store(true, std::memory_order_release);
}

bool CVarnexCSVExporter::IsOpen() const
{
    // The flag mirrors the writer's presence; reading it needs no lock, so a
    // converter thread asking never waits for a row being written.
    return m_open.load(std::memory_order_acquire);
}

unsigned CVarnexCSVExporter::ThreadHandler()
{
    while (CanContinue()) {
        std::unique_ptr<Row> row;
        {
            CSingleLock lock(m_queue.GetCriticalSection());
            if (m_queue.empty()) {
                m_rowQueued.wait(lock, [this] { return !m_queue.empty() || IsStopRequested(); });
                continue;
            }
            row = std::move(m_queue.front());
            m_queue.pop();
        }
        CSingleLock lock(m_writerLock);
        if (m_writer)
            NonLockedWriteItem(row.get());
    }
    return 0;
}

void CVarnexCSVExporter::NonLockedWriteItem(const Row* row)
{
    // After a failed write the report ends where it failed: rows written past
    // a gap would make an incomplete report look whole.
    if (!m_writer || row == nullptr || m_writeError.load(std::memory_order_acquire))
        return;
    m_line.clear();
    FormatRow(*row, m_firstRow, m_line);
    m_firstRow = false;
    // One write per row: a row is never split by another, and the file sees
    // one system call per row rather than one per cell.
    const unsigned written = m_writer->Write(m_line);
    // The UTF-8 and 32-bit forms hold back a high surrogate ending the text
    // for its partner; a row's last unit has none.
    if (written < m_line.size() && IsHighSurrogate(m_line.back()))
        m_writer->Write(u'\uFFFD');
    if (m_writer->HasWriteError())
        m_writeError.store(true, std::memory_order_release);
}

void CVarnexCSVExporter::FormatRow(const Row& row, bool firstRow, std::u16string& line)
{
    if (!firstRow && !m_concatenable)
        line.append(u"\r\n");
    CCSVValueFormatter formatter;
    for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            line.push_back(u',');
        const std::u16string& cell = row[i];
        formatter.Prepare(cell.data(), static_cast<unsigned>(cell.size()));
        while (const unsigned n = formatter.Format(m_cellBuffer.data(), static_cast<unsigned>(m_cellBuffer.size())))
            line.append(m_cellBuffer.data(), n);
    }
    if (m_concatenable)
        line.append(u"\r\n");
}

CVarnexStandardCSVExporter::CVarnexStandardCSVExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom,
                                                       unsigned bufferSize)
    : CVarnexCSVExporter(path, encoding, writeBom, bufferSize)
{
}

CVarnexStandardCSVExporter::~CVarnexStandardCSVExporter()
{
    // Before this object's part is gone: the writer thread still calls into it.
    Close();
}

const char16_t* CVarnexStandardCSVExporter::GetResultText(VARNEXRESULTSTATE state, VARNEXRESULTOPERATION operation)
{
    switch (state) {
    case VARNEXRESULTSTATE_OK:
        return operation == VARNEXRESULTOPERATION_CONVERTED ? u"Converted"
               : operation == VARNEXRESULTOPERATION_COPIED  ? u"Copied"
                                                            : u"OK";
    case VARNEXRESULTSTATE_WARNING:
        return u"Warning";
    case VARNEXRESULTSTATE_NOT_SUPPORTED:
        return u"Not Supported";
    case VARNEXRESULTSTATE_WRITE_ERROR:
        return u"Write Error";
    case VARNEXRESULTSTATE_CANCELLED:
        return u"Cancelled";
    default:
        return u"Conversion Error";
    }
}

std::u16string CVarnexStandardCSVExporter::FormatConfidence(float confidence)
{
    // Whole hundredths by integer arithmetic: no locale can turn the point
    // into a comma, which would split the cell for every reader.
    const double held = confidence >= 0.0f ? (confidence <= 1.0f ? confidence : 1.0) : 0.0;  // NaN: 0
    const long hundredths = std::lround(held * 100.0);
    std::u16string text = text::FromNumber(hundredths / 100);
    text.push_back(u'.');
    text.push_back(static_cast<char16_t>(u'0' + hundredths % 100 / 10));
    text.push_back(static_cast<char16_t>(u'0' + hundredths % 10));
    return text;
}

void CVarnexStandardCSVExporter::GetHeaderItems(Row* items)
{
    *items = {u"Input File", u"Output File", u"Code Page", u"Confidence", u"BOM", u"Status", u"Replaced", u"Message"};
}

void CVarnexStandardCSVExporter::GetFileInfoItems(Row* items, CVarnexFileInfo& info)
{
    GetStandardItems(items, info);
}

void CVarnexStandardCSVExporter::GetNotProcessedItems(Row* items, CVarnexFileInfo& info)
{
    GetStandardItems(items, info, false);
}

void CVarnexStandardCSVExporter::GetStandardItems(Row* items, CVarnexFileInfo& info, bool processed)
{
    // One lock for the whole row, so its cells describe one state of the record.
    CSingleLock lock(info.GetCriticalSection());
    const VARNEXRESULTOPERATION operation = info.FastGetResultOperation();
    const CCodepageInfo* codepage = info.FastGetCodepageInfo();
    items->reserve(8);
    items->push_back(info.FastGetInputFile());
    // The output path only when something was written there, as the session
    // list shows it.
    items->push_back(operation != VARNEXRESULTOPERATION_NONE ? info.FastGetOutputFile() : std::u16string());
    items->push_back(codepage ? codepage->GetCodepageName() : std::u16string());
    items->push_back(FormatConfidence(info.FastGetConfidence()));
    items->push_back(info.FastGetHasBom() ? u"Yes" : u"No");
    items->push_back(processed ? GetResultText(info.FastGetResultState(), operation) : u"Not processed");
    items->push_back(text::FromUnsigned(info.GetReplacedCount()));
    items->push_back(info.FastGetMessage());
}

CVarnexDetailedCSVExporter::CVarnexDetailedCSVExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom,
                                                       unsigned bufferSize)
    : CVarnexStandardCSVExporter(path, encoding, writeBom, bufferSize)
{
}

CVarnexDetailedCSVExporter::~CVarnexDetailedCSVExporter()
{
    Close();
}

void CVarnexDetailedCSVExporter::GetHeaderItems(Row* items)
{
    CVarnexStandardCSVExporter::GetHeaderItems(items);
    for (const AddedField& field : AddedReportFields())
        items->push_back(field.title);
}

void CVarnexDetailedCSVExporter::GetFileInfoItems(Row* items, CVarnexFileInfo& info)
{
    GetDetailedItems(items, info, true);
}

void CVarnexDetailedCSVExporter::GetNotProcessedItems(Row* items, CVarnexFileInfo& info)
{
    GetDetailedItems(items, info, false);
}

void CVarnexDetailedCSVExporter::GetDetailedItems(Row* items, CVarnexFileInfo& info, bool processed)
{
    ReportRecord record;
    {
        CSingleLock lock(info.GetCriticalSection());
        GetStandardItems(items, info, processed);
        record = ReportRecord::Read(info, processed);
    }
    for (std::u16string& cell : AddedReportCells(record))
        items->push_back(std::move(cell));
}
