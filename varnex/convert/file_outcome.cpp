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

std::u16string ErrorText(int error)
{
    return text::FromUtf8(std::strerror(error));
}

bool AddsToEarlierReasons(OutcomeReason reason)
{
    return reason == OutcomeReason::ChangedWhileConverted || reason == OutcomeReason::ChangedWhileCopied;
}

// What detection found about the text itself stays said whatever a later step reports.
bool OutlivesLaterSteps(OutcomeReason reason)
{
    return reason == OutcomeReason::DoubleEncoded;
}

}  // namespace

void FileOutcome::End(VARNEXRESULTSTATE endState, ReasonNote note)
{
    state = endState;
    reasons.assign(1, std::move(note));
}

void FileOutcome::Then(const FileOutcome& step)
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
                    [](const ReasonNote& n) { return !AddsToEarlierReasons(n.reason); }))
        std::erase_if(reasons, [](const ReasonNote& n) { return !OutlivesLaterSteps(n.reason); });
    reasons.insert(reasons.end(), step.reasons.begin(), step.reasons.end());
}

const char16_t* ReasonKeyword(OutcomeReason reason)
{
    switch (reason) {
    case OutcomeReason::None:
        return u"none";
    case OutcomeReason::Cancelled:
        return u"cancelled";
    case OutcomeReason::DetectionUnsure:
        return u"detection_unsure";
    case OutcomeReason::UnknownText:
        return u"unknown_text";
    case OutcomeReason::Unreadable:
        return u"unreadable";
    case OutcomeReason::NoCodepage:
        return u"no_codepage";
    case OutcomeReason::CodepageNotConvertible:
        return u"codepage_not_convertible";
    case OutcomeReason::OutputFolderOutside:
        return u"output_folder_outside";
    case OutcomeReason::OutputFolderLink:
        return u"output_folder_link";
    case OutcomeReason::OutputFolderFailed:
        return u"output_folder_failed";
    case OutcomeReason::NoOutputFile:
        return u"no_output_file";
    case OutcomeReason::OutputIsInput:
        return u"output_is_input";
    case OutcomeReason::OutputIsFolder:
        return u"output_is_folder";
    case OutcomeReason::OpenFailed:
        return u"open_failed";
    case OutcomeReason::CreateFailed:
        return u"create_failed";
    case OutcomeReason::ReadFailed:
        return u"read_failed";
    case OutcomeReason::WriteFailed:
        return u"write_failed";
    case OutcomeReason::CommitFailed:
        return u"commit_failed";
    case OutcomeReason::ChangedWhileConverted:
        return u"changed_while_converted";
    case OutcomeReason::ChangedWhileCopied:
        return u"changed_while_copied";
    case OutcomeReason::ReplacedCharacters:
        return u"replaced_characters";
    case OutcomeReason::OutOfMemory:
        return u"out_of_memory";
    case OutcomeReason::ConverterException:
        return u"converter_exception";
    case OutcomeReason::InternalError:
        return u"internal_error";
    case OutcomeReason::InternalException:
        return u"internal_exception";
    case OutcomeReason::FolderUnreadable:
        return u"folder_unreadable";
    case OutcomeReason::NotRegular:
        return u"not_regular";
    case OutcomeReason::DanglingLink:
        return u"dangling_link";
    case OutcomeReason::LinkLoop:
        return u"link_loop";
    case OutcomeReason::FolderRepeated:
        return u"folder_repeated";
    case OutcomeReason::Unreachable:
        return u"unreachable";
    case OutcomeReason::C1Controls:
        return u"c1_controls";
    case OutcomeReason::DoubleEncoded:
        return u"double_encoded";
    case OutcomeReason::ReplacementInText:
        return u"replacement_in_text";
    case OutcomeReason::UncoveredBytes:
        return u"uncovered_bytes";
    }
    return u"unknown";
}

