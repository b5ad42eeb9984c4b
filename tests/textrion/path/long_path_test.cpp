#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/path/long_path.h"

namespace {

using testing_support::TempDir;

std::string U8(const std::u16string& s)
{
    return text::ToUtf8(s);
}

TEST(LongPath, KeepsNamesFromTheFileSystemExactly)
{
    // Blanks and backslashes are ordinary name characters here.
    for (const char16_t* name : {u" a.txt", u"a.txt ", u"dir /x", u"..\\..\\x", u"C:\\a"}) {
        CLongPath path(name);
        EXPECT_EQ(path.GetPath(), name);
    }
    EXPECT_EQ(CLongPath::FromUserInput(u"  /data/in \t").GetPath(), u"/data/in");
}

TEST(LongPath, AppendsWithOneSeparator)
{
    const struct {
        const char16_t* base;
        const char16_t* component;
        const char16_t* expected;
    } rows[] = {
        {u"/data", u"sub", u"/data/sub"},  {u"/data/", u"sub", u"/data/sub"},    {u"/", u"x", u"/x"}, {u"", u"x", u"x"},
        {u"/data", u"/sub", u"/data/sub"}, {u"/data", u" sub ", u"/data/ sub "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.expected));
        CLongPath path(row.base);
        path.Append(row.component);
        EXPECT_EQ(path.GetPath(), row.expected);
    }
}

TEST(LongPath, SplitsIntoParts)
{
    const struct {
        const char16_t* path;
        const char16_t* directory;
        const char16_t* fileName;
        const char16_t* extension;
        const char16_t* folderName;
    } rows[] = {
        {u"/a/b.txt", u"/a/", u"b.txt", u".txt", u"a"},
        {u"b.txt", u"", u"b.txt", u".txt", u""},
        {u"/a/b/", u"/a/b/", u"", u"", u"b"},
        {u"/", u"/", u"", u"", u""},
        {u"/a.d/file", u"/a.d/", u"file", u"", u"a.d"},
        {u"/a/archive.tar.gz", u"/a/", u"archive.tar.gz", u".gz", u"a"},
        {u"/a/.hidden", u"/a/", u".hidden", u".hidden", u"a"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.path));
        const CLongPath path(row.path);
        EXPECT_EQ(path.GetDirectory(), row.directory);
        EXPECT_EQ(path.GetFileName(), row.fileName);
        EXPECT_EQ(path.GetExtension(), row.extension);
        EXPECT_EQ(path.GetFolderName(), row.folderName);
    }
}

TEST(LongPath, ChangesExtensions)
{
    CLongPath path(u"/a/b.txt");
    EXPECT_EQ(path.ChangeExtension(u"csv").GetPath(), u"/a/b.csv");
    EXPECT_EQ(path.RemoveExtension().GetPath(), u"/a/b");
    EXPECT_EQ(path.AddExtension(u".log").GetPath(), u"/a/b.log");
    EXPECT_EQ(path.AddExtension(u"txt").GetPath(), u"/a/b.log");  // already has one
    CLongPath dotted(u"/a.d/file");
    EXPECT_EQ(dotted.RemoveExtension().GetPath(), u"/a.d/file");
}

TEST(LongPath, MovesUpOneLevelUntilTheRoot)
{
    CLongPath path(u"/a/b/");
    ASSERT_TRUE(path.UpOneLevel());
    EXPECT_EQ(path.GetPath(), u"/a/");
    ASSERT_TRUE(path.UpOneLevel());
    EXPECT_EQ(path.GetPath(), u"/");
    EXPECT_FALSE(path.UpOneLevel());
    EXPECT_EQ(path.GetPath(), u"/");
}

TEST(LongPath, ParentTestIgnoresCaseAndNeedsWholeComponents)
{
    EXPECT_TRUE(CLongPath(u"/A").IsParentOf(u"/a/b"));
    EXPECT_TRUE(CLongPath(u"/a").IsParentOf(u"/a"));
    EXPECT_FALSE(CLongPath(u"/a").IsParentOf(u"/ab"));
    EXPECT_FALSE(CLongPath(u"/a/b").IsParentOf(u"/a"));
}

