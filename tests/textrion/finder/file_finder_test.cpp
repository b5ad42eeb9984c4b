#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/finder/file_finder.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

// Records what the walk reports, as paths relative to the base folder.
class RecordingFinder : public CFileFinderThread {
public:
    ~RecordingFinder() override { SetStopAndWait(); }

    std::vector<std::string> found;
    std::vector<std::string> folderErrors;
    size_t stopAfter = 0;  // 0: never

protected:
    void OnFileFound(const CFindEntry& entry, CFileFinderJob* job) override
    {
        std::u16string relative = job->GetJobFolder().substr(job->GetBaseFolder().size());
        if (!relative.empty() && relative[0] == u'/')
            relative.erase(0, 1);
        found.push_back(text::ToUtf8((relative.empty() ? u"" : relative + u"/") + entry.name) +
                        (entry.IsDirectory() ? "/" : ""));
        if (stopAfter != 0 && found.size() == stopAfter)
            SetStop();
    }
    void OnFolderError(CFileFinderJob* job, int) override { folderErrors.push_back(text::ToUtf8(job->GetJobFolder())); }
    void OnEntrySkipped(const CSkippedEntry& entry, CFileFinderJob*) override { skipped.push_back(entry); }

public:
    std::vector<CSkippedEntry> skipped;
};

void RunWalk(RecordingFinder& finder)
{
    ASSERT_TRUE(finder.CreateThread());
    ASSERT_TRUE(finder.WaitForThreadExit());
}

std::vector<std::string> Sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

// A tree: a.txt, .hidden.txt, sub/b.txt, sub/deeper/c.txt, .secret/d.txt, other/e.txt
void MakeTree(const TempDir& dir)
{
    mkdir(dir.File("sub").c_str(), 0777);
    mkdir(dir.File("sub/deeper").c_str(), 0777);
    mkdir(dir.File(".secret").c_str(), 0777);
    mkdir(dir.File("other").c_str(), 0777);
    WriteBytes(dir.File("a.txt"), "a");
    WriteBytes(dir.File(".hidden.txt"), "h");
    WriteBytes(dir.File("sub/b.txt"), "b");
    WriteBytes(dir.File("sub/deeper/c.txt"), "c");
    WriteBytes(dir.File(".secret/d.txt"), "d");
    WriteBytes(dir.File("other/e.txt"), "e");
}

TEST(FileFinderThread, RecursionAndHiddenChoices)
{
    TempDir dir;
    MakeTree(dir);
    const struct {
        const char* name;
        bool recursive;
        bool hidden;
        std::vector<std::string> expected;
    } rows[] = {
        {"flat, no hidden", false, false, {"a.txt", "other/", "sub/"}},
        {"flat with hidden", false, true, {".hidden.txt", ".secret/", "a.txt", "other/", "sub/"}},
        {"recursive, no hidden",
         true,
         false,
         {"a.txt", "other/", "other/e.txt", "sub/", "sub/b.txt", "sub/deeper/", "sub/deeper/c.txt"}},
        {"recursive with hidden",
         true,
         true,
         {".hidden.txt", ".secret/", ".secret/d.txt", "a.txt", "other/", "other/e.txt", "sub/", "sub/b.txt",
          "sub/deeper/", "sub/deeper/c.txt"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingFinder finder;
        finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), row.recursive, row.hidden);
        RunWalk(finder);
        EXPECT_EQ(Sorted(finder.found), row.expected);
        EXPECT_EQ(finder.GetFolderErrorCount(), 0u);
    }
}

TEST(FileFinderThread, WalksBreadthFirst)
{
    TempDir dir;
    MakeTree(dir);
    RecordingFinder finder;
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), true, false);
    RunWalk(finder);
    // Every entry of a level comes before any entry of the next level.
    auto depth = [](const std::string& p) { return std::count(p.begin(), p.end() - 1, '/'); };
    for (size_t i = 1; i < finder.found.size(); ++i)
        EXPECT_LE(depth(finder.found[i - 1]), depth(finder.found[i]))
            << finder.found[i - 1] << " then " << finder.found[i];
}

