#include <gtest/gtest.h>

#include <signal.h>
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

// Makes the temporary file and writes text into it.
void Fill(CAtomicOutputFile& file, const std::string& text)
{
    int error = 0;
    const int handle = file.Create(&error);
    ASSERT_GE(handle, 0) << error;
    ASSERT_EQ(write(handle, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(handle);
}

TEST(AtomicOutputFile, OnlyACommitReplacesTheFileAndNothingElseStays)
{
    TempDir dir;
    WriteBytes(dir.File("out.txt"), "older");
    {
        CAtomicOutputFile file(dir.File16("out.txt"));
        Fill(file, "first try");
        file.Restart();  // the first try is dropped
        Fill(file, "half");
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
        Fill(file, "new");
        int error = 0;
        ASSERT_TRUE(file.Commit(&error)) << error;
    }
    EXPECT_EQ(ReadBytes(dir.File("out.txt")), "new");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.File("out.txt")));
    EXPECT_EQ(ReadBytes(dir.File("victim")), "keep");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"out.txt", "victim"}));
}

// A temporary file is stale once no run holds its lock: whichever host or
// process namespace made it, its process id says nothing.
TEST(AtomicOutputFile, OnlyTemporaryFilesNoRunHoldsAreStale)
{
    TempDir dir;
    const std::string ours =
        std::filesystem::path(Native(CAtomicOutputFile::TemporaryPathFor(dir.File16("a.txt")))).filename().string();
    struct Case {
        std::string name;
        bool temporary;
    };
    const Case cases[] = {
        {ours, true},
        {".a.txt.0badf00d-1-0.varnel-part", true},                          // another host, a process id of any meaning
        {ours.substr(1), false},                                            // not hidden
        {ours.substr(0, ours.size() - 5), false},                           // another suffix
        {"." + ours.substr(ours.rfind('.', ours.size() - 13) + 1), false},  // no name before the tag
        {".a.txt.0badf00d-x-0.varnel-part", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CAtomicOutputFile::IsTemporaryName(text::FromUtf8(c.name)), c.temporary);
    }
    std::filesystem::create_directory(dir.File("sub"));
    WriteBytes(dir.File("sub/.a.txt.0badf00d-1-0.varnel-part"), "left by a killed run");
    WriteBytes(dir.File(".b.txt.0badf00d-1-0.varnel-part"), "left on another host");
    // One being written by this process, one by another process.
    CAtomicOutputFile writing(dir.File16("c.txt"));
    Fill(writing, "in use");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t other = fork();
    if (other == 0) {
        CAtomicOutputFile theirs(dir.File16("sub/d.txt"));
        int error = 0;
        const int handle = theirs.Create(&error);
        char byte = handle >= 0 ? 'y' : 'n';
        (void)!write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    EXPECT_EQ(CAtomicOutputFile::RemoveStaleTemporaryFiles(dir.File16(""), false).size(), 1u);
    EXPECT_EQ(CAtomicOutputFile::RemoveStaleTemporaryFiles(dir.File16(""), true).size(), 1u);
    EXPECT_EQ(Names(dir), (std::set<std::string>{
                              "sub", std::filesystem::path(Native(writing.GetTemporaryPath())).filename().string()}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("sub")), {}), 1) << "theirs is kept";
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    // Killed, it leaves its file behind, and the next clean-up takes it.
    EXPECT_EQ(CAtomicOutputFile::RemoveStaleTemporaryFiles(dir.File16(""), true).size(), 1u);
    close(ready[0]);
    close(ready[1]);
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
        {"file", true, false, "file"},     {"link", true, false, "sub/target"},  // a link to a file in another folder
        {"fifo-link", true, true, "fifo"}, {"fifo", true, true, "fifo"},
        {"link", false, false, "link"},    {"fifo", false, false, "fifo"},
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
        Fill(file, "new");
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(ReadBytes(dir.File(c.replaced)), "new");
        EXPECT_EQ(std::filesystem::is_symlink(dir.File("link")), c.named || std::string(c.output) != "link");
    }
}

}  // namespace
