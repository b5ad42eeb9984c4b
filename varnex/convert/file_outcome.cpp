#include "varnex/convert/file_outcome.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>

#include "base/text.h"

namespace {

std::atomic<ReasonTranslator> g_translator{nullptr};

// An English reason text in the program's language, "%1" and "%2" filled.
std::u16string Say(const char* english, std::initializer_list<std::u16string> args = {})
{
    const ReasonTranslator translate = g_translator.load(std::memory_order_acquire);
    std::u16string text = translate != nullptr ? translate(english) : text::FromUtf8(english);
    char16_t marker[] = u"%1";
    for (const std::u16string& arg : args) {
        for (size_t at = text.find(marker); at != std::u16string::npos; at = text.find(marker, at + arg.size()))
            text.replace(at, 2, arg);
        ++marker[1];
    }
    return text;
}

// what, then ": " and the error's text when one is known.
std::u16string WithError(std::u16string what, int error)
{
    if (error != 0)
        what += u": " + text::FromUtf8(std::strerror(error));
    return what;
}

std::u16string ErrorText(int error) { return text::FromUtf8(std::strerror(error)); }

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
    if (step.lineEndings.counted)
        lineEndings = step.lineEndings;
    replaced += step.replaced;
    // The step's reasons replace the earlier ones together: none of them
    // takes another of the same step away.
    if (std::any_of(step.reasons.begin(), step.reasons.end(),
                    [](const VARNEXREASONNOTE& n) { return !AddsToEarlierReasons(n.reason); }))
        std::erase_if(reasons, [](const VARNEXREASONNOTE& n) { return !OutlivesLaterSteps(n.reason); });
    reasons.insert(reasons.end(), step.reasons.begin(), step.reasons.end());
}

const char16_t* ReasonKeyword(VARNEXREASON reason)
{
    switch (reason) {
    case VARNEXREASON_NONE: return u"none";
    case VARNEXREASON_CANCELLED: return u"cancelled";
    case VARNEXREASON_DETECTION_UNSURE: return u"detection_unsure";
    case VARNEXREASON_UNKNOWN_TEXT: return u"unknown_text";
    case VARNEXREASON_UNREADABLE: return u"unreadable";
    case VARNEXREASON_NO_CODEPAGE: return u"no_codepage";
    case VARNEXREASON_CODEPAGE_NOT_CONVERTIBLE: return u"codepage_not_convertible";
    case VARNEXREASON_OUTPUT_FOLDER_OUTSIDE: return u"output_folder_outside";
    case VARNEXREASON_OUTPUT_FOLDER_LINK: return u"output_folder_link";
    case VARNEXREASON_OUTPUT_FOLDER_FAILED: return u"output_folder_failed";
    case VARNEXREASON_NO_OUTPUT_FILE: return u"no_output_file";
    case VARNEXREASON_OUTPUT_IS_INPUT: return u"output_is_input";
    case VARNEXREASON_OUTPUT_IS_FOLDER: return u"output_is_folder";
    case VARNEXREASON_OPEN_FAILED: return u"open_failed";
    case VARNEXREASON_CREATE_FAILED: return u"create_failed";
    case VARNEXREASON_READ_FAILED: return u"read_failed";
    case VARNEXREASON_WRITE_FAILED: return u"write_failed";
    case VARNEXREASON_COMMIT_FAILED: return u"commit_failed";
    case VARNEXREASON_CHANGED_WHILE_CONVERTED: return u"changed_while_converted";
    case VARNEXREASON_CHANGED_WHILE_COPIED: return u"changed_while_copied";
    case VARNEXREASON_REPLACED_CHARACTERS: return u"replaced_characters";
    case VARNEXREASON_OUT_OF_MEMORY: return u"out_of_memory";
    case VARNEXREASON_CONVERTER_EXCEPTION: return u"converter_exception";
    case VARNEXREASON_INTERNAL_ERROR: return u"internal_error";
    case VARNEXREASON_INTERNAL_EXCEPTION: return u"internal_exception";
    case VARNEXREASON_FOLDER_UNREADABLE: return u"folder_unreadable";
    case VARNEXREASON_NOT_REGULAR: return u"not_regular";
    case VARNEXREASON_DANGLING_LINK: return u"dangling_link";
    case VARNEXREASON_LINK_LOOP: return u"link_loop";
    case VARNEXREASON_FOLDER_REPEATED: return u"folder_repeated";
    case VARNEXREASON_UNREACHABLE: return u"unreachable";
    case VARNEXREASON_C1_CONTROLS: return u"c1_controls";
    case VARNEXREASON_DOUBLE_ENCODED: return u"double_encoded";
    case VARNEXREASON_REPLACEMENT_IN_TEXT: return u"replacement_in_text";
    case VARNEXREASON_UNCOVERED_BYTES: return u"uncovered_bytes";
    }
    return u"unknown";
}

