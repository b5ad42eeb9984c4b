#include "app/window/panes/language_menu.h"

#include <QMenu>
#include <gtest/gtest.h>

#include "app/locale/locale_resource_manager.h"
#include "tests/window/dialog_test_support.h"
#include "tests/window/locale_test_folder.h"

namespace {

using dialog_test::PromptRecorder;
using dialog_test::Workspace;

const QString kTakesEffect = QStringLiteral("Language settings will take effect after you exit and restart Varnel");

struct MenuState {
    QStringList entries;
    QString checked;
};

MenuState Open(QMenu& menu)
{
    emit menu.aboutToShow();
    MenuState state;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator())
            continue;
        state.entries.push_back(action->text());
        if (action->isChecked())
            state.checked = action->text();
    }
    return state;
}

void Choose(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action->trigger();
    ADD_FAILURE() << "no entry " << text.toStdString();
}

TEST(LanguageMenu, ListsTheInstalledLanguagesAndStoresTheChoice)
{
    Workspace ws;
    PromptRecorder prompts;
    CLocaleResourceManager locales(dialog_test::MakeProgramFolder(ws.dir));
    QMenu menu;
    AttachLanguageMenu(&menu, locales, ws.store);

    MenuState state = Open(menu);
    EXPECT_EQ(state.entries,
              (QStringList{QStringLiteral("Prefer System Language"), QStringLiteral("Deutsch (Deutschland)"),
                           QString::fromUtf8("Fran\xC3\xA7"
                                             "ais (France)")}));
    EXPECT_EQ(state.checked, QStringLiteral("Prefer System Language"));

    Choose(menu, QStringLiteral("Deutsch (Deutschland)"));
    EXPECT_EQ(ws.store.GetProfileString(u"Settings", u"LanguageDir"), u"de_DE");
    EXPECT_EQ(prompts.texts, std::vector<QString>{kTakesEffect});
    EXPECT_EQ(Open(menu).checked, QStringLiteral("Deutsch (Deutschland)"));

    // Stored names are matched without regard to case; unknown ones fall back.
    ws.store.WriteProfileString(u"Settings", u"LanguageDir", u"FR_fr");
    EXPECT_EQ(Open(menu).checked, QString::fromUtf8("Fran\xC3\xA7"
                                                    "ais (France)"));
    ws.store.WriteProfileString(u"Settings", u"LanguageDir", u"xx_XX");
    EXPECT_EQ(Open(menu).checked, QStringLiteral("Prefer System Language"));
    Choose(menu, QStringLiteral("Prefer System Language"));
    EXPECT_EQ(ws.store.GetProfileString(u"Settings", u"LanguageDir", u"unset"), u"");
}

}  // namespace
