#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "app/options/command_line_options.h"
#include "base/text.h"
#include "support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

const std::u16string kCwd = u"/work";

CCommandLineOptions Parse(const std::u16string& line, const std::u16string& cwd = kCwd)
{
    return CCommandLineOptions(line, cwd);
}

struct Row {
    const char* name;
    std::u16string line;
    std::function<void(const CCommandLineOptions&)> check;
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class OptionsTable : public testing::TestWithParam<Row> { };

TEST_P(OptionsTable, ParsesIntoTheRecord)
{
    GetParam().check(Parse(GetParam().line));
}

const Row kRows[] = {
    {"NothingGivenKeepsDefaults", u"",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.hasSwitches);
         EXPECT_EQ(o.GetMode(), 1);
         EXPECT_EQ(o.conversion.StoredInputCodepage(), -1);
         EXPECT_EQ(o.exportEncoding, 3);
         EXPECT_TRUE(o.exportBom);
         EXPECT_FALSE(o.conversion.writeBom);  // UTF-8 without a mark
         EXPECT_EQ(o.cmdFileMaxSize, 32768);
         EXPECT_EQ(o.logLevel, 1);
     }},
    {"RelativeInputIsAppendedToTheCurrentDirectory", u" -in=sub",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.inputPath.has_value());
         EXPECT_EQ(o.inputPath, u"/work/sub");
     }},
    {"AbsoluteInputIsTakenUnchanged", u" -in=/data/x -out=out",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/data/x");
         EXPECT_EQ(o.outputPath, u"/work/out");
     }},
    {"InAndIAreOneSwitch", u" -i=a -in=a",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.problem);
         EXPECT_EQ(o.inputPath, u"/work/a");
     }},
    {"PositionalInputAndOutput", u" in out -r",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/work/in");
         EXPECT_EQ(o.outputPath, u"/work/out");
         EXPECT_TRUE(o.conversion.recursive);
     }},
    {"AbsolutePathsAfterSlashAreNoSwitches", u" /data/in /data/out /r",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.problem);
         EXPECT_EQ(o.inputPath, u"/data/in");
         EXPECT_EQ(o.outputPath, u"/data/out");
         EXPECT_TRUE(o.conversion.recursive);
     }},
    {"DoubleDashEndsTheSwitches", u" -r -- -odd-name out",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/work/-odd-name");
         EXPECT_EQ(o.outputPath, u"/work/out");
     }},
    {"LongFormTakesTheNextArgument", u" --in a --out /b --encoding utf-16be",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/work/a");
         EXPECT_EQ(o.outputPath, u"/b");
         EXPECT_EQ(o.conversion.outputTextFormat, 2);
     }},
    {"QuotedPathWithSpaces", u" \"-in=/my docs/a b\" /out:\"/x y\"",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/my docs/a b");
         EXPECT_EQ(o.outputPath, u"/x y");
     }},
    {"EncodingKeywordsIgnoreCase", u" -enc=utf16be",
     [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.outputTextFormat, 2); }},
    {"EncodingNamesAsIconvWritesThem", u" -enc=UTF-16LE",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.outputTextFormat, 1);
         EXPECT_TRUE(o.conversion.writeBom);  // the wide forms keep their mark
     }},
    {"Utf32WithoutOrderIsLittleEndian", u" --encoding=utf_32",
     [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.outputTextFormat, 3); }},
    {"Utf8WithMarkWhenAsked", u" -enc=utf8 --bom",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.outputTextFormat, 0);
         EXPECT_TRUE(o.conversion.writeBom);
     }},
    {"Utf16WithoutMarkWhenAsked", u" -enc=UTF16BE --no-bom -bom=no",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.problem);
         EXPECT_FALSE(o.conversion.writeBom);
     }},
    {"Ucs4Orders", u" -enc=2143", [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.outputTextFormat, 6); }},
    {"BomTakesTheFirstCharacter", u" -bom=no -exportbom=False",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.conversion.writeBom);
         EXPECT_FALSE(o.exportBom);
     }},
    {"LineEndings", u" -rt=lf", [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.returnType, 3); }},
    {"LineEndingKeepIsTheDefault", u" --eol=keep",
     [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.returnType, 0); }},
    {"FlagsRCDH", u" -r -c -d -h",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.recursive && o.conversion.copyUnconverted && o.detectOnly &&
                     o.conversion.processHiddenFiles);
     }},
    {"RepairIsOffUnlessAsked", u" -r",
     [](const CCommandLineOptions& o) { EXPECT_FALSE(o.conversion.repairDoubleEncoding); }},
    {"Repair", u" -REPAIR -r",
     [](const CCommandLineOptions& o) { EXPECT_TRUE(o.conversion.repairDoubleEncoding && o.conversion.recursive); }},
    {"ModeFileNeedsInputAndOutput", u" -mode=FILE -in=a", [](const CCommandLineOptions& o) { EXPECT_EQ(o.mode, 0); }},
    {"ModeCorventa", u" -mode=Corventa -in=a", [](const CCommandLineOptions& o) { EXPECT_EQ(o.mode, 2); }},
    {"ModeFolder", u" -mode=folder",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.mode.has_value());
         EXPECT_EQ(o.mode, 1);
     }},
    {"CodePageDigits", u" -cp=1252",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.inputCodepage.has_value());
         EXPECT_EQ(o.conversion.inputCodepage, 1252);
     }},
    {"WildcardFilterIsPreferred", u" -rf=^a -wf=*.txt",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.filter.IsEnabled());
         EXPECT_FALSE(o.conversion.filter.IsRegex());
         EXPECT_EQ(o.conversion.filter.GetFilterString(), u"*.txt");
     }},
    {"RegexFilter", u" -rf=.*\\.md",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.filter.IsRegex());
         EXPECT_EQ(o.conversion.filter.GetFilterString(), u".*\\.md");
     }},
    {"ExportAloneIsCsvUtf8WithBom", u" -export=r.csv",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.exportType, 1);
         EXPECT_EQ(o.exportPath, u"/work/r.csv");
         EXPECT_EQ(o.exportEncoding, 3);
         EXPECT_TRUE(o.exportBom);
     }},
    {"ReportAsJsonLines", u" --report=r.jsonl -exporttype=json",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.exportType, CCommandLineOptions::EXPORT_JSON);
         EXPECT_EQ(o.exportPath, u"/work/r.jsonl");
     }},
    {"ExportXmlUtf16", u" -export=r.xml -exporttype=xml -exportenc=UTF16BE",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.exportType, 2);
         EXPECT_EQ(o.exportEncoding, 1);
     }},
    {"LogFileAloneIsFileLogging", u" -logfile=/tmp/l.txt",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.logType, 2);
         EXPECT_EQ(o.logFile, u"/tmp/l.txt");
     }},
    {"LogFileWithTraceIsDropped", u" -logfile=/tmp/l.txt -logtype=trace",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.logType, 1);
         EXPECT_TRUE(o.logFile.empty());
     }},
    {"LogLevelAndType", u" -loglevel=ERROR -logtype=xml",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.logLevel, 3);
         EXPECT_EQ(o.logType, 3);
     }},
    {"StartupFlags", u" /RESETLAYOUT /Q /quit -locale=de_DE",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.resetLayout && o.quiet && o.quit && o.locale.has_value());
         EXPECT_EQ(o.locale, u"de_DE");
     }},
    {"UpgradeStopsTheReading", u" -upgrade -regtoxml -in=a -r",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.upgrade);
         EXPECT_FALSE(o.regToXml);
         EXPECT_FALSE(o.inputPath.has_value());
         EXPECT_FALSE(o.conversion.recursive);
     }},
    {"RegToXmlStopsTheReading", u" -regtoxml -in=a",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.regToXml);
         EXPECT_FALSE(o.inputPath.has_value());
     }},
    {"TheSameValueTwiceIsFine", u" -in=a -IN=a -i=a -enc=UTF16 -enc=utf-16le -r -r",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.problem);
         EXPECT_EQ(o.inputPath, u"/work/a");
     }},
    {"LoneDashEndsTheLine", u" -r - -c",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.recursive);
         EXPECT_FALSE(o.conversion.copyUnconverted);
     }},
    {"Help", u" -?", [](const CCommandLineOptions& o) { EXPECT_TRUE(o.helpRequested); }},
    {"DashIsAStandardStreamNotAFile", u" -mode=FILE -in=-",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.ReadsStandardInput());
         EXPECT_FALSE(o.WritesStandardOutput());
     }},
    {"DotSlashDashIsAFile", u" -in=./- -out=-",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.ReadsStandardInput());
         EXPECT_TRUE(o.WritesStandardOutput());
     }},
    {"ModesAndTimesKeptByDefault", u" -in=a",
     [](const CCommandLineOptions& o) { EXPECT_TRUE(o.conversion.keepModeAndTime); }},
    {"KeepModeNo", u" -keepmode=no --no-preserve",
     [](const CCommandLineOptions& o) { EXPECT_FALSE(o.conversion.keepModeAndTime); }},
    {"NoPreserve", u" --no-preserve", [](const CCommandLineOptions& o) { EXPECT_FALSE(o.conversion.keepModeAndTime); }},
    {"HiddenStaysHAndHelpIsLong", u" -h --help",
     [](const CCommandLineOptions& o) { EXPECT_TRUE(o.conversion.processHiddenFiles && o.helpRequested); }},
    {"QuietAndVerbose", u" -q --verbose", [](const CCommandLineOptions& o) { EXPECT_TRUE(o.quiet && o.verbose); }},
    {"CodePageByName", u" --code-page=koi8-r",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.inputCodepage, 20866);
         EXPECT_EQ(o.codepageText, u"koi8-r");
     }},
    {"WholeTreeAndHeadedReportByDefault", u" -in=a",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.shard.has_value());
         EXPECT_TRUE(o.exportHeader);
     }},
    {"ShardIsZeroBased", u" -shard=0/7 --no-report-header",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.shard, std::optional(Shard{0, 7}));
         EXPECT_FALSE(o.exportHeader);
     }},
    {"ShardLongFormTakesTheNextWord", u" --shard 6/7 -exportheader=yes",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.shard, std::optional(Shard{6, 7}));
         EXPECT_TRUE(o.exportHeader);
     }},
    {"LocaleNamesWithCodesetAndModifier", u" -locale=sr_RS.UTF-8@latin",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.problem);
         EXPECT_EQ(o.locale, u"sr_RS.UTF-8@latin");
     }},
    {"OneShardIsTheWholeTree", u" -shard=0/1",
     [](const CCommandLineOptions& o) { EXPECT_TRUE(o.shard && o.shard->IsWhole()); }},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, OptionsTable, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

