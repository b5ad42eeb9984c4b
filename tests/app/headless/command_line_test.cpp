// The program's switches as a user types them: every mistake stops the run
// before anything is touched, the long forms and names work, and the output
// forms carry the bytes they promise.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "app/headless/program_runner.h"
#include "app/options/command_line_switches.h"
#include "app/options/program_version.h"
#include "base/text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::Exists;
using testing_support::Listing;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

class CommandLineTest : public testing::Test {
protected:
    RunResult Varnelpro(const std::string& args) { return testing_support::RunProgram(dir, args); }
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("data").c_str(), 0777);  // every start makes it, as the desktop has it
        mkdir(dir.File("in").c_str(), 0777);
        mkdir(dir.File("in/sub").c_str(), 0777);
        WriteBytes(dir.File("in/a.txt"), "hi\n");
        WriteBytes(dir.File("in/sub/b.txt"), "sub\n");
        WriteBytes(dir.File("in/.hidden.txt"), "hidden\n");
        WriteBytes(dir.File("in/image.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\0", 21));
    }
    TempDir dir;
};

TEST_F(CommandLineTest, EveryMistakeExitsTwoWithOneLineAndChangesNothing)
{
    WriteBytes(dir.File("locked.cmd"), "-in=in -out=out");
    chmod(dir.File("locked.cmd").c_str(), 0);
    WriteBytes(dir.File("bad.cmd"), "-in=in -out=out -rt=XX");
    WriteBytes(dir.File("plain.cmd"), "-in=in -out=out");
    WriteBytes(dir.File("long.cmd"), "-in=in -out=cf/trunc_directory");
    std::string filters = "-in=in -out=out -wf=";
    for (int i = 0; filters.size() < 38938; ++i)
        filters += "*.x" + std::to_string(i) + ";";
    WriteBytes(dir.File("filters.cmd"), filters);
    const struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"-in=in -out=out -bogus", "unknown switch: -bogus"},
        {"-in=in -out=out -recursive", "unknown switch: -recursive"},
        {"-in=in -out=out -foo=bar", "unknown switch: -foo=bar"},
        {"-in=in -out=out -enc=UTF9", "-enc: unknown value \"UTF9\""},
        {"-in=in -out=out -enc=junk", "-enc: unknown value \"junk\""},
        {"-in=in -out=out -rt=XX", "-rt: unknown value \"XX\"; one of: CRLF, CR, LF, KEEP"},
        {"-in=in -out=out -bom=maybe", "-bom: unknown value \"maybe\"; one of: yes, no"},
        {"-in=in -out=out -exporttype=PDF", "-exporttype: unknown value \"PDF\""},
        {"-in=in -out=out -exportenc=EBCDIC", "-exportenc: unknown value \"EBCDIC\""},
        {"-in=in -out=out -export=", "-export needs a value, as in -export=FILE"},
        {"-in=in -out=out -out=other", "switch given twice with different values: -out=out and -out=other"},
        {"-in=in -out=out --no-bom -bom=yes", "switch given twice with different values: --no-bom and -bom=yes"},
        {"in out other", "unexpected argument: other"},
        {"-in=in -out=out -cp=KOI9", "-cp: unknown code page \"KOI9\""},
        {"-in=in -out=out -r=1", "-r takes no value: -r=1"},
        {"-CmdFile=missing.cmd", "-CmdFile: the command file does not exist: "},
        {"-CmdFile=in", "-CmdFile: cannot read the command file: "},
        {"-CmdFile=bad.cmd", "-rt: unknown value \"XX\""},
        {"-CmdFile=plain.cmd -out=other",
         "switch given twice with different values: -out=other and, in the command file "},
        {"-CmdFile=plain.cmd in/a.txt", "switch given twice with different values: in/a.txt and, in the command file "},
        {"-CmdFile=long.cmd -cmdfilemaxsize=25",
         "-CmdFile: the first line of the command file is longer than 25 characters (-cmdfilemaxsize): "},
        {"-CmdFile=plain.cmd -cmdfilemaxsize=0", "-CmdFile: the first line of the command file is longer than 0 "},
        {"-CmdFile=filters.cmd", "-CmdFile: the first line of the command file is longer than 32768 "},
        {"-in=in -out=out -locale=de_DE/../../../../tmp", "-locale: \"de_DE/../../../../tmp\" is not a language name"},
        {"-in=in -d -locale=/tmp", "-locale: \"/tmp\" is not a language name"},
        {"-mode=FILE -in=in/a.txt -out=newdir/", "mode FILE writes one file, but the output names a folder: "},
        {"-mode=FILE -in=in/a.txt -out=newdir/.", "mode FILE writes one file, but the output names a folder: "},
        {"-mode=FILE -in=in/a.txt -out=new/dir/..", "mode FILE writes one file, but the output names a folder: "},
        {"-resetlayout -quit -bogus", "unknown switch: -bogus"},
        {"-in=in -out=out -shard=2/2", "-shard: \"2/2\" is not K/N"},
        {"-in=in/a.txt -out=out -shard=0/2", "-shard splits the files of a folder, but the input is a file: "},
        {"-in=in/a.txt -out=- -shard=1/2", "-shard splits the files of a folder, not a stream"},
        {"-in=in -d -shard=0/2 -export=r.xml -exporttype=XML -exportheader=no", "an XML report always has"},
    };
    const std::string before = Listing(dir.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const RunResult run = Varnelpro(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind(std::string("varnelpro: ") + c.says, 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.out, "");
    }
    if (geteuid() != 0) {  // root reads it anyway
        const RunResult run = Varnelpro("-CmdFile=locked.cmd");
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("cannot read the command file"), std::string::npos) << run.err;
    }
    EXPECT_EQ(Listing(dir.Path()), before);  // no output, no settings, no layout written
}

