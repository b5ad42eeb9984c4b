#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/convert/file_outcome.h"
#include "varnex/convert/text_file_converter.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using Converter = CTextFileConverter;
using Note = ReasonNote;

FileOutcome Outcome(VARNEXRESULTSTATE state, VARNEXRESULTOPERATION operation, std::vector<Note> reasons,
                    uint64_t bytesIn = 0, uint64_t bytesOut = 0)
{
    FileOutcome outcome;
    outcome.state = state;
    outcome.operation = operation;
    outcome.reasons = std::move(reasons);
    outcome.bytesIn = bytesIn;
    outcome.bytesOut = bytesOut;
    return outcome;
}

// --- Later steps folded into what detection found: the records' messages -------

struct StepRow {
    const char* name;
    FileOutcome found;
    FileOutcome step;
    VARNEXRESULTSTATE state;
    VARNEXRESULTOPERATION operation;
    const char16_t* message;
    uint64_t bytesIn, bytesOut;
};

const Note kUnsure = Note::Of(OutcomeReason::DetectionUnsure);
const Note kNotConvertible = Note::Of(OutcomeReason::CodepageNotConvertible, 42);
const Note kConvertedChange = Note::Of(OutcomeReason::ChangedWhileConverted, 100, 50);
const Note kCopiedChange = Note::Of(OutcomeReason::ChangedWhileCopied, 7, 9);
constexpr auto OK = VARNEXRESULTSTATE_OK, WARNING = VARNEXRESULTSTATE_WARNING;
constexpr auto NONE = VARNEXRESULTOPERATION_NONE, CONVERTED = VARNEXRESULTOPERATION_CONVERTED,
               COPIED = VARNEXRESULTOPERATION_COPIED;

const StepRow kSteps[] = {
    {"UnsureThenConverted", Outcome(WARNING, NONE, {kUnsure}, 100), Outcome(OK, CONVERTED, {}, 100, 203), WARNING,
     CONVERTED, u"the code page detection is unsure", 100, 203},
    {"UnsureThenChanged", Outcome(WARNING, NONE, {kUnsure}, 100),
     Outcome(WARNING, CONVERTED, {kConvertedChange}, 50, 9), WARNING, CONVERTED,
     u"the code page detection is unsure; the file changed while it was converted (100 bytes at the start, 50 at "
     u"the end): the output holds what was read",
     50, 9},
    {"ReplacedOutranksUnsure", Outcome(WARNING, NONE, {kUnsure}, 100),
     Outcome(WARNING, CONVERTED, {Note::Of(OutcomeReason::ReplacedCharacters, 3), kConvertedChange}, 100, 200), WARNING,
     CONVERTED,
     u"3 characters could not be decoded or written and were replaced by U+FFFD; the file changed while it was "
     u"converted (100 bytes at the start, 50 at the end): the output holds what was read",
     100, 200},
    {"NotConvertibleThenCopied", Outcome(VARNEXRESULTSTATE_NOT_SUPPORTED, NONE, {kNotConvertible}, 7),
     Outcome(OK, COPIED, {}, 7, 7), VARNEXRESULTSTATE_NOT_SUPPORTED, COPIED, u"code page 42 cannot be converted here",
     7, 7},
    {"NotConvertibleThenCopiedWhileChanging", Outcome(VARNEXRESULTSTATE_NOT_SUPPORTED, NONE, {kNotConvertible}, 7),
     Outcome(WARNING, COPIED, {kCopiedChange}, 7, 7), WARNING, COPIED,
     u"code page 42 cannot be converted here; the file changed while it was copied (7 bytes at the start, 9 at the "
     u"end): the copy holds what was read",
     7, 7},
    // A file not written counts its size as read, whatever the failed step read.
    {"WriteFailed", Outcome(WARNING, NONE, {kUnsure}, 100),
     Outcome(VARNEXRESULTSTATE_WRITE_ERROR, NONE, {Note::Error(OutcomeReason::WriteFailed, ENOSPC)}, 60, 0),
     VARNEXRESULTSTATE_WRITE_ERROR, NONE, u"writing the output file failed: No space left on device", 100, 0},
    // What detection found in the text stays said beside what converting it met.
    {"DoubleEncodedThenReplaced", Outcome(WARNING, NONE, {Note::Of(OutcomeReason::DoubleEncoded)}, 100),
     Outcome(WARNING, CONVERTED, {Note::Of(OutcomeReason::ReplacedCharacters, 3)}, 100, 200), WARNING, CONVERTED,
     u"the text looks encoded as UTF-8 twice (\u00C3\u00A9 for \u00E9): converted as it is; 3 characters could not "
     u"be decoded or written and were replaced by U+FFFD",
     100, 200},
    // A conversion says everything it met, each beside the others.
    {"UnsureThenReplacedAndDoubtful", Outcome(WARNING, NONE, {kUnsure}, 100),
     Outcome(WARNING, CONVERTED,
             {Note::Of(OutcomeReason::ReplacedCharacters, 3), Note::Of(OutcomeReason::UncoveredBytes, 70),
              Note::Of(OutcomeReason::C1Controls, 2)},
             100, 200),
     WARNING, CONVERTED,
     u"3 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
     u"cover, the first at byte offset 70: check the code page; 2 invisible control characters (U+0080 to U+009F) "
     u"in the text: check the code page",
     100, 200},
    {"CopyStopped", Outcome(OK, NONE, {}, 100),
     Outcome(VARNEXRESULTSTATE_CANCELLED, NONE, {Note::Of(OutcomeReason::Cancelled)}, 30, 0),
     VARNEXRESULTSTATE_CANCELLED, NONE, u"cancelled", 100, 0},
};

