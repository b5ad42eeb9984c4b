#include "app/window/dialogs/convert_dialog.h"

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLinkButton>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/window/models/output_proposal.h"
#include "app/window/qt_text.h"
#include "controls/recent_combo_box.h"
#include "tests/window/dialog_test_support.h"

namespace {

using dialog_test::Child;
using dialog_test::PressOk;
using dialog_test::PromptRecorder;
using dialog_test::Workspace;
namespace fs = std::filesystem;

const QString kSelfMessage = QStringLiteral(
    "Converting the input folder to itself will cause write errors and damage to original file. Please double "
    "check the output folder before conversion.");

// The dialog with the confirmation answered by a script instead of a user.
class ScriptedConvertDlg : public CConvertDlg {
public:
    using CConvertDlg::CConvertDlg;
    CConfirmConvertDlg::Choice answer = CConfirmConvertDlg::ProceedAnyway;
    int asked = 0;

protected:
    CConfirmConvertDlg::Choice ConfirmOutputFolder(const std::u16string&, const std::u16string&,
                                                   std::u16string&) override
    {
        ++asked;
        return answer;
    }
};

void TypeOutput(QWidget& dialog, const std::u16string& path)
{
    QLineEdit* edit = Child<CRecentComboBox>(dialog, "OutputFolder")->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, Qs(path));
}

void Choose(QWidget& dialog, const char* box, int code)
{
    QComboBox* combo = Child<QComboBox>(dialog, box);
    const int index = combo->findData(code);
    ASSERT_GE(index, 0) << box << " offers no " << code;
    combo->setCurrentIndex(index);
}

class ConvertDialog : public testing::Test {
protected:
    Workspace ws;
    PromptRecorder prompts;
};

TEST_F(ConvertDialog, FolderChoicesBecomeOneJobItemAndRecentEntries)
{
    const std::u16string in = ws.Folder("in");
    const std::u16string out = ws.Path("out");
    ScriptedConvertDlg dialog(nullptr, ws.settings, ws.store, in, true, ws.Path("proposed"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "InputPath")->text(), Qs(in));
    EXPECT_EQ(Child<CRecentComboBox>(dialog, "OutputFolder")->Text(), Qs(ws.Path("proposed")));
    Child<QCheckBox>(dialog, "CopyUnconverted")->click();
    Child<QCheckBox>(dialog, "WriteBom")->setChecked(false);
    Choose(dialog, "InputCodepage", 1251);
    Choose(dialog, "OutputEncoding", CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE);
    Choose(dialog, "ReturnType", CTextFileConverter::RETURNTYPE_LF);
    Choose(dialog, "FilterMode", 1);
    QTest::keyClicks(Child<CRecentComboBox>(dialog, "FilterExpression")->lineEdit(), QStringLiteral("*.txt;*.md"));
    TypeOutput(dialog, out + u"/");
    PressOk(dialog);

    ASSERT_EQ(dialog.result(), QDialog::Accepted) << (prompts.texts.empty() ? "" : prompts.texts[0].toStdString());
    EXPECT_EQ(dialog.asked, 0);
    EXPECT_FALSE(dialog.DetectOnly());
    const std::vector<VARNEXBATCHJOBITEM> items = dialog.JobItems();
    ASSERT_EQ(items.size(), 1u);
    ConversionOptions expected;
    expected.recursive = true;
    expected.copyUnconverted = true;
    expected.writeBom = false;
    expected.inputCodepage = 1251;
    expected.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE;
    expected.returnType = CTextFileConverter::RETURNTYPE_LF;
    expected.filter = CVarnexBatchJobFilter(false, u"*.txt;*.md");
    EXPECT_TRUE(items[0].folder);
    EXPECT_EQ(items[0].inputPath, in);
    EXPECT_EQ(items[0].outputPath, out);
    EXPECT_EQ(items[0].options, expected);
    EXPECT_EQ(ws.store.GetProfileString(u"RecentOutputFolder", u"1"), out);
    EXPECT_EQ(ws.store.GetProfileString(u"RecentWildcardFilter", u"1"), u"*.txt;*.md");
    EXPECT_EQ(ws.store.GetProfileString(u"RecentRegexFilter", u"1"), u"");
}