// The switches beside -CmdFile count as much as those in the file.
TEST_F(CommandLineTest, CommandFileSwitchesJoinThoseOnTheLine)
{
    WriteBytes(dir.File("c.cmd"), "-in=in -out=out -r");
    const std::string out = dir.File("out");
    const struct {
        const char* args;
        std::function<void(const RunResult&)> check;
    } cases[] = {
        {"-CmdFile=c.cmd -d",
         [&](const RunResult& run) {
             EXPECT_FALSE(Exists(out));
             EXPECT_NE(run.out.find("Files detected"), std::string::npos) << run.out;
         }},
        {"-CmdFile=c.cmd -q",
         [&](const RunResult& run) {
             EXPECT_EQ(run.out + run.err, "");
             EXPECT_EQ(ReadBytes(out + "/sub/b.txt"), "sub\n");
         }},
        {"-CmdFile=c.cmd -export=r.csv -exporttype=JSON",
         [&](const RunResult&) {
             // The report's header names every switch that took effect.
             EXPECT_NE(ReadBytes(dir.File("r.csv")).find("-exporttype=JSON -in=in -out=out -r\""), std::string::npos);
         }},
        {"-CmdFile=c.cmd -out=out -in=in -r", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/a.txt")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::filesystem::remove_all(out);
        std::filesystem::remove(dir.File("r.csv"));
        const RunResult run = Varnelpro(c.args);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        c.check(run);
    }
}

// As GNU tools do: text that could not be written is an error, not exit 0.
TEST_F(CommandLineTest, PrintingIntoAFullDeviceFails)
{
    for (const char* args : {"--help", "--version", "--list-code-pages", "-locale=de_DE --help"}) {
        SCOPED_TRACE(args);
        const std::string err = dir.File("err.txt");
        const int raw = std::system(
            ("cd '" + dir.Path() + "' && '" + VARNELPRO_EXE + "' " + args + " >/dev/full 2>'" + err + "'").c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 1);
        const std::string said = ReadBytes(err);
        EXPECT_EQ(said.rfind("varnelpro: ", 0), 0u) << said;
        EXPECT_NE(said.find(strerror(ENOSPC)), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

// A language is a folder of its own below Locales: neither the switch nor the
// stored setting can load a bundle from anywhere else.
TEST_F(CommandLineTest, LanguageBundlesComeOnlyFromTheLocalesFolder)
{
    const std::filesystem::path program(VARNELPRO_EXE);
    std::filesystem::create_directories(dir.File("elsewhere"));
    std::filesystem::copy(program.parent_path() / "Locales" / "de_DE", dir.File("elsewhere/de_DE"));
    const std::string escape = "de_DE/../../../../../../../../../../../.." + dir.File("elsewhere/de_DE");

    RunResult run = Varnelpro("-help '-locale=" + escape + "'");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("is not a language name"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    std::filesystem::create_directories(dir.File("config/Quillmark"));
    WriteBytes(dir.File("config/Quillmark/Varnel Professional 2.ini"), "[Settings]\nLanguageDir=" + escape + "\n");
    run = Varnelpro("-help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage:", 0), 0u) << run.out.substr(0, 80);
    run = Varnelpro("-in=in -out=out -enc=UTF9");
    EXPECT_EQ(run.err.rfind("varnelpro: -enc: unknown value", 0), 0u) << run.err;
}

TEST_F(CommandLineTest, MistakesAreReportedInTheChosenLanguage)
{
    const RunResult run = Varnelpro("-in=in -out=out -enc=UTF9 -locale=de_DE");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("varnelpro: -enc: unbekannter Wert \"UTF9\"", 0), 0u) << run.err;
    EXPECT_FALSE(Exists(dir.File("out")));
}

// Each long form and alias does its job on a real tree.
TEST_F(CommandLineTest, LongFormsAndAliasesWork)
{
    using Check = std::function<void(const RunResult&)>;
    const std::string out = dir.File("out");
    const struct {
        const char* args;
        Check check;
    } cases[] = {
        {"--in=in --out=out", [&](const RunResult&) { EXPECT_EQ(ReadBytes(out + "/a.txt"), "hi\n"); }},
        {"--in in --out out --recursive", [&](const RunResult&) { EXPECT_EQ(ReadBytes(out + "/sub/b.txt"), "sub\n"); }},
        {"in out", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/a.txt")); }},
        {"-r -- in out", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/sub/b.txt")); }},
        {"in out --hidden", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/.hidden.txt")); }},
        {"in out -h", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/.hidden.txt")); }},
        {"in out", [&](const RunResult&) { EXPECT_FALSE(Exists(out + "/.hidden.txt")); }},
        {"in out --copy", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/image.png")); }},
        {"--detect in", [&](const RunResult&) { EXPECT_FALSE(Exists(out)); }},
        {"in out --eol=crlf", [&](const RunResult&) { EXPECT_EQ(ReadBytes(out + "/a.txt"), "hi\r\n"); }},
        {"in out --encoding=UTF-16BE --no-bom",
         [&](const RunResult&) { EXPECT_EQ(ReadBytes(out + "/a.txt"), std::string("\0h\0i\0\n", 6)); }},
        {"in out --code-page=KOI8-R", [&](const RunResult&) { EXPECT_TRUE(Exists(out + "/a.txt")); }},
        {"in out --report=r.csv",
         [&](const RunResult&) { EXPECT_NE(ReadBytes(dir.File("r.csv")).find("a.txt"), std::string::npos); }},
        {"in out -v", [&](const RunResult& run) { EXPECT_NE(run.err.find("a.txt"), std::string::npos); }},
        {"in out --verbose", [&](const RunResult& run) { EXPECT_NE(run.err.find("a.txt"), std::string::npos); }},
        {"in out -q", [&](const RunResult& run) { EXPECT_EQ(run.out + run.err, ""); }},
        {"in out --quiet", [&](const RunResult& run) { EXPECT_EQ(run.out + run.err, ""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::filesystem::remove_all(out);
        std::filesystem::remove(dir.File("r.csv"));
        const RunResult run = Varnelpro(c.args);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        c.check(run);
    }
}

TEST_F(CommandLineTest, HelpVersionAndTheCodePageList)
{
    RunResult run = Varnelpro("--help");
    EXPECT_EQ(run.status, 0);
    for (const CommandLineSwitch& row : CommandLineSwitches()) {
        if (row.help != nullptr) {
            EXPECT_NE(run.out.find(text::ToUtf8(row.names.front())), std::string::npos) << text::ToUtf8(row.key);
        }
    }
    EXPECT_NE(run.out.find("-locale=NAME"), std::string::npos);
    EXPECT_EQ(Varnelpro("-?").out, run.out);

    run = Varnelpro("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "varnelpro " + text::ToUtf8(ProgramVersion()) + "\n");

    run = Varnelpro("--list-code-pages");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Varnelpro("-listcp").out, run.out);
    for (const char* line : {"1252\tWindows-1252\twindows-1252\tWestern\n", "20866\tKOI8-4\tKOI8-R\tCyrillic\n",
                             "932\tShift-JIS\tShift_JIS\tJapanese\n", "52936\tHZ-GB-2312\tHZ-GB-2312\tChinese\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line;
    EXPECT_EQ(run.out.find("Binary"), std::string::npos);  // no code page to read text in
    size_t lines = 0;
    for (size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1, ++lines)
        EXPECT_EQ(std::count(run.out.begin() + at, run.out.begin() + end, '\t'), 3);
    EXPECT_GT(lines, 34u);
}

// -cp by name reads the bytes as that code page.
TEST_F(CommandLineTest, CodePageNamesReadTheirBytes)
{
    const struct {
        const char* name;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"KOI8-R", "\xf0\xd2\xc9\xd7\xc5\xd4", "Привет"},
        {"Shift_JIS", "\x93\xfa\x96\x7b\x8c\xea", "日本語"},
        {"windows-1252", "caf\xe9 \x80", "café €"},
        {"cp1252", "caf\xe9 \x80", "café €"},
        {"GB18030", "\xc4\xe3\xba\xc3", "你好"},
        {"ISO-8859-2",
         "\xb3\xf3"
         "d\xbc",
         "łódź"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.File("cp"));
        std::filesystem::remove_all(dir.File("cpout"));
        mkdir(dir.File("cp").c_str(), 0777);
        WriteBytes(dir.File("cp/a.txt"), c.bytes + "\n");
        const RunResult run = Varnelpro(std::string("cp cpout -cp=") + c.name);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(ReadBytes(dir.File("cpout/a.txt")), c.utf8 + "\n");
    }
}

// UTF-8 has no mark unless asked; the wide forms have one unless told not to.
TEST_F(CommandLineTest, OutputFormsAndTheirMarks)
{
    const struct {
        const char* args;
        std::string bytes;
    } cases[] = {
        {"", "hi\n"},
        {"-enc=UTF8", "hi\n"},
        {"-enc=utf-8 --bom", "\xEF\xBB\xBFhi\n"},
        {"-bom=yes", "\xEF\xBB\xBFhi\n"},
        {"-enc=UTF-16LE", std::string("\xFF\xFEh\0i\0\n\0", 8)},
        {"-enc=UTF16LE -bom=no", std::string("h\0i\0\n\0", 6)},
        {"-enc=utf-16be", std::string("\xFE\xFF\0h\0i\0\n", 8)},
        {"-enc=UTF-32", std::string("\xFF\xFE\0\0h\0\0\0i\0\0\0\n\0\0\0", 16)},
        {"--encoding=UTF-32BE --no-bom", std::string("\0\0\0h\0\0\0i\0\0\0\n", 12)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::filesystem::remove_all(dir.File("out"));
        const RunResult run = Varnelpro(std::string("in out ") + c.args);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(ReadBytes(dir.File("out/a.txt")), c.bytes);
    }
}

}  // namespace
