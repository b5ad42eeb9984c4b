#include "varnex/convert/file_outcome.h"

#include <cstring>

#include "base/text.h"

namespace {

// what, then ": " and the error's text when one is known.
std::u16string WithError(const char16_t* what, int error)
{
    std::u16string message = what;
    if (error != 0)
        message += u": " + text::FromUtf8(std::strerror(error));
    return message;
}

std::u16string Changed(const VARNEXREASONNOTE& note, const char16_t* verb, const char16_t* result)
{
    return u"the file changed while it was " + std::u16string(verb) + u" (" + text::FromUnsigned(note.number) +
           u" bytes at the start, " + text::FromUnsigned(note.number2) + u" at the end): the " + result +
           u" holds what was read";
}

bool AddsToEarlierReasons(VARNEXREASON reason)
{
    return reason == VARNEXREASON_CHANGED_WHILE_CONVERTED || reason == VARNEXREASON_CHANGED_WHILE_COPIED;
}

// What detection found about the text itself stays said whatever a later step reports.
bool OutlivesLaterSteps(VARNEXREASON reason)
{
    return reason == VARNEXREASON_DOUBLE_ENCODED;
}

}  // namespace

void VARNEXFILEOUTCOME::End(VARNEXRESULTSTATE endState, VARNEXREASONNOTE note)
{
    state = endState;
    reasons.assign(1, std::move(note));
}

void VARNEXFILEOUTCOME::Then(const VARNEXFILEOUTCOME& step)
{
    if (step.state != VARNEXRESULTSTATE_OK)
        state = step.state;
    if (step.operation != VARNEXRESULTOPERATION_NONE) {
        operation = step.operation;
        bytesIn = step.bytesIn;
        bytesOut = step.bytesOut;
    }
    replaced += step.replaced;
    for (const VARNEXREASONNOTE& note : step.reasons) {
        if (!AddsToEarlierReasons(note.reason))
            std::erase_if(reasons, [](const VARNEXREASONNOTE& n) { return !OutlivesLaterSteps(n.reason); });
        reasons.push_back(note);
    }
}

std::u16string DescribeReason(const VARNEXREASONNOTE& note)
{
    switch (note.reason) {
    case VARNEXREASON_NONE: return {};
    case VARNEXREASON_CANCELLED: return u"cancelled";
    case VARNEXREASON_DETECTION_UNSURE: return u"the code page detection is unsure";
    case VARNEXREASON_UNKNOWN_TEXT: return u"text in an encoding that could not be found: not converted";
    case VARNEXREASON_UNREADABLE: return u"the file could not be read";
    case VARNEXREASON_NO_CODEPAGE: return u"no code page is assigned and detection is off";
    case VARNEXREASON_CODEPAGE_NOT_CONVERTIBLE:
        return u"code page " + text::FromNumber(static_cast<int64_t>(note.number)) + u" cannot be converted here";
    case VARNEXREASON_OUTPUT_FOLDER_OUTSIDE: return u"the output file lies outside the output folder";
    case VARNEXREASON_OUTPUT_FOLDER_LINK:
        return u"a folder on the way to the output file is a symbolic link: not followed";
    case VARNEXREASON_OUTPUT_FOLDER_FAILED:
        // Said with the error's text even when none is known.
        return u"cannot create the output folder: " + text::FromUtf8(std::strerror(note.error));
    case VARNEXREASON_NO_OUTPUT_FILE: return u"no output file given";
    case VARNEXREASON_OUTPUT_IS_INPUT: return u"the output file is the input file itself";
    case VARNEXREASON_OUTPUT_IS_FOLDER: return u"the output path is a folder";
    case VARNEXREASON_OPEN_FAILED: return WithError(u"cannot open the input file", note.error);
    case VARNEXREASON_CREATE_FAILED: return WithError(u"cannot create the output file", note.error);
    case VARNEXREASON_READ_FAILED: return WithError(u"reading the input file failed", note.error);
    case VARNEXREASON_WRITE_FAILED: return WithError(u"writing the output file failed", note.error);
    case VARNEXREASON_COMMIT_FAILED: return WithError(u"cannot move the output file into place", note.error);
    case VARNEXREASON_CHANGED_WHILE_CONVERTED: return Changed(note, u"converted", u"output");
    case VARNEXREASON_CHANGED_WHILE_COPIED: return Changed(note, u"copied", u"copy");
    case VARNEXREASON_REPLACED_CHARACTERS:
        return text::FromUnsigned(note.number) +
               u" characters could not be decoded or written and were replaced by U+FFFD";
    case VARNEXREASON_OUT_OF_MEMORY: return u"out of memory";
    case VARNEXREASON_CONVERTER_EXCEPTION: return note.detail;
    case VARNEXREASON_INTERNAL_ERROR: return u"internal error";
    case VARNEXREASON_INTERNAL_EXCEPTION: return u"internal error: " + note.detail;
    case VARNEXREASON_FOLDER_UNREADABLE:
        return u"cannot read the folder: " + text::FromUtf8(std::strerror(note.error));
    case VARNEXREASON_NOT_REGULAR: return u"not a regular file (" + note.detail + u"): left alone";
    case VARNEXREASON_DANGLING_LINK: return u"symbolic link to a missing target";
    case VARNEXREASON_LINK_LOOP: return u"symbolic link loop";
    case VARNEXREASON_FOLDER_REPEATED:
        return u"folder already searched under another path (a link): not searched again";
    case VARNEXREASON_UNREACHABLE: return u"cannot be reached: " + text::FromUtf8(std::strerror(note.error));
    case VARNEXREASON_C1_CONTROLS:
        if (note.number != 0)
            return text::FromUnsigned(note.number) +
                   u" invisible control characters (U+0080 to U+009F) in the text: check the code page";
        return u"the detected code page reads some bytes as invisible control characters: check the code page";
    case VARNEXREASON_DOUBLE_ENCODED:
        return note.number != 0 ? u"the text was encoded as UTF-8 twice and has been repaired"
                                : u"the text looks encoded as UTF-8 twice (\u00C3\u00A9 for \u00E9): converted as it is";
    case VARNEXREASON_REPLACEMENT_IN_TEXT:
        return text::FromUnsigned(note.number) +
               u" U+FFFD characters in the text: something replaced characters before this conversion";
    }
    return {};
}

std::u16string DescribeOutcome(const VARNEXFILEOUTCOME& outcome)
{
    std::u16string message;
    for (const VARNEXREASONNOTE& note : outcome.reasons) {
        if (!message.empty())
            message += u"; ";
        message += DescribeReason(note);
    }
    return message;
}
