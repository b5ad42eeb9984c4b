#include "varnex/export/json_exporter.h"

#include <utility>

#include "base/text.h"
#include "varnex/codepage/advanced_detector.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/export/report_record.h"
#include "varnex/session/varnex_file_info.h"

namespace {

bool IsHigh(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// One JSON object, built member by member in the order they are added.
class JsonObject {
public:
    JsonObject& Text(const char16_t* key, std::u16string_view value)
    {
        return Raw(key, CVarnexJSONExporter::Quote(value));
    }
    // A path, with its exact bytes beside it when its text cannot hold them.
    JsonObject& Path(const char16_t* key, const std::u16string& path)
    {
        bool lossy = false;
        Raw(key, CVarnexJSONExporter::Quote(path, &lossy));
        if (lossy)
            Raw((std::u16string(key) + u"_bytes").c_str(), CVarnexJSONExporter::Quote(PercentEncodedName(path)));
        return *this;
    }
    JsonObject& Number(const char16_t* key, uint64_t value) { return Raw(key, text::FromUnsigned(value)); }
    JsonObject& Signed(const char16_t* key, int64_t value) { return Raw(key, text::FromNumber(value)); }
    JsonObject& Bool(const char16_t* key, bool value) { return Raw(key, value ? u"true" : u"false"); }
    JsonObject& Null(const char16_t* key) { return Raw(key, u"null"); }
    JsonObject& Raw(const char16_t* key, std::u16string_view json)
    {
        m_text += m_text.empty() ? u'{' : u',';
        m_text += CVarnexJSONExporter::Quote(key);
        m_text += u':';
        m_text += json;
        return *this;
    }
    std::u16string Done() const { return m_text.empty() ? u"{}" : m_text + u'}'; }

private:
    std::u16string m_text;
};

std::u16string Confidence(float confidence)
{
    return CVarnexStandardCSVExporter::FormatConfidence(confidence);
}

std::u16string DetectionSettings(const CVarnexJSONExporter::RunInfo& run)
{
    CAdvancedDetector::CKnownExtList& lists = CAdvancedDetector::GetKnownExtList();
    JsonObject detection;
    detection.Bool(u"auto_detect", !run.options.inputCodepage.has_value());
    if (run.options.inputCodepage)
        detection.Signed(u"input_codepage", *run.options.inputCodepage);
    else
        detection.Null(u"input_codepage");
    detection.Number(u"sample_size_mb", run.setting.sampleSizeMB)
        .Number(u"block_size", run.setting.chunkSize)
        .Bool(u"binary_extension_list", run.setting.allowBinaryListDetection)
        .Text(u"binary_list_file", lists.GetListPath(true))
        .Text(u"text_list_file", lists.GetListPath(false))
        .Raw(u"sure_confidence", Confidence(CAdvancedDetector::kSureConfidence))
        .Raw(u"text_list_confidence", Confidence(CAdvancedDetector::kTextListConfidence))
        .Bool(u"report_gb18030", run.setting.useGB18030)
        .Bool(u"repair_double_encoding", run.options.repairDoubleEncoding);
    return detection.Done();
}

std::u16string ConversionSettings(const CVarnexJSONExporter::RunInfo& run, bool detectOnly)
{
    const ConversionOptions& options = run.options;
    JsonObject conversion;
    conversion.Bool(u"detect_only", detectOnly)
        .Text(u"output_format", CTextFileConverter::OutputTextFormatToString(options.outputTextFormat))
        .Bool(u"write_bom", options.writeBom)
        .Text(u"line_endings", CTextFileConverter::ReturnTypeToString(options.returnType))
        .Bool(u"copy_unconverted", options.copyUnconverted)
        .Bool(u"folder", run.folder)
        .Bool(u"recursive", options.recursive)
        .Bool(u"hidden_files", options.processHiddenFiles);
    if (options.filter.IsEnabled())
        conversion.Text(u"name_filter", options.filter.GetFilterString())
            .Bool(u"name_filter_regex", options.filter.IsRegex());
    else
        conversion.Null(u"name_filter").Bool(u"name_filter_regex", false);
    conversion.Number(u"converter_threads", run.setting.converterThreads);
    return conversion.Done();
}

}  // namespace

CVarnexJSONExporter::CVarnexJSONExporter(const char16_t* path, unsigned bufferSize, RunInfo run)
    : CVarnexCSVExporter(path, TEXTENCODING_UTF8, false, bufferSize),
      m_run(std::move(run))
{
}

CVarnexJSONExporter::~CVarnexJSONExporter()
{
    // While this class's members still live: the writer thread calls into them.
    CVarnexCSVExporter::Close();
}

std::u16string CVarnexJSONExporter::Quote(std::u16string_view text, bool* lossy)
{
    static const char kHex[] = "0123456789abcdef";
    std::u16string out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        switch (c) {
        case u'"':
            out += u"\\\"";
            continue;
        case u'\\':
            out += u"\\\\";
            continue;
        case u'\b':
            out += u"\\b";
            continue;
        case u'\f':
            out += u"\\f";
            continue;
        case u'\n':
            out += u"\\n";
            continue;
        case u'\r':
            out += u"\\r";
            continue;
        case u'\t':
            out += u"\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
            out += u"\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += static_cast<char16_t>(kHex[(c >> shift) & 15]);
        } else if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            out += c;
            out += text[++i];
        } else if (IsHigh(c) || IsLow(c)) {
            out += u'\uFFFD';
            if (lossy != nullptr)
                *lossy = true;
        } else {
            out += c;
        }
    }
    out += u'"';
    return out;
}