std::u16string DescribeReason(const ReasonNote& note)
{
    const std::u16string number = text::FromUnsigned(note.number);
    switch (note.reason) {
    case OutcomeReason::None:
        return {};
    case OutcomeReason::Cancelled:
        return Say("cancelled");
    case OutcomeReason::DetectionUnsure:
        return Say("the code page detection is unsure");
    case OutcomeReason::UnknownText:
        return Say("text in an encoding that could not be found: not converted");
    case OutcomeReason::Unreadable:
        return Say("the file could not be read");
    case OutcomeReason::NoCodepage:
        return Say("no code page is assigned and detection is off");
    case OutcomeReason::CodepageNotConvertible:
        return Say("code page %1 cannot be converted here", {text::FromNumber(static_cast<int64_t>(note.number))});
    case OutcomeReason::OutputFolderOutside:
        return Say("the output file lies outside the output folder");
    case OutcomeReason::OutputFolderLink:
        return Say("a folder on the way to the output file is a symbolic link: not followed");
    case OutcomeReason::OutputFolderFailed:
        // Said with the error's text even when none is known.
        return Say("cannot create the output folder: %1", {ErrorText(note.error)});
    case OutcomeReason::NoOutputFile:
        return Say("no output file given");
    case OutcomeReason::OutputIsInput:
        return Say("the output file is the input file itself");
    case OutcomeReason::OutputIsFolder:
        return Say("the output path is a folder");
    case OutcomeReason::OpenFailed:
        return WithError(Say("cannot open the input file"), note.error);
    case OutcomeReason::CreateFailed:
        return WithError(Say("cannot create the output file"), note.error);
    case OutcomeReason::ReadFailed:
        return WithError(Say("reading the input file failed"), note.error);
    case OutcomeReason::WriteFailed:
        return WithError(Say("writing the output file failed"), note.error);
    case OutcomeReason::CommitFailed:
        return WithError(Say("cannot move the output file into place"), note.error);
    case OutcomeReason::ChangedWhileConverted:
        return Say("the file changed while it was converted (%1 bytes at the start, %2 at the end): the output "
                   "holds what was read",
                   {number, text::FromUnsigned(note.number2)});
    case OutcomeReason::ChangedWhileCopied:
        return Say("the file changed while it was copied (%1 bytes at the start, %2 at the end): the copy holds "
                   "what was read",
                   {number, text::FromUnsigned(note.number2)});
    case OutcomeReason::ReplacedCharacters:
        return Say("%1 characters could not be decoded or written and were replaced by U+FFFD", {number});
    case OutcomeReason::OutOfMemory:
        return Say("out of memory");
    case OutcomeReason::ConverterException:
        return note.detail;
    case OutcomeReason::InternalError:
        return Say("internal error");
    case OutcomeReason::InternalException:
        return Say("internal error: %1", {note.detail});
    case OutcomeReason::FolderUnreadable:
        return Say("cannot read the folder: %1", {ErrorText(note.error)});
    case OutcomeReason::NotRegular:
        return Say("not a regular file (%1): left alone", {note.detail});
    case OutcomeReason::DanglingLink:
        return Say("symbolic link to a missing target");
    case OutcomeReason::LinkLoop:
        return Say("symbolic link loop");
    case OutcomeReason::FolderRepeated:
        return Say("folder already searched under another path (a link): not searched again");
    case OutcomeReason::Unreachable:
        return Say("cannot be reached: %1", {ErrorText(note.error)});
    case OutcomeReason::C1Controls:
        if (note.number != 0)
            return Say("%1 invisible control characters (U+0080 to U+009F) in the text: check the code page", {number});
        return Say("the detected code page reads some bytes as invisible control characters: check the code page");
    case OutcomeReason::DoubleEncoded:
        return note.number != 0 ? Say("the text was encoded as UTF-8 twice and has been repaired")
                                : Say("the text looks encoded as UTF-8 twice (Ã© for é): converted as it is");
    case OutcomeReason::ReplacementInText:
        return Say("%1 U+FFFD characters in the text: something replaced characters before this conversion", {number});
    case OutcomeReason::UncoveredBytes:
        return Say("bytes the code page does not cover, the first at byte offset %1: check the code page", {number});
    }
    return {};
}

void SetReasonTranslator(ReasonTranslator translator)
{
    g_translator.store(translator, std::memory_order_release);
}

std::u16string DescribeOutcome(const FileOutcome& outcome)
{
    std::u16string message;
    for (const ReasonNote& note : outcome.reasons) {
        if (!message.empty())
            message += u"; ";
        message += DescribeReason(note);
    }
    return message;
}
