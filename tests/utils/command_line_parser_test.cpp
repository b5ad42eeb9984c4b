#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/native_path.h"
#include "utils/command_line_parser.h"

namespace {

using Switches = std::vector<std::pair<std::u16string, std::u16string>>;

Switches SwitchesOf(const CCommandLineParser& parser)
{
    return Switches(parser.GetVals().begin(), parser.GetVals().end());
}

TEST(CommandLineParser, ReadsSwitchesByTheGrammar)
{
    const struct {
        const char* name;
        const char16_t* line;
        Switches expected;
    } rows[] = {
        {"duplicate after lower-casing is dropped", u"prog -a -A", {{u"a", u""}}},
        {"first occurrence wins", u"prog /x=1 /x=2", {{u"x", u"1"}}},
        {"quoted value loses its quotes", u"prog /in:\"C:\\My Files\\a.txt\"", {{u"in", u"C:\\My Files\\a.txt"}}},
        {"whole argument quoted", u"prog \"-in=/my dir/x\" -r", {{u"in", u"/my dir/x"}, {u"r", u""}}},
        {"value keeps later separators", u"prog /out:C:\\dir -a=b=c:d", {{u"a", u"b=c:d"}, {u"out", u"C:\\dir"}}},
        {"first separator of either kind ends the key", u"prog -a:b=c", {{u"a", u"b=c"}}},
        {"separator last gives an empty value", u"prog -key=", {{u"key", u""}}},
        {"empty key is skipped", u"prog -=value /:value", {}},
        {"positional arguments are ignored", u"prog file.txt -q other", {{u"q", u""}}},
        {"lone dash ends the parse", u"prog -q - -r", {{u"q", u""}}},
        {"lone slash ends the parse", u"prog -q / -r", {{u"q", u""}}},
        {"empty argument does not end the parse", u"prog -a \"\" -b", {{u"a", u""}, {u"b", u""}}},
        {"a second prefix stays in the key", u"prog --quiet //x", {{u"-quiet", u""}, {u"/x", u""}}},
        {"values keep their case", u"prog -Name=MixedCase", {{u"name", u"MixedCase"}}},
        {"tabs separate", u"prog\t-a\t\t-b", {{u"a", u""}, {u"b", u""}}},
        {"quoted key with a blank", u"prog \"-my key=v w\"", {{u"my key", u"v w"}}},
        {"escaped quotes in a value", u"prog -msg=\"say \\\"hi\\\"\"", {{u"msg", u"say \"hi\""}}},
        {"2n backslashes then a grouping quote", u"prog -p=a\\\\\"b c\"", {{u"p", u"a\\b c"}}},
        {"2n+1 backslashes then a literal quote", u"prog -p=a\\\\\\\"b", {{u"p", u"a\\\"b"}}},
        {"trailing backslash is literal", u"prog -p=C:\\dir\\", {{u"p", u"C:\\dir\\"}}},
        {"doubled backslash before a closing quote",
         u"prog -p=\"C:\\dir\\\\\" -q",
         {{u"p", u"C:\\dir\\"}, {u"q", u""}}},
        {"the program name rule splits the first token", u"-in=\"a b\" -q", {{u"in", u"\"a"}}},
        {"a leading blank leaves the program name empty", u" -in=\"a b\" -q", {{u"in", u"a b"}, {u"q", u""}}},
        {"quoted program name with blanks", u"\"C:\\Program Files\\v.exe\" -q", {{u"q", u""}}},
        {"program name ends at its closing quote", u"\"prog\"-q", {{u"q", u""}}},
        {"backslashes in the program name are plain", u"\"C:\\dir\\\" -q", {{u"q", u""}}},
        // Kept grammar: an absolute path outside a value reads as a switch.
        {"bare absolute path is a switch", u"/usr/bin/prog -q", {{u"q", u""}, {u"usr/bin/prog", u""}}},
        {"nothing", u"", {}},
        {"only blanks", u"   ", {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CCommandLineParser parser;
        EXPECT_EQ(parser.Parse(row.line), !row.expected.empty());
        EXPECT_EQ(SwitchesOf(parser), row.expected);
        EXPECT_EQ(parser.HasArgs(), !row.expected.empty());
        EXPECT_EQ(std::u16string(parser.GetCommandLineW()), row.line);
    }
}

// The checked reading of a line sees what Parse folds away: repeats, order,
// positional arguments and keys with their case.
TEST(CommandLineParser, ReadsEveryArgumentInOrder)
{
    using A = CCommandLineParser::Argument;
    auto seen = [](std::u16string_view line) {
        std::vector<std::u16string> out;
        for (const A& a : CCommandLineParser::ReadArguments(line))
            out.push_back(a.isSwitch ? std::u16string(1, a.prefix) + u"[" + a.key +
                                           (a.hasSeparator ? u"|" + a.value : u"") + u"]"
                                     : a.text);
        return out;
    };
    using V = std::vector<std::u16string>;
    EXPECT_EQ(seen(u" in -X=1 -x=2 \"out dir\""), (V{u"in", u"-[X|1]", u"-[x|2]", u"out dir"}));
    EXPECT_EQ(seen(u" --in=a:b /r -key= -flag"), (V{u"-[-in|a:b]", u"/[r]", u"-[key|]", u"-[flag]"}));
    EXPECT_EQ(seen(u" -=v -q - -r"), (V{u"-[|v]", u"-[q]"}));         // empty key kept; lone dash ends
    EXPECT_EQ(seen(u"prog -q \"\" x"), (V{u"prog", u"-[q]", u"x"}));  // the program's place, no empty ones
}

TEST(CommandLineParser, AnswersLookupsForPresentEmptyAndMissingSwitches)
{
    const CCommandLineParser parser(u"prog -in=/data -q -out=", false);
    EXPECT_TRUE(parser.HasKey(u"in"));
    EXPECT_TRUE(parser.HasVal(u"in"));
    EXPECT_EQ(std::u16string(parser.GetVal(u"in")), u"/data");

    for (const char16_t* empty : {u"q", u"out"}) {
        SCOPED_TRACE(text::ToUtf8(empty));
        EXPECT_TRUE(parser.HasKey(empty));
        EXPECT_FALSE(parser.HasVal(empty));
        ASSERT_NE(parser.GetVal(empty), nullptr);
        EXPECT_EQ(std::u16string(parser.GetVal(empty)), u"");
        std::u16string value = u"untouched";
        EXPECT_TRUE(parser.GetVal(empty, value));
        EXPECT_EQ(value, u"");
    }

    for (const char16_t* missing : {u"r", u"", static_cast<const char16_t*>(nullptr)}) {
        EXPECT_FALSE(parser.HasKey(missing));
        EXPECT_FALSE(parser.HasVal(missing));
        EXPECT_EQ(parser.GetVal(missing), nullptr);
        std::u16string value = u"untouched";
        EXPECT_FALSE(parser.GetVal(missing, value));
        EXPECT_EQ(value, u"untouched");
    }
}

TEST(CommandLineParser, FoldsCaseOnlyWhenInsensitive)
{
    CCommandLineParser insensitive(u"prog /QUIET", false);
    EXPECT_TRUE(insensitive.HasKey(u"Quiet"));
    EXPECT_TRUE(insensitive.HasKey(u"quiet"));

    CCommandLineParser sensitive(u"prog /QUIET -Quiet", true);
    EXPECT_EQ(SwitchesOf(sensitive), (Switches{{u"QUIET", u""}, {u"Quiet", u""}}));
    EXPECT_TRUE(sensitive.HasKey(u"Quiet"));
    EXPECT_FALSE(sensitive.HasKey(u"quiet"));

    // Changing the flag leaves stored keys alone and changes later lookups.
    insensitive.SetCaseSensitive(true);
    EXPECT_TRUE(insensitive.HasKey(u"quiet"));
    EXPECT_FALSE(insensitive.HasKey(u"QUIET"));
    insensitive.Parse(u"prog /QUIET");
    EXPECT_TRUE(insensitive.HasKey(u"QUIET"));
}

TEST(CommandLineParser, ReparseReplacesEverythingAndNullKeepsIt)
{
    CCommandLineParser parser(u"prog -a -b=1");
    EXPECT_FALSE(parser.Parse(nullptr));
    EXPECT_EQ(SwitchesOf(parser), (Switches{{u"a", u""}, {u"b", u"1"}}));

    EXPECT_TRUE(parser.Parse(u"prog -c"));
    EXPECT_EQ(SwitchesOf(parser), (Switches{{u"c", u""}}));
    EXPECT_FALSE(parser.Parse(u"prog file"));
    EXPECT_FALSE(parser.HasArgs());
    EXPECT_EQ(std::u16string(parser.GetCommandLineW()), u"prog file");
}

TEST(CommandLineParser, WalksSwitchesInCodeUnitOrder)
{
    const CCommandLineParser parser(u"prog -b=2 -a=1 -B=3", true);
    Switches seen;
    std::u16string key;
    std::u16string value;
    for (auto it = parser.GetFirst(); !parser.IsLast(it);) {
        const auto next = parser.GetNext(it, key, value);
        EXPECT_EQ(next, it);
        seen.emplace_back(key, value);
    }
    EXPECT_EQ(seen, (Switches{{u"B", u"3"}, {u"a", u"1"}, {u"b", u"2"}}));

    // At the end only the key is emptied.
    auto end = parser.GetFirst();
    std::advance(end, 3);
    value = u"kept";
    EXPECT_EQ(parser.GetNext(end, key, value), end);
    EXPECT_EQ(key, u"");
    EXPECT_EQ(value, u"kept");
}

TEST(CommandLineParser, QuotedArgumentsSplitBackUnchanged)
{
    const std::u16string tricky[] = {
        u"",
        u"plain",
        u"a b",
        u"a\"b",
        u"\"",
        u"a\\b",
        u"a\\",
        u"a\\\\",
        u"a\\\"b",
        u"\\\\server\\share\\",
        u"tab\there",
        u"-in=/my dir/",
        u"\\\"",
        u" lead and trail ",
        u"Gr\u00FC\u00DFe \U0001F600",
        u"raw\xDC81"
        u"byte",
    };
    for (const auto& argument : tricky) {
        SCOPED_TRACE(text::ToUtf8(argument));
        const std::u16string line = u" " + CCommandLineParser::QuoteArgument(argument) + u" next";
        EXPECT_EQ(CCommandLineParser::SplitArguments(line), (std::vector<std::u16string>{u"", argument, u"next"}));
    }
}

TEST(CommandLineParser, BuildsLineFromArgvThatKeepsValuesAndRawBytes)
{
    const char* argv[] = {"/usr/bin/varnelpro", "-in=/data/my files", "-out=/tmp/\xFF\xFE", "-rf=\\.(txt|md)$", "-q"};
    const std::u16string line = CCommandLineParser::BuildCommandLine(5, argv);
    const CCommandLineParser parser(line.c_str());
    // The program path is not taken for a switch.
    EXPECT_EQ(parser.GetVals().size(), 4u);
    EXPECT_EQ(std::u16string(parser.GetVal(u"in")), u"/data/my files");
    EXPECT_EQ(platform::ToNativePath(parser.GetVal(u"out")), "/tmp/\xFF\xFE");
    EXPECT_EQ(std::u16string(parser.GetVal(u"rf")), u"\\.(txt|md)$");
    EXPECT_TRUE(parser.HasKey(u"q"));

    EXPECT_EQ(CCommandLineParser::BuildCommandLine(1, argv), u"");
}

TEST(CommandLineParser, ValueHelpersLookAtTheRightCharacters)
{
    const struct {
        const char16_t* text;
        bool numeric;
    } numbers[] = {
        {u"", true},     {u"1252", true}, {u"007", true},  {u"-5", false},     {u"+5", false},
        {u"12a", false}, {u" 12", false}, {u"1.5", false}, {u"\u0663", false},  // an Arabic-Indic digit is not a code
                                                                                // page number
    };
    for (const auto& row : numbers) {
        SCOPED_TRACE(text::ToUtf8(row.text));
        EXPECT_EQ(utils::IsNumeric(row.text), row.numeric);
    }
}

}  // namespace
