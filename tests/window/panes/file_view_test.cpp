// The file view: a folder detected when the view is shown, "Convert here"
// beside each file, and a folder change while it converts.
#include <QItemSelectionModel>
#include <QTableView>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/window/panes/file_list_view.h"
#include "tests/window/list_test_support.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using namespace list_tests;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

void SelectRow(CFileListView& view, int row, bool add = false)
{
    view.Table()->selectionModel()->setCurrentIndex(
        view.Model()->index(row, 0),
        (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) | QItemSelectionModel::Rows);
}

bool Detected(CFileListView& view, int rows)
{
    return view.IsIdle() && view.Model()->rowCount() == rows;
}

TEST(FileView, DetectsItsFolderOnlyOnceShownAndConvertsBesideTheFile)
{
    TempDir dir;
    const int files = WriteMixedFolder(dir.Path());
    CFileListView view;
    view.SetFolder(dir.File16(""));
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.IsRunning());
    EXPECT_EQ(view.Model()->rowCount(), 0);
    view.show();
    ASSERT_TRUE(WaitUntil([&] { return Detected(view, files); }));

    SelectRow(view, RowOf(*view.Model(), u"french-1252.txt"));
    ASSERT_TRUE(view.CanConvertHere());
    ASSERT_TRUE(view.ConvertHere());
    ASSERT_TRUE(WaitUntil([&] { return Detected(view, files + 1); }));
    EXPECT_EQ(ReadBytes(dir.File("french-1252 (Converted).txt")), Encode(65001, kFrench));
    EXPECT_TRUE(view.FocusedFile().outputPath.empty());  // the output is a row of its own now
    const int output = RowOf(*view.Model(), u"french-1252 (Converted).txt");
    ASSERT_GE(output, 0);
    const FileSelection written = view.Model()->Selection(output);
    EXPECT_EQ(written.codepage, 65001);
    EXPECT_FLOAT_EQ(written.confidence, 1.0f);
    EXPECT_EQ(written.statusText, u"OK");

    SelectRow(view, RowOf(*view.Model(), u"french-1252.txt"));
    ASSERT_TRUE(view.ConvertHere());
    ASSERT_TRUE(WaitUntil([&] { return Detected(view, files + 2); }));
    EXPECT_EQ(ReadBytes(dir.File("french-1252 (Converted) (2).txt")), Encode(65001, kFrench));
}

TEST(FileView, ProposesNamesFreeOnDiskAndAmongTheFilesOfOneCommand)
{
    TempDir dir;
    WriteBytes(dir.File("a (Converted).txt"), "x");
    const std::u16string a = dir.File16("a.txt");
    EXPECT_EQ(CFileListView::ProposedOutputPath(a), dir.File16("a (Converted) (2).txt"));
    EXPECT_EQ(CFileListView::ProposedOutputPath(a, {dir.File16("a (Converted) (2).txt")}),
              dir.File16("a (Converted) (3).txt"));
}

TEST(FileView, ChangingTheFolderWhileConvertingAsksAndCancelsOnlyWhenTold)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("many"));
    std::filesystem::create_directory(dir.File("other"));
    corpus::MakeMixedTree(dir.File("many"), {.files = 2000, .filesPerFolder = 2000});
    const int otherFiles = WriteMixedFolder(dir.File("other"));
    CFileListView view;
    VARNEXJOBSETTING job;
    job.converterThreads = 1;
    view.SetJobSetting(job);
    view.show();
    view.SetFolder(dir.File16("many"));
    ASSERT_TRUE(WaitUntil([&] { return view.IsIdle() && view.Model()->rowCount() > 1000; }));
    view.Table()->selectAll();
    ASSERT_TRUE(view.ConvertHere());
    ASSERT_TRUE(view.IsConverting());

    AnswerNextMessageBox(QStringLiteral("Close"));
    view.SetFolder(dir.File16("other"));
    EXPECT_EQ(view.Folder(), dir.File16("many"));

    AnswerNextMessageBox(QStringLiteral("Cancel these files"));
    view.SetFolder(dir.File16("other"));
    EXPECT_EQ(view.Folder(), dir.File16("other"));
    ASSERT_TRUE(WaitUntil([&] { return Detected(view, otherFiles); }));
    EXPECT_GE(RowOf(*view.Model(), u"french-1252.txt"), 0);
}

}  // namespace