// A line with one mistake in it asks for nothing, and the message names the
// switch as it was typed.
struct BadLine {
    const char* name;
    std::u16string line;
    CCommandLineOptions::Problem::Kind kind;
    const char* named;  // in the one-line message
};

void PrintTo(const BadLine& row, std::ostream* os)
{
    *os << row.name;
}

class BadLines : public testing::TestWithParam<BadLine> { };

TEST_P(BadLines, AreRefusedNamingTheSwitch)
{
    const CCommandLineOptions o = Parse(GetParam().line + u" -in=a -out=b -r");
    ASSERT_TRUE(o.problem.has_value());
    EXPECT_EQ(o.problem->kind, GetParam().kind);
    EXPECT_FALSE(o.conversion.recursive);
    const std::string message = text::ToUtf8(o.DescribeProblem());
    EXPECT_NE(message.find(GetParam().named), std::string::npos) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
}

using K = CCommandLineOptions::Problem;
const BadLine kBadLines[] = {
    {"UnknownFlag", u" -bogus", K::UNKNOWN_SWITCH, "-bogus"},
    {"LongWordForR", u" -recursive", K::UNKNOWN_SWITCH, "-recursive"},
    {"UnknownWithValue", u" -foo=bar", K::UNKNOWN_SWITCH, "-foo=bar"},
    {"NoKey", u" -=x", K::UNKNOWN_SWITCH, "-=x"},
    {"UnknownLongForm", u" --recurse", K::UNKNOWN_SWITCH, "--recurse"},
    {"EncodingUtf9", u" -enc=UTF9", K::BAD_VALUE, "-enc"},
    {"EncodingJunk", u" --encoding=junk", K::BAD_VALUE, "--encoding"},
    {"EncodingUtf7", u" -enc=UTF7", K::BAD_VALUE, "UTF7"},
    {"LineEnding", u" -rt=XX", K::BAD_VALUE, "CRLF, CR, LF"},
    {"BomMaybe", u" -bom=maybe", K::BAD_VALUE, "yes, no"},
    {"ReportPdf", u" -exporttype=PDF", K::BAD_VALUE, "CSV, XML, JSON"},
    {"ReportEbcdic", u" -exportenc=EBCDIC", K::BAD_VALUE, "-exportenc"},
    {"ReportInUcs4", u" -exportenc=3412", K::BAD_VALUE, "-exportenc"},
    {"Mode", u" -mode=xyz", K::BAD_VALUE, "FILE, FOLDER, CORVENTA"},
    {"LogLevel", u" -loglevel=verbose", K::BAD_VALUE, "-loglevel"},
    {"NegativeMaximum", u" -cmdfilemaxsize=-5", K::BAD_VALUE, "-cmdfilemaxsize"},
    {"ShardPastTheLast", u" -shard=7/7", K::BAD_VALUE, "-shard"},
    {"ShardOfNone", u" --shard=0/0", K::BAD_VALUE, "--shard"},
    {"ShardOneBased", u" -shard=1", K::BAD_VALUE, "K/N"},
    {"ShardNegative", u" -shard=-1/2", K::BAD_VALUE, "-shard"},
    {"ShardHuge", u" -shard=0/99999999999", K::BAD_VALUE, "-shard"},
    {"ShardTwiceDiffering", u" -shard=0/2 -shard=1/2", K::CONFLICT, "-shard=1/2"},
    {"HeaderBothWays", u" -exportheader=yes --no-report-header", K::CONFLICT, "--no-report-header"},
    {"EmptyExport", u" -export=", K::NO_VALUE, "-export=FILE"},
    {"ValueAfterBlank", u" -enc UTF8", K::NO_VALUE, "-enc"},
    {"LongFormAtTheEnd", u" -d --code-page", K::NO_VALUE, "--code-page"},
    {"LongFormBeforeASwitch", u" --out -d", K::NO_VALUE, "--out"},
    {"FlagWithValue", u" -r=yes", K::TAKES_NO_VALUE, "-r=yes"},
    {"InTwice", u" -in=x", K::CONFLICT, "-in=x"},
    {"IAndIn", u" -i=x", K::CONFLICT, "-i=x"},
    {"BomBothWays", u" -bom=yes --no-bom", K::CONFLICT, "--no-bom"},
    {"KeepModeBothWays", u" -keepmode=no --preserve", K::CONFLICT, "--preserve"},
    {"PositionalAndIn", u" elsewhere", K::CONFLICT, "elsewhere"},
    {"ThreePositional", u" x y", K::CONFLICT, "x"},
    {"LocaleLeavingItsFolder", u" -locale=de_DE/../../../../tmp/x", K::BAD_VALUE, "not a language name"},
    {"LocaleParent", u" -locale=..", K::BAD_VALUE, "-locale"},
    {"LocaleAbsolutePath", u" -locale=/usr/share/x", K::BAD_VALUE, "/usr/share/x"},
    {"LocaleHidden", u" -locale=.x", K::BAD_VALUE, "-locale"},
    {"LocaleWithBlank", u" \"-locale=de DE\"", K::BAD_VALUE, "-locale"},
    {"CodePageNotInTheCatalogue", u" -cp=437", K::UNKNOWN_CODEPAGE, "437"},
    {"CodePageNegative", u" -cp=-1", K::UNKNOWN_CODEPAGE, "-1"},
    {"CodePageWithLetters", u" -cp=12a", K::UNKNOWN_CODEPAGE, "12a"},
    {"CodePageHuge", u" -cp=99999999999", K::UNKNOWN_CODEPAGE, "99999999999"},
    {"CodePageBinary", u" -cp=Binary", K::UNKNOWN_CODEPAGE, "Binary"},
    {"CodePageUnknownName", u" --code-page=EBCDIC-XY", K::UNKNOWN_CODEPAGE, "EBCDIC-XY"},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, BadLines, testing::ValuesIn(kBadLines),
                         [](const testing::TestParamInfo<BadLine>& row) { return std::string(row.param.name); });

