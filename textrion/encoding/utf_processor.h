#pragma once

#include <cstdint>

#include "textrion/encoding/line_ending.h"
#include "textrion/textrion_export.h"

struct UnicodeForm;

// Byte work of the Unicode forms: decoding bytes into UTF-16 (reader side) and
// encoding UTF-16 into bytes with a chosen line-ending style (writer side).
//
// Every function works between caller buffers, reports the input taken and the
// output produced, and never allocates. Ill-formed input is never fatal: it is
// replaced by U+FFFD and counted (GetReplacementCount).
class TEXTRION_API CUTFProcessor {
public:
    enum tagUTFPROCESSRESULT {
        UTFPROCESS_OK = 0,                // all input consumed
        UTFPROCESS_SOURCE_EXHAUSTED = 1,  // the input ends inside a character (left unconsumed)
        UTFPROCESS_TARGET_EXHAUSTED = 2,  // the output is full (the rest left unconsumed)
    };
    enum tagUTF16ENDIANTYPE { UTF16_LE = 0, UTF16_BE = 1 };
    enum tagUTF32ENDIANTYPE { UTF32_LE = 0, UTF32_BE = 1, UTF32_2143 = 2, UTF32_3412 = 3 };
    // The line-ending style the encoders impose, as LineEnding numbers it.
    enum tagUTFPROCESSCRLFTYPE {
        UTFCRLF_KEEP = static_cast<int>(LineEnding::Keep),
        UTFCRLF_CR = static_cast<int>(LineEnding::Cr),
        UTFCRLF_LF = static_cast<int>(LineEnding::Lf),
        UTFCRLF_CRLF = static_cast<int>(LineEnding::CrLf),
    };

    virtual ~CUTFProcessor() = default;

    // --- decode side ---------------------------------------------------------
    // With endOfInput false, a sequence cut by the end of src is left for the
    // next call (SOURCE_EXHAUSTED). With endOfInput true the input is the real
    // end of the stream: the lead byte of a cut sequence, an odd UTF-16 byte
    // and a 1..3 byte UTF-32 tail each become U+FFFD.
    //
    // UTF-8: a lead byte that does not start a well-formed sequence becomes
    // U+FFFD and decoding goes on at the next byte; NUL, encoded surrogates and
    // code points above U+10FFFF become U+FFFD. Units of dst past dstUsed (up
    // to dstLen) may be overwritten.
    tagUTFPROCESSRESULT ReadUTF8(const unsigned char* src, unsigned srcLen, unsigned& srcUsed, char16_t* dst,
                                 unsigned dstLen, unsigned& dstUsed, bool endOfInput = false);
    // Byte pairs into units, unpaired surrogates passed through. A surrogate
    // pair is never split between two outputs: a high surrogate ending the
    // output or the (not final) input waits for the next call.
    tagUTFPROCESSRESULT ReadUTF16(const unsigned char* src, unsigned srcLen, unsigned& srcUsed, char16_t* dst,
                                  unsigned dstLen, tagUTF16ENDIANTYPE endian, unsigned& dstUsed,
                                  bool endOfInput = false);
    // Surrogate values and values above U+10FFFF become U+FFFD; 0 stays U+0000.
    tagUTFPROCESSRESULT ReadUTF32(const unsigned char* src, unsigned srcLen, unsigned& srcUsed, char16_t* dst,
                                  unsigned dstLen, tagUTF32ENDIANTYPE endian, unsigned& dstUsed,
                                  bool endOfInput = false);

    // True when src holds the lead byte's whole sequence and it is well-formed.
    [[nodiscard]] static bool IsLegalUTF8Sequence(const unsigned char* src, unsigned len);
    // Trailing bytes a lead byte claims, as in the Unicode reference
    // conversion: 0 for 00..BF, 1 for C0..DF, 2 for E0..EF, 3 for F0..F7, 4 for
    // F8..FB, 5 for FC..FF.
    static constexpr unsigned TrailingBytes(unsigned char lead)
    {
        return lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : lead < 0xF8 ? 3 : lead < 0xFC ? 4 : 5;
    }