TEST_F(ConvertDialog, FilesBecomeOneItemEachWithoutSearchOptions)
{
    const std::vector<std::u16string> files{ws.File("in/a.txt"), ws.File("in/b.csv")};
    ScriptedConvertDlg several(nullptr, ws.settings, ws.store, files, true, ws.Path("out"));
    EXPECT_EQ(Child<QLineEdit>(several, "InputPath")->text(), QStringLiteral("(Multiple Files)"));
    EXPECT_FALSE(Child<QCheckBox>(several, "Recursive")->isEnabled());
    PressOk(several);
    ASSERT_EQ(several.result(), QDialog::Accepted);
    const std::vector<VARNEXBATCHJOBITEM> items = several.JobItems();
    ASSERT_EQ(items.size(), 2u);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_FALSE(items[i].folder || items[i].options.recursive || items[i].options.filter.IsEnabled());
        EXPECT_EQ(items[i].inputPath, files[i]);
        EXPECT_EQ(items[i].outputPath, ws.Path("out/") + NameOf(files[i]));
    }
    ScriptedConvertDlg one(nullptr, ws.settings, ws.store, std::vector<std::u16string>{files[1]}, false, {});
    EXPECT_EQ(Child<QLineEdit>(one, "InputPath")->text(), QStringLiteral("b.csv"));
}

struct RefusalCase {
    const char* name;
    bool files;
    std::string output;  // relative to the workspace unless it starts with '!' (taken as typed)
    int filterMode;
    const char* filter;
    const char* messageStart;
};

class ConvertDialogRefuses : public ConvertDialog, public testing::WithParamInterface<RefusalCase> { };

TEST_P(ConvertDialogRefuses, AndStaysOpenWithOneMessage)
{
    const RefusalCase& c = GetParam();
    const std::u16string in = ws.Folder("in");
    ws.File("in/a.txt");
    ws.File("a-file");
    fs::create_directory_symlink(ws.dir.File("in"), ws.dir.File("link"));
    const std::u16string output = c.output[0] == '!' ? text::FromUtf8(c.output.substr(1)) : ws.Path(c.output);
    std::unique_ptr<ScriptedConvertDlg> dialog =
        c.files ? std::make_unique<ScriptedConvertDlg>(nullptr, ws.settings, ws.store,
                                                       std::vector<std::u16string>{ws.Path("in/a.txt")}, false, output)
                : std::make_unique<ScriptedConvertDlg>(nullptr, ws.settings, ws.store, in, false, output);
    Choose(*dialog, "FilterMode", c.filterMode);
    Child<CRecentComboBox>(*dialog, "FilterExpression")->SetText(QString::fromUtf8(c.filter));
    PressOk(*dialog);
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->JobItems().empty());
    ASSERT_EQ(prompts.texts.size(), 1u);
    EXPECT_TRUE(prompts.texts[0].startsWith(QString::fromUtf8(c.messageStart))) << prompts.texts[0].toStdString();
    EXPECT_EQ(ws.store.GetProfileString(u"RecentOutputFolder", u"1"), u"");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertDialogRefuses,
    testing::Values(RefusalCase{"output_is_input", false, "in", 0, "", "Converting the input folder to itself"},
                    RefusalCase{"through_a_link", false, "link/", 0, "", "Converting the input folder to itself"},
                    RefusalCase{"through_dot_dot", false, "in/../in", 0, "", "Converting the input folder to itself"},
                    RefusalCase{"file_into_its_folder", true, "link", 0, "",
                                "Files cannot be written to input folder. Please select another output folder.\n\n"
                                "The input folder is:\n"},
                    // An output may land on another input: in/x.txt from in/in/x.txt.
                    RefusalCase{"input_inside_the_output", false, "", 0, "",
                                "Files cannot be written to input folder. Please select another output folder.\n\n"
                                "The input folder is:\n"},
                    RefusalCase{"bad_regex", false, "out", 2, "([a-z]", "The regular expression is not valid:\n"},
                    RefusalCase{"empty_output", false, "!  ", 0, "", "Please enter an output folder."},
                    RefusalCase{"relative_output", false, "!out", 0, "",
                                "Please enter the full path of the output folder"},
                    RefusalCase{"output_is_a_file", false, "a-file", 0, "", "The output folder is not a folder:\n"}),
    [](const testing::TestParamInfo<RefusalCase>& row) { return std::string(row.param.name); });