TEST(FileFinderThread, SkipsSpecialFilesAndWalksLinkedFoldersOnce)
{
    TempDir dir;
    mkdir(dir.File("real").c_str(), 0777);
    WriteBytes(dir.File("real/x.txt"), "x");
    ASSERT_EQ(symlink(dir.File("real").c_str(), dir.File("link").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path().c_str(), dir.File("real/loop").c_str()), 0);  // a cycle back to the top
    ASSERT_EQ(symlink(dir.File("nowhere").c_str(), dir.File("dangling").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.File("pipe").c_str(), 0666), 0);
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = dir.File("sock");
    if (sockPath.size() < sizeof addr.sun_path) {
        std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
        ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    RecordingFinder finder;
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), true, false);
    RunWalk(finder);
    close(s);
    const auto files = std::count_if(finder.found.begin(), finder.found.end(),
                                     [](const std::string& p) { return p.find("x.txt") != std::string::npos; });
    EXPECT_EQ(files, 1) << "the folder behind two paths is walked once";
    for (const auto& p : finder.found) {
        EXPECT_EQ(p.find("pipe"), std::string::npos);
        EXPECT_EQ(p.find("sock"), std::string::npos);
        EXPECT_EQ(p.find("dangling"), std::string::npos);
    }
}

TEST(FileFinderThread, ExcludedFolderIsNeitherReportedNorSearched)
{
    TempDir dir;
    MakeTree(dir);
    RecordingFinder finder;
    ASSERT_TRUE(finder.ExcludeFolder(text::FromUtf8(dir.File("sub"))));
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), true, false);
    RunWalk(finder);
    EXPECT_EQ(Sorted(finder.found), (std::vector<std::string>{"a.txt", "other/", "other/e.txt"}));
}

// An output folder inside the input is left out; a link that leads into it
// is named, so that no entry of the input goes without a word.
TEST(FileFinderThread, LinksIntoAnExcludedFolderAreSkippedWithTheirReason)
{
    TempDir dir;
    MakeTree(dir);
    mkdir(dir.File("sub/deeper/more").c_str(), 0777);
    ASSERT_EQ(symlink("sub", dir.File("to-excluded").c_str()), 0);
    ASSERT_EQ(symlink(dir.File("sub/deeper").c_str(), dir.File("other/to-inside").c_str()), 0);
    ASSERT_EQ(symlink("../sub/b.txt", dir.File("other/to-file").c_str()), 0);
    ASSERT_EQ(symlink("sub/deeper/../../other", dir.File("via-excluded").c_str()), 0);  // ends outside it
    ASSERT_EQ(symlink("a.txt", dir.File("to-input").c_str()), 0);
    RecordingFinder finder;
    ASSERT_TRUE(finder.ExcludeFolder(text::FromUtf8(dir.File("sub"))));
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), true, false);
    RunWalk(finder);
    std::vector<std::string> skipped;
    for (const CSkippedEntry& entry : finder.skipped)
        if (entry.reason == CSkippedEntry::REASON_INTO_EXCLUDED)
            skipped.push_back(text::ToUtf8(entry.path).substr(dir.Path().size() + 1) + (entry.isFolder ? "/" : ""));
    EXPECT_EQ(Sorted(skipped), (std::vector<std::string>{"other/to-file", "other/to-inside/", "to-excluded/"}));
    for (const std::string& found : finder.found)
        EXPECT_EQ(found.find("b.txt"), std::string::npos) << found;
    EXPECT_NE(std::find(finder.found.begin(), finder.found.end(), "to-input"), finder.found.end());
}

TEST(FileFinderThread, CountsFoldersThatCannotBeListed)
{
    TempDir dir;
    RecordingFinder finder;
    finder.FindFiles(text::FromUtf8(dir.File("missing")).c_str(), true, false);
    RunWalk(finder);
    EXPECT_EQ(finder.GetFolderErrorCount(), 1u);
    EXPECT_EQ(finder.folderErrors.size(), 1u);
    if (geteuid() != 0) {  // root lists anything
        MakeTree(dir);
        chmod(dir.File("sub").c_str(), 0);
        RecordingFinder locked;
        locked.FindFiles(text::FromUtf8(dir.Path()).c_str(), true, false);
        RunWalk(locked);
        chmod(dir.File("sub").c_str(), 0755);
        EXPECT_EQ(locked.GetFolderErrorCount(), 1u);
    }
}

TEST(FileFinderThread, StopEndsTheWalkAndDropsQueuedJobs)
{
    TempDir dir;
    MakeTree(dir);
    RecordingFinder finder;
    finder.stopAfter = 2;
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), true, true);
    RunWalk(finder);
    EXPECT_EQ(finder.found.size(), 2u);
    // A new run starts clean.
    finder.stopAfter = 0;
    finder.found.clear();
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), false, false);
    RunWalk(finder);
    EXPECT_EQ(finder.found.size(), 3u);
}

TEST(FileFinderThread, NamesThatAreNotUtf8RoundTrip)
{
    TempDir dir;
    const std::string raw = dir.File("caf\xE9 \xFF.txt");
    WriteBytes(raw, "x");
    RecordingFinder finder;
    finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), false, false);
    RunWalk(finder);
    ASSERT_EQ(finder.found.size(), 1u);
}

}  // namespace
