#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/path/long_path.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::set<std::string> Names(const TempDir& dir)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

std::string Native(const std::u16string& path)
{
    return text::ToUtf8(path);
}

TEST(AtomicOutputFile, OnlyACommitReplacesTheFileAndNothingElseStays)
{
    TempDir dir;
    WriteBytes(dir.File("out.txt"), "older");
    {
        CAtomicOutputFile file(dir.File16("out.txt"));
        WriteBytes(Native(file.GetTemporaryPath()), "first try");
        file.Restart();  // the first try is dropped
        WriteBytes(Native(file.GetTemporaryPath()), "half");
        EXPECT_EQ(ReadBytes(dir.File("out.txt")), "older");
    }  // not committed: the older file stays
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "older");
    EXPECT_EQ(Names(dir), std::set<std::string>{"out.txt"});

    // A link in the final file's place is replaced, never written through.
    WriteBytes(dir.File("victim"), "keep");
    std::filesystem::remove(dir.File("out.txt"));
    std::filesystem::create_symlink("victim", dir.File("out.txt"));
    {
        CAtomicOutputFile file(dir.File16("out.txt"));
        WriteBytes(Native(file.GetTemporaryPath()), "new");
        int error = 0;
        ASSERT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "new");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("out.txt")));
    EXPECT_EQ(ReadBytes(dir.File("victim")), "keep");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"out.txt", "victim"}));
}

TEST(AtomicOutputFile, OnlyTemporaryNamesOfThisHostsEndedProcessesAreStale)
{
    TempDir dir;
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    const std::u16string ours = CAtomicOutputFile::TemporaryPathFor(dir.File16("a.txt"));
    std::string left = Native(ours);
    const std::string pid = "-" + std::to_string(getpid()) + "-";
    left.replace(left.rfind(pid), pid.size(), "-" + std::to_string(ended) + "-");
    const std::string name = std::filesystem::path(left).filename().string();
    struct Case {
        std::string name;
        bool stale;
    };
    const Case cases[] = {
        {name, true},
        {std::filesystem::path(Native(ours)).filename().string(), false},  // this process is running
        {".a.txt.0badf00d-" + std::to_string(ended) + "-0.varnel-part", false},  // another host
        {name.substr(1), false},                                                   // not hidden
        {name.substr(0, name.size() - 5), false},                                  // another suffix
        {"." + name.substr(name.rfind('.', name.size() - 13) + 1), false},          // no name before the tag
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CAtomicOutputFile::IsStaleTemporaryName(text::FromUtf8(c.name)), c.stale);
    }
    std::filesystem::create_directory(dir.File("sub"));
    WriteBytes(dir.File("sub/" + name), "half");
    WriteBytes(dir.File(name), "half");
    EXPECT_EQ(CAtomicOutputFile::RemoveStaleTemporaryFiles(dir.File16(""), false).size(), 1u);
    EXPECT_EQ(CAtomicOutputFile::RemoveStaleTemporaryFiles(dir.File16(""), true).size(), 1u);
    EXPECT_EQ(Names(dir), std::set<std::string>{"sub"});
}

// What the user named as the output: a link stays and its file is replaced,
// a FIFO is written into. A walk's outputs (not named) never follow anything.
TEST(AtomicOutputFile, NamedOutputsKeepLinksAndWriteIntoFifos)
{
    struct Case {
        const char* output;
        bool named;
        bool writeThrough;
        const char* replaced;  // the file a commit replaces, relative to the folder
    };
    const Case cases[] = {
        {"file", true, false, "file"},
        {"link", true, false, "sub/target"},  // a link to a file in another folder
        {"fifo-link", true, true, "fifo"},
        {"fifo", true, true, "fifo"},
        {"link", false, false, "link"},
        {"fifo", false, false, "fifo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.output) + (c.named ? ", named" : ""));
        TempDir dir;
        std::filesystem::create_directory(dir.File("sub"));
        WriteBytes(dir.File("file"), "old");
        WriteBytes(dir.File("sub/target"), "old");
        std::filesystem::create_symlink("sub/target", dir.File("link"));
        ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
        std::filesystem::create_symlink("fifo", dir.File("fifo-link"));
        CAtomicOutputFile file(dir.File16(c.output), c.named);
        EXPECT_EQ(file.IsWriteThrough(), c.writeThrough);
        EXPECT_EQ(Native(file.GetFinalPath()), dir.File(c.writeThrough ? c.output : c.replaced));
        if (c.writeThrough) {
            EXPECT_TRUE(file.GetTemporaryPath().empty());
            EXPECT_TRUE(file.Commit());
            EXPECT_TRUE(std::filesystem::is_fifo(dir.File("fifo")));
            continue;
        }
        // The temporary file lies beside the file it replaces: one rename, one file system.
        EXPECT_EQ(Native(CLongPath(file.GetTemporaryPath()).GetDirectory()),
                  Native(CLongPath(file.GetFinalPath()).GetDirectory()));
        WriteBytes(Native(file.GetTemporaryPath()), "new");
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(ReadBytes(dir.File(c.replaced)), "new");
        EXPECT_EQ(std::filesystem::is_symlink(dir.File("link")), c.named || std::string(c.output) != "link");
    }
}

}  // namespace
