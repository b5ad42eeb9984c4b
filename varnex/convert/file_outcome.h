#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "varnex/codepage/detection_method.h"
#include "varnex/varnex_export.h"

enum VARNEXRESULTSTATE : int {
    VARNEXRESULTSTATE_NONE = 0,
    VARNEXRESULTSTATE_OK = 1,
    VARNEXRESULTSTATE_WARNING = 2,
    VARNEXRESULTSTATE_FAILED = 3,
    VARNEXRESULTSTATE_ERROR = 4,
    VARNEXRESULTSTATE_CONVERSION_ERROR = 5,
    VARNEXRESULTSTATE_NOT_SUPPORTED = 6,
    VARNEXRESULTSTATE_WRITE_ERROR = 7,
    VARNEXRESULTSTATE_CANCELLED = 8,
};

enum VARNEXRESULTOPERATION : int {
    VARNEXRESULTOPERATION_NONE = 0,
    VARNEXRESULTOPERATION_CONVERTED = 1,
    VARNEXRESULTOPERATION_COPIED = 2,
};

// Why a file ended as it did. The arguments a reason uses are noted beside it.
enum class OutcomeReason : int {
    None = 0,
    Cancelled,
    DetectionUnsure,
    UnknownText,             // text, but no test found its code page
    Unreadable,              // detection could not read the file
    NoCodepage,              // detection off and no code page assigned
    CodepageNotConvertible,  // number: the code page
    OutputFolderOutside,     // the output lies outside the output folder
    OutputFolderLink,        // a folder on the way is a link
    OutputFolderFailed,      // error
    NoOutputFile,
    OutputIsInput,
    OutputIsFolder,
    OpenFailed,             // error (0: none known), the input
    CreateFailed,           // error (0: none known), the output
    ReadFailed,             // error (0: none known)
    WriteFailed,            // error (0: none known)
    CommitFailed,           // error (0: none known): the rename into place
    ChangedWhileConverted,  // number: size at open, number2: size at the end
    ChangedWhileCopied,     // number: size at open, number2: size at the end
    ReplacedCharacters,     // number: how many
    OutOfMemory,
    ConverterException,  // detail: what the converter's layers threw
    InternalError,       // something nothing below the thread caught
    InternalException,   // detail: as above, with what it said
    // Entries the folder walk cannot take as files.
    FolderUnreadable,  // error
    NotRegular,        // detail: what kind of entry
    DanglingLink,
    LinkLoop,
    FolderRepeated,
    Unreachable,  // error
    // The detected code page leaves bytes 80..9F as controls; number: how
    // many the converted text holds (0: detection's finding alone)
    C1Controls,
    // UTF-8 that holds UTF-8 read as windows-1252 ("Ã©"); number: 1 when repaired
    DoubleEncoded,
    ReplacementInText,  // number: U+FFFD the input itself holds
    // Bytes the code page does not cover (replaced, or for code page 0 not
    // UTF-8); number: the file offset of the first
    UncoveredBytes,
};

struct VARNEX_API ReasonNote {
    OutcomeReason reason = OutcomeReason::None;
    uint64_t number = 0;
    uint64_t number2 = 0;
    int error = 0;  // errno
    std::u16string detail;

    static ReasonNote Of(OutcomeReason reason, uint64_t number = 0, uint64_t number2 = 0)
    {
        ReasonNote note;
        note.reason = reason;
        note.number = number;
        note.number2 = number2;
        return note;
    }
    static ReasonNote Error(OutcomeReason reason, int error)
    {
        ReasonNote note = Of(reason);
        note.error = error;
        return note;
    }
    static ReasonNote Detail(OutcomeReason reason, std::u16string detail)
    {
        ReasonNote note = Of(reason);
        note.detail = std::move(detail);
        return note;
    }
};

// What became of one file: what detection found and what converting or
// copying it did. Detection, the converter and the copy each return one; the
// converter thread folds them together (Then) and hands the result to the
// file's record, which turns the reasons into its message.
struct VARNEX_API FileOutcome {
    VARNEXRESULTSTATE state = VARNEXRESULTSTATE_OK;
    VARNEXRESULTOPERATION operation = VARNEXRESULTOPERATION_NONE;
    // False when the file failed before anything was found: the record keeps
    // its code page, confidence, BOM flag and replaced count.
    bool hasFindings = true;
    int codepage = -1;
    float confidence = 0.0f;
    bool hasBom = false;
    uint64_t replaced = 0;
    // Bytes of the input read to write the output; for a file not written,
    // the input's size. Bytes out: the output written, BOM included, 0 when
    // none was kept.
    uint64_t bytesIn = 0;
    uint64_t bytesOut = 0;
    // Which test found the code page (detection), and the text's line
    // endings (counted by the converter in the pass it makes over every
    // unit anyway; not counted for a file that was not converted).
    DetectionMethod method = DetectionMethod::None;
    LineEndingCounts lineEndings{};
    // In the order they happened; the message joins their texts.
    std::vector<ReasonNote> reasons;

    // Ends the outcome in state for this reason alone.
    void End(VARNEXRESULTSTATE endState, ReasonNote note);
    // Adds what a later step (the conversion or the copy) did: its state
    // unless it ended OK, its operation and bytes when it wrote the output.
    // Its reasons replace the earlier ones, except a change of the input while
    // read, which adds to them. What detection found stays.
    void Then(const FileOutcome& step);
};

// A stable English keyword for a reason ("detection_unsure"), for reports
// that programs read; never translated.
VARNEX_API const char16_t* ReasonKeyword(OutcomeReason reason);

// The text shown for one reason (the engine's texts are English).
VARNEX_API std::u16string DescribeReason(const ReasonNote& note);

// The reason texts are English. A program shown in another language installs
// a translator once at start-up: it gets each English text (UTF-8, its "%1"
// and "%2" still in place) and returns the text to show. Any thread may call it.
using ReasonTranslator = std::u16string (*)(const char* english);
VARNEX_API void SetReasonTranslator(ReasonTranslator translator);
// The record's message: the reasons' texts, joined by "; ".
VARNEX_API std::u16string DescribeOutcome(const FileOutcome& outcome);
