#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "varnex/codepage/detection_method.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/varnex_export.h"

class CCodepageInfo;
class CVarnexFileInfo;

// What the reports show of one record, read under the record's lock in one
// go, so that every field describes the same state of it. The keywords are
// stable English for programs that read a report; they are never translated.
struct VARNEX_API ReportRecord {
    bool processed = true;  // false: found, but the session stopped before its turn
    std::u16string input;
    std::u16string output;  // only when an output file was written
    const CCodepageInfo* codepage = nullptr;
    float confidence = 0.0f;
    DetectionMethod method = DetectionMethod::None;
    bool bomIn = false;
    std::optional<bool> bomOut;  // empty: nothing written
    LineEndingCounts lineEndings;
    VARNEXRESULTSTATE state = VARNEXRESULTSTATE_NONE;
    VARNEXRESULTOPERATION operation = VARNEXRESULTOPERATION_NONE;
    uint64_t replaced = 0;
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
    std::vector<OutcomeReason> reasons;
    std::u16string message;

    static ReportRecord Read(CVarnexFileInfo& info, bool processed);

    // "finished" or "not_processed".
    const char16_t* StatusKeyword() const;
    // "converted", "copied", "ok", "warning", "not_supported", "write_error",
    // "cancelled", "failed", "error", "conversion_error"; "not_processed".
    const char16_t* ResultKeyword() const;
    // The IANA name of the code page, empty when it has none.
    std::u16string IanaName() const;
    // The reasons' keywords joined by separator.
    std::u16string ReasonKeywords(char16_t separator) const;
};

// The fields the CSV and XML reports add after their first ones, in order:
// the CSV column title and the XML attribute name of each.
struct AddedField {
    const char16_t* title;
    const char16_t* attribute;  // null: the XML report has it already
};
VARNEX_API std::span<const AddedField> AddedReportFields();
// The cells of those fields for a record, in the same order: keywords and
// numbers; empty where a field does not apply (the line endings of a file
// that was not converted).
VARNEX_API std::vector<std::u16string> AddedReportCells(const ReportRecord& record);

// "bom", "utf8_check", "statistics", "bomless", "extension", "zero_bytes",
// "text_test", "fixed"; "none" when nothing was detected.
VARNEX_API const char16_t* DetectionMethodKeyword(DetectionMethod method);

// A path as the bytes of its name on disk, percent-encoded as in a file URL:
// printable ASCII stays, except '%' and the markup characters " & < >, and
// every other byte is %XX. Names that are not UTF-8 (held as U+DC80..U+DCFF)
// come out exactly, so a reader can reach the very file.
VARNEX_API std::u16string PercentEncodedName(const std::u16string& path);