TEST(LongPath, EnsuresDirectoriesOfAFilePath)
{
    TempDir dir;
    CLongPath file(dir.File16("x/y/file.txt"));
    ASSERT_TRUE(file.EnsureDirectoryExists());
    EXPECT_TRUE(CLongPath(dir.File16("x/y")).IsDirectory());
    EXPECT_FALSE(CLongPath(dir.File16("x/y/file.txt")).FileExists());
    // A file in the way is a failure, not a success.
    testing_support::WriteBytes(dir.File("blocker"), "x");
    EXPECT_FALSE(CLongPath(dir.File16("blocker/sub/file.txt")).EnsureDirectoryExists());
}

TEST(LongPath, EnsureDirectoryRacingThreadsAllSucceed)
{
    // Two converter threads making the same new folder both succeed.
    for (int round = 0; round < 20; ++round) {
        TempDir dir;
        const std::u16string target = dir.File16("n/e/s/t/e/d/file.txt");
        std::vector<std::thread> threads;
        std::vector<int> ok(4, 0);
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&, t] { ok[t] = CLongPath(target).EnsureDirectoryExists() ? 1 : 0; });
        for (auto& th : threads)
            th.join();
        for (int t = 0; t < 4; ++t)
            EXPECT_EQ(ok[t], 1) << "thread " << t << " round " << round;
    }
}

TEST(LongPath, HiddenEntriesMakeADirectoryNonEmpty)
{
    TempDir dir;
    EXPECT_TRUE(CLongPath(dir.File16("")).IsDirectoryEmpty());
    ASSERT_EQ(mkdir(dir.File(".git").c_str(), 0777), 0);
    EXPECT_FALSE(CLongPath(dir.File16("")).IsDirectoryEmpty());
    TempDir other;
    testing_support::WriteBytes(other.File(".keep"), "");
    EXPECT_FALSE(CLongPath(other.File16("")).IsDirectoryEmpty());
}

TEST(LongPath, UserDataFolderFollowsXdgDataHome)
{
    TempDir dir;
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    setenv("XDG_DATA_HOME", dir.File("share").c_str(), 1);
    EXPECT_EQ(CLongPath::GetUserLocalAppDataDir(), dir.File16("share"));
    EXPECT_TRUE(CLongPath(dir.File16("share")).IsDirectory());
    if (saved)
        setenv("XDG_DATA_HOME", previous.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

TEST(LongPath, DateTimeFileNameHasTheStampAndOneDot)
{
    const std::regex stamp(R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}\.log)");
    EXPECT_TRUE(std::regex_match(U8(CLongPath::GenerateDateTimeFilename(u"log")), stamp));
    EXPECT_TRUE(std::regex_match(U8(CLongPath::GenerateDateTimeFilename(u".log")), stamp));
}

TEST(PathEx, TrimsTypedPathsAndResolvesDots)
{
    EXPECT_EQ(CPathEx(u"  /a/b  ").GetPath(), u"/a/b");
    const struct {
        const char16_t* path;
        const char16_t* expected;
    } rows[] = {
        {u"/a/./b/../c", u"/a/c"},
        {u"/../a", u"/a"},
        {u"a/../../b", u"../b"},
        {u"/a/b/", u"/a/b/"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(U8(row.path));
        EXPECT_EQ(CPathEx(row.path).Canonicalize().GetPath(), row.expected);
    }
    EXPECT_EQ(CPathEx::Combine(u"/a/b", u"../c.txt").GetPath(), u"/a/c.txt");
}

TEST(PathEx, MatchesWildcardsOnTheFileName)
{
    EXPECT_TRUE(CPathEx(u"/x/Report.TXT").MatchSpec(u"*.txt"));
    EXPECT_TRUE(CPathEx(u"/x/a1.c").MatchSpec(u"a?.c"));
    EXPECT_FALSE(CPathEx(u"/x/a12.c").MatchSpec(u"a?.c"));
    EXPECT_FALSE(CPathEx(u"/x.txt/file").MatchSpec(u"*.txt"));
}

}  // namespace
