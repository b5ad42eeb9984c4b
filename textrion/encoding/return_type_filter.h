#pragma once

#include "textrion/encoding/line_ending.h"
#include "textrion/textrion_export.h"

// An in-place rewrite of a UTF-16 buffer.
class TEXTRION_API CUnicodeFilter {
public:
    virtual ~CUnicodeFilter() = default;
    // buffer holds length units in room for capacity; returns how many leading
    // units are final.
    virtual unsigned Filter(char16_t* buffer, unsigned capacity, unsigned& length, unsigned& shortfall) = 0;
};

// Rewrites every line break (CR, LF or CR LF) of a buffer into one style.
class TEXTRION_API CReturnTypeFilter : public CUnicodeFilter {
public:
    enum CRLFTYPE { CRLFTYPE_CR = 0, CRLFTYPE_LF = 1, CRLFTYPE_CRLF = 2 };

    explicit CReturnTypeFilter(CRLFTYPE target);
    ~CReturnTypeFilter() override = default;

    // Breaks that would grow (CR or LF to CR LF) without free room are left as
    // they are and counted in shortfall; the return value then stops before the
    // first of them, and the caller runs the rest again with more room. A CR
    // that ends the buffer is converted on its own; an LF starting the next
    // buffer is then dropped, so a CR LF pair split across buffers stays one break.
    unsigned Filter(char16_t* buffer, unsigned capacity, unsigned& length, unsigned& shortfall) override;

private:
    CLineBreakRewriter m_breaks;
};