TEST_F(ConvertDialog, AcceptsAnOutputFolderInsideTheInputTree)
{
    const std::u16string in = ws.Folder("in");
    ScriptedConvertDlg dialog(nullptr, ws.settings, ws.store, in, true, ws.Path("in/converted"));
    PressOk(dialog);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.texts.empty());
}

TEST_F(ConvertDialog, FullOutputFolderAsksAndFollowsTheAnswer)
{
    ws.File("out/old.txt");
    using C = CConfirmConvertDlg;
    for (const auto& [answer, accepted] : {std::pair{C::DetectOnly, true}, std::pair{C::ProceedAnyway, true},
                                           std::pair{C::SelectAnother, false}, std::pair{C::Cancelled, false}}) {
        ScriptedConvertDlg dialog(nullptr, ws.settings, ws.store, ws.Folder("in"), false, ws.Path("out"));
        dialog.answer = answer;
        PressOk(dialog);
        EXPECT_EQ(dialog.asked, 1);
        EXPECT_EQ(dialog.result() == QDialog::Accepted, accepted) << answer;
        EXPECT_EQ(dialog.DetectOnly(), answer == C::DetectOnly) << answer;
        EXPECT_EQ(dialog.JobItems().size(), accepted ? 1u : 0u);
    }
}

TEST_F(ConvertDialog, SafeSubfolderIsCreatedFreshAndBecomesTheOutput)
{
    const std::u16string in = ws.Folder("in");
    ws.File("out/in (Converted)/earlier.txt");
    CConvertDlg dialog(nullptr, ws.settings, ws.store, in, false, ws.Path("out"));
    bool sawConfirm = false;
    QTimer::singleShot(0, [&] {
        auto* confirm = qobject_cast<CConfirmConvertDlg*>(QApplication::activeModalWidget());
        sawConfirm = confirm != nullptr;
        if (confirm != nullptr)
            confirm->Button(CConfirmConvertDlg::SafeSubfolder)->click();
    });
    PressOk(dialog);
    EXPECT_TRUE(sawConfirm);
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    const std::u16string safe = ws.Path("out/in (Converted) (2)");
    EXPECT_EQ(dialog.JobItems().at(0).outputPath, safe);
    EXPECT_TRUE(fs::is_directory(ws.dir.File("out/in (Converted) (2)")));
    EXPECT_TRUE(fs::is_empty(ws.dir.File("out/in (Converted) (2)")));
    // What the user chose is remembered, not the folder made for this run.
    EXPECT_EQ(ws.store.GetProfileString(u"RecentOutputFolder", u"1"), ws.Path("out"));
}

TEST_F(ConvertDialog, ConfirmDialogSaysWhenTheSafeSubfolderCannotBeMade)
{
    ws.File("out/x.txt");
    // A name longer than any file system takes fails whoever runs the test.
    CConfirmConvertDlg confirm(nullptr, ws.Path("out"), std::u16string(300, u'n'));
    confirm.show();
    confirm.Button(CConfirmConvertDlg::SafeSubfolder)->click();
    EXPECT_TRUE(confirm.isVisible());
    EXPECT_EQ(confirm.GetChoice(), CConfirmConvertDlg::Cancelled);
    EXPECT_TRUE(confirm.GetSafeSubfolder().empty());
    ASSERT_EQ(prompts.texts.size(), 1u);
    EXPECT_TRUE(prompts.texts[0].startsWith(QStringLiteral("The folder could not be created:")));
}

}  // namespace
