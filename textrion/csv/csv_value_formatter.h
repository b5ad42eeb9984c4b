#pragma once

#include <string>
#include <vector>

#include "textrion/encoding/line_ending.h"
#include "textrion/textrion_export.h"

// The CSV form of one field value, whole or in pieces of a caller-chosen
// size: quoted when it holds a TAB, CR, LF, double quote or comma, with every
// inner double quote doubled. No separators are written.
class TEXTRION_API CCSVValueFormatter {
public:
    virtual ~CCSVValueFormatter() = default;
    CCSVValueFormatter() = default;
    CCSVValueFormatter(const CCSVValueFormatter&) = default;
    CCSVValueFormatter& operator=(const CCSVValueFormatter&) = default;

    // Binds the value (not copied: it must outlive the formatting).
    void Prepare(const char16_t* value, unsigned length);
    // Writes the next piece, at most capacity units; 0 once the value is complete.
    unsigned Format(char16_t* out, unsigned capacity);

    // Replace value by its CSV form, formatting in pieces of pieceSize units
    // (or of the caller's buffer).
    static void Format(std::u16string& value, unsigned pieceSize);
    static void Format(std::u16string& value, char16_t* buffer, unsigned bufferSize);

private:
    const char16_t* m_value = nullptr;
    unsigned m_length = 0;
    unsigned m_position = 0;
    bool m_needsQuotes = false;
    unsigned m_calls = 0;
    bool m_pendingQuote = false;
};

// Lines of UTF-16 text that arrives in chunks. A line ends at CR LF, a lone
// CR or a lone LF, also when the CR and the LF arrive in different chunks.
class TEXTRION_API CTextLineList : public std::vector<std::u16string> {
public:
    virtual ~CTextLineList() = default;
    CTextLineList() = default;
    CTextLineList(const CTextLineList&) = default;
    CTextLineList& operator=(const CTextLineList&) = default;

    void HandleData(const char16_t* data, unsigned count);

private:
    CLineBreakRewriter m_breaks;  // only its reading of breaks
    bool m_openLine = false;      // the last element still waits for its line end
};
