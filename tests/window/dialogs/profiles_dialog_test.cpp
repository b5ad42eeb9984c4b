#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <gtest/gtest.h>

#include "app/window/dialogs/convert_dialog.h"
#include "app/window/dialogs/profile_dialogs.h"
#include "app/window/qt_text.h"
#include "controls/recent_combo_box.h"
#include "tests/window/dialog_test_support.h"

namespace {

using dialog_test::PromptRecorder;
using dialog_test::Workspace;

SessionProfile Profile(const std::u16string& name, bool copyUnconverted, int codepage = -1)
{
    SessionProfile p;
    p.name = name;
    p.options.copyUnconverted = copyUnconverted;
    p.options.SetStoredInputCodepage(codepage);
    return p;
}

std::vector<std::u16string> NamesInFile(const CMySettings& settings)
{
    SessionProfileList profiles;
    settings.LoadSessionProfiles(profiles);
    std::vector<std::u16string> names;
    for (const auto& p : profiles)
        names.push_back(p.name);
    return names;
}

QAction* MenuEntry(QMenu* menu, const QString& text)
{
    emit menu->aboutToShow();
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class Profiles : public testing::Test {
protected:
    Workspace ws;
    PromptRecorder prompts;
};

const QString kEmpty = QStringLiteral("Profile name cannot be empty.");
const QString kReserved = QStringLiteral("This profile name is reserved. Please enter another name.");

TEST_F(Profiles, SavingRefusesEmptyAndReservedNamesAndAsksBeforeOverwriting)
{
    for (const auto& [name, message] : {std::pair{QString(), kEmpty}, std::pair{QStringLiteral("  "), kEmpty},
                                        std::pair{QStringLiteral(" default"), kReserved}}) {
        prompts.texts.clear();
        EXPECT_FALSE(SaveProfileAs(nullptr, ws.settings, Profile({}, true), name));
        EXPECT_EQ(prompts.texts, std::vector<QString>{message});
    }
    ASSERT_TRUE(SaveProfileAs(nullptr, ws.settings, Profile({}, true), QStringLiteral("Work")));
    prompts.texts.clear();
    prompts.answers = {QMessageBox::No, QMessageBox::Yes};
    EXPECT_FALSE(SaveProfileAs(nullptr, ws.settings, Profile({}, false), QStringLiteral("work ")));
    EXPECT_EQ(prompts.texts, std::vector<QString>{QStringLiteral("Overwrite profile [work]?")});
    SessionProfileList profiles;
    ws.settings.LoadSessionProfiles(profiles);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_TRUE(profiles[0].options.copyUnconverted);

    EXPECT_TRUE(SaveProfileAs(nullptr, ws.settings, Profile({}, false), QStringLiteral("work")));
    profiles.clear();
    ws.settings.LoadSessionProfiles(profiles);
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].name, u"work");
    EXPECT_FALSE(profiles[0].options.copyUnconverted);
}

TEST_F(Profiles, ManagingRefusesBadNamesAndWritesTheNewOrder)
{
    ASSERT_TRUE(ws.settings.SaveSessionProfiles({Profile(u"A", false), Profile(u"B", true), Profile(u"C", false)}));
    CManageProfilesDlg manage(nullptr, ws.settings);
    const QString duplicate = QStringLiteral("Duplicated profile name. Please enter a different profile name.");
    for (const auto& [name, message] :
         {std::pair{QStringLiteral("a"), duplicate}, std::pair{QStringLiteral("Default"), kReserved},
          std::pair{QString(), kEmpty}}) {
        prompts.texts.clear();
        EXPECT_FALSE(manage.RenameProfile(1, name));
        EXPECT_EQ(prompts.texts, std::vector<QString>{message});
    }
    prompts.texts.clear();
    EXPECT_TRUE(manage.RenameProfile(1, QStringLiteral(" b ")));  // its own name in another case is no duplicate
    manage.MoveProfile(1, -1);
    manage.DeleteProfile(2);
    manage.MoveProfile(0, -1);  // nothing above the first
    EXPECT_TRUE(prompts.texts.empty());
    EXPECT_EQ(NamesInFile(ws.settings), (std::vector<std::u16string>{u"A", u"B", u"C"}));  // not before OK
    manage.accept();
    EXPECT_EQ(NamesInFile(ws.settings), (std::vector<std::u16string>{u"b", u"A"}));
}

TEST_F(Profiles, MenuAppliesProfilesReadAfreshAndDefaultAppliesTheCurrentSettings)
{
    SessionProfile work = Profile(u"Work & Play", true, 1251);
    work.options.filter = CVarnexBatchJobFilter(true, u"^a.*\\.txt$");
    work.options.writeBom = true;  // a saved wish for a mark on UTF-8 is kept
    ASSERT_TRUE(ws.settings.SaveSessionProfiles({Profile(u"Plain", false), work}));
    ws.settings.SetCurrentProfile(SessionProfile{});  // UTF-8 without a mark

    CConvertDlg dialog(nullptr, ws.settings, ws.store, ws.Folder("in"), false, ws.Path("out"));
    auto* copy = dialog.findChild<QCheckBox*>(QStringLiteral("CopyUnconverted"));
    auto* bom = dialog.findChild<QCheckBox*>(QStringLiteral("WriteBom"));
    auto* codepage = dialog.findChild<QComboBox*>(QStringLiteral("InputCodepage"));
    auto* mode = dialog.findChild<QComboBox*>(QStringLiteral("FilterMode"));
    auto* filter = dialog.findChild<CRecentComboBox*>(QStringLiteral("FilterExpression"));
    EXPECT_FALSE(bom->isChecked());

    QAction* entry = MenuEntry(dialog.ProfilesMenu(), QStringLiteral("Work && Play"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->data().toInt(), CConvertDlg::kFirstProfileId + 1);
    entry->trigger();
    EXPECT_TRUE(copy->isChecked());
    EXPECT_TRUE(bom->isChecked());
    EXPECT_EQ(codepage->currentData().toInt(), 1251);
    EXPECT_EQ(mode->currentIndex(), 2);
    EXPECT_EQ(filter->Text(), QStringLiteral("^a.*\\.txt$"));
    EXPECT_EQ(dialog.Choices().options, work.options);

    MenuEntry(dialog.ProfilesMenu(), QStringLiteral("Default"))->trigger();
    EXPECT_FALSE(copy->isChecked());
    EXPECT_FALSE(bom->isChecked());
    EXPECT_EQ(mode->currentIndex(), 0);

    // The file lost the profile after the menu was built: the entry does nothing.
    entry = MenuEntry(dialog.ProfilesMenu(), QStringLiteral("Work && Play"));
    ASSERT_TRUE(ws.settings.SaveSessionProfiles({Profile(u"Plain", false)}));
    entry->trigger();
    EXPECT_FALSE(copy->isChecked());
}

}  // namespace
