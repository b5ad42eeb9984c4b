// The folder tree follows the disk: folders made, removed and renamed under a
// folder it has read show up without a refresh, and a watched folder that is
// deleted leaves no watch behind.
#include "app/window/models/folder_tree_model.h"

#include <filesystem>
#include <fstream>

#include <QTest>
#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class FolderTreeTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"alpha", "Beta", "gamma/inner", "gamma/other", ".hidden"})
            fs::create_directories(dir.File(name));
        root = model.IndexOf(QString::fromStdString(dir.Path()));
        ASSERT_TRUE(root.isValid());
        model.Follow(root, true);
    }
    // The names under the temporary folder, in the tree's order.
    QStringList Names(const QModelIndex& parent) const
    {
        QStringList names;
        for (int row = 0; row < model.rowCount(parent); ++row)
            names << model.index(row, 0, parent).data().toString();
        return names;
    }
    bool Shows(const QStringList& names) const
    {
        return QTest::qWaitFor([&] { return Names(root) == names; }, 5000);
    }

    testing_support::TempDir dir;
    CFolderTreeModel model;
    QPersistentModelIndex root;
};

TEST_F(FolderTreeTest, ListsSubfoldersByNameWithoutHiddenOnesOrFiles)
{
    std::ofstream(dir.File("file.txt")) << "text";
    EXPECT_EQ(Names(root), (QStringList{"alpha", "Beta", "gamma"}));
    EXPECT_EQ(model.FilePath(model.index(2, 0, root)), QString::fromStdString(dir.File("gamma")));
    EXPECT_TRUE(model.hasChildren(model.index(0, 0, root)));  // not read yet
}

TEST_F(FolderTreeTest, FollowsFoldersMadeRemovedAndRenamedOnDisk)
{
    fs::create_directory(dir.File("delta"));
    ASSERT_TRUE(Shows({"alpha", "Beta", "delta", "gamma"}));
    fs::rename(dir.File("alpha"), dir.File("zeta"));
    ASSERT_TRUE(Shows({"Beta", "delta", "gamma", "zeta"}));
    fs::remove(dir.File("delta"));
    ASSERT_TRUE(Shows({"Beta", "gamma", "zeta"}));
    // Files come and go without touching the tree.
    std::ofstream(dir.File("gamma.txt")) << "text";
    QTest::qWait(2 * CFolderTreeModel::kSettleMs);
    EXPECT_EQ(Names(root), (QStringList{"Beta", "gamma", "zeta"}));
}

TEST_F(FolderTreeTest, ARemovedSubtreeTakesItsWatchesAlong)
{
    const QModelIndex inner = model.IndexOf(QString::fromStdString(dir.File("gamma/inner")));
    ASSERT_TRUE(inner.isValid());
    model.Follow(inner.parent(), true);
    model.Follow(inner, true);
    const int watched = model.WatchedFolderCount();
    fs::remove_all(dir.File("gamma"));
    ASSERT_TRUE(Shows({"alpha", "Beta"}));
    EXPECT_EQ(model.WatchedFolderCount(), watched - 2);
}

TEST_F(FolderTreeTest, AHiddenFolderChosenByPathStaysWhileItIsThere)
{
    const QModelIndex hidden = model.IndexOf(QString::fromStdString(dir.File(".hidden")));
    ASSERT_TRUE(hidden.isValid());
    EXPECT_EQ(hidden.data().toString(), QStringLiteral(".hidden"));
    fs::create_directory(dir.File("delta"));
    ASSERT_TRUE(Shows({".hidden", "alpha", "Beta", "delta", "gamma"}));
    fs::remove(dir.File(".hidden"));
    ASSERT_TRUE(Shows({"alpha", "Beta", "delta", "gamma"}));
    EXPECT_FALSE(model.IndexOf(QString::fromStdString(dir.File("missing"))).isValid());
}

TEST_F(FolderTreeTest, AClosedFolderIsNotWatchedAndCatchesUpWhenOpened)
{
    const int open = model.WatchedFolderCount();
    model.Follow(model.index(2, 0, root), true);
    EXPECT_EQ(model.WatchedFolderCount(), open + 1);
    model.Follow(root, false);  // closes gamma with it
    EXPECT_EQ(model.WatchedFolderCount(), open - 1);
    fs::create_directory(dir.File("delta"));
    QTest::qWait(2 * CFolderTreeModel::kSettleMs);
    EXPECT_EQ(Names(root), (QStringList{"alpha", "Beta", "gamma"}));
    model.Follow(root, true);
    EXPECT_EQ(Names(root), (QStringList{"alpha", "Beta", "delta", "gamma"}));
}

TEST_F(FolderTreeTest, TheWatchedFolderItselfDeletedEndsCleanly)
{
    model.Follow(model.index(0, 0, root), true);
    fs::remove_all(dir.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !root.isValid() || model.rowCount(root) == 0; }, 5000));
    fs::create_directories(dir.Path());  // for the temporary folder's own clean-up
}

}  // namespace