class OutcomeSteps : public testing::TestWithParam<StepRow> { };

TEST_P(OutcomeSteps, KeepTheFindingsAndSayWhatTheRecordsAlwaysSaid)
{
    const StepRow& row = GetParam();
    FileOutcome outcome = row.found;
    outcome.codepage = 1251;
    outcome.confidence = 0.8f;
    outcome.Then(row.step);
    EXPECT_EQ(outcome.state, row.state);
    EXPECT_EQ(outcome.operation, row.operation);
    EXPECT_EQ(text::ToUtf8(DescribeOutcome(outcome)), text::ToUtf8(row.message));
    EXPECT_EQ(outcome.bytesIn, row.bytesIn);
    EXPECT_EQ(outcome.bytesOut, row.bytesOut);
    EXPECT_EQ(outcome.codepage, 1251);
    EXPECT_EQ(outcome.confidence, 0.8f);
}

INSTANTIATE_TEST_SUITE_P(Outcome, OutcomeSteps, testing::ValuesIn(kSteps),
                         [](const testing::TestParamInfo<StepRow>& row) { return std::string(row.param.name); });

// --- The converter's outcome ----------------------------------------------------

// windows-1252 text: two bytes in, more out in every Unicode form.
const std::string kLatin = "caf\xe9 cr\xe8me\r\nna\xefve\n";

class ConverterOutcome : public testing::TestWithParam<std::tuple<Converter::OUTPUTTEXTFORMAT, bool>> { };

TEST_P(ConverterOutcome, CountsTheInputReadAndTheOutputWrittenWithItsBom)
{
    const auto [format, bom] = GetParam();
    TempDir dir;
    WriteBytes(dir.File("in.txt"), kLatin);
    Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
    ASSERT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 1252, format, Converter::RETURNTYPE_NOCHANGE, bom),
              Converter::CONVERTRESULT_OK);
    const FileOutcome& outcome = converter.GetOutcome();
    EXPECT_EQ(outcome.state, VARNEXRESULTSTATE_OK);
    EXPECT_EQ(outcome.operation, VARNEXRESULTOPERATION_CONVERTED);
    EXPECT_TRUE(outcome.reasons.empty());
    EXPECT_EQ(outcome.bytesIn, kLatin.size());
    EXPECT_EQ(outcome.bytesOut, ReadBytes(dir.File("out.txt")).size());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ConverterOutcome,
    testing::Combine(testing::Values(Converter::OUTPUTTEXTFORMAT_UTF8, Converter::OUTPUTTEXTFORMAT_UTF16BE,
                                     Converter::OUTPUTTEXTFORMAT_UTF32LE, Converter::OUTPUTTEXTFORMAT_UCS4_2143),
                     testing::Bool()));

