// The main window driven as a user drives it: a folder from the tree, a
// detection, a conversion through the convert dialog, a correction, the
// filters, closing during a session, and the layout kept between starts.
// With VARNEL_SCREENSHOT_DIR set it also saves pictures of the window in
// English and German for the documentation.
#include "app/window/main_frame.h"

#include <cstdlib>
#include <filesystem>
#include <functional>

#include <QApplication>
#include <QCheckBox>
#include <QCommandLinkButton>
#include <QDockWidget>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/settings/my_settings.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/assign_codepage_dlg.h"
#include "app/window/dialogs/confirm_convert_dialog.h"
#include "app/window/dialogs/convert_dialog.h"
#include "app/window/dialogs/preference_sheet.h"
#include "app/window/panes/file_list_view.h"
#include "app/window/panes/filter_wnd.h"
#include "app/window/panes/folder_list_wnd.h"
#include "app/window/panes/session_list_view.h"
#include "app/window/panes/varnex_control_bar.h"
#include "controls/recent_combo_box.h"
#include "support/temp_dir.h"
#include "tests/window/dialog_test_support.h"
#include "tests/window/list_test_support.h"
#include "tools/corpus/mixed_tree.h"

namespace {

using namespace list_tests;
using testing_support::ReadBytes;
using testing_support::TempDir;

// Acts on the next modal dialog of type D once it is shown.
template <class D> void OnNextDialog(std::function<void(D&)> act)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        timer->stop();
        timer->deleteLater();
        act(*dialog);
    });
    timer->start(10);
}

class MainFrameTest : public testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
        std::filesystem::create_directories(dir.File("in"));
        files = WriteMixedFolder(dir.File("in"));
    }
    std::unique_ptr<CMainFrame> Frame()
    {
        auto frame = std::make_unique<CMainFrame>(settings, locales, store);
        frame->show();
        return frame;
    }
    bool SessionDone(CMainFrame& frame, const QString& title)
    {
        return WaitUntil(
            [&] { return frame.SessionView()->IsIdle() && frame.SessionView()->ControlBar()->Title() == title; });
    }

    TempDir dir;
    int files = 0;
    CLocaleResourceManager locales;
    CMySettings settings;
    CProfileStore store{dir.File16("store.ini")};
};