TEST(CommandLineOptions, MoreThanTwoPathsAreRefused)
{
    const CCommandLineOptions o = Parse(u" a b c");
    ASSERT_TRUE(o.problem.has_value());
    EXPECT_EQ(o.problem->kind, K::EXTRA_ARGUMENT);
    EXPECT_NE(text::ToUtf8(o.DescribeProblem()).find(": c"), std::string::npos);
}

// Each long form asks for exactly what the short form asks for.
TEST(CommandLineOptions, LongFormsMeanTheirShortForms)
{
    const std::pair<std::u16string, std::u16string> pairs[] = {
        {u" --in=a --out=b", u" -in=a -out=b"},
        {u" --in=a --recursive --hidden --copy", u" -in=a -r -h -c"},
        {u" --in=a --detect", u" -in=a -d"},
        {u" --in=a --encoding=UTF-16BE --no-bom", u" -in=a -enc=UTF16BE -bom=no"},
        {u" --in=a --bom --eol=crlf", u" -in=a -bom=yes -rt=CRLF"},
        {u" --in=a --code-page=windows-1251", u" -in=a -cp=1251"},
        {u" --in=a --report=r.csv", u" -in=a -export=r.csv"},
        {u" --in=a --quiet --verbose", u" -in=a -q -v"},
        {u" --help --list-code-pages", u" -help -listcp"},
        {u" a b", u" -in=a -out=b"},
        {u" /in=a /R", u" -in=a -r"},
    };
    auto seen = [](const CCommandLineOptions& o) {
        return std::make_tuple(o.inputPath, o.outputPath, o.conversion, o.detectOnly, o.exportType, o.exportPath,
                               o.quiet, o.verbose, o.helpRequested, o.listCodePages, o.problem.has_value());
    };
    for (const auto& [longForm, shortForm] : pairs) {
        SCOPED_TRACE(text::ToUtf8(longForm));
        EXPECT_TRUE(seen(Parse(longForm)) == seen(Parse(shortForm)));
        EXPECT_FALSE(Parse(longForm).problem);
    }
}