std::u16string DescribeReason(const VARNEXREASONNOTE& note)
{
    const std::u16string number = text::FromUnsigned(note.number);
    switch (note.reason) {
    case VARNEXREASON_NONE: return {};
    case VARNEXREASON_CANCELLED: return Say("cancelled");
    case VARNEXREASON_DETECTION_UNSURE: return Say("the code page detection is unsure");
    case VARNEXREASON_UNKNOWN_TEXT: return Say("text in an encoding that could not be found: not converted");
    case VARNEXREASON_UNREADABLE: return Say("the file could not be read");
    case VARNEXREASON_NO_CODEPAGE: return Say("no code page is assigned and detection is off");
    case VARNEXREASON_CODEPAGE_NOT_CONVERTIBLE:
        return Say("code page %1 cannot be converted here", {text::FromNumber(static_cast<int64_t>(note.number))});
    case VARNEXREASON_OUTPUT_FOLDER_OUTSIDE: return Say("the output file lies outside the output folder");
    case VARNEXREASON_OUTPUT_FOLDER_LINK:
        return Say("a folder on the way to the output file is a symbolic link: not followed");
    case VARNEXREASON_OUTPUT_FOLDER_FAILED:
        // Said with the error's text even when none is known.
        return Say("cannot create the output folder: %1", {ErrorText(note.error)});
    case VARNEXREASON_NO_OUTPUT_FILE: return Say("no output file given");
    case VARNEXREASON_OUTPUT_IS_INPUT: return Say("the output file is the input file itself");
    case VARNEXREASON_OUTPUT_IS_FOLDER: return Say("the output path is a folder");
    case VARNEXREASON_OPEN_FAILED: return WithError(Say("cannot open the input file"), note.error);
    case VARNEXREASON_CREATE_FAILED: return WithError(Say("cannot create the output file"), note.error);
    case VARNEXREASON_READ_FAILED: return WithError(Say("reading the input file failed"), note.error);
    case VARNEXREASON_WRITE_FAILED: return WithError(Say("writing the output file failed"), note.error);
    case VARNEXREASON_COMMIT_FAILED: return WithError(Say("cannot move the output file into place"), note.error);
    case VARNEXREASON_CHANGED_WHILE_CONVERTED:
        return Say("the file changed while it was converted (%1 bytes at the start, %2 at the end): the output "
                   "holds what was read",
                   {number, text::FromUnsigned(note.number2)});
    case VARNEXREASON_CHANGED_WHILE_COPIED:
        return Say("the file changed while it was copied (%1 bytes at the start, %2 at the end): the copy holds "
                   "what was read",
                   {number, text::FromUnsigned(note.number2)});
    case VARNEXREASON_REPLACED_CHARACTERS:
        return Say("%1 characters could not be decoded or written and were replaced by U+FFFD", {number});
    case VARNEXREASON_OUT_OF_MEMORY: return Say("out of memory");
    case VARNEXREASON_CONVERTER_EXCEPTION: return note.detail;
    case VARNEXREASON_INTERNAL_ERROR: return Say("internal error");
    case VARNEXREASON_INTERNAL_EXCEPTION: return Say("internal error: %1", {note.detail});
    case VARNEXREASON_FOLDER_UNREADABLE: return Say("cannot read the folder: %1", {ErrorText(note.error)});
    case VARNEXREASON_NOT_REGULAR: return Say("not a regular file (%1): left alone", {note.detail});
    case VARNEXREASON_DANGLING_LINK: return Say("symbolic link to a missing target");
    case VARNEXREASON_LINK_LOOP: return Say("symbolic link loop");
    case VARNEXREASON_FOLDER_REPEATED:
        return Say("folder already searched under another path (a link): not searched again");
    case VARNEXREASON_UNREACHABLE: return Say("cannot be reached: %1", {ErrorText(note.error)});
    case VARNEXREASON_C1_CONTROLS:
        if (note.number != 0)
            return Say("%1 invisible control characters (U+0080 to U+009F) in the text: check the code page", {number});
        return Say("the detected code page reads some bytes as invisible control characters: check the code page");
    case VARNEXREASON_DOUBLE_ENCODED:
        return note.number != 0 ? Say("the text was encoded as UTF-8 twice and has been repaired")
                                : Say("the text looks encoded as UTF-8 twice (Ã© for é): converted as it is");
    case VARNEXREASON_REPLACEMENT_IN_TEXT:
        return Say("%1 U+FFFD characters in the text: something replaced characters before this conversion", {number});
    case VARNEXREASON_UNCOVERED_BYTES:
        return Say("bytes the code page does not cover, the first at byte offset %1: check the code page", {number});
    }
    return {};
}

void SetReasonTranslator(ReasonTranslator translator)
{
    g_translator.store(translator, std::memory_order_release);
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