TEST_F(MainFrameTest, OpensWithTheProgramTitleTabsAndMenus)
{
    auto frame = Frame();
    EXPECT_TRUE(frame->windowTitle().startsWith(QStringLiteral("Varnel Professional 2.")));
    QStringList menus;
    for (QAction* action : frame->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Operation", "&Language", "&Help"}));
    EXPECT_EQ(frame->Tabs()->tabText(0), QStringLiteral("File View"));
    EXPECT_EQ(frame->Tabs()->tabText(1), QStringLiteral("Session View"));
}

TEST_F(MainFrameTest, AFolderChosenInTheTreeFillsTheFileView)
{
    auto frame = Frame();
    ASSERT_TRUE(frame->FolderView()->SelectFolder(dir.File16("in")));
    ASSERT_TRUE(
        WaitUntil([&] { return frame->FileView()->Model()->rowCount() == files && frame->FileView()->IsIdle(); }));
    EXPECT_EQ(frame->FileView()->Folder(), dir.File16("in"));
}

TEST_F(MainFrameTest, TheFileViewFollowsFilesAddedAndRemovedOnDisk)
{
    auto frame = Frame();
    ASSERT_TRUE(frame->FolderView()->SelectFolder(dir.File16("in")));
    const auto listed = [&](int count) {
        return WaitUntil(
            [&] { return frame->FileView()->IsIdle() && frame->FileView()->Model()->rowCount() == count; });
    };
    ASSERT_TRUE(listed(files));
    testing_support::WriteBytes(dir.File("in/new-1251.txt"), Encode(1251, kRussian));
    ASSERT_TRUE(listed(files + 1));
    EXPECT_GE(RowOf(*frame->FileView()->Model(), u"new-1251.txt"), 0);
    std::filesystem::remove(dir.File("in/french-1252.txt"));
    ASSERT_TRUE(listed(files));
    EXPECT_EQ(RowOf(*frame->FileView()->Model(), u"french-1252.txt"), -1);
}

TEST_F(MainFrameTest, TheFolderTreeShowsAFolderMadeBesideTheChosenOne)
{
    auto frame = Frame();
    ASSERT_TRUE(frame->FolderView()->SelectFolder(dir.File16("in")));
    const QPersistentModelIndex parent = frame->FolderView()->Tree()->currentIndex().parent();
    const auto shown = [&] {
        const QAbstractItemModel& model = *frame->FolderView()->Tree()->model();
        for (int row = 0; row < model.rowCount(parent); ++row)
            if (model.index(row, 0, parent).data().toString() == QStringLiteral("made-later"))
                return true;
        return false;
    };
    std::filesystem::create_directory(dir.File("made-later"));
    EXPECT_TRUE(WaitUntil(shown));
    std::filesystem::remove(dir.File("made-later"));
    EXPECT_TRUE(WaitUntil([&] { return !shown(); }));
}

TEST_F(MainFrameTest, APathTypedInTheFolderBoxIsChosenAndRemembered)
{
    auto frame = Frame();
    auto* box = frame->FolderView()->findChild<CRecentComboBox*>(QStringLiteral("FolderPath"));
    ASSERT_NE(box, nullptr);
    dialog_test::PromptRecorder prompts;
    box->SetText(Qs(dir.File16("missing")));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(prompts.texts.size(), 1u);
    EXPECT_EQ(prompts.texts[0], QStringLiteral("Unable to open this folder."));
    QTest::qWait(1);
    box->SetText(Qs(dir.File16("in")));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(frame->FolderView()->SelectedFolder(), dir.File16("in"));
    EXPECT_EQ(store.GetProfileString(u"RecentFolder", u"1"), dir.File16("in"));
}

TEST_F(MainFrameTest, DetectsConvertsThroughTheDialogAndCorrectsACodepage)
{
    auto frame = Frame();
    ASSERT_TRUE(frame->DetectFolder(dir.File16("in"), false));
    EXPECT_EQ(frame->Tabs()->currentWidget(), frame->SessionView());
    ASSERT_TRUE(SessionDone(*frame, QStringLiteral("Detection Finished")));

    // The filter pane works on the list shown: "Needs attention" leaves the
    // one doubtful file.
    frame->FilterPane()->findChild<QCheckBox*>(QStringLiteral("FilterAttention"))->setChecked(true);
    ASSERT_TRUE(WaitUntil([&] { return frame->SessionView()->Model()->rowCount() == 1; }));
    frame->FilterPane()->ClearFilter();
    ASSERT_TRUE(WaitUntil([&] { return frame->SessionView()->Model()->rowCount() == files; }));

    OnNextDialog<CConvertDlg>([&](CConvertDlg& dialog) {
        dialog_test::Child<CRecentComboBox>(dialog, "OutputFolder")->SetText(Qs(dir.File16("out")));
        dialog_test::Child<QCheckBox>(dialog, "WriteBom")->setChecked(false);
        dialog_test::PressOk(dialog);
    });
    ASSERT_TRUE(frame->ConvertFolder(dir.File16("in"), false));
    ASSERT_TRUE(SessionDone(*frame, QStringLiteral("Conversion Finished")));
    EXPECT_EQ(ReadBytes(dir.File("out/french-1252.txt")), Encode(65001, kFrench));

    // The doubtful file read in another code page through the correction dialog.
    const int row = RowOf(*frame->SessionView()->Model(), u"weak.txt");
    ASSERT_GE(row, 0);
    frame->SessionView()->Table()->selectionModel()->setCurrentIndex(
        frame->SessionView()->Model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    OnNextDialog<CAssignCodepageDlg>([](CAssignCodepageDlg& dialog) {
        const auto items = dialog.Tree()->findItems(QStringLiteral("IBM850"), Qt::MatchContains | Qt::MatchRecursive);
        ASSERT_EQ(items.size(), 1);
        dialog.Tree()->setCurrentItem(items.front());
        dialog.accept();
    });
    frame->MakeCorrection(frame->SessionView()->FocusedFile());
    ASSERT_TRUE(SessionDone(*frame, QStringLiteral("Conversion Finished")));
    // E9 is U+00DA in IBM850.
    EXPECT_NE(ReadBytes(dir.File("out/weak.txt")).find("caf\xC3\x9A"), std::string::npos);
}

TEST_F(MainFrameTest, DetectOnlyForAFullOutputFolderWritesNothing)
{
    auto frame = Frame();
    std::filesystem::create_directories(dir.File("out"));
    testing_support::WriteBytes(dir.File("out/old.txt"), "kept");
    OnNextDialog<CConvertDlg>([&](CConvertDlg& dialog) {
        dialog_test::Child<CRecentComboBox>(dialog, "OutputFolder")->SetText(Qs(dir.File16("out")));
        OnNextDialog<CConfirmConvertDlg>(
            [](CConfirmConvertDlg& confirm) { confirm.Button(CConfirmConvertDlg::DetectOnly)->click(); });
        dialog_test::PressOk(dialog);
    });
    ASSERT_TRUE(frame->ConvertFolder(dir.File16("in"), false));
    ASSERT_TRUE(SessionDone(*frame, QStringLiteral("Detection Finished")));
    EXPECT_EQ(frame->SessionView()->Model()->rowCount(), files);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("out")), {}), 1);
}

TEST_F(MainFrameTest, ClosingDuringASessionAsksAndTheLayoutComesBack)
{
    TempDir tree;
    corpus::TreeOptions options;
    options.files = 3000;
    corpus::MakeMixedTree(tree.Path(), options);
    {
        auto frame = Frame();
        frame->findChild<QDockWidget*>(QStringLiteral("PreviewDock"))->hide();
        ASSERT_TRUE(frame->DetectFolder(tree.File16(""), true));
        ASSERT_TRUE(WaitUntil([&] { return frame->SessionView()->IsRunning(); }));
        dialog_test::PromptRecorder prompts;
        prompts.answers = {QMessageBox::No, QMessageBox::Yes};
        EXPECT_FALSE(frame->close());
        ASSERT_EQ(prompts.texts.size(), 1u);
        EXPECT_EQ(prompts.texts[0], QStringLiteral("Stop the session and quit the program?"));
        EXPECT_TRUE(frame->isVisible());
        EXPECT_TRUE(frame->close());
    }  // the views stop their sessions as they go
    auto again = Frame();
    EXPECT_FALSE(again->findChild<QDockWidget*>(QStringLiteral("PreviewDock"))->isVisible());
    EXPECT_TRUE(again->findChild<QDockWidget*>(QStringLiteral("DetailsDock"))->isVisible());
}

}  // namespace