TEST(CommandLineOptions, CodePagesByNumberAndByName)
{
    const std::pair<std::u16string, int> names[] = {
        {u"1252", 1252},         {u"windows-1252", 1252}, {u"cp1252", 1252},
        {u"Windows-1252", 1252}, {u"latin1", 28591},      {u"KOI8-R", 20866},
        {u"koi8r", 20866},       {u"Shift_JIS", 932},     {u"shift-jis", 932},
        {u"sjis", 932},          {u"GB18030", 54936},     {u"GB2312", 936},
        {u"EUC-KR", 51949},      {u"Big5", 950},          {u"ISO-2022-JP", 50220},
        {u"HZ-GB-2312", 52936},  {u"ISO-8859-2", 28592},  {u"latin2", 28592},
        {u"IBM866", 866},        {u"cp866", 866},         {u"x-mac-cyrillic", 10007},
        {u"UTF-8", 65001},       {u"utf-16le", 1200},     {u"KOI8-U", 21866},
        {u"28591", 28591},       {u"ascii", 20127},       {u"US-ASCII", 20127},
    };
    for (const auto& [name, codepage] : names) {
        SCOPED_TRACE(text::ToUtf8(name));
        const CCommandLineOptions o = Parse(u" -cp=" + name);
        EXPECT_FALSE(o.problem) << text::ToUtf8(o.DescribeProblem());
        EXPECT_EQ(o.conversion.inputCodepage, codepage);
    }
}

