#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "app/options/command_line_options.h"
#include "base/text.h"
#include "support/temp_dir.h"

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

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class OptionsTable : public testing::TestWithParam<Row> {};

TEST_P(OptionsTable, ParsesIntoTheRecord)
{
    GetParam().check(Parse(GetParam().line));
}

const Row kRows[] = {
    {"NothingGivenKeepsDefaults", u"",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.hasSwitches);
         EXPECT_FALSE(o.conversionRequested);
         EXPECT_EQ(o.GetMode(), 1);
         EXPECT_EQ(o.conversion.StoredInputCodepage(), -1);
         EXPECT_EQ(o.exportEncoding, 3);
         EXPECT_TRUE(o.exportBom);
         EXPECT_TRUE(o.conversion.writeBom);
         EXPECT_EQ(o.cmdFileMaxSize, 32768);
         EXPECT_EQ(o.logLevel, 1);
     }},
    {"RelativeInputIsAppendedToTheCurrentDirectory", u" -in=sub",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.inputPath.has_value());
         EXPECT_EQ(o.inputPath, u"/work/sub");
         EXPECT_TRUE(o.conversionRequested);
     }},
    {"AbsoluteInputIsTakenUnchanged", u" -in=/data/x -out=out",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/data/x");
         EXPECT_EQ(o.outputPath, u"/work/out");
     }},
    {"InIsPreferredOverI", u" -i=b -in=a", [](const CCommandLineOptions& o) { EXPECT_EQ(o.inputPath, u"/work/a"); }},
    {"OutIsPreferredOverO", u" -o=b -out=a", [](const CCommandLineOptions& o) { EXPECT_EQ(o.outputPath, u"/work/a"); }},
    {"QuotedPathWithSpaces", u" \"-in=/my docs/a b\" /out:\"/x y\"",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.inputPath, u"/my docs/a b");
         EXPECT_EQ(o.outputPath, u"/x y");
     }},
    {"EncodingKeywordsIgnoreCase", u" -enc=utf16be", [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.outputTextFormat, 2);
     }},
    {"UnknownEncodingLeavesUtf8", u" -enc=UTF7", [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.outputTextFormat, 0); }},
    {"Ucs4Orders", u" -enc=2143", [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.outputTextFormat, 6); }},
    {"SwitchWithoutValueIsAbsent", u" -enc= -rt -in=",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.outputTextFormat, 0);
         EXPECT_EQ(o.conversion.returnType, 0);
         EXPECT_FALSE(o.inputPath.has_value());
     }},
    {"BomTakesTheFirstCharacter", u" -bom=no -exportbom=False",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.conversion.writeBom);
         EXPECT_FALSE(o.exportBom);
     }},
    {"LineEndings", u" -rt=lf", [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.returnType, 3); }},
    {"UnknownLineEndingKeeps", u" -rt=NEL", [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.returnType, 0);
     }},
    {"FlagsRCDH", u" -r -c -d -h",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.recursive && o.conversion.copyUnconverted && o.detectOnly &&
                     o.conversion.processHiddenFiles);
     }},
    {"RepairIsOffUnlessAsked", u" -r", [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.conversion.repairDoubleEncoding);
     }},
    {"Repair", u" -REPAIR -r", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.repairDoubleEncoding && o.conversion.recursive);
     }},
    {"ModeFileNeedsInputAndOutput", u" -mode=FILE -in=a",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.mode, 0);
         EXPECT_FALSE(o.conversionRequested);
     }},
    {"ModeFileWithDetectOnlyIsRequested", u" -mode=file -in=a -d",
     [](const CCommandLineOptions& o) { EXPECT_TRUE(o.conversionRequested); }},
    {"ModeCorventa", u" -mode=Corventa -in=a", [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.mode, 2);
         EXPECT_TRUE(o.conversionRequested);
     }},
    {"OtherModeIsFolder", u" -mode=xyz", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.mode.has_value());
         EXPECT_EQ(o.mode, 1);
     }},
    {"CodePageDigits", u" -cp=1252", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.inputCodepage.has_value());
         EXPECT_EQ(o.conversion.inputCodepage, 1252);
     }},
    {"NegativeCodePageIsIgnoredButKeptAsTyped", u" -cp=-1",
     [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.conversion.inputCodepage.has_value());
         EXPECT_EQ(o.conversion.StoredInputCodepage(), -1);
         EXPECT_EQ(o.codepageText, u"-1");
     }},
    {"CodePageWithLettersIsIgnored", u" -cp=12a", [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.conversion.StoredInputCodepage(), -1);
     }},
    {"HugeCodePageSaturatesInsteadOfWrapping", u" -cp=99999999999",
     [](const CCommandLineOptions& o) { EXPECT_EQ(o.conversion.inputCodepage, INT_MAX); }},
    {"WildcardFilterIsPreferred", u" -rf=^a -wf=*.txt",
     [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.filter.IsEnabled());
         EXPECT_FALSE(o.conversion.filter.IsRegex());
         EXPECT_EQ(o.conversion.filter.GetFilterString(), u"*.txt");
     }},
    {"RegexFilter", u" -rf=.*\\.md", [](const CCommandLineOptions& o) {
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
    {"UnknownExportTypeClearsThePath", u" -export=r.csv -exporttype=TXT",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.exportType, 0);
         EXPECT_TRUE(o.exportPath.empty());
     }},
    {"ExportXmlUtf16", u" -export=r.xml -exporttype=xml -exportenc=UTF16BE",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.exportType, 2);
         EXPECT_EQ(o.exportEncoding, 1);
     }},
    {"ExportEncodingHasNoUcs4Orders", u" -exportenc=3412", [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.exportEncoding, 3);
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
    {"UnknownLogLevelIsInfo", u" -loglevel=verbose -logtype=xml",
     [](const CCommandLineOptions& o) {
         EXPECT_EQ(o.logLevel, 1);
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
    {"RegToXmlStopsTheReading", u" -regtoxml -in=a", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.regToXml);
         EXPECT_FALSE(o.inputPath.has_value());
     }},
    {"FirstOccurrenceWins", u" -in=a -IN=b", [](const CCommandLineOptions& o) { EXPECT_EQ(o.inputPath, u"/work/a"); }},
    {"LoneDashEndsTheLine", u" -r - -c", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.recursive);
         EXPECT_FALSE(o.conversion.copyUnconverted);
     }},
    {"Help", u" -?", [](const CCommandLineOptions& o) { EXPECT_TRUE(o.helpRequested); }},
    {"DashIsAStandardStreamNotAFile", u" -mode=FILE -in=-", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.ReadsStandardInput());
         EXPECT_FALSE(o.WritesStandardOutput());
         EXPECT_TRUE(o.conversionRequested);
     }},
    {"DotSlashDashIsAFile", u" -in=./- -out=-", [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.ReadsStandardInput());
         EXPECT_TRUE(o.WritesStandardOutput());
     }},
    {"ModesAndTimesKeptByDefault", u" -in=a", [](const CCommandLineOptions& o) {
         EXPECT_TRUE(o.conversion.keepModeAndTime);
     }},
    {"KeepModeNo", u" -keepmode=no --preserve", [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.conversion.keepModeAndTime);
     }},
    {"NoPreserve", u" --no-preserve", [](const CCommandLineOptions& o) {
         EXPECT_FALSE(o.conversion.keepModeAndTime);
     }},
};

