// Each dialog in English and German: no text may be cut off. With
// VARNEL_DIALOG_PNG_DIR set, the dialogs are also saved as pictures there.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "app/window/dialogs/confirm_convert_dialog.h"
#include "app/window/dialogs/convert_dialog.h"
#include "app/window/dialogs/preference_sheet.h"
#include "app/window/dialogs/profile_dialogs.h"
#include "tests/window/dialog_test_support.h"
#include "tests/window/locale_test_folder.h"

namespace {

using dialog_test::Workspace;

// Texts wider than the room their widget got, named for the failure message.
std::vector<std::string> CutTexts(QWidget& dialog)
{
    std::vector<std::string> cut;
    auto check = [&](QWidget* w, const QString& text) {
        if (w->isVisible() && !text.isEmpty() && w->width() < w->sizeHint().width())
            cut.push_back(text.toStdString() + " (" + std::to_string(w->width()) + " < " +
                          std::to_string(w->sizeHint().width()) + ")");
    };
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (!label->wordWrap())
            check(label, label->text());
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        check(button, button->text());
    for (QComboBox* box : dialog.findChildren<QComboBox*>())
        if (!box->isEditable())
            check(box, box->currentText());
    return cut;
}

void Look(QDialog& dialog, const std::string& name)
{
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(CutTexts(dialog), std::vector<std::string>{}) << name;
    if (const char* dir = std::getenv("VARNEL_DIALOG_PNG_DIR"))
        dialog.grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"));
}

class DialogLook : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        if (std::string(GetParam()) != "en") {
            ASSERT_TRUE(locales.Initialize(u"de_DE", u""));
        }
        SessionProfile work, reports;
        work.name = u"Work";
        reports.name = u"Reports";
        ws.settings.SaveSessionProfiles({work, reports});
    }
    std::string Name(const char* dialog) const { return std::string(dialog) + "_" + GetParam(); }

    Workspace ws;
    CLocaleResourceManager locales{text::FromUtf8(dialog_test::ShippedLocales().parent_path().string())};
};

TEST_P(DialogLook, ConvertDialogs)
{
    const std::u16string in = ws.Folder("Documents/Letters");
    {
        CConvertDlg folder(nullptr, ws.settings, ws.store, in, true, ws.Path("Documents/Letters (Converted)"));
        Look(folder, Name("convert_folder"));
    }
    {
        CConvertDlg files(nullptr, ws.settings, ws.store,
                          std::vector<std::u16string>{ws.File("Documents/a.txt"), ws.File("Documents/b.txt")}, false,
                          ws.Path("Documents/Converted"));
        Look(files, Name("convert_files"));
    }
    CConfirmConvertDlg confirm(nullptr, ws.Path("Documents"), u"Letters (Converted)");
    Look(confirm, Name("confirm_output_folder"));
}

TEST_P(DialogLook, PreferencePages)
{
    CPreferenceSheet sheet(nullptr, ws.settings, locales, ws.store);
    for (int page = 0; page < sheet.Pages()->count(); ++page) {
        sheet.Pages()->setCurrentIndex(page);
        Look(sheet, Name(("preferences_" + std::to_string(page)).c_str()));
    }
}

TEST_P(DialogLook, ProfileDialogs)
{
    CManageProfilesDlg manage(nullptr, ws.settings);
    Look(manage, Name("manage_profiles"));
    CProfileNameDlg ask(nullptr, QStringLiteral("Save current settings"), {QStringLiteral("Work")});
    Look(ask, Name("profile_name"));
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogLook, testing::Values("en", "de"));

}  // namespace