TEST(CommandLineOptions, LeadingIntegerIsReadLikeTheCRuntime)
{
    const std::pair<std::u16string, int> cases[] = {
        {u"", 0},
        {u"abc", 0},
        {u"42", 42},
        {u"  42x", 42},
        {u"-5", -5},
        {u"+7", 7},
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"-99999999999", INT_MIN},
        {u"00012", 12},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text::ToUtf8(text));
        EXPECT_EQ(CCommandLineOptions::ParseLeadingInt(text), value);
    }
}

class CommandFile : public testing::Test {
protected:
    TempDir dir;
    std::u16string Path(const char* name) { return dir.File16(name); }
};

TEST_F(CommandFile, ItsSwitchesJoinThoseBesideIt)
{
    WriteBytes(dir.File("cmd.txt"), "-in=/data/in -r -enc=UTF16LE\r\n-c\n");
    const std::u16string line = u" -CmdFile=" + Path("cmd.txt") + u" -h -d -q -in=/data/in -cmdfilemaxsize=100";
    const auto o = Parse(line);
    EXPECT_FALSE(o.problem) << text::ToUtf8(o.DescribeProblem());
    EXPECT_TRUE(o.cmdFileRead);
    EXPECT_EQ(o.cmdFilePath, Path("cmd.txt"));
    EXPECT_EQ(o.commandLine, line + u" -in=/data/in -r -enc=UTF16LE");
    EXPECT_EQ(o.inputPath, u"/data/in");
    EXPECT_TRUE(o.conversion.recursive);
    EXPECT_EQ(o.conversion.outputTextFormat, 1);
    EXPECT_TRUE(o.conversion.processHiddenFiles && o.detectOnly && o.quiet);  // beside CmdFile
    EXPECT_FALSE(o.conversion.copyUnconverted);                               // second line: not read
    EXPECT_EQ(o.cmdFileMaxSize, 100);
}

