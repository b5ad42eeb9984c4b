#pragma once

#include "textrion/encoding/text_encoding.h"
#include <string>

#include "textrion/textrion_export.h"

// Whether a file without BOM is nevertheless UTF-16 LE, by the statistical
// test over its first 2048 bytes. It only ever answers BOMLESS_NONE or
// BOMLESS_UTF16LE.
class TEXTRION_API CBomlessUnicodeDetector {
public:
    virtual ~CBomlessUnicodeDetector();

    // Does not read.
    explicit CBomlessUnicodeDetector(const char16_t* path);
    CBomlessUnicodeDetector(const CBomlessUnicodeDetector&) = default;
    CBomlessUnicodeDetector& operator=(const CBomlessUnicodeDetector&) = default;

    virtual BOMLESS_UNICODE Detect();
    // The same test on a file's first n bytes, of which it takes kSampleSize.
    static BOMLESS_UNICODE Judge(const unsigned char* bytes, size_t n);
    BOMLESS_UNICODE GetResult() const { return m_result; }
    [[nodiscard]] bool IsShortFile() const { return m_shortFile; }

    static constexpr unsigned kSampleSize = 2048;

private:
    // The file is open only while detecting.
    std::u16string m_path;
    bool m_shortFile = true;
    BOMLESS_UNICODE m_result = BOMLESS_NONE;
};
