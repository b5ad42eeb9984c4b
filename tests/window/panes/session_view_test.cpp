// The session view driven as a user drives it: detect, convert, pause,
// continue, stop, accept a doubtful result, correct a code page, export.
#include <QItemSelectionModel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <filesystem>
#include <gtest/gtest.h>

#include "app/window/panes/session_list_view.h"
#include "app/window/panes/varnex_control_bar.h"
#include "tests/window/dialog_test_support.h"
#include "tests/window/list_test_support.h"
#include "tools/corpus/mixed_tree.h"
#include "varnex/codepage/codepage_info.h"

namespace {

using namespace list_tests;
using testing_support::ReadBytes;
using testing_support::TempDir;
using Column = CVarnexListModel::Column;

VARNEXJOBSETTING Job(unsigned threads = 2)
{
    VARNEXJOBSETTING job;
    job.converterThreads = threads;
    return job;
}

bool Finished(CSessionListView& view, const QString& title)
{
    return view.IsIdle() && view.ControlBar()->Title() == title;
}

void Select(CSessionListView& view, int row)
{
    view.Table()->selectionModel()->setCurrentIndex(view.Model()->index(row, 0),
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString ShortName(int codepage)
{
    return Qs(CCodepageInfo::GetCodepageInfo(codepage)->GetCodepageShortName());
}

VARNEXBATCHJOBITEM FolderItem(const std::string& in, const std::string& out, bool copyUnconverted = false)
{
    VARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.writeBom = false;
    item.options.copyUnconverted = copyUnconverted;
    item.inputPath = U16(QString::fromStdString(in));
    item.outputPath = U16(QString::fromStdString(out));
    return item;
}

TEST(SessionView, DetectsAFolderAndListsEveryFileWithItsCodepageAndStatus)
{
    TempDir dir;
    const int files = WriteMixedFolder(dir.Path());
    CSessionListView view;
    EXPECT_FALSE(view.StartDetection(dir.File16("missing"), false, false, Job()));
    EXPECT_TRUE(view.IsIdle());

    ASSERT_TRUE(view.StartDetection(dir.File16(""), false, false, Job()));
    ASSERT_TRUE(WaitUntil([&] { return Finished(view, QStringLiteral("Detection Finished")); }));
    const CVarnexListModel& model = *view.Model();
    ASSERT_EQ(model.rowCount(), files);
    EXPECT_EQ(Cell(model, RowOf(model, u"french-1252.txt"), Column::ColumnCodepage), ShortName(1252));
    EXPECT_EQ(Cell(model, RowOf(model, u"russian-koi8r.txt"), Column::ColumnCodepage), ShortName(20866));
    EXPECT_EQ(Cell(model, RowOf(model, u"utf16le.txt"), Column::ColumnBom), QStringLiteral("Yes"));
    EXPECT_EQ(Cell(model, RowOf(model, u"weak.txt"), Column::ColumnStatus), QStringLiteral("Warning"));
    EXPECT_EQ(Cell(model, RowOf(model, u"french-1252.txt"), Column::ColumnStatus), QStringLiteral("OK"));
    EXPECT_TRUE(Cell(model, RowOf(model, u"french-1252.txt"), Column::ColumnOutput).isEmpty());
    EXPECT_TRUE(view.ControlBar()->Summary().startsWith(QStringLiteral("Files Processed: 6 of 6 (100% Processed)")));
    EXPECT_EQ(view.TabTitle(), QStringLiteral("Session View"));
    EXPECT_EQ(view.TrayText(), QStringLiteral("Idle"));
}

TEST(SessionView, ConvertsAndNamesTheFoldersItWroteTo)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("in"));
    WriteMixedFolder(dir.File("in"));
    CSessionListView view;
    ASSERT_TRUE(view.StartConversion({FolderItem(dir.File("in"), dir.File("out"))}, Job()));
    ASSERT_TRUE(WaitUntil([&] { return Finished(view, QStringLiteral("Conversion Finished")); }));
    const CVarnexListModel& model = *view.Model();
    const int french = RowOf(model, u"french-1252.txt");
    EXPECT_EQ(Cell(model, french, Column::ColumnStatus), QStringLiteral("Converted"));
    EXPECT_EQ(Cell(model, french, Column::ColumnOutput), QString::fromStdString(dir.File("out/french-1252.txt")));
    EXPECT_EQ(ReadBytes(dir.File("out/french-1252.txt")), Encode(65001, kFrench));
    EXPECT_TRUE(view.ControlBar()->Outputs().contains(QStringLiteral("file(s) saved in:")));
    EXPECT_TRUE(view.ControlBar()->Outputs().contains(QString::fromStdString(dir.File("out"))));

    // A binary alone, not copied: nothing written, and the panel says so.
    std::filesystem::create_directory(dir.File("bin"));
    testing_support::WriteBytes(dir.File("bin/image.bin"), std::string("\x89PNG\0\0\0\0\0\0\0\0", 12));
    ASSERT_TRUE(view.StartConversion({FolderItem(dir.File("bin"), dir.File("out2"))}, Job()));
    ASSERT_TRUE(
        WaitUntil([&] { return Finished(view, QStringLiteral("Conversion Finished")) && model.rowCount() == 1; }));
    EXPECT_EQ(view.ControlBar()->Outputs(), QStringLiteral("No file was converted or copied."));
}

TEST(SessionView, PausesContinuesAndStopsOnlyWhenTheUserSaysYes)
{
    TempDir dir;
    corpus::MakeMixedTree(dir.Path(), {.files = 2000, .filesPerFolder = 50});
    CSessionListView view;
    QSignalSpy tabTitles(&view, &CSessionListView::tabTitleChanged);
    VARNEXBATCHJOBITEM item = FolderItem(dir.Path(), dir.File("out"));
    item.options.recursive = true;
    ASSERT_TRUE(view.StartConversion({item}, Job(1)));
    EXPECT_FALSE(view.StartDetection(dir.File16(""), true, false, Job()));  // one session at a time

    view.PauseOrContinue();
    ASSERT_TRUE(WaitUntil([&] { return view.IsPaused() && view.ControlBar()->Title().startsWith("Paused ("); }));
    EXPECT_TRUE(view.TabTitle().startsWith(QStringLiteral("Session View (Paused: ")));
    EXPECT_EQ(view.TrayText(), QStringLiteral("Paused"));
    EXPECT_EQ(view.ControlBar()->PauseButton()->text(), QStringLiteral("Continue"));

    VARNEXSESSIONSUMMARY summary;
    view.Session().GetSessionSummary(summary);
    const uint32_t pausedAt = summary.processedFiles;
    view.PauseOrContinue();
    ASSERT_TRUE(WaitUntil([&] {
        view.Session().GetSessionSummary(summary);
        return summary.processedFiles > pausedAt && view.TabTitle().startsWith("Session View (Converting: ");
    }));
    EXPECT_TRUE(view.TrayText().startsWith(QStringLiteral("Converting: ")));

    // Stopped while paused, as a user who paused to think it over would.
    view.Pause();
    ASSERT_TRUE(WaitUntil([&] { return view.IsPaused() && view.ControlBar()->Title().startsWith("Paused ("); }));
    dialog_test::PromptRecorder prompts;
    prompts.answers = {QMessageBox::No, QMessageBox::Yes};
    EXPECT_FALSE(view.StopAsking());
    EXPECT_TRUE(view.IsRunning());
    EXPECT_TRUE(view.StopAsking());
    ASSERT_EQ(prompts.texts.size(), 2u);
    EXPECT_TRUE(prompts.texts[0].startsWith(QStringLiteral("The session cannot be resumed after stopping.")));
    ASSERT_TRUE(WaitUntil([&] { return Finished(view, QStringLiteral("Conversion Cancelled")); }));
    view.Session().GetSessionSummary(summary);
    EXPECT_LT(summary.processedFiles, summary.totalFiles);
    EXPECT_EQ(view.TabTitle(), QStringLiteral("Session View"));
    EXPECT_FALSE(tabTitles.isEmpty());

    // A stopped session leaves the engine ready for the next one.
    ASSERT_TRUE(view.StartDetection(dir.File16(""), false, false, Job()));
    ASSERT_TRUE(WaitUntil([&] { return Finished(view, QStringLiteral("Detection Finished")); }));
}

TEST(SessionView, AcceptingADoubtfulResultAndCorrectingACodepageRetryTheFile)
{
    TempDir dir;
    WriteMixedFolder(dir.Path());
    CSessionListView view;
    ASSERT_TRUE(view.StartDetection(dir.File16(""), false, false, Job()));
    ASSERT_TRUE(WaitUntil([&] { return Finished(view, QStringLiteral("Detection Finished")); }));
    const CVarnexListModel& model = *view.Model();

    Select(view, RowOf(model, u"french-1252.txt"));
    EXPECT_FALSE(view.CanAcceptSelected());
    Select(view, RowOf(model, u"weak.txt"));
    ASSERT_TRUE(view.CanAcceptSelected());
    const int guessed = view.FocusedFile().codepage;
    view.AcceptSelected();
    ASSERT_TRUE(WaitUntil([&] { return view.IsIdle() && view.FocusedFile().statusText == u"OK"; }));
    EXPECT_EQ(view.FocusedFile().codepage, guessed);
    EXPECT_FLOAT_EQ(view.FocusedFile().confidence, 1.0f);

    Select(view, RowOf(model, u"french-1252.txt"));
    view.RetryFocusedWithCodepage(1250);
    ASSERT_TRUE(WaitUntil([&] { return view.IsIdle() && view.FocusedFile().codepage == 1250; }));
    EXPECT_EQ(Cell(model, RowOf(model, u"french-1252.txt"), Column::ColumnCodepage), ShortName(1250));
    VARNEXSESSIONSUMMARY summary;
    view.Session().GetSessionSummary(summary);
    EXPECT_EQ(summary.processedFiles, summary.totalFiles);
    EXPECT_EQ(summary.warningFiles, 0u);
}

struct ExportCase {
    const char* name;
    TEXTENCODING encoding;
    std::string bom;
};

void PrintTo(const ExportCase& c, std::ostream* out)
{
    *out << c.name;
}

class SessionListExport : public testing::TestWithParam<ExportCase> { };

TEST_P(SessionListExport, WritesAMarkTheTitlesAndOneCrLfRowPerFile)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("in"));
    const int files = WriteMixedFolder(dir.File("in"));
    CSessionListView view;
    ASSERT_TRUE(view.StartDetection(dir.File16("in"), false, false, Job()));
    ASSERT_TRUE(WaitUntil([&] { return Finished(view, QStringLiteral("Detection Finished")); }));

    const QString path = QString::fromStdString(dir.File("list.csv"));
    QString error;
    ASSERT_TRUE(CSessionListView::ExportList(view.Session(), path, GetParam().encoding, &error)) << error.toStdString();
    const std::string bytes = ReadBytes(path.toStdString());
    ASSERT_EQ(bytes.substr(0, GetParam().bom.size()), GetParam().bom);
    const std::string body = bytes.substr(GetParam().bom.size());
    QString text;
    if (GetParam().encoding == TEXTENCODING_UTF8) {
        text = QString::fromUtf8(body);
    } else {
        for (size_t i = 0; i + 1 < body.size(); i += 2) {
            const auto hi = static_cast<unsigned char>(body[i + (GetParam().encoding == TEXTENCODING_UTF16BE ? 0 : 1)]);
            const auto lo = static_cast<unsigned char>(body[i + (GetParam().encoding == TEXTENCODING_UTF16BE ? 1 : 0)]);
            text += QChar(static_cast<char16_t>(hi << 8 | lo));
        }
    }
    const QStringList rows = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(rows.size(), files + 1);
    EXPECT_EQ(rows[0], QStringLiteral("File,Codepage,BOM,Status,Output"));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    EXPECT_TRUE(rows.contains(u'"' + QString::fromStdString(dir.File("in/russian, utf8.txt")) + QStringLiteral("\",") +
                              ShortName(65001) + QStringLiteral(",No,OK,")));

    // A folder that is not there: a message, and no file at all.
    const QString nowhere = QString::fromStdString(dir.File("missing/list.csv"));
    EXPECT_FALSE(CSessionListView::ExportList(view.Session(), nowhere, GetParam().encoding, &error));
    EXPECT_TRUE(error.contains(nowhere));
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

INSTANTIATE_TEST_SUITE_P(Encodings, SessionListExport,
                         testing::Values(ExportCase{"Utf8", TEXTENCODING_UTF8, "\xEF\xBB\xBF"},
                                         ExportCase{"Utf16Le", TEXTENCODING_UTF16LE, "\xFF\xFE"},
                                         ExportCase{"Utf16Be", TEXTENCODING_UTF16BE, "\xFE\xFF"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
