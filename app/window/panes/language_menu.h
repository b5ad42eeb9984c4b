#pragma once

#include <string>

class CLocaleResourceManager;
class CProfileStore;
class QMenu;
class QWidget;

// The language menu: "Prefer System Language", then one checkable entry per
// installed language (its display name). The entry of the stored language
// (or "Prefer System Language" when none is stored or it is not installed)
// is checked. Choosing one stores its locale name as "LanguageDir".
void PopulateLanguageMenu(QMenu* menu, CLocaleResourceManager& locales, CProfileStore& store);
// Fills the menu afresh each time it opens (the finder lists the languages
// on first demand). The menu must not outlive locales and store.
void AttachLanguageMenu(QMenu* menu, CLocaleResourceManager& locales, CProfileStore& store);

// The stored language: empty to prefer the system's.
std::u16string StoredLanguage(const CProfileStore& store);
// Stores a language choice; when it changed, says that it takes effect at the
// next start. A store that cannot be written is reported. False then.
bool StoreLanguageChoice(QWidget* parent, CProfileStore& store, const std::u16string& locale);
