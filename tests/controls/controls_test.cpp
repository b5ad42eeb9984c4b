// The reusable widgets as a user meets them: a path box that remembers, a
// message that stays until it is closed.
#include <cstdlib>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "controls/message_bar.h"
#include "controls/recent_combo_box.h"
#include "support/temp_dir.h"
#include "utils/recent_list.h"

namespace {

using testing_support::TempDir;

CRecentList ListIn(const std::u16string& store, const char16_t* section = u"Recent Folders", int size = 3)
{
    return CRecentList(1, section, u"Folder%d", size, 0, store);
}

QStringList Shown(const QComboBox& box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items.push_back(box.itemText(i));
    return items;
}

TEST(RecentComboBox, KeepsChoicesNewestFirstWithoutDuplicatesAndSavesThemAtOnce)
{
    TempDir dir;
    const std::u16string store = dir.File16("settings.ini");
    CRecentComboBox box;
    box.SetRecentList(ListIn(store));
    for (const char* path : {"/srv/a", "/srv/b", "/srv/a", "", "/srv/c", "/srv/d"})
        EXPECT_TRUE(box.AddRecent(QString::fromUtf8(path))) << path;

    const QStringList expected{"/srv/d", "/srv/c", "/srv/a"};
    EXPECT_EQ(box.RecentEntries(), expected);
    EXPECT_EQ(Shown(box), expected);
    // The next start of the program finds them in the store.
    CRecentComboBox later;
    later.SetRecentList(ListIn(store));
    EXPECT_EQ(Shown(later), expected);
}

TEST(RecentComboBox, WhatTheUserTypedStaysWhenTheListChangesOrIsSwitched)
{
    TempDir dir;
    const std::u16string store = dir.File16("settings.ini");
    CRecentComboBox box;
    box.SetRecentList(ListIn(store, u"Filters"));
    box.AddRecent(QStringLiteral("*.txt"));
    QTest::keyClicks(box.lineEdit(), QStringLiteral("*.csv"));
    box.AddRecent(QStringLiteral("*.ini"));
    EXPECT_EQ(box.Text(), QStringLiteral("*.csv"));
    EXPECT_EQ(box.currentIndex(), -1);

    box.SetRecentList(ListIn(store, u"Excludes"));
    EXPECT_EQ(box.Text(), QStringLiteral("*.csv"));
    EXPECT_TRUE(Shown(box).isEmpty());
}

TEST(RecentComboBox, SaysWhenThereIsNoListOrTheStoreCannotBeWritten)
{
    CRecentComboBox unbound;
    EXPECT_FALSE(unbound.HasRecentList());
    EXPECT_FALSE(unbound.AddRecent(QStringLiteral("/srv/a")));
    EXPECT_TRUE(unbound.RecentEntries().isEmpty());

    TempDir dir;
    testing_support::WriteBytes(dir.File("not-a-folder"), "x");
    CRecentComboBox box;
    box.SetRecentList(ListIn(dir.File16("not-a-folder/settings.ini")));
    EXPECT_FALSE(box.AddRecent(QStringLiteral("/srv/a")));
    // The choice is still offered for this session.
    EXPECT_EQ(Shown(box), QStringList{"/srv/a"});
}

TEST(MessageBar, ShowsOneMessageUntilTheUserClosesIt)
{
    QWidget window;
    auto* bar = new CMessageBar(&window);
    window.show();
    EXPECT_FALSE(bar->isVisible());

    bar->ShowMessage(QStringLiteral("the settings file could not be read"), CMessageBar::Warning);
    bar->ShowMessage(QStringLiteral("3 values were corrected"), CMessageBar::Error);
    EXPECT_TRUE(bar->isVisible());
    const QList<QLabel*> labels = bar->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), QStringLiteral("3 values were corrected"));
    // The text can be selected and copied into a bug report.
    EXPECT_TRUE(labels[0]->textInteractionFlags() & Qt::TextSelectableByMouse);

    QToolButton* close = bar->findChild<QToolButton*>();
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
}

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