// A switch on the process's line and in the file that ask for different
// things: neither wins, the line is refused naming both and the file.
TEST_F(CommandFile, ClashesWithTheProcessLineAreRefused)
{
    const struct {
        const char* file;
        std::u16string beside;
        const char* named;
    } rows[] = {
        {"-in=/a -out=/b", u" -out=/c", "-out=/c and, in the command file "},
        {"-in=/a --no-bom", u" -bom=yes", "-bom=yes and, in the command file "},
        {"/a /b", u" -in=/x", "-in=/x and, in the command file "},
        {"-in=/a -enc=UTF8", u" --encoding=UTF-16", "--encoding=UTF-16 and"},
        {"-cmdfile=other.txt -in=/a", u"", "-CmdFile="},  // no chain to another file
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        WriteBytes(dir.File("c.txt"), row.file);
        const auto o = Parse(u" -CmdFile=" + Path("c.txt") + row.beside + u" -r");
        ASSERT_TRUE(o.problem.has_value());
        EXPECT_EQ(o.problem->kind, CCommandLineOptions::Problem::CONFLICT);
        EXPECT_FALSE(o.conversion.recursive);
        const std::string message = text::ToUtf8(o.DescribeProblem());
        EXPECT_NE(message.find(row.named), std::string::npos) << message;
        EXPECT_NE(message.find(dir.File("c.txt")), std::string::npos) << message;
    }
}

TEST_F(CommandFile, RelativeNameIsFoundInTheCurrentDirectory)
{
    WriteBytes(dir.File("c.txt"), "-d -in=x");
    const auto o = Parse(u" -cmdfile=c.txt", text::FromUtf8(dir.Path()));
    EXPECT_TRUE(o.cmdFileRead);
    EXPECT_TRUE(o.detectOnly);
}

TEST_F(CommandFile, Utf8WithoutBomKeepsNonAsciiPaths)
{
    WriteBytes(dir.File("c.txt"), "-in=/home/u/Donn\xC3\xA9"
                                  "es");
    EXPECT_EQ(Parse(u" -cmdfile=" + Path("c.txt")).inputPath, u"/home/u/Données");
}

TEST_F(CommandFile, Utf16WithBomIsDecoded)
{
    std::string bytes = "\xFF\xFE";
    for (char c : std::string("-in=/a -r"))
        bytes += {c, '\0'};
    WriteBytes(dir.File("c.txt"), bytes);
    const auto o = Parse(u" -cmdfile=" + Path("c.txt"));
    EXPECT_EQ(o.inputPath, u"/a");
    EXPECT_TRUE(o.conversion.recursive);
}

