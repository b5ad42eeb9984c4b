#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/settings/profile_store.h"
#include "base/text.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using Names = std::vector<std::u16string>;

TEST(ProfileStore, KeepsEntriesUnderTheKeyPathsAcrossInstances)
{
    TempDir dir;
    const std::u16string path = dir.File16("cfg/Quillmark/Varnel Professional 2.ini");
    {
        CProfileStore store(path);
        ASSERT_TRUE(store.WriteProfileString(CProfileStore::kRecentFolderKey, u"1", u"/home/\u00fc ber/a=b;c"));
        ASSERT_TRUE(store.WriteProfileString(CProfileStore::kRecentFolderKey, u"2", u""));
        ASSERT_TRUE(store.WriteProfileString(CProfileStore::kSettingsKey, u"LanguageDir", u"Deutsch"));
        ASSERT_TRUE(store.WriteProfileInt(CProfileStore::kWindowPlacementsKey, u"AssignCodepage", -42));
    }
    const std::string file = ReadBytes(dir.File("cfg/Quillmark/Varnel Professional 2.ini"));
    EXPECT_NE(file.find("[RecentFolder]"), std::string::npos) << file;
    EXPECT_NE(file.find("[Settings]"), std::string::npos) << file;
    EXPECT_NE(file.find("LanguageDir=Deutsch"), std::string::npos) << file;

    CProfileStore store(path);
    EXPECT_EQ(store.GetProfileString(u"RecentFolder", u"1"), u"/home/\u00fc ber/a=b;c");
    EXPECT_EQ(store.GetProfileString(u"RecentFolder", u"2", u"absent"), u"");  // stored empty is not absent
    EXPECT_EQ(store.GetProfileString(u"RecentFolder", u"3", u"absent"), u"absent");
    EXPECT_EQ(store.GetProfileInt(u"WindowPlacements", u"AssignCodepage", 0), -42);
    EXPECT_EQ(store.GetProfileInt(u"Settings", u"LanguageDir", 7), 7);  // no number
    EXPECT_EQ(store.GetEntries(u"RecentFolder"), (Names{u"1", u"2"}));
}

TEST(ProfileStore, LayoutResetRemovesOnlyTheLayoutKeysWithTheirSubKeys)
{
    TempDir dir;
    CProfileStore store(dir.File16("store.ini"));
    ASSERT_TRUE(store.WriteProfileString(u"Layout", u"Frame", u"max"));
    ASSERT_TRUE(store.WriteProfileString(u"Layout\\Panes\\Folder", u"Visible", u"1"));
    ASSERT_TRUE(store.WriteProfileInt(u"Splitters", u"FileListView1", 200));
    ASSERT_TRUE(store.WriteProfileInt(u"WindowPlacements", u"AssignCodepage", 1));
    ASSERT_TRUE(store.WriteProfileString(u"RecentFolder", u"1", u"/data"));
    ASSERT_TRUE(store.WriteProfileString(u"LayoutNotes", u"1", u"kept"));  // a prefix is not the key

    EXPECT_EQ(store.GetProfileString(u"Layout/Panes/Folder", u"Visible"), u"1");  // both separators
    ASSERT_TRUE(store.ResetLayout());
    EXPECT_TRUE(store.GetEntries(u"Layout").empty());
    EXPECT_EQ(store.GetProfileString(u"Layout\\Panes\\Folder", u"Visible", u"gone"), u"gone");
    EXPECT_EQ(store.GetProfileInt(u"Splitters", u"FileListView1", -1), -1);
    EXPECT_EQ(store.GetProfileInt(u"WindowPlacements", u"AssignCodepage", -1), -1);
    EXPECT_EQ(store.GetProfileString(u"RecentFolder", u"1"), u"/data");
    EXPECT_EQ(store.GetProfileString(u"LayoutNotes", u"1"), u"kept");

    // A recent list rewrites its section: delete it, then write what is left.
    ASSERT_TRUE(store.WriteProfileString(u"RecentFolder", u"2", u"/more"));
    ASSERT_TRUE(store.DeleteSection(u"RecentFolder"));
    ASSERT_TRUE(store.WriteProfileString(u"RecentFolder", u"1", u"/more"));
    EXPECT_EQ(store.GetEntries(u"RecentFolder"), (Names{u"1"}));
    ASSERT_TRUE(store.DeleteEntry(u"RecentFolder", u"1"));
    EXPECT_TRUE(store.GetEntries(u"RecentFolder").empty());

    // Empty names never address the whole store.
    ASSERT_TRUE(store.DeleteSection(u""));
    ASSERT_TRUE(store.DeleteEntry(u"LayoutNotes", u""));
    EXPECT_EQ(store.GetProfileString(u"LayoutNotes", u"1"), u"kept");
}

TEST(ProfileStore, ReportsAStoreThatCannotBeWritten)
{
    TempDir dir;
    WriteBytes(dir.File("plain"), "x");
    CProfileStore store(dir.File16("plain/store.ini"));
    EXPECT_FALSE(store.WriteProfileString(u"Settings", u"LanguageDir", u"English"));
    EXPECT_NE(store.GetLastError().find(u"cannot be written"), std::u16string::npos);
    EXPECT_EQ(ReadBytes(dir.File("plain")), "x");
}

TEST(ProfileStore, DefaultFileFollowsXdgConfigHome)
{
    TempDir dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", (dir.Path() + "/").c_str(), 1);
    const std::u16string path = CProfileStore::DefaultFilePath();
    if (old)
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(path, text::FromUtf8(dir.Path() + "/Quillmark/Varnel Professional 2.ini"));
}

}  // namespace
