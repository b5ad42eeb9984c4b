#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless/headless_run.h"
#include "app/headless/program_runner.h"
#include "app/options/command_line_options.h"
#include "base/text.h"
#include "support/temp_dir.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using testing_support::Exists;
using testing_support::Listing;
using testing_support::ReadBytes;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::WriteBytes;

class PlanTest : public testing::Test {
protected:
    void SetUp() override
    {
        mkdir(dir.File("in").c_str(), 0777);
        WriteBytes(dir.File("in/a.txt"), "hello\n");
        WriteBytes(dir.File("file"), "x");
    }
    std::u16string Plan(const std::string& switches, HeadlessPlan* out = nullptr)
    {
        HeadlessPlan plan;
        const CCommandLineOptions options(u" " + text::FromUtf8(switches), dir.File16(""));
        std::u16string why = PlanHeadlessRun(options, plan);
        if (out)
            *out = plan;
        return why;
    }
    TempDir dir;
};

TEST_F(PlanTest, RefusesBadInputWithOneClearLineAndTouchesNothing)
{
    struct Case {
        const char* switches;
        const char* reason;
    };
    const Case cases[] = {
        {"-r", "no input folder given"},
        {"-in=missing -out=o", "input folder does not exist: "},
        {"-in=in", "no output folder given"},
        {"-in=in -out=file/sub", "output folder is inside a file: "},
        {"-in=in -out=file", "output folder is a file: "},
        {"-in=in -out=o -cp=437", "-cp: unknown code page \"437\""},
        {"-in=in -out=o -cp=99999999999", "-cp: unknown code page \"99999999999\""},
        {"-in=in -out=o -cp=12a", "-cp: unknown code page \"12a\""},
        {"-in=in -out=o -cp=-1", "-cp: unknown code page \"-1\""},
        {"-in=in -out=o -rf=(unclosed", "invalid regular expression: (unclosed"},
        {"-in=in -out=o -export=file/r.csv", "cannot write the export file: "},
        {"-in=in -out=o -export=in", "export file is a folder: "},
        {"-in=in -out=o -exporttype=CSV", "no export file given"},
        {"-mode=FILE -in=in -out=o", "mode FILE converts one file"},
        {"-mode=FILE -in=in/a.txt -out=in/a.txt", "output file is the input file: "},
        {"-in=in/a.txt -out=in", "output file is the input file: "},
    };
    const auto before = Listing(dir.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.switches);
        const std::string why = text::ToUtf8(Plan(c.switches));
        EXPECT_EQ(why.rfind(c.reason, 0), 0u) << why;
        EXPECT_EQ(why.find('\n'), std::string::npos);
    }
    EXPECT_EQ(Listing(dir.Path()), before);
}

TEST_F(PlanTest, BuildsTheJobItemFromTheSwitches)
{
    HeadlessPlan plan;
    ASSERT_EQ(Plan("-in=in -out=new/deeper -r -h -c -bom=no -enc=UTF16BE -rt=CRLF -cp=1251 -wf=*.txt "
                   "-export=rep/r.csv",
                   &plan),
              u"");
    const tagVARNEXBATCHJOBITEM& item = plan.item;
    EXPECT_TRUE(item.folder && item.options.recursive && item.options.processHiddenFiles &&
                item.options.copyUnconverted);
    EXPECT_FALSE(item.options.writeBom);
    EXPECT_EQ(item.options.outputTextFormat, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16BE);
    EXPECT_EQ(item.options.returnType, CTextFileConverter::RETURNTYPE_CRLF);
    EXPECT_EQ(item.options.inputCodepage, 1251);
    EXPECT_TRUE(item.options.filter.IsEnabled());
    EXPECT_EQ(item.outputPath, dir.File16("new/deeper"));
    EXPECT_EQ(plan.outputFolderToCreate, dir.File16("new/deeper"));
    EXPECT_EQ(plan.exportFolderToCreate, dir.File16("rep"));
    EXPECT_FALSE(Exists(dir.File("new")));  // planning creates nothing
}

TEST_F(PlanTest, DetectOnlyNeedsNoOutputAndASingleFileGoesIntoTheOutputFolder)
{
    HeadlessPlan plan;
    ASSERT_EQ(Plan("-in=in -d", &plan), u"");
    EXPECT_TRUE(plan.detectOnly);
    EXPECT_TRUE(plan.item.outputPath.empty());
    ASSERT_EQ(Plan("-in=in/a.txt -out=o", &plan), u"");
    EXPECT_FALSE(plan.item.folder);
    EXPECT_EQ(plan.item.outputPath, dir.File16("o/a.txt"));
    ASSERT_EQ(Plan("-mode=FILE -in=in/a.txt -out=o/b.txt", &plan), u"");
    EXPECT_EQ(plan.item.outputPath, dir.File16("o/b.txt"));
    EXPECT_EQ(plan.outputFolderToCreate, dir.File16("o"));
}

