// The built manual page and bash completion against what the program says.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless/program_runner.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

std::vector<std::string> Split(const std::string& text, const std::string& by)
{
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(by, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + by.size();
    }
}

// "-in=PATH, -i=PATH" -> "-in -i"
std::string Spellings(const std::string& names)
{
    std::string out;
    for (const std::string& name : Split(names, ", "))
        out += (out.empty() ? "" : " ") + name.substr(0, name.find('='));
    return out;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::string Output(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t got = 0;
    while (pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    if (pipe)
        pclose(pipe);
    return out;
}

std::string ShellQuoted(const std::string& word)
{
    return "'" + Replace(word, "'", "'\\''") + "'";
}

class ProgramManualTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("data").c_str(), 0777);
    }

    // The candidates _varnelpro offers for the words after the program, the
    // last being the one completed, run in the temporary folder.
    std::vector<std::string> Complete(const std::vector<std::string>& words)
    {
        std::string command = "cd " + ShellQuoted(dir.Path()) +
                              " && bash -c 'source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                              "_varnelpro; printf \"%s\\n\" \"${COMPREPLY[@]}\"' _ " +
                              ShellQuoted(VARNELPRO_COMPLETION) + " " + ShellQuoted(VARNELPRO_EXE);
        for (const std::string& word : words)
            command += " " + ShellQuoted(word);
        std::vector<std::string> lines = Split(Output(command), "\n");
        lines.pop_back();
        if (lines.size() == 1 && lines[0].empty())
            lines.clear();
        return lines;
    }

    TempDir dir;
};

// Each listed switch as "spellings | keywords", in order: from -help and from
// the OPTIONS section of the page, which must agree row for row.
TEST_F(ProgramManualTest, ManualPageListsWhatHelpLists)
{
    const testing_support::RunResult help =
        testing_support::RunProgram(dir, "-help", "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG");
    ASSERT_EQ(help.status, 0) << help.err;
    std::vector<std::string> fromHelp;
    for (const std::string& line : Split(help.out, "\n")) {
        if (line.starts_with("  -"))
            fromHelp.push_back(Spellings(line.substr(2, line.find("  ", 2) - 2)) + " |");
        else if (fromHelp.empty() || line.empty() || line[0] != ' ')
            continue;
        if (line.ends_with("]"))
            fromHelp.back() +=
                " " + Replace(line.substr(line.rfind(" [") + 2, line.size() - line.rfind(" [") - 3), ", ", " ");
    }

    std::string page = ReadBytes(VARNELPRO_MANUAL_PAGE);
    ASSERT_NE(page.find(".TH VARNELPRO 1"), std::string::npos);
    for (const char* font : {"\\fB", "\\fR", "\\fI"})
        page = Replace(page, font, "");
    page = Replace(Replace(page, "\\-", "-"), "\\(aq", "'");
    const size_t options = page.find(".SH OPTIONS\n");
    ASSERT_NE(options, std::string::npos);
    const std::vector<std::string> lines = Split(page.substr(options, page.find(".SH ", options + 1) - options), "\n");
    std::vector<std::string> fromPage;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] == ".TP")
            fromPage.push_back(Spellings(lines[i + 1]) + " |");
        else if (lines[i].starts_with("Values: ") && !fromPage.empty())
            fromPage.back() += " " + Replace(lines[i].substr(8, lines[i].size() - 9), ", ", " ");
    }

    EXPECT_GT(fromHelp.size(), 20u);
    EXPECT_EQ(fromPage, fromHelp);
    for (const char* section : {".SH SYNOPSIS", ".SH EXIT STATUS", ".SH FILES", ".SH EXAMPLES", ".BR iconv (1)"})
        EXPECT_NE(page.find(section), std::string::npos) << section;
}

TEST_F(ProgramManualTest, ManualPageRendersWithoutWarnings)
{
    if (std::system("command -v groff >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "groff is not installed";
    const std::string warnings =
        Output("groff -man -Tutf8 -ww -z " + ShellQuoted(VARNELPRO_MANUAL_PAGE) + " 2>&1; echo \"exit $?\"");
    EXPECT_EQ(warnings, "exit 0\n");
    const std::string text = Output("groff -man -Tascii -P-cbou " + ShellQuoted(VARNELPRO_MANUAL_PAGE));
    EXPECT_NE(text.find("-enc=FORMAT, --encoding=FORMAT"), std::string::npos) << text;
    EXPECT_NE(text.find("'-wf=*.txt;*.csv'"), std::string::npos);
}

TEST_F(ProgramManualTest, CompletionOffersSwitchesValuesCodePagesAndPaths)
{
    testing_support::WriteBytes(dir.File("-rf.txt"), "x");
    testing_support::WriteBytes(dir.File("report.csv"), "x");
    mkdir(dir.File("rel").c_str(), 0777);
    using Words = std::vector<std::string>;
    const struct {
        Words words;
        Words offered;
    } cases[] = {
        {{"--enc"}, {"--encoding"}},
        {{"-en"}, {"-enc="}},  // a value follows '='
        {{"/EN"}, {}},         // '/' starts a path here, and there is none
        {{"-enc", "=", "utf-16"}, {"UTF16", "UTF16LE", "UTF16BE"}},
        {{"--encoding", "utf32b"}, {"UTF32BE"}},
        {{"-rt=c"}, {"-rt=CRLF", "-rt=CR"}},  // '=' not splitting the word
        {{"-bom", ":", "n"}, {"no"}},
        {{"-cp", "=", "koi8"}, {"KOI8-R", "KOI8-U"}},
        {{"--code-page", "86"}, {"866"}},
        {{"-export", "=", "re"}, {"rel", "report.csv"}},
        {{"-export=re"}, {"-export=rel/", "-export=report.csv"}},
        {{"--recursive", "re"}, {"rel", "report.csv"}},  // a flag takes no value: a positional
        {{"--", "-r"}, {"-rf.txt"}},
        {{"-wf", "=", ""}, {}},
    };
    for (const auto& c : cases) {
        Words offered = Complete(c.words);
        std::sort(offered.begin(), offered.end());
        Words expected = c.offered;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(offered, expected) << c.words.back();
    }
}

}  // namespace
