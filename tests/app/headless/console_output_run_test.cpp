// What the program prints, run for real: the language it picks from the
// switch and the environment, the settings line, quiet and verbose.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless/program_runner.h"
#include "platform/terminal.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Every variable that names a language, cleared before the test's own.
const std::string kNoLanguage = "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The screen column where each row of the summary table shows its value
// (every value starts with a digit; no label holds one).
std::set<unsigned> ValueColumns(const std::string& out)
{
    std::set<unsigned> columns;
    for (const std::string& line : Lines(out)) {
        if (line.rfind("  ", 0) != 0)
            continue;
        const size_t value = line.find_first_of("0123456789");
        if (value != std::string::npos)
            columns.insert(platform::ColumnWidth(line.substr(0, value)));
    }
    return columns;
}

class ConsoleOutputTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("in").c_str(), 0777);
        WriteBytes(dir.File("in/plain.txt"), "hello\n");
        WriteBytes(dir.File("in/utf16.txt"), std::string("\xFF\xFE"
                                                         "a\0b\0\n\0",
                                                         8));
        WriteBytes(dir.File("in/ru.txt"),
                   "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0! \xdd\xf2\xee \xf2\xe5\xea\xf1\xf2.\n");
    }
    RunResult Run(const std::string& args, const std::string& environment = "")
    {
        return testing_support::RunProgram(dir, args, kNoLanguage + " " + environment);
    }
    std::string SettingsFile() const { return dir.File("data/Quillmark/VarnelPro/VarnelPro.Current.xml"); }
    TempDir dir;
};

TEST_F(ConsoleOutputTest, GermanFromTheSwitchOrTheEnvironmentWithAnAlignedSummary)
{
    struct Row {
        const char* name;
        const char* environment;
        const char* switches;
    };
    const Row rows[] = {
        {"language switch", "", "-locale=de"},
        {"full locale switch", "", "-locale=de_AT"},
        {"LANG of another country", "LANG=de_AT.UTF-8", ""},
        {"LC_MESSAGES over LANG", "LANG=fr_FR.UTF-8 LC_MESSAGES=de_CH.UTF-8", ""},
        {"LC_ALL over everything", "LANG=en_US.UTF-8 LC_MESSAGES=en_US.UTF-8 LC_ALL=de_DE.UTF-8", ""},
        {"LANGUAGE list", "LANG=en_US.UTF-8 LANGUAGE=xx:de", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir.File("out"));
        const RunResult run = Run(std::string("-in=in -out=out ") + row.switches, row.environment);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.rfind("Zusammenfassung\n", 0), 0u) << run.out;
        EXPECT_NE(run.out.find("\xC3\x9C"
                               "bersprungen (bin\xC3\xA4r)"),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("Dateien/s"), std::string::npos) << run.out;
        EXPECT_EQ(ValueColumns(run.out).size(), 1u) << run.out;
        EXPECT_NE(run.err.find("] Konvertiert  "), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Converted"), std::string::npos) << run.err;
    }
}

TEST_F(ConsoleOutputTest, EnglishForPlainAndUnknownLocales)
{
    struct Row {
        const char* name;
        const char* environment;
        const char* switches;
        bool warned;  // one line saying the language has no bundle
    };
    const Row rows[] = {
        {"nothing set", "", "", false},
        {"C locale", "LANG=C.UTF-8", "", false},
        {"C beats LANGUAGE", "LC_ALL=C LANGUAGE=de", "", false},
        {"POSIX", "LC_ALL=POSIX", "", false},
        {"language without a bundle", "LANG=xx_YY.UTF-8", "", false},
        {"English asked for by name", "LANG=de_DE.UTF-8", "-locale=en_GB", false},
        {"switch without a bundle", "LANG=de_DE.UTF-8", "-locale=xx", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir.File("out"));
        const RunResult run = Run(std::string("-in=in -out=out ") + row.switches, row.environment);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out.rfind("Summary\n", 0), 0u) << run.out;
        EXPECT_EQ(ValueColumns(run.out).size(), 1u) << run.out;
        const bool warned =
            run.err.find("varnelpro: no language bundle for \"xx\"; English is used\n") != std::string::npos;
        EXPECT_EQ(warned, row.warned) << run.err;
    }
}