bool CVarnexJSONExporter::Open(VARNEXSESSIONTYPE type, bool append)
{
    // A report still open ends with its summary, as every session's lines do.
    if (IsOpen())
        Close(VARNEXSESSIONSTOPREASON_FINISHED);
    {
        std::lock_guard lock(m_countLock);
        m_files = m_replaced = m_bytesIn = m_bytesOut = 0;
        m_results.clear();
    }
    return CVarnexCSVExporter::Open(type, append);
}

void CVarnexJSONExporter::Close(VARNEXSESSIONSTOPREASON reason)
{
    if (IsOpen() && WritesHeader()) {
        JsonObject summary;
        summary.Text(u"type", u"summary")
            .Text(u"stop_reason", reason == VARNEXSESSIONSTOPREASON_USER ? u"stopped" : u"finished");
        {
            std::lock_guard lock(m_countLock);
            JsonObject results;
            for (const auto& [keyword, count] : m_results)
                results.Number(keyword.c_str(), count);
            summary.Number(u"files", m_files)
                .Raw(u"results", results.Done())
                .Number(u"replaced", m_replaced)
                .Number(u"bytes_in", m_bytesIn)
                .Number(u"bytes_out", m_bytesOut);
        }
        QueueRow(std::make_unique<Row>(Row{summary.Done()}));
    }
    CVarnexCSVExporter::Close();
}

void CVarnexJSONExporter::GetHeaderItems(Row* items)
{
    const bool detectOnly = GetSessionType() == VARNEXSESSIONTYPE_DETECTION;
    JsonObject header;
    header.Text(u"type", u"header")
        .Text(u"report", u"varnelpro")
        .Number(u"report_version", 1)
        .Text(u"program_version", m_run.programVersion)
        .Text(u"session", detectOnly ? u"detection" : u"conversion")
        .Text(u"command_line", m_run.commandLine)
        .Raw(u"detection", DetectionSettings(m_run))
        .Raw(u"conversion", ConversionSettings(m_run, detectOnly));
    items->push_back(header.Done());
}

void CVarnexJSONExporter::GetFileInfoItems(Row* items, CVarnexFileInfo& info)
{
    GetRecordLine(items, info, true);
}

void CVarnexJSONExporter::GetNotProcessedItems(Row* items, CVarnexFileInfo& info)
{
    GetRecordLine(items, info, false);
}

void CVarnexJSONExporter::GetRecordLine(Row* items, CVarnexFileInfo& info, bool processed)
{
    const ReportRecord record = ReportRecord::Read(info, processed);
    JsonObject line;
    line.Text(u"type", u"file").Path(u"input", record.input);
    if (record.output.empty())
        line.Null(u"output");
    else
        line.Path(u"output", record.output);
    line.Text(u"status", record.StatusKeyword());
    if (processed)
        line.Text(u"result", record.ResultKeyword())
            .Text(u"result_text", CVarnexStandardCSVExporter::GetResultText(record.state, record.operation));
    else
        line.Null(u"result").Text(u"result_text", u"Not processed");
    // -1 is the catalogue's "Binary"; a code page unknown is null.
    if (record.codepage != nullptr)
        line.Signed(u"codepage", record.codepage->GetCodepage())
            .Text(u"codepage_name", record.codepage->GetCodepageName());
    else
        line.Null(u"codepage").Null(u"codepage_name");
    if (const std::u16string iana = record.IanaName(); !iana.empty())
        line.Text(u"iana_name", iana);
    else
        line.Null(u"iana_name");
    if (processed)
        line.Raw(u"confidence", Confidence(record.confidence))
            .Text(u"detected_by", DetectionMethodKeyword(record.method))
            .Bool(u"bom_in", record.bomIn);
    else
        line.Null(u"confidence").Null(u"detected_by").Null(u"bom_in");
    if (record.bomOut)
        line.Bool(u"bom_out", *record.bomOut);
    else
        line.Null(u"bom_out");
    if (record.lineEndings.counted)
        line.Raw(u"line_endings", JsonObject()
                                      .Number(u"crlf", record.lineEndings.crlf)
                                      .Number(u"lf", record.lineEndings.lf)
                                      .Number(u"cr", record.lineEndings.cr)
                                      .Done());
    else
        line.Null(u"line_endings");
    std::u16string reasons = u"[";
    for (const OutcomeReason reason : record.reasons)
        reasons += (reasons.size() > 1 ? u"," : u"") + Quote(ReasonKeyword(reason));
    reasons += u']';
    line.Number(u"replaced", record.replaced)
        .Number(u"bytes_in", record.bytesIn)
        .Number(u"bytes_out", record.bytesOut)
        .Raw(u"reasons", reasons)
        .Text(u"message", record.message);
    items->push_back(line.Done());

    std::lock_guard lock(m_countLock);
    ++m_files;
    ++m_results[record.ResultKeyword()];
    m_replaced += record.replaced;
    m_bytesIn += record.bytesIn;
    m_bytesOut += record.bytesOut;
}

void CVarnexJSONExporter::FormatRow(const Row& row, bool /*firstRow*/, std::u16string& line)
{
    for (const std::u16string& text : row)
        line += text;
    line += u'\n';
}
