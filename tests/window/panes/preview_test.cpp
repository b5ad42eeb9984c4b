#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/settings/profile_store.h"
#include "app/window/dialogs/assign_codepage_dlg.h"
#include "app/window/panes/preview_wnd.h"
#include "app/window/panes/text_preview_view.h"
#include "base/text.h"
#include "support/temp_dir.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/text_file_converter.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

// "Привет, мир" in windows-1251.
const std::string kCyrillic1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0";

template <class View> bool WaitLoaded(const View& view)
{
    return QTest::qWaitFor([&] { return !view.IsLoading(); }, 10000);
}

QTreeWidgetItem* ItemOf(QTreeWidget* tree, int codepage)
{
    QTreeWidgetItem* root = tree->topLevelItem(0);
    for (int i = 0; i < root->childCount(); ++i)
        if (root->child(i)->data(0, Qt::UserRole).toInt() == codepage)
            return root->child(i);
    return nullptr;
}

TEST(AssignCodepageDlg, ListsOnlyTheCodepagesTheConverterReadsInCatalogueOrder)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), kCyrillic1251);
    CProfileStore store(dir.File16("store.ini"));
    CAssignCodepageDlg dialog(nullptr, store, dir.File16("a.txt"), -1, 0);

    QTreeWidgetItem* root = dialog.Tree()->topLevelItem(0);
    ASSERT_EQ(dialog.Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(root->text(0), QStringLiteral("All Supported Codepages"));
    EXPECT_TRUE(root->isExpanded());
    std::vector<int> listed;
    for (int i = 0; i < root->childCount(); ++i)
        listed.push_back(root->child(i)->data(0, Qt::UserRole).toInt());
    std::vector<int> catalogue;
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache())
        catalogue.push_back(info->GetCodepage());
    // In catalogue order, each legal one, Binary never.
    size_t at = 0;
    for (int codepage : listed) {
        while (at < catalogue.size() && catalogue[at] != codepage)
            ++at;
        ASSERT_LT(at, catalogue.size()) << codepage << " out of catalogue order";
        EXPECT_TRUE(CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(codepage))) << codepage;
    }
    size_t legal = 0;
    for (int codepage : catalogue)
        legal += codepage >= 0 && CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(codepage));
    EXPECT_EQ(listed.size(), legal);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), -1), 0);
    for (int expected : {0, 1252, 65001, 1200, 1251, 932})
        EXPECT_NE(ItemOf(dialog.Tree(), expected), nullptr) << expected;
    EXPECT_EQ(ItemOf(dialog.Tree(), 1251)->text(0), QStringLiteral("Cyrillic (Windows-1251)"));
}

TEST(AssignCodepageDlg, PreviewFollowsTheChosenCodepageAndOkNeedsOne)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), kCyrillic1251);
    CProfileStore store(dir.File16("store.ini"));
    const struct {
        int preset;
        int chosen;  // -1: the root
        QString preview;
    } rows[] = {
        {1251, 1251, QStringLiteral("Привет, мир")},
        {1251, 1252, QStringLiteral("Ïðèâåò, ìèð")},
        {1251, 866, QStringLiteral("╧ЁштхЄ, ьшЁ")},
        {-1, -1, QStringLiteral("Select a codepage to preview the file in it.")},
        {-1, 1251, QStringLiteral("Привет, мир")},
        {437, -1, QStringLiteral("Select a codepage to preview the file in it.")},  // not in the catalogue
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.preset) + " -> " + std::to_string(row.chosen));
        CAssignCodepageDlg dialog(nullptr, store, dir.File16("a.txt"), row.preset, 0);
        EXPECT_EQ(dialog.ChosenCodepage(), ItemOf(dialog.Tree(), row.preset) ? row.preset : -1);
        dialog.Tree()->setCurrentItem(row.chosen >= 0 ? ItemOf(dialog.Tree(), row.chosen)
                                                      : dialog.Tree()->topLevelItem(0));
        ASSERT_TRUE(WaitLoaded(*dialog.Preview()));
        EXPECT_EQ(dialog.Preview()->Content(), row.preview);
        EXPECT_EQ(dialog.ChosenCodepage(), row.chosen);
        EXPECT_EQ(dialog.IsOkEnabled(), row.chosen >= 0);
    }
}

