#include "app/window/panes/filter_wnd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/text.h"
#include "tests/window/detected_folder.h"

namespace {

using window_test::EndingFilterableSession;

std::vector<std::string> ShownNames(CFilterableVarnex& session)
{
    CLockableVector<CVarnexFileInfo*>& list = session.GetFilteredFileList();
    CSingleLock lock(list.GetCriticalSection());
    std::vector<std::string> names;
    for (CVarnexFileInfo* record : list)
        names.push_back(text::ToUtf8(record->GetInputFileName()));
    std::sort(names.begin(), names.end());
    return names;
}

void SelectData(QComboBox* box, int value)
{
    box->setCurrentIndex(box->findData(value));
}

void CheckOnly(QTreeWidget* list, const QString& label)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        list->topLevelItem(i)->setCheckState(0, list->topLevelItem(i)->text(0) == label ? Qt::Checked : Qt::Unchecked);
}

class FilterWndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new testing_support::TempDir;
        s_session = new EndingFilterableSession;
        ASSERT_TRUE(window_test::DetectFolder(*s_session, window_test::MakeMixedFolder(*s_dir)));
    }
    static void TearDownTestSuite()
    {
        delete s_session;
        delete s_dir;
    }

    static testing_support::TempDir* s_dir;
    static EndingFilterableSession* s_session;
};

testing_support::TempDir* FilterWndTest::s_dir = nullptr;
EndingFilterableSession* FilterWndTest::s_session = nullptr;

const std::vector<std::string> kAll = {"bom.txt", "image.png", "plain.txt", "russian.txt", "twice.txt", "u16.txt"};

TEST_F(FilterWndTest, CountsTheDetectedCodepagesInCatalogueOrder)
{
    CFilterWnd pane;
    pane.SetSession(s_session);
    std::vector<std::pair<std::string, std::string>> rows;
    for (int i = 0; i < pane.CodepageList()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = pane.CodepageList()->topLevelItem(i);
        rows.emplace_back(item->text(0).toStdString(), item->text(1).toStdString());
        EXPECT_EQ(item->checkState(0), Qt::Checked) << "code pages come in checked while the filter is off";
    }
    const std::vector<std::pair<std::string, std::string>> expected = {{"Binary or Unknown", "1"},
                                                                       {"ASCII/UTF-8", "1"},
                                                                       {"Unicode (UTF-8)", "2"},
                                                                       {"Unicode (UTF-16 Little Endian)", "1"},
                                                                       {"Cyrillic (Windows-1251)", "1"}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(pane.SummaryLabel()->text(), QStringLiteral("Showing 6 of 6 files"));
}

TEST_F(FilterWndTest, EachPartNarrowsTheSessionListAndClearingRestoresIt)
{
    const struct {
        const char* name;
        std::function<void(CFilterWnd&)> set;
        std::vector<std::string> expected;
    } rows[] = {
        {"code page",
         [](CFilterWnd& p) {
             p.CodepageBox()->setChecked(true);
             CheckOnly(p.CodepageList(), QStringLiteral("Unicode (UTF-8)"));
         },
         {"bom.txt", "twice.txt"}},
        {"no code page checked",
         [](CFilterWnd& p) {
             p.CodepageBox()->setChecked(true);
             CheckOnly(p.CodepageList(), QString());
         },
         {}},
        {"binaries",
         [](CFilterWnd& p) {
             p.CodepageBox()->setChecked(true);
             CheckOnly(p.CodepageList(), QStringLiteral("Binary or Unknown"));
         },
         {"image.png"}},
        {"status warning",
         [](CFilterWnd& p) {
             SelectData(p.StatusChoice(), FileInfoStatusWarning);
             p.StatusBox()->setChecked(true);
         },
         {"twice.txt"}},
        {"status OK",
         [](CFilterWnd& p) {
             p.StatusBox()->setChecked(true);
             SelectData(p.StatusChoice(), FileInfoStatusNormal);
         },
         {"bom.txt", "image.png", "plain.txt", "russian.txt", "u16.txt"}},
        {"with BOM",
         [](CFilterWnd& p) {
             p.BomBox()->setChecked(true);
             SelectData(p.BomChoice(), FilterInfoBomWith);
         },
         {"bom.txt", "u16.txt"}},
        {"path patterns",
         [](CFilterWnd& p) {
             p.PathBox()->setChecked(true);
             p.PathPatterns()->setText(QStringLiteral("*/r*;*.png"));
             QTest::keyClick(p.PathPatterns(), Qt::Key_Return);
         },
         {"image.png", "russian.txt"}},
        {"an empty path box leaves the list whole",
         [](CFilterWnd& p) {
             p.PathBox()->setChecked(true);
             p.PathPatterns()->clear();
             QTest::keyClick(p.PathPatterns(), Qt::Key_Return);
         },
         kAll},
        {"needs attention", [](CFilterWnd& p) { p.AttentionBox()->setChecked(true); }, {"twice.txt"}},
        {"attention and BOM together",
         [](CFilterWnd& p) {
             p.AttentionBox()->setChecked(true);
             p.BomBox()->setChecked(true);
         },
         {}},
    };
    CFilterWnd pane;
    pane.SetSession(s_session);
    QSignalSpy applied(&pane, &CFilterWnd::filterApplied);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.set(pane);
        EXPECT_EQ(ShownNames(*s_session), row.expected);
        EXPECT_EQ(pane.SummaryLabel()->text(), QStringLiteral("Showing %1 of 6 files").arg(row.expected.size()));
        const int before = static_cast<int>(applied.count());
        pane.ClearFilter();
        EXPECT_EQ(applied.count(), before + 1);
        EXPECT_FALSE(s_session->IsFilterApplied());
        EXPECT_EQ(ShownNames(*s_session), kAll);
        EXPECT_FALSE(pane.AttentionBox()->isChecked() || pane.CodepageBox()->isChecked());
    }
}

TEST_F(FilterWndTest, KeepsItsFilterForTheNextSessionAndLetsGoOfAClearedOne)
{
    CFilterWnd pane;
    pane.SetSession(s_session);
    pane.AttentionBox()->setChecked(true);
    ASSERT_EQ(ShownNames(*s_session), std::vector<std::string>{"twice.txt"});

    // The list shown changes: the pane's state goes with it.
    EndingFilterableSession other;
    testing_support::TempDir dir;
    ASSERT_TRUE(window_test::DetectFolder(other, window_test::MakeMixedFolder(dir)));
    pane.SetSession(&other);
    EXPECT_EQ(ShownNames(other), std::vector<std::string>{"twice.txt"});
    pane.SetSession(nullptr);
    pane.ClearFilter();  // nothing to clear on: no crash
    EXPECT_TRUE(other.IsFilterApplied()) << "a session let go keeps what was applied to it";
    s_session->ClearFilter();
}

}  // namespace
