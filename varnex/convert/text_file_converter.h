#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_api.h"
#include "textrion/encoding/line_ending.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/varnex_export.h"

class CTextFileReader;

// Converts one text file from its code page or Unicode form into one of the
// seven Unicode output forms, with or without BOM and with a chosen line-ending
// style, streaming it in chunks with progress and cancellation between chunks.
//
// The output is written under a temporary name in the output's folder and
// renamed into place only when the whole text was written, so a failed or
// cancelled conversion leaves no partial file and an existing file of that
// name is kept. An output path that is the input file itself (also through a
// link) is refused. Replaced characters are counted (GetReplacementCount).
class VARNEX_API CTextFileConverter {
public:
    enum OUTPUTTEXTFORMAT {
        OUTPUTTEXTFORMAT_UTF8 = 0,
        OUTPUTTEXTFORMAT_UTF16LE = 1,
        OUTPUTTEXTFORMAT_UTF16BE = 2,
        OUTPUTTEXTFORMAT_UTF32LE = 3,
        OUTPUTTEXTFORMAT_UTF32BE = 4,
        OUTPUTTEXTFORMAT_UCS4_3412 = 5,
        OUTPUTTEXTFORMAT_UCS4_2143 = 6,
    };
    enum RETURNTYPE { RETURNTYPE_NOCHANGE = 0, RETURNTYPE_CRLF = 1, RETURNTYPE_CR = 2, RETURNTYPE_LF = 3 };
    enum CONVERTRESULT {
        CONVERTRESULT_OK = 0,
        CONVERTRESULT_ERROR = 1,        // reading, writing or allocation failed midway
        CONVERTRESULT_OPEN_FAILED = 2,  // the input cannot be read or the output cannot be created
        CONVERTRESULT_CANCELLED = 3,    // the continue callback said stop
    };

    using ContinueCallback = bool (*)(CTextFileConverter* converter, void* userData);
    using ProgressCallback = void (*)(CTextFileConverter* converter, uint64_t processed, uint64_t total,
                                      void* userData);

    virtual ~CTextFileConverter() = default;

    // chunkSize 0 selects whole-file mode (no callbacks). Null buffers are
    // allocated per call; caller buffers are never freed.
    CTextFileConverter(const char16_t* inputPath, unsigned chunkSize, unsigned readBufferSize, unsigned writeBufferSize,
                       char16_t* chunkBuffer = nullptr, unsigned char* readBuffer = nullptr,
                       unsigned char* writeBuffer = nullptr);
    CTextFileConverter(const CTextFileConverter&) = default;
    CTextFileConverter& operator=(const CTextFileConverter&) = default;

    void SetContinueCallback(ContinueCallback callback, void* userData);
    void SetReportProgressCallback(ProgressCallback callback, void* userData);
    // Turns UTF-8 text that was encoded twice (through windows-1252) back
    // into what it said, as it is read.
    void SetRepairDoubleEncoding(bool repair) { m_repairDoubleEncoding = repair; }
    // Single-byte and UTF-8 text go into UTF-8 straight from their bytes
    // where that gives exactly what decoding into UTF-16 and encoding again
    // gives, and the output is written from a thread of its own while the
    // next chunks are converted (on by default); off, every text goes
    // through UTF-16 and is written between chunks. Both give the same.
    void SetFastPaths(bool use) { m_fastPaths = use; }
    // The output takes the input's permission bits and modification time
    // (before it is renamed into place, so it never shows without them).
    void SetKeepModeAndTime(bool keep) { m_keepModeAndTime = keep; }
    // Reads a stream already begun (standard input) instead of the input
    // path, which then only names it; head holds the bytes taken from it
    // before. Convert takes the handle over and closes it; a stream is read once.
    void SetInputStream(int stream, std::vector<unsigned char> head);
    // Writes into this open handle (standard output) instead of an output
    // path; the handle stays the caller's.
    void SetOutputHandle(int handle) { m_outputHandle = handle; }
    // The output path was named by the user (CAtomicOutputFile's followNamed):
    // a link there is kept, a FIFO or device written into.
    void SetOutputNamed(bool named) { m_outputNamed = named; }
    // The output's folder, opened by the caller: the output is made there
    // under the output path's file name, whatever the path leads to by then.
    void SetOutputFolder(platform::FolderRef folder) { m_outputFolder = std::move(folder); }

    // sourceCodepage: a Unicode number (65001, 1200, 1201, 12000, 12001, 3412,
    // 2143) decodes in that form, replacing any BOM's choice; any other number
    // (0 included) is the code page of input without BOM. The last argument is
    // unused.
    CONVERTRESULT Convert(const char16_t* outputPath, unsigned sourceCodepage, OUTPUTTEXTFORMAT format,
                          RETURNTYPE returnType, bool writeBom, unsigned reserved = 0);