// --- The real program on a temporary tree.

class ProgramTest : public testing::Test {
protected:
    RunResult Varnelpro(const std::string& args) { return testing_support::RunProgram(dir, args); }
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        mkdir(dir.File("in").c_str(), 0777);
        mkdir(dir.File("in/sub").c_str(), 0777);
        // windows-1251, Shift_JIS, UTF-16LE with BOM, a binary
        WriteBytes(dir.File("in/ru.txt"),
                   "\xcf\xf0\xe8\xe2\xe5\xf2, \xec\xe8\xf0! \xdd\xf2\xee \xf2\xe5\xea\xf1\xf2 \xed\xe0 "
                   "\xf0\xf3\xf1\xf1\xea\xee\xec \xff\xe7\xfb\xea\xe5, \xea\xee\xf2\xee\xf0\xfb\xe9 "
                   "\xed\xf3\xe6\xed\xee \xef\xf0\xe5\xee\xe1\xf0\xe0\xe7\xee\xe2\xe0\xf2\xfc.\r\n");
        WriteBytes(dir.File("in/sub/u16.txt"), std::string("\xFF\xFE"
                                                           "a\0b\0\r\0\n\0",
                                                           10));
        WriteBytes(dir.File("in/sub/image.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\0", 21));
    }
    TempDir dir;
};

TEST_F(ProgramTest, ConvertsATreeWritesTheReportAndExitsZero)
{
    const RunResult run = Varnelpro("-in=in -out=out -r -rt=LF -bom=no -export=out/report.csv");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ReadBytes(dir.File("out/sub/u16.txt")), "ab\n");
    EXPECT_EQ(ReadBytes(dir.File("out/ru.txt")).substr(0, 13), "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82,");
    EXPECT_FALSE(Exists(dir.File("out/sub/image.png")));  // binary, not copied without -c
    const std::string report = ReadBytes(dir.File("out/report.csv"));
    size_t rows = 0;
    for (char c : report)
        rows += c == '\n';
    EXPECT_EQ(rows + (report.empty() || report.back() == '\n' ? 0 : 1), 4u) << report;  // header + 3 files
    EXPECT_NE(run.out.find("Files converted"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("u16.txt"), std::string::npos) << run.err;  // a line per file off a terminal
}

TEST_F(ProgramTest, CopiesBinariesWithCAndWritesUtf16WithBom)
{
    const RunResult run = Varnelpro("-in=in -out=out -r -c -enc=UTF16LE");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ReadBytes(dir.File("out/sub/image.png")), ReadBytes(dir.File("in/sub/image.png")));
    EXPECT_EQ(ReadBytes(dir.File("out/sub/u16.txt")), std::string("\xFF\xFE"
                                                                  "a\0b\0\r\0\n\0",
                                                                  10));
}

TEST_F(ProgramTest, WarningsExitOneAndBadStartExitsTwoChangingNothing)
{
    // Forcing UTF-8 on windows-1251 bytes replaces them: a warning.
    RunResult run = Varnelpro("-in=in/ru.txt -out=out -cp=65001");
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("Warnings"), std::string::npos);

    // With a display, a start that names no output opens the window instead.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        unsetenv(name);
    const auto before = Listing(dir.Path() + "/in");
    for (const char* args :
         {"-in=in -out=in/sub/image.png/x", "-in=nothing -out=o2", "-in=in -out=o2 -cp=437", "-in=in -enc=UTF16LE"}) {
        SCOPED_TRACE(args);
        run = Varnelpro(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("varnelpro: ", 0), 0u) << run.err;
        EXPECT_FALSE(Exists(dir.File("o2")));
    }
    EXPECT_EQ(Listing(dir.Path() + "/in"), before);
}

