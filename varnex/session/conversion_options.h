#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "varnex/convert/text_file_converter.h"
#include "varnex/varnex_export.h"

struct FileJobOutput;

// The file-name filter of a job: a wildcard list or a regular expression.
class VARNEX_API CVarnexBatchJobFilter {
public:
    virtual ~CVarnexBatchJobFilter() = default;
    CVarnexBatchJobFilter() = default;
    CVarnexBatchJobFilter(bool regex, const char16_t* expression);
    CVarnexBatchJobFilter(const CVarnexBatchJobFilter&) = default;
    CVarnexBatchJobFilter& operator=(const CVarnexBatchJobFilter&) = default;

    bool IsEnabled() const { return m_enabled; }
    bool IsRegex() const { return m_regex; }
    std::u16string GetFilterString() const { return m_expression; }
    void SetFilterString(bool regex, const char16_t* expression);
    void SetFilterString(bool regex, std::u16string expression);
    void EnableFilter(bool enable) { m_enabled = enable; }

    bool operator==(const CVarnexBatchJobFilter&) const = default;

private:
    bool m_enabled = false;
    bool m_regex = false;
    std::u16string m_expression;
};

// What a job asks of each of its files: how they are found, read and
// written. The job items, the finder's searches, the file records, the
// session profiles and the command line each hold one. The session-wide
// tuning (sample, chunk and buffer sizes) stays in VARNEXJOBSETTING: the
// converter threads size their buffers from it once per session.
struct VARNEX_API ConversionOptions {
    // Settings files write "detect each file" as -1.
    static constexpr int32_t kDetectEachFile = -1;

    bool recursive = false;
    bool processHiddenFiles = false;
    bool writeBom = true;
    bool copyUnconverted = false;
    // UTF-8 found encoded twice (through windows-1252) is written as it was meant.
    bool repairDoubleEncoding = false;
    // Outputs (converted or copied) take their input's permission bits and
    // modification time: a converted script stays executable.
    bool keepModeAndTime = true;
    std::optional<int32_t> inputCodepage{};  // empty: detect each file
    CTextFileConverter::OUTPUTTEXTFORMAT outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    CTextFileConverter::RETURNTYPE returnType = CTextFileConverter::RETURNTYPE_NOCHANGE;
    CVarnexBatchJobFilter filter{};

    bool operator==(const ConversionOptions&) const = default;

    // The input code page in its stored form (-1: detect each file), and
    // back: a negative number names no code page.
    int32_t StoredInputCodepage() const { return inputCodepage.value_or(kDetectEachFile); }
    void SetStoredInputCodepage(int32_t stored);
};

// How a file's job writes a file of these options (varnex/convert/file_job.h).
VARNEX_API FileJobOutput FileJobOutputOf(const ConversionOptions& options);