TEST(ConverterOutcomeFailures, CarryTheReasonTheErrorTextShows)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), kLatin);
    WriteBytes(dir.File("bad.txt"), "ok \xff\xfe ok\n");
    mkdir(dir.File("folder").c_str(), 0777);
    const struct {
        const char* input;
        const char* output;
        unsigned codepage;
        VARNEXRESULTSTATE state;
        OutcomeReason reason;
        const char* text;  // the message (the error text when it failed)
    } cases[] = {
        {"in.txt", "in.txt", 1252, VARNEXRESULTSTATE_WRITE_ERROR, OutcomeReason::OutputIsInput,
         "the output file is the input file itself"},
        {"in.txt", "folder", 1252, VARNEXRESULTSTATE_WRITE_ERROR, OutcomeReason::OutputIsFolder,
         "the output path is a folder"},
        {"missing.txt", "out.txt", 1252, VARNEXRESULTSTATE_CONVERSION_ERROR, OutcomeReason::OpenFailed,
         "cannot open the input file: No such file or directory"},
        {"bad.txt", "out.txt", 65001, VARNEXRESULTSTATE_WARNING, OutcomeReason::ReplacedCharacters,
         "2 characters could not be decoded or written and were replaced by U+FFFD; bytes the code page does not "
         "cover, the first at byte offset 3: check the code page"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Converter converter(dir.File16(c.input).c_str(), 16, 64, 64);
        const auto result = converter.Convert(dir.File16(c.output).c_str(), c.codepage,
                                              Converter::OUTPUTTEXTFORMAT_UTF8, Converter::RETURNTYPE_NOCHANGE, false);
        const FileOutcome& outcome = converter.GetOutcome();
        EXPECT_EQ(outcome.state, c.state);
        ASSERT_FALSE(outcome.reasons.empty());
        EXPECT_EQ(outcome.reasons[0].reason, c.reason);
        EXPECT_EQ(text::ToUtf8(DescribeOutcome(outcome)), c.text);
        if (result == Converter::CONVERTRESULT_OK) {
            EXPECT_EQ(outcome.replaced, converter.GetReplacementCount());
            EXPECT_TRUE(converter.GetErrorText().empty());
        } else {
            EXPECT_EQ(outcome.operation, VARNEXRESULTOPERATION_NONE);
            EXPECT_EQ(outcome.bytesOut, 0u);
            EXPECT_EQ(text::ToUtf8(converter.GetErrorText()), c.text);
            EXPECT_EQ(converter.IsOutputError(), c.state == VARNEXRESULTSTATE_WRITE_ERROR);
        }
    }
}

TEST(ConverterOutcomeFailures, AStoppedConversionIsCancelledAndKeepsNoOutput)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), std::string(4096, 'a'));
    Converter converter(dir.File16("in.txt").c_str(), 16, 64, 64);
    converter.SetContinueCallback([](Converter*, void*) { return false; }, nullptr);
    EXPECT_EQ(converter.Convert(dir.File16("out.txt").c_str(), 1252, Converter::OUTPUTTEXTFORMAT_UTF8,
                                Converter::RETURNTYPE_NOCHANGE, false),
              Converter::CONVERTRESULT_CANCELLED);
    const FileOutcome& outcome = converter.GetOutcome();
    EXPECT_EQ(outcome.state, VARNEXRESULTSTATE_CANCELLED);
    ASSERT_EQ(outcome.reasons.size(), 1u);
    EXPECT_EQ(outcome.reasons[0].reason, OutcomeReason::Cancelled);
    EXPECT_EQ(outcome.bytesOut, 0u);
}

}  // namespace