INSTANTIATE_TEST_SUITE_P(CommandLine, OptionsTable, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

TEST(CommandLineOptions, LeadingIntegerIsReadLikeTheCRuntime)
{
    const std::pair<std::u16string, int> cases[] = {
        {u"", 0},           {u"abc", 0},        {u"42", 42},     {u"  42x", 42},
        {u"-5", -5},        {u"+7", 7},         {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX}, {u"-99999999999", INT_MIN}, {u"00012", 12},
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

TEST_F(CommandFile, ItsFirstLineReplacesTheProcessLine)
{
    WriteBytes(dir.File("cmd.txt"), "-in=/data/in -r -enc=UTF16LE\r\n-c\n");
    const auto o = Parse(u" -CmdFile=" + Path("cmd.txt") + u" -h -in=/elsewhere -cmdfilemaxsize=100");
    EXPECT_TRUE(o.cmdFileRead);
    EXPECT_EQ(o.cmdFilePath, Path("cmd.txt"));
    EXPECT_EQ(o.commandLine, u" -in=/data/in -r -enc=UTF16LE");
    EXPECT_EQ(o.inputPath, u"/data/in");
    EXPECT_TRUE(o.conversion.recursive);
    EXPECT_EQ(o.conversion.outputTextFormat, 1);
    EXPECT_FALSE(o.conversion.processHiddenFiles);       // beside CmdFile: no effect
    EXPECT_FALSE(o.conversion.copyUnconverted);   // second line: not read
    EXPECT_EQ(o.cmdFileMaxSize, 100);  // the one switch that does count
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
    WriteBytes(dir.File("c.txt"), "-in=/home/u/Donn\xC3\xA9" "es");
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

TEST_F(CommandFile, CannotChainToAnotherCommandFile)
{
    WriteBytes(dir.File("a.txt"), "-cmdfile=" + dir.File("b.txt") + " -r");
    WriteBytes(dir.File("b.txt"), "-c");
    const auto o = Parse(u" -cmdfile=" + Path("a.txt"));
    EXPECT_TRUE(o.conversion.recursive);
    EXPECT_FALSE(o.conversion.copyUnconverted);
}

TEST_F(CommandFile, MissingEmptyOrFolderFallsBackToTheProcessLine)
{
    WriteBytes(dir.File("empty.txt"), "");
    WriteBytes(dir.File("blank-first.txt"), "\n-c");
    for (const char* name : {"missing.txt", "empty.txt", "blank-first.txt", "."}) {
        SCOPED_TRACE(name);
        const auto o = Parse(u" -cmdfile=" + Path(name) + u" -r");
        EXPECT_FALSE(o.cmdFileRead);
        EXPECT_TRUE(o.conversion.recursive);
        EXPECT_FALSE(o.conversion.copyUnconverted);
    }
}

TEST_F(CommandFile, MaximumSizeCutsTheLineAndZeroReadsNothing)
{
    WriteBytes(dir.File("c.txt"), "-r -c");
    auto o = Parse(u" -cmdfilemaxsize=2 -cmdfile=" + Path("c.txt"));
    EXPECT_TRUE(o.cmdFileRead);
    EXPECT_EQ(o.commandLine, u" -r");
    EXPECT_FALSE(o.conversion.copyUnconverted);
    for (const char16_t* size : {u"0", u"-5", u"abc"}) {
        o = Parse(std::u16string(u" -h -cmdfilemaxsize=") + size + u" -cmdfile=" + Path("c.txt"));
        EXPECT_FALSE(o.cmdFileRead);
        EXPECT_TRUE(o.conversion.processHiddenFiles);
    }
}

}  // namespace
