#pragma once

#include "textrion/encoding/text_encoding.h"
#include <string>

#include "textrion/textrion_export.h"

// Whether a file starts with a byte order mark, and which. The four-byte marks
// win: FF FE 00 00 is UTF-32 LE and FE FF 00 00 UCS-4 3412.
class TEXTRION_API CBomDetector {
public:
    virtual ~CBomDetector();

    // Detects at once.
    explicit CBomDetector(const char16_t* path);
    CBomDetector(const CBomDetector&) = default;
    CBomDetector& operator=(const CBomDetector&) = default;

    // A file that cannot be opened or read gives BOM_NONE.
    void Detect();
    BOM GetResult() const { return m_result; }
    [[nodiscard]] bool IsShortFile() const { return m_shortFile; }
    // True when the file could not be opened or read.
    [[nodiscard]] bool HasReadError() const { return m_readError; }

    // The judgement on the first n (at most 4) bytes of a file.
    static BOM Judge(const unsigned char* bytes, unsigned n);

private:
    // The file is open only while detecting.
    std::u16string m_path;
    BOM m_result = BOM_NONE;
    bool m_shortFile = false;
    bool m_readError = false;
};