TEST(AssignCodepageDlg, KeepsItsPlacementInTheProfileStore)
{
    TempDir dir;
    WriteBytes(dir.File("a.txt"), "x");
    CProfileStore store(dir.File16("store.ini"));
    {
        CAssignCodepageDlg dialog(nullptr, store, dir.File16("a.txt"), 1252, 0);
        dialog.resize(900, 610);
        dialog.show();
        dialog.reject();
    }
    EXPECT_FALSE(store.GetProfileString(u"WindowPlacements", u"AssignCodepage").empty());
    CAssignCodepageDlg again(nullptr, store, dir.File16("a.txt"), 1252, 0);
    EXPECT_EQ(again.size(), QSize(900, 610));
    EXPECT_EQ(again.Splitter()->count(), 2);
}

// The preview pane and the dialog read through the same limit.
TEST(TextPreview, ReadsAtMostTheLimitAndZeroMeansOneKiB)
{
    TempDir dir;
    std::string long_text;
    for (int i = 0; long_text.size() < 20000; ++i)
        long_text += "line " + std::to_string(i) + "\n";
    WriteBytes(dir.File("long.txt"), long_text);
    const struct {
        unsigned limit;
        size_t shown;
    } rows[] = {{0, 1024}, {2048, 2048}, {1u << 20, long_text.size()}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.limit);
        CPreviewWnd pane;
        pane.SetPreviewLimit(row.limit);
        FileSelection selection;
        selection.valid = true;
        selection.inputPath = dir.File16("long.txt");
        selection.codepage = 0;
        selection.finished = true;
        pane.ShowFile(selection);
        ASSERT_TRUE(WaitLoaded(pane));
        EXPECT_EQ(static_cast<size_t>(pane.Content().size()), row.shown);
        EXPECT_EQ(pane.findChild<QLabel*>(QStringLiteral("PreviewLimitNote"))->isVisibleTo(&pane),
                  row.shown < long_text.size());

        CProfileStore store(dir.File16("store.ini"));
        CAssignCodepageDlg dialog(nullptr, store, dir.File16("long.txt"), 1252, row.limit);
        ASSERT_TRUE(WaitLoaded(*dialog.Preview()));
        EXPECT_EQ(static_cast<size_t>(dialog.Preview()->Content().size()), row.shown);
    }
}

TEST(PreviewWnd, ShowsTheOutputWhenThereIsOneAndSaysWhyWhenThereIsNoText)
{
    TempDir dir;
    WriteBytes(dir.File("in.txt"), kCyrillic1251);
    WriteBytes(dir.File("empty.txt"), "");
    WriteBytes(dir.File("out16.txt"), std::string("O\0K\0", 4));  // UTF-16 LE without BOM
    WriteBytes(dir.File("blob.dat"), std::string(64, '\0') + "\x01\x02\x03");
    const QString unavailable = QStringLiteral("The output is empty or currently unavailable.");
    const QString binary = QStringLiteral("This file is binary; it has no text to preview.");
    const struct {
        const char* name;
        const char* input;
        const char* output;  // null: none
        unsigned outputCodepage;
        int codepage;
        bool finished;
        QString expected;
    } rows[] = {
        {"input in its code page", "in.txt", nullptr, 0, 1251, true, QStringLiteral("Привет, мир")},
        {"missing output", "in.txt", "gone.txt", 65001, 1251, true, unavailable},
        {"empty output", "in.txt", "empty.txt", 65001, 1251, true, unavailable},
        {"output in its form", "in.txt", "out16.txt", 1200, 1251, true, QStringLiteral("OK")},
        {"binary by detection", "blob.dat", nullptr, 0, -1, true, binary},
        {"binary by its bytes, not detected yet", "blob.dat", nullptr, 0, -1, false, binary},
        {"unreadable input", "nothing.txt", nullptr, 0, 1252, false, QStringLiteral("The file cannot be read.")},
    };
    CPreviewWnd pane;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        FileSelection selection;
        selection.valid = true;
        selection.sessionId = 1;
        selection.inputPath = dir.File16(row.input);
        selection.outputPath = row.output ? dir.File16(row.output) : std::u16string();
        selection.outputCodepage = row.outputCodepage;
        selection.codepage = row.codepage;
        selection.finished = row.finished;
        pane.ShowFile(selection);
        ASSERT_TRUE(WaitLoaded(pane));
        EXPECT_EQ(pane.Content(), row.expected);
    }
    pane.ShowFile(FileSelection());
    EXPECT_EQ(pane.Content(), QStringLiteral("No file selected."));
}

}  // namespace
