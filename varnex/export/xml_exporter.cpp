#include "varnex/export/xml_exporter.h"

#include <algorithm>

#include "base/text.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/io/text_file_writer.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/csv_exporter.h"
#include "varnex/export/report_record.h"
#include "varnex/session/varnex_file_info.h"

namespace {

// The name in the XML declaration; a report is never written in a code page.
const char16_t* EncodingName(TEXTENCODING encoding)
{
    const UnicodeForm* form = FindUnicodeForm(encoding);
    return form ? form->name : u"UTF-8";
}

bool IsHigh(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// XML cannot hold a name's bytes that are not UTF-8, nor most control
// characters. Such a path is shown with U+FFFD, and a companion attribute
// holds it exactly (PercentEncodedName).
std::u16string ExactPath(const std::u16string& path)
{
    const auto lost = [](char16_t c) {
        return (c >= 0xDC80 && c <= 0xDCFF) || (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c == 0xFFFE ||
               c == 0xFFFF;
    };
    if (std::none_of(path.begin(), path.end(), lost))
        return {};
    return PercentEncodedName(path);
}

}  // namespace

CVarnexXMLExporter::CVarnexXMLExporter(const char16_t* path, TEXTENCODING encoding, bool writeBom)
    : m_path(path ? path : u""),
      m_encoding(encoding == TEXTENCODING_CODEPAGE ? TEXTENCODING_UTF8 : encoding),
      m_writeBom(writeBom),
      m_target(m_path)
{
}

CVarnexXMLExporter::~CVarnexXMLExporter()
{
    std::lock_guard lock(m_mutex);
    NonLockedClose();
}

std::u16string CVarnexXMLExporter::Escape(const std::u16string& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (c) {
        case u'&':
            out += u"&amp;";
            continue;
        case u'<':
            out += u"&lt;";
            continue;
        case u'>':
            out += u"&gt;";
            continue;
        case u'"':
            out += u"&quot;";
            continue;
        case u'\t':
            out += u"&#9;";
            continue;
        case u'\n':
            out += u"&#10;";
            continue;
        case u'\r':
            out += u"&#13;";
            continue;
        default:
            break;
        }
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            out += c;
            out += text[++i];
        } else if (c < 0x20 || IsHigh(c) || IsLow(c) || c == 0xFFFE || c == 0xFFFF) {
            out += u'\uFFFD';
        } else {
            out += c;
        }
    }
    return out;
}

bool CVarnexXMLExporter::Prepare(int* error)
{
    std::lock_guard lock(m_mutex);
    return m_target.Prepare(error);
}

bool CVarnexXMLExporter::Open(VARNEXSESSIONTYPE type, bool append)
{
    std::lock_guard lock(m_mutex);
    NonLockedClose();
    m_writeError = false;
    // A resumed session starts a new report: an XML document cannot be continued.
    (void)append;
    const int handle = m_target.Begin(false, nullptr);
    if (handle < 0)
        return false;
    m_writer = std::make_unique<CTextFileWriter>(handle, m_path.c_str(), nullptr, 65536, m_encoding, m_writeBom);
    if (!m_writer->IsOpen()) {
        m_writer.reset();
        m_target.Abandon();
        return false;
    }
    *m_writer << u"<?xml version=\"1.0\" encoding=\"" << EncodingName(m_encoding) << u"\"?>\n";
    *m_writer << u"<varnelReport session=\"" << (type == VARNEXSESSIONTYPE_DETECTION ? u"detection" : u"conversion")
              << u"\">\n";
    return true;
}

void CVarnexXMLExporter::ExportFileInfo(CVarnexFileInfo& info)
{
    ExportRecord(info, true);
}

void CVarnexXMLExporter::ExportNotProcessed(CVarnexFileInfo& info)
{
    ExportRecord(info, false);
}

void CVarnexXMLExporter::ExportRecord(CVarnexFileInfo& info, bool processed)
{
    // The CSV report's columns, plus the code page's number after the output.
    static const char16_t* const kNames[] = {u"input", u"output", u"codepageName", u"confidence",
                                             u"bom",   u"status", u"replaced",     u"message"};
    CVarnexStandardCSVExporter::Row items;
    std::u16string codepage;
    ReportRecord record;
    {
        CSingleLock recordLock(info.GetCriticalSection());  // re-entrant: the items take it too
        CVarnexStandardCSVExporter::GetStandardItems(&items, info, processed);
        const CCodepageInfo* entry = info.FastGetCodepageInfo();
        // No code page known (unknown text, an entry never looked at) is not -1, "Binary".
        codepage = entry ? text::FromNumber(entry->GetCodepage()) : u"";
        record = ReportRecord::Read(info, processed);
    }
    std::u16string row = u"  <file";
    const auto attribute = [&row](const char16_t* name, const std::u16string& value) {
        row += u' ';
        row += name;
        row += u"=\"";
        row += Escape(value);
        row += u'"';
    };
    for (size_t i = 0; i < items.size() && i < std::size(kNames); ++i) {
        if (i == 2)
            attribute(u"codepage", codepage);
        attribute(kNames[i], items[i]);
        if (i < 2) {
            if (const std::u16string exact = ExactPath(items[i]); !exact.empty())
                row += u' ' + std::u16string(kNames[i]) + u"Bytes=\"" + exact + u'"';
        }
    }
    // Added after the first ones, which keep their order.
    const std::vector<std::u16string> cells = AddedReportCells(record);
    const std::span<const AddedField> fields = AddedReportFields();
    for (size_t i = 0; i < cells.size() && i < fields.size(); ++i)
        if (fields[i].attribute != nullptr)
            attribute(fields[i].attribute, cells[i]);
    row += u"/>\n";
    std::lock_guard lock(m_mutex);
    if (m_writer)
        *m_writer << row;
}

void CVarnexXMLExporter::Close(VARNEXSESSIONSTOPREASON /*reason*/)
{
    std::lock_guard lock(m_mutex);
    NonLockedClose();
}

void CVarnexXMLExporter::NonLockedClose()
{
    if (!m_writer)
        return;
    *m_writer << u"</varnelReport>\n";
    if (!m_writer->Close() || m_writer->HasWriteError())
        m_writeError = true;
    m_writer.reset();
    // An incomplete report is put in place too: it ends where it failed,
    // and the failure is reported.
    if (!m_target.End())
        m_writeError = true;
}

bool CVarnexXMLExporter::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_writer != nullptr;
}

bool CVarnexXMLExporter::HasWriteError() const
{
    std::lock_guard lock(m_mutex);
    return m_writeError;
}