    // --- encode side ---------------------------------------------------------
    // Line breaks (CR, LF or CR LF) are written in the chosen style unless it is
    // UTFCRLF_KEEP. A CR ending one input and an LF starting the next are one
    // break. A line ending is written only whole.
    //
    // UTF-8 and the 32-bit forms: a high surrogate ending the input is left
    // unconsumed (SOURCE_EXHAUSTED) for the caller to present again; any other
    // unpaired surrogate is written as U+FFFD and counted, so the output is
    // always well-formed. UTF-16 writes every unit as it is.
    //
    // Bytes of dst past dstUsed (up to dstLen) may be overwritten.
    tagUTFPROCESSRESULT WriteUTF8(const char16_t* src, unsigned srcLen, unsigned& srcUsed, unsigned char* dst,
                                  unsigned dstLen, unsigned& dstUsed);
    tagUTFPROCESSRESULT WriteUTF16(const char16_t* src, unsigned srcLen, unsigned& srcUsed, unsigned char* dst,
                                   unsigned dstLen, unsigned& dstUsed, tagUTF16ENDIANTYPE endian);
    tagUTFPROCESSRESULT WriteUTF32(const char16_t* src, unsigned srcLen, unsigned& srcUsed, unsigned char* dst,
                                   unsigned dstLen, unsigned& dstUsed, tagUTF32ENDIANTYPE endian);

    // The decoder and encoder of a form of the Unicode form table, chosen by
    // its unit size and byte order.
    tagUTFPROCESSRESULT ReadForm(const UnicodeForm& form, const unsigned char* src, unsigned srcLen, unsigned& srcUsed,
                                 char16_t* dst, unsigned dstLen, unsigned& dstUsed, bool endOfInput);
    tagUTFPROCESSRESULT WriteForm(const UnicodeForm& form, const char16_t* src, unsigned srcLen, unsigned& srcUsed,
                                  unsigned char* dst, unsigned dstLen, unsigned& dstUsed);
    static tagUTF16ENDIANTYPE Utf16EndianOf(const UnicodeForm& form);
    static tagUTF32ENDIANTYPE Utf32EndianOf(const UnicodeForm& form);

    void SetCrLfType(tagUTFPROCESSCRLFTYPE type) { m_breaks.SetTarget(static_cast<LineEnding>(type)); }
    void SetLineEnding(LineEnding ending) { m_breaks.SetTarget(ending); }
    // For reports that name files: a lone U+DC80..U+DCFF (how a file name
    // byte that is not UTF-8 is held) is written back as that byte in UTF-8,
    // and as the unit itself in UTF-32 (and UTF-16), instead of U+FFFD, so
    // every name in the report is the name on disk (the convention Python
    // calls "surrogateescape").
    void SetFileNameBytes(bool keep) { m_fileNameBytes = keep; }
    tagUTFPROCESSCRLFTYPE GetCrLfType() const { return static_cast<tagUTFPROCESSCRLFTYPE>(m_breaks.GetTarget()); }

    // Sequences or units replaced by U+FFFD (decoding) or units written as
    // U+FFFD (encoding) since construction or the last reset.
    uint64_t GetReplacementCount() const { return m_replacements; }
    void ResetReplacementCount() { m_replacements = 0; }
    // Decoding: where the first of those replacements began, as the index of
    // its first byte in the src of the Read call that made it (a reader that
    // knows where that src lies in its stream gets the stream offset).
    unsigned GetFirstReplacementIndex() const { return m_firstReplacementIndex; }

protected:
    [[nodiscard]] static bool IsLegalUTF8(const unsigned char* src, unsigned length);

    CLineBreakRewriter m_breaks;
    bool m_fileNameBytes = false;
    uint64_t m_replacements = 0;
    unsigned m_firstReplacementIndex = 0;

    void CountReplacement(unsigned srcIndex)
    {
        if (m_replacements++ == 0)
            m_firstReplacementIndex = srcIndex;
    }

private:
    // One character the fast path of ReadUTF8 leaves: NUL, a sequence cut by
    // the end of the input, a bad lead byte, or too little room for its units.
    enum class CarefulStep { kDecoded, kReplaced, kSourceExhausted, kTargetExhausted };
    static CarefulStep DecodeCarefully(const unsigned char*& p, const unsigned char* end, char16_t*& q, char16_t* qEnd,
                                       bool endOfInput);

    template <typename Sink>
    tagUTFPROCESSRESULT Encode(const char16_t* src, unsigned srcLen, unsigned& srcUsed, unsigned char* dst,
                               unsigned dstLen, unsigned& dstUsed, Sink sink, bool passSurrogates);
};
