#pragma once

#include <string>

#include "textrion/encoding/text_encoding.h"
#include "textrion/encoding/utf_processor.h"
#include "textrion/textrion_export.h"

// What the text reader and writer both know about their text: its encoding,
// the code page of non-Unicode text, the character used for unconvertible
// characters and a data-lost flag; plus conversions between code page strings
// and UTF-16.
class TEXTRION_API CTextFileProcessor : public CUTFProcessor {
public:
    ~CTextFileProcessor() override = default;

    TEXTENCODING GetEncoding() const { return m_encoding; }
    void SetEncoding(TEXTENCODING encoding) { m_encoding = encoding; }
    void SetCodePage(unsigned codePage) { m_codePage = codePage; }
    unsigned GetCodePage() const { return m_codePage; }

    void SetUnknownChar(char c) { m_unknownChar = c; }
    [[nodiscard]] bool IsDataLost() const { return m_dataLost; }
    void ResetDataLostFlag() { m_dataLost = false; }
    void SetDataLostFlag() { m_dataLost = true; }

    // Non-zero for the symbolic code pages 0..3, 42, the Unicode numbers
    // (1200, 1201, 2143, 3412, 12000, 12001, 65000, 65001) and every code page
    // this system can convert.
    static int IsLegalCodePage(unsigned codePage);
    // 1201, 1200, 65001, 12001, 12000, 2143, 3412 for encodings 1..7; else 0.
    static unsigned GetCodepageForEncoding(TEXTENCODING encoding);
    // The inverse; every other number (65000 included) gives TEXTENCODING_CODEPAGE.
    static TEXTENCODING GetEncodingForCodepage(unsigned codePage);

    // Code page bytes to UTF-16 and back, whole. The text is converted in full,
    // U+0000 and zero bytes included (nothing is cut at the first zero). Bad
    // input becomes U+FFFD, unmappable characters the code page's '?'. The
    // unknown character and data-lost arguments are not used by these forms.
    static void ConvertCharToWstring(const char* src, int length, std::u16string& out, unsigned codePage);
    static void ConvertWcharToString(const char16_t* src, int length, std::string& out, unsigned codePage,
                                     bool* dataLost = nullptr, char unknownChar = '?');

    // Zero-terminated forms in the C runtime's current locale. A byte sequence
    // that does not convert is skipped a byte at a time; a unit that does not
    // convert becomes unknownChar and sets *dataLost.
    static void ConvertCharToWstring(const char* src, std::u16string& out);
    static void ConvertWcharToString(const char16_t* src, std::string& out, bool* dataLost, char unknownChar);

protected:
    void CharToWstring(const char* src, int length, std::u16string& out) const;
    void WcharToString(const char16_t* src, int length, std::string& out);

    TEXTENCODING m_encoding = TEXTENCODING_CODEPAGE;
    char m_unknownChar = '?';
    bool m_dataLost = false;
    unsigned m_codePage = 0;
};
