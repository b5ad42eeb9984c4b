#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include <QSettings>
#include <QStringList>

#include "base/text.h"
#include "support/temp_dir.h"
#include "utils/recent_list.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;
using Entries = std::vector<std::u16string>;

Entries EntriesOf(const CRecentList& list)
{
    Entries entries;
    for (int i = 0; i < list.GetSize(); ++i)
        entries.push_back(list[i]);
    return entries;
}

CRecentList MakeList(int size, const std::u16string& file = {}, const char16_t* section = u"RecentFolder")
{
    return CRecentList(1, section, u"%d", size, 30, file);
}

// QSettings keeps one cache per file within a process; a copy of the file is
// read from disk, as the next start of the program would read it.
std::u16string FreshCopy(const TempDir& dir, const std::string& file)
{
    static int counter = 0;
    const std::string copy = dir.File("copy" + std::to_string(++counter) + ".ini");
    WriteBytes(copy, ReadBytes(file));
    return text::FromUtf8(copy);
}

QStringList KeysOf(const std::u16string& file, const char* section)
{
    QSettings store(QString::fromStdU16String(file), QSettings::IniFormat);
    store.beginGroup(QString::fromUtf8(section));
    return store.childKeys();
}

TEST(RecentList, AddKeepsMostRecentFirstWithoutDuplicates)
{
    const struct {
        const char* name;
        int size;
        std::vector<const char16_t*> added;
        Entries expected;
    } rows[] = {
        {"repeat moves to the top", 4, {u"A", u"B", u"A"}, {u"A", u"B", u"", u""}},
        {"new text pushes the oldest out", 3, {u"A", u"B", u"C", u"D"}, {u"D", u"C", u"B"}},
        {"the oldest entry re-added moves up", 3, {u"A", u"B", u"C", u"A"}, {u"A", u"C", u"B"}},
        {"middle entry re-added", 3, {u"A", u"B", u"C", u"B"}, {u"B", u"C", u"A"}},
        {"match is case-sensitive", 3, {u"a", u"A"}, {u"A", u"a", u""}},
        {"size one replaces", 1, {u"A", u"B"}, {u"B"}},
        {"size two", 2, {u"A", u"B", u"A"}, {u"A", u"B"}},
        {"size zero holds nothing", 0, {u"A", u"B"}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CRecentList list = MakeList(row.size);
        for (const char16_t* text : row.added)
            list.Add(text);
        EXPECT_EQ(EntriesOf(list), row.expected);
    }

    CRecentList ten = MakeList(10);
    for (int i = 0; i < 11; ++i)
        ten.Add(text::FromNumber(i));
    EXPECT_EQ(ten[0], u"10");
    EXPECT_EQ(ten[9], u"1");  // "0" dropped out
}

TEST(RecentList, RemoveMovesLaterEntriesUpAndChecksTheIndex)
{
    CRecentList list = MakeList(3);
    for (const char16_t* text : {u"C", u"B", u"A"})
        list.Add(text);
    list.Remove(1);
    EXPECT_EQ(EntriesOf(list), (Entries{u"A", u"C", u""}));

    for (int bad : {-1, 3}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(list.Remove(bad), std::invalid_argument);
        EXPECT_THROW(list[bad], std::invalid_argument);
    }
    EXPECT_THROW(MakeList(-1), std::invalid_argument);

    CRecentList empty = MakeList(0);
    EXPECT_THROW(empty.Remove(0), std::invalid_argument);
    EXPECT_THROW(empty[0], std::invalid_argument);
}

TEST(RecentList, RoundTripsAwkwardTextsThroughTheIniFile)
{
    TempDir dir;
    const std::string file = dir.File("store.ini");
    const Entries texts = {
        u"/data/my files/",
        u"a, b, c",
        u"key=value; # not a comment",
        u"  padded  ",
        u"\"quoted\" \\back\\slash\\",
        u"@at start",
        u"^.*\\.(txt|csv)$",
        u"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600",
        u"/tmp/raw\xDC81\xDCFF"
        u"name",  // file-name bytes that are not UTF-8
    };
    CRecentList list(1, u"Recent Folder", u"Entry %d", static_cast<int>(texts.size()), 30, text::FromUtf8(file));
    for (auto it = texts.rbegin(); it != texts.rend(); ++it)
        list.Add(*it);
    ASSERT_TRUE(list.WriteList());
    EXPECT_EQ(ReadBytes(file).find("\xEF\xBF\xBD"), std::string::npos) << "a text was replaced";

    CRecentList reread(1, u"Recent Folder", u"Entry %d", static_cast<int>(texts.size()), 30, FreshCopy(dir, file));
    ASSERT_TRUE(reread.ReadList());
    EXPECT_EQ(EntriesOf(reread), texts);
}

TEST(RecentList, WriteReplacesTheSectionWithNonEmptyEntries)
{
    TempDir dir;
    const std::string file = dir.File("store.ini");
    WriteBytes(file, "[RecentFolder]\n1=old1\n2=old2\n3=old3\n4=old4\n[Other]\nkeep=yes\n");

    CRecentList list = MakeList(3, text::FromUtf8(file));
    ASSERT_TRUE(list.ReadList());
    EXPECT_EQ(EntriesOf(list), (Entries{u"old1", u"old2", u"old3"}));
    list.Remove(0);
    ASSERT_TRUE(list.WriteList());

    const std::u16string copy = FreshCopy(dir, file);
    // "4" lay beyond the list's size and "3" became empty: both are gone.
    EXPECT_EQ(KeysOf(copy, "RecentFolder"), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(KeysOf(copy, "Other"), QStringList{QStringLiteral("keep")});
    CRecentList reread = MakeList(3, copy);
    ASSERT_TRUE(reread.ReadList());
    EXPECT_EQ(EntriesOf(reread), (Entries{u"old2", u"old3", u""}));
}

TEST(RecentList, ReadsGapsAtTheirPositionsAndUsesTheFirstNumberAndFormat)
{
    TempDir dir;
    const std::string file = dir.File("store.ini");
    WriteBytes(file, "[Filters]\nFilter05=five\nFilter07=seven\n");
    CRecentList list(5, u"Filters", u"Filter%02d", 3, 30, text::FromUtf8(file));
    ASSERT_TRUE(list.ReadList());
    EXPECT_EQ(EntriesOf(list), (Entries{u"five", u"", u"seven"}));

    const struct {
        const char16_t* format;
        const char16_t* name;
    } names[] = {
        {u"File%d", u"File7"}, {u"%03d", u"007"},   {u"%%%i", u"%7"},
        {u"a%sb%d", u"a%sb7"}, {u"%d-%d", u"7-%d"}, {u"end%", u"end%"},
    };
    for (const auto& row : names) {
        SCOPED_TRACE(text::ToUtf8(row.format));
        EXPECT_EQ(utils::FormatEntryName(row.format, 7), row.name);
    }
}

TEST(RecentList, SizeZeroReadsAndWritesNothing)
{
    TempDir dir;
    const std::string file = dir.File("store.ini");
    WriteBytes(file, "[RecentFolder]\n1=old\n[Other]\nkeep=yes\n");
    CRecentList list = MakeList(0, text::FromUtf8(file));
    EXPECT_TRUE(list.ReadList());
    list.Add(u"A");
    EXPECT_TRUE(list.WriteList());
    const std::u16string copy = FreshCopy(dir, file);
    EXPECT_TRUE(KeysOf(copy, "RecentFolder").isEmpty());
    EXPECT_EQ(KeysOf(copy, "Other"), QStringList{QStringLiteral("keep")});
}

TEST(RecentList, ReportsStoresItCannotUse)
{
    TempDir dir;
    const std::string file = dir.File("store.ini");
    WriteBytes(file, "[Other]\nkeep=yes\n");

    // An empty section name would address the whole store.
    CRecentList unnamed = MakeList(2, text::FromUtf8(file), u"");
    unnamed.Add(u"A");
    EXPECT_FALSE(unnamed.WriteList());
    EXPECT_FALSE(unnamed.ReadList());
    EXPECT_EQ(KeysOf(FreshCopy(dir, file), "Other"), QStringList{QStringLiteral("keep")});

    // The store's folder cannot be made: its parent is a file.
    WriteBytes(dir.File("blocker"), "x");
    CRecentList blocked = MakeList(2, text::FromUtf8(dir.File("blocker") + "/sub/store.ini"));
    blocked.Add(u"A");
    EXPECT_FALSE(blocked.WriteList());
    EXPECT_EQ(blocked[0], u"A");
}

TEST(RecentList, DefaultStoreIsTheProgramsIniFile)
{
    const std::u16string file = utils::DefaultSettingsFile();
    const std::u16string tail = u"/Quillmark/Varnel Professional 2.ini";
    ASSERT_GT(file.size(), tail.size());
    EXPECT_EQ(file.substr(file.size() - tail.size()), tail);
}

}  // namespace