TEST_F(ConsoleOutputTest, TheSettingsFileIsMentionedOnlyWhenItExistsAndCannotBeUsed)
{
    // A first run: nothing to say about settings.
    RunResult run = Run("-in=in -out=out");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("VarnelPro.Current.xml"), std::string::npos) << run.err;

    std::filesystem::create_directories(dir.File("data/Quillmark/VarnelPro"));
    struct Row {
        const char* name;
        std::string content;  // empty: a folder where the file should be
        const char* said;
    };
    const Row rows[] = {
        {"damaged", "<varnel><settings version=\"2.0\"><jobSetting>", "not well-formed"},
        {"unreadable", "", "cannot be read"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(SettingsFile());
        if (row.content.empty())
            std::filesystem::create_directories(SettingsFile());
        else
            WriteBytes(SettingsFile(), row.content);
        std::filesystem::remove_all(dir.File("out"));
        run = Run("-in=in -out=out -q");  // quiet still tells
        EXPECT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> lines = Lines(run.err);
        ASSERT_EQ(lines.size(), 1u) << run.err;
        EXPECT_EQ(lines[0].rfind("varnelpro: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find("VarnelPro.Current.xml"), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(row.said), std::string::npos) << lines[0];
        EXPECT_TRUE(Exists(dir.File("out/plain.txt")));
    }
}

TEST_F(ConsoleOutputTest, QuietPrintsOnlyProblemsAndVerboseALinePerFile)
{
    // A clean run says nothing at all.
    for (const char* quiet : {"-q", "-quiet", "--quiet"}) {
        SCOPED_TRACE(quiet);
        std::filesystem::remove_all(dir.File("out"));
        const RunResult run = Run(std::string("-in=in -out=out ") + quiet);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out + run.err, "");
        EXPECT_TRUE(Exists(dir.File("out/utf16.txt")));
    }

    // Forcing UTF-8 on windows-1251 bytes replaces them: the one problem file gets its line.
    std::filesystem::remove_all(dir.File("out"));
    RunResult run = Run("-in=in/ru.txt -out=out -cp=65001 -q");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find("Warning"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("ru.txt"), std::string::npos) << lines[0];

    // Off a terminal there is a line per file anyway; verbose keeps it so.
    for (const char* verbose : {"-v", "--verbose"}) {
        std::filesystem::remove_all(dir.File("out"));
        run = Run(std::string("-in=in -out=out ") + verbose);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(Lines(run.err).size(), 3u) << run.err;
        EXPECT_EQ(run.out.rfind("Summary\n", 0), 0u) << run.out;
    }
}

// What a command run under script(1) wrote to its terminal.
std::string Screen(const std::string& command)
{
    std::string screen;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        screen.append(buffer, n);
    if (pipe)
        pclose(pipe);
    return screen;
}

// On a terminal: the bar, and with verbose a line per file beside it.
TEST_F(ConsoleOutputTest, OnATerminalTheBarFitsAndVerboseAddsTheLines)
{
    if (std::system("script --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no script(1) to make a terminal";
    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose ? "verbose" : "plain");
        std::filesystem::remove_all(dir.File("out"));
        const std::string inner =
            "stty cols 50; " + kNoLanguage + " '" + VARNELPRO_EXE + "' -in=in -out=out" + (verbose ? " -v" : "");
        const std::string screen = Screen("cd '" + dir.Path() + "' && script -qec \"" + inner + "\" /dev/null");
        ASSERT_NE(screen.find("Summary"), std::string::npos) << screen;
        // Each drawing of the bar stays within 49 columns.
        size_t bars = 0;
        for (size_t at = screen.find("\r["); at != std::string::npos; at = screen.find("\r[", at + 1)) {
            const size_t end = screen.find("\x1b[K", at);
            ASSERT_NE(end, std::string::npos);
            EXPECT_LE(platform::ColumnWidth(screen.substr(at + 1, end - at - 1)), 49u);
            ++bars;
        }
        EXPECT_GE(bars, 1u) << screen;
        const bool lines = screen.find("] Converted  ") != std::string::npos;
        EXPECT_EQ(lines, verbose) << screen;
    }
}

}  // namespace
