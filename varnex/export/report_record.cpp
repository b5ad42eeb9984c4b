#include "varnex/export/report_record.h"

#include "base/lockable.h"
#include "base/text.h"
#include "codecs/codepage.h"
#include "platform/native_path.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/session/varnex_file_info.h"

ReportRecord ReportRecord::Read(CVarnexFileInfo& info, bool processed)
{
    ReportRecord record;
    CSingleLock lock(info.GetCriticalSection());
    record.processed = processed;
    record.input = info.FastGetInputFile();
    record.operation = info.FastGetResultOperation();
    if (record.operation != VARNEXRESULTOPERATION_NONE)
        record.output = info.FastGetOutputFile();
    record.codepage = info.FastGetCodepageInfo();
    record.confidence = info.FastGetConfidence();
    record.method = info.FastGetDetectionMethod();
    record.bomIn = info.FastGetHasBom();
    // A copy keeps the input's bytes, its mark included.
    if (record.operation == VARNEXRESULTOPERATION_CONVERTED)
        record.bomOut = info.GetWriteBOM();
    else if (record.operation == VARNEXRESULTOPERATION_COPIED)
        record.bomOut = record.bomIn;
    record.lineEndings = info.FastGetLineEndings();
    record.state = info.FastGetResultState();
    record.replaced = info.GetReplacedCount();
    record.bytesIn = info.GetBytesIn();
    record.bytesOut = info.GetBytesOut();
    record.reasons = info.FastGetReasons();
    record.message = info.FastGetMessage();
    return record;
}

const char16_t* ReportRecord::StatusKeyword() const
{
    return processed ? u"finished" : u"not_processed";
}

const char16_t* ReportRecord::ResultKeyword() const
{
    if (!processed)
        return u"not_processed";
    switch (state) {
    case VARNEXRESULTSTATE_OK:
        return operation == VARNEXRESULTOPERATION_CONVERTED ? u"converted"
               : operation == VARNEXRESULTOPERATION_COPIED  ? u"copied"
                                                            : u"ok";
    case VARNEXRESULTSTATE_WARNING:
        return u"warning";
    case VARNEXRESULTSTATE_FAILED:
        return u"failed";
    case VARNEXRESULTSTATE_ERROR:
        return u"error";
    case VARNEXRESULTSTATE_NOT_SUPPORTED:
        return u"not_supported";
    case VARNEXRESULTSTATE_WRITE_ERROR:
        return u"write_error";
    case VARNEXRESULTSTATE_CANCELLED:
        return u"cancelled";
    default:
        return u"conversion_error";  // shown as "Conversion Error" too
    }
}

std::u16string ReportRecord::IanaName() const
{
    if (codepage == nullptr || codepage->GetCodepage() < 0)
        return {};
    return text::FromUtf8(codecs::IanaCharsetName(static_cast<unsigned>(codepage->GetCodepage())));
}

std::u16string ReportRecord::ReasonKeywords(char16_t separator) const
{
    std::u16string joined;
    for (const OutcomeReason reason : reasons) {
        if (!joined.empty())
            joined += separator;
        joined += ReasonKeyword(reason);
    }
    return joined;
}

std::span<const AddedField> AddedReportFields()
{
    static constexpr AddedField kFields[] = {
        {u"Code Page Number", nullptr},
        {u"IANA Name", u"ianaName"},
        {u"Detected By", u"detectedBy"},
        {u"BOM Out", u"bomOut"},
        {u"CR LF", u"crlf"},
        {u"LF", u"lf"},
        {u"CR", u"cr"},
        {u"Bytes In", u"bytesIn"},
        {u"Bytes Out", u"bytesOut"},
        {u"Result", u"result"},
        {u"Reasons", u"reasons"},
    };
    return kFields;
}

std::vector<std::u16string> AddedReportCells(const ReportRecord& record)
{
    const LineEndingCounts& endings = record.lineEndings;
    const auto count = [&endings](uint64_t n) { return endings.counted ? text::FromUnsigned(n) : std::u16string(); };
    return {
        record.codepage ? text::FromNumber(record.codepage->GetCodepage()) : std::u16string(),
        record.IanaName(),
        record.processed ? DetectionMethodKeyword(record.method) : u"",
        record.bomOut ? (*record.bomOut ? u"Yes" : u"No") : u"",
        count(endings.crlf),
        count(endings.lf),
        count(endings.cr),
        text::FromUnsigned(record.bytesIn),
        text::FromUnsigned(record.bytesOut),
        record.ResultKeyword(),
        record.ReasonKeywords(u' '),
    };
}

const char16_t* DetectionMethodKeyword(DetectionMethod method)
{
    switch (method) {
    case DetectionMethod::None:
        return u"none";
    case DetectionMethod::Extension:
        return u"extension";
    case DetectionMethod::Bom:
        return u"bom";
    case DetectionMethod::Bomless:
        return u"bomless";
    case DetectionMethod::ZeroBytes:
        return u"zero_bytes";
    case DetectionMethod::Utf8Check:
        return u"utf8_check";
    case DetectionMethod::Statistics:
        return u"statistics";
    case DetectionMethod::TextTest:
        return u"text_test";
    case DetectionMethod::Fixed:
        return u"fixed";
    }
    return u"none";
}

std::u16string PercentEncodedName(const std::u16string& path)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::u16string out;
    for (const unsigned char byte : platform::ToNativePath(path)) {
        if (byte > 0x20 && byte < 0x7F && byte != '%' && byte != '"' && byte != '&' && byte != '<' && byte != '>') {
            out += static_cast<char16_t>(byte);
        } else {
            out += u'%';
            out += static_cast<char16_t>(kHex[byte >> 4]);
            out += static_cast<char16_t>(kHex[byte & 15]);
        }
    }
    return out;
}