TEST_F(CommandFile, MissingUnreadableOrEmptyIsRefusedNamingTheFile)
{
    WriteBytes(dir.File("empty.txt"), "");
    WriteBytes(dir.File("blank-first.txt"), " \n-c");
    WriteBytes(dir.File("locked.txt"), "-r");
    chmod(dir.File("locked.txt").c_str(), 0);
    using K = CCommandLineOptions::Problem;
    std::vector<std::pair<const char*, K::Kind>> cases = {
        {"missing.txt", K::CMDFILE_MISSING},
        {"empty.txt", K::CMDFILE_EMPTY},
        {"blank-first.txt", K::CMDFILE_EMPTY},
        {".", K::CMDFILE_UNREADABLE},
    };
    if (geteuid() != 0)  // root reads it anyway
        cases.push_back({"locked.txt", K::CMDFILE_UNREADABLE});
    for (const auto& [name, kind] : cases) {
        SCOPED_TRACE(name);
        const auto o = Parse(u" -cmdfile=" + Path(name) + u" -in=x -r");
        ASSERT_TRUE(o.problem.has_value());
        EXPECT_EQ(o.problem->kind, kind);
        EXPECT_FALSE(o.conversion.recursive);
        const std::string message = text::ToUtf8(o.DescribeProblem());
        EXPECT_EQ(message.rfind("-cmdfile: ", 0), 0u) << message;
        EXPECT_NE(message.find(name == std::string(".") ? dir.Path() : name), std::string::npos) << message;
    }
}

TEST_F(CommandFile, ItsSwitchesAreCheckedAsWellAsThoseBesideIt)
{
    WriteBytes(dir.File("c.txt"), "-in=/a -enc=UTF9");
    auto o = Parse(u" -cmdfile=" + Path("c.txt"));
    ASSERT_TRUE(o.problem.has_value());
    EXPECT_EQ(o.problem->name, u"-enc");
    WriteBytes(dir.File("c.txt"), "-in=/a");
    o = Parse(u" -bogus -cmdfile=" + Path("c.txt"));
    ASSERT_TRUE(o.problem.has_value());
    EXPECT_EQ(o.problem->argument, u"-bogus");
}

// A first line over the maximum is refused whole: cut, it would run with
// part of a path or a filter. The limit counts UTF-16 units, so a pair at the
// limit is where a cut would hide.
TEST_F(CommandFile, LineOverTheMaximumIsRefusedNamingTheLimit)
{
    const std::string emoji = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units
    const struct {
        const char* name;
        std::string line;
        const char16_t* maximum;
        const char* limit;  // in the message; null: the line is taken
    } rows[] = {
        {"ZeroTakesNoLine", "-r -c", u"0", "0"},
        {"ExactlyTheMaximum", "-r -c", u"5", nullptr},
        {"PairEndsAtTheMaximum", "-in=/a" + emoji, u"8", nullptr},
        {"PairAcrossTheMaximum", "-in=/a" + emoji, u"7", "7"},
        {"PairJustPastTheMaximum", "-in=/a" + emoji, u"6", "6"},
        {"PairTwoPastTheMaximum", "-in=/a" + emoji, u"5", "5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.File("c.txt"), row.line + "\n-q\n");
        const auto o = Parse(u" -CmdFile=" + Path("c.txt") + u" -cmdfilemaxsize=" + row.maximum);
        if (row.limit == nullptr) {
            EXPECT_FALSE(o.problem) << text::ToUtf8(o.DescribeProblem());
            EXPECT_TRUE(o.commandLine.ends_with(u" " + text::FromUtf8(row.line)));
            continue;
        }
        ASSERT_TRUE(o.problem.has_value());
        EXPECT_EQ(o.problem->kind, CCommandLineOptions::Problem::CMDFILE_TOO_LONG);
        EXPECT_FALSE(o.cmdFileRead);
        const std::string message = text::ToUtf8(o.DescribeProblem());
        EXPECT_NE(message.find(std::string("longer than ") + row.limit + " characters"), std::string::npos) << message;
        EXPECT_NE(message.find(dir.File("c.txt")), std::string::npos) << message;
    }
}

}  // namespace