TEST_F(ProgramTest, DetectOnlyWritesNothingButTheReport)
{
    const RunResult run = Varnelpro("-in=in -r -d -export=det.xml -exporttype=XML");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_FALSE(Exists(dir.File("out")));
    const std::string xml = ReadBytes(dir.File("det.xml"));
    EXPECT_EQ(xml.rfind("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << xml;
    size_t files = 0;
    for (size_t at = xml.find("<file "); at != std::string::npos; at = xml.find("<file ", at + 1))
        ++files;
    EXPECT_EQ(files, 3u) << xml;
    EXPECT_NE(xml.find("</varnelReport>"), std::string::npos);
}

TEST_F(ProgramTest, HelpAndNoInput)
{
    RunResult run = Varnelpro("-help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("-in="), std::string::npos);
    // No switches and no display for the window: one line on how to run it.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        unsetenv(name);
    run = Varnelpro("");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("-in=FOLDER -out=FOLDER"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST_F(ProgramTest, StartupActionsLanguageAndABrokenSettingsFile)
{
    mkdir(dir.File("config").c_str(), 0777);
    mkdir(dir.File("config/Quillmark").c_str(), 0777);
    const std::string ini = dir.File("config/Quillmark/Varnel Professional 2.ini");
    WriteBytes(ini, "[Layout]\nDock=1\n[Splitters]\nMain=2\n[Settings]\nLanguageDir=de_DE\n");
    RunResult run = Varnelpro("-resetlayout -quiet -quit -in=in -out=out");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_FALSE(Exists(dir.File("out")));
    const std::string left = ReadBytes(ini);
    EXPECT_EQ(left.find("Layout"), std::string::npos) << left;
    EXPECT_EQ(left.find("Splitters"), std::string::npos) << left;
    EXPECT_NE(left.find("LanguageDir=de_DE"), std::string::npos) << left;

    run = Varnelpro("-help");  // the stored language
    EXPECT_EQ(run.out.rfind("Aufruf:", 0), 0u) << run.out;
    run = Varnelpro("-locale=en_US -help");  // the switch wins; no bundle: built-in English
    EXPECT_EQ(run.out.rfind("Usage:", 0), 0u) << run.out;

    mkdir(dir.File("data").c_str(), 0777);
    mkdir(dir.File("data/Quillmark").c_str(), 0777);
    mkdir(dir.File("data/Quillmark/VarnelPro").c_str(), 0777);
    WriteBytes(dir.File("data/Quillmark/VarnelPro/VarnelPro.Current.xml"), "<settings><broken");
    run = Varnelpro("-in=in -out=out -r");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("VarnelPro.Current.xml"), std::string::npos) << run.err;
    EXPECT_TRUE(Exists(dir.File("out/sub/u16.txt")));
}

TEST_F(ProgramTest, InterruptStopsCleanlyLeavingOnlyWholeFiles)
{
    corpus::TreeOptions options;
    options.files = 3000;
    mkdir(dir.File("many").c_str(), 0777);
    corpus::MakeMixedTree(dir.File("many"), options);

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, dir.File("stdout.txt").c_str(), O_WRONLY | O_CREAT, 0644);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string in = "-in=" + dir.File("many"), out = "-out=" + dir.File("out");
    const char* argv[] = {VARNELPRO_EXE, in.c_str(), out.c_str(), "-r", "-h", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, VARNELPRO_EXE, &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    // Interrupt once the first file is reported, then read the rest.
    FILE* err = fdopen(pipeFds[0], "r");
    char line[4096];
    bool interrupted = false;
    unsigned lines = 0;
    while (fgets(line, sizeof line, err)) {
        if (line[0] == '[' && !interrupted) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        lines += line[0] == '[';
    }
    fclose(err);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(interrupted);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_LT(lines, options.files) << "stopped before the end";
    EXPECT_NE(ReadBytes(dir.File("stdout.txt")).find("Stopped before the end."), std::string::npos);
    // Nothing half-written: every file in the output is a finished one, no temporaries.
    const std::string written = Listing(dir.File("out"));
    EXPECT_EQ(written.find("varnel-part"), std::string::npos) << written;
}

}  // namespace

namespace {

// Each code page a user may name with -cp reads its bytes into the right text.
TEST_F(ProgramTest, ReadsTheAddedCodePagesNamedWithCp)
{
    const struct {
        int codepage;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {1254, "\xde\x6f\x66\xf6\x72\x20\x93\x64\x65\x64\x69\x94", "Şoför “dedi”"},
        {949, "\x8c\x63\xb9\xe6\xb0\xa2\xc7\xcf", "똠방각하"},
        {1361, "\x99\xb1\x20\x84\x44\x20\xd9\x68", "똠 ㄳ ※"},
        {21866, "\xb7\xd6\xc1\xcb\x20\xa6\x20\xad\xc1\xd7\xc1", "Їжак і ґава"},
        {10000, "\x46\x61\x8d\x61\x64\x65\x20\xd2\xaa\xd3", "Façade “™”"},
        {1375, "\xca\x5c\x92\x5d\x9d\xee", "佢哋㗎"},
        {50220, "\x1b\x24\x42\x46\x7c\x4b\x5c\x38\x6c\x1b\x28\x42", "日本語"},
        {50221, "\x1b\x24\x42\x25\x2b\x25\x3f\x25\x2b\x25\x4a\x1b\x28\x42", "カタカナ"},
    };
    for (const auto& c : cases) {
        const std::string cp = std::to_string(c.codepage);
        SCOPED_TRACE(cp);
        mkdir(dir.File("cp" + cp).c_str(), 0777);
        WriteBytes(dir.File("cp" + cp + "/a.txt"), c.bytes + "\n");
        const RunResult run = Varnelpro("-in=cp" + cp + " -out=out" + cp + " -cp=" + cp + " -enc=UTF8 -bom=no -rt=LF");
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(ReadBytes(dir.File("out" + cp + "/a.txt")), c.utf8 + "\n");
    }
}

}  // namespace
