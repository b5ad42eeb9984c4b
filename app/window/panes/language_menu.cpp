#include "app/window/panes/language_menu.h"

#include <QActionGroup>
#include <QMenu>

#include "app/locale/locale_resource_manager.h"
#include "app/locale/tr.h"
#include "app/settings/profile_store.h"
#include "app/window/dialogs/dialog_prompt.h"
#include "app/window/qt_text.h"

namespace {

constexpr char16_t kLanguageEntry[] = u"LanguageDir";

bool SameLocale(const std::u16string& a, const std::u16string& b)
{
    return Qs(a).compare(Qs(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

std::u16string StoredLanguage(const CProfileStore& store)
{
    return store.GetProfileString(CProfileStore::kSettingsKey, kLanguageEntry);
}

bool StoreLanguageChoice(QWidget* parent, CProfileStore& store, const std::u16string& locale)
{
    const std::u16string before = StoredLanguage(store);
    if (!store.WriteProfileString(CProfileStore::kSettingsKey, kLanguageEntry, locale)) {
        ShowDialogPrompt(parent, QMessageBox::Critical,
                         Qs(Tr("LanguageMenu", "The language setting could not be saved:")) + u'\n' +
                             Qs(store.GetLastError()));
        return false;
    }
    if (before != locale) {
        const std::u16string note =
            Tr("Language", "Language settings will take effect after you exit and restart Varnel");
        ShowDialogPrompt(parent, QMessageBox::Warning, Qs(note));
    }
    return true;
}

void PopulateLanguageMenu(QMenu* menu, CLocaleResourceManager& locales, CProfileStore& store)
{
    menu->clear();
    for (QActionGroup* old : menu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly))
        delete old;
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    const std::u16string stored = StoredLanguage(store);
    QWidget* parent = menu->parentWidget();
    auto add = [&](const QString& text, const std::u16string& locale) {
        QAction* action = menu->addAction(text);
        action->setCheckable(true);
        action->setData(Qs(locale));
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, menu,
                         [parent, &store, locale] { StoreLanguageChoice(parent, store, locale); });
        return action;
    };
    QAction* system = add(Qs(Tr("Language", "Prefer System Language")), {});
    QAction* checked = system;
    const std::vector<CXmlLocaleResourceInfo> languages = locales.GetLocaleList();
    if (!languages.empty())
        menu->addSeparator();
    for (const CXmlLocaleResourceInfo& language : languages) {
        QString text = Qs(language.GetDisplayName().empty() ? language.GetLocale() : language.GetDisplayName());
        QAction* action = add(text.replace(u'&', QStringLiteral("&&")), language.GetLocale());
        if (!stored.empty() && SameLocale(language.GetLocale(), stored))
            checked = action;
    }
    checked->setChecked(true);
}

void AttachLanguageMenu(QMenu* menu, CLocaleResourceManager& locales, CProfileStore& store)
{
    QObject::connect(menu, &QMenu::aboutToShow, menu,
                     [menu, &locales, &store] { PopulateLanguageMenu(menu, locales, store); });
    // Until it first opens the menu needs an entry to open at all; the
    // languages are listed then, so the start never waits for the search.
    if (menu->isEmpty())
        menu->addAction(Qs(Tr("Language", "Prefer System Language")));
}