    // Why the last Convert failed (empty after success), for the file's record.
    const std::u16string& GetErrorText() const { return m_errorText; }
    // True when the last Convert failed on the output side (creating, writing
    // or moving the output file, or an output that is the input itself).
    [[nodiscard]] bool IsOutputError() const { return m_outputError; }
    // Input sequences and characters replaced by U+FFFD in the last Convert.
    uint64_t GetReplacementCount() const { return m_found.replacements; }
    // C1 controls and U+FFFD the decoded text holds (U+FFFD not counted above).
    uint64_t GetC1ControlCount() const { return m_found.c1Controls; }
    uint64_t GetReplacementsInTextCount() const { return m_found.replacementsInText; }
    // The text's line endings as read, for a Convert that succeeded.
    const LineEndingCounts& GetLineEndings() const { return m_found.lineEndings; }
    // Non-empty when the input changed while it was read, also on a second
    // try: the output holds what was read, up to the size the file had when
    // it was opened, and this says how the file changed.
    const std::u16string& GetInputChange() const { return m_inputChange; }
    // The last Convert as one record: converted with state OK, or WARNING
    // when characters were replaced or the input changed; else CANCELLED,
    // WRITE_ERROR (IsOutputError) or CONVERSION_ERROR, with the reason. Bytes
    // in: the input read; bytes out: the output kept, BOM included.
    const FileOutcome& GetOutcome() const { return m_outcome; }

    // A name beside output, hidden and unique on this machine, to write to
    // before the finished file is renamed into place (CAtomicOutputFile).
    static std::u16string GetTemporaryPath(const std::u16string& output);
    static unsigned GetCodepage(OUTPUTTEXTFORMAT format);
    [[nodiscard]] static bool IsUTFCodepage(unsigned codepage);
    [[nodiscard]] static bool IsLegalCodepage(unsigned codepage);
    [[nodiscard]] static bool IsSameCodepage(unsigned codepage, OUTPUTTEXTFORMAT format);
    static OUTPUTTEXTFORMAT ParseOutputTextFormat(const char16_t* text, OUTPUTTEXTFORMAT defaultValue);
    static const char16_t* OutputTextFormatToString(OUTPUTTEXTFORMAT format);
    static RETURNTYPE ParseReturnType(const char16_t* text, RETURNTYPE defaultValue);
    static const char16_t* ReturnTypeToString(RETURNTYPE returnType);
    // The style a line-ending number asks for.
    static LineEnding LineEndingOf(RETURNTYPE returnType);

private:
    CONVERTRESULT ConvertWithRetry(const std::u16string& output, unsigned sourceCodepage, OUTPUTTEXTFORMAT format,
                                   RETURNTYPE returnType, bool writeBom);
    CONVERTRESULT Fail(CONVERTRESULT result, OutcomeReason reason, int error = 0, bool outputSide = false);
    // Sets the outcome and the texts of the getters from what the run left.
    void Finish(CONVERTRESULT result, unsigned sourceCodepage);
    // The input as set: the stream (taken over), or the path with the caller's buffer or one of its own.
    std::unique_ptr<CTextFileReader> OpenReader();
    // Writes into outputHandle (owned); tempPath names it.
    CONVERTRESULT ConvertTo(const std::u16string& tempPath, int outputHandle, unsigned sourceCodepage,
                            OUTPUTTEXTFORMAT format, RETURNTYPE returnType, bool writeBom);
    // ConvertTo with what it throws turned into a result.
    CONVERTRESULT ConvertGuarded(const std::u16string& tempPath, int outputHandle, unsigned sourceCodepage,
                                 OUTPUTTEXTFORMAT format, RETURNTYPE returnType, bool writeBom);

    std::u16string m_inputPath;
    void* m_continueUserData = nullptr;
    void* m_progressUserData = nullptr;
    unsigned m_readBufferSize;
    unsigned m_writeBufferSize;
    unsigned char* m_readBuffer;
    unsigned char* m_writeBuffer;
    ContinueCallback m_continueCallback = nullptr;
    ProgressCallback m_progressCallback = nullptr;
    unsigned m_chunkSize;
    char16_t* m_chunkBuffer;
    bool m_repairDoubleEncoding = false;
    bool m_fastPaths = true;
    bool m_keepModeAndTime = false;
    int m_inputStream = -1;
    std::vector<unsigned char> m_head;
    int m_outputHandle = -1;
    bool m_outputNamed = false;
    platform::FolderRef m_outputFolder;
    // What one try found in the text; each try starts from {}.
    struct RunFindings {
        static constexpr uint64_t kNoOffset = UINT64_MAX;
        uint64_t replacements = 0;
        uint64_t firstUncovered = kNoOffset;  // the file offset of the first byte not in the input's encoding
        uint64_t c1Controls = 0;
        uint64_t replacementsInText = 0;
        LineEndingCounts lineEndings;
        ReasonNote change;  // the input changed while it was read
    };

    std::u16string m_errorText;
    bool m_outputError = false;
    RunFindings m_found;
    std::u16string m_inputChange;
    ReasonNote m_failure;
    FileOutcome m_outcome;
};
