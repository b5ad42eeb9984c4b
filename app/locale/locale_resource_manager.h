#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/locale/locale_resource_finder.h"
#include "app/locale/locale_resource_info.h"
#include "app/options/program_version.h"

// The locales the environment names, as the language choice needs them.
struct CLocaleEnvironment {
    // The user's locale: LC_ALL, else LC_MESSAGES, else LANG ("fr_FR.UTF-8").
    std::u16string userLocale;
    // The system's default: LANG in /etc/locale.conf, else in /etc/default/locale.
    std::u16string systemLocale;
    // The languages LANGUAGE lists, in the order of preference ("de_AT:de").
    // As with gettext, they count only when the user's locale is not C or POSIX.
    std::vector<std::u16string> preferredLanguages;

    static CLocaleEnvironment FromProcess();

    // "C", "POSIX" and their codeset forms ("C.UTF-8"): the untranslated program.
    static bool IsPlainLocale(const std::u16string& locale);
    // English, which is built in: "en", "en_GB.UTF-8", or a plain locale.
    static bool IsEnglish(const std::u16string& locale);
    // A name that can only mean a folder of its own below Locales: ASCII
    // letters, digits and _ - . @ ("sr_RS.UTF-8@latin"), no "..", not
    // starting with '.'. Paths and anything else are no language.
    static bool IsLanguageName(std::u16string_view name);

    // "fr_FR.UTF-8@euro" gives language "fr" and country "FR". "C", "POSIX"
    // and anything that is not language[_COUNTRY] give an empty language.
    static void SplitLocale(const std::u16string& locale, std::u16string& language, std::u16string& country);
};

// Chooses the interface language at start-up and makes its translation the
// source of every translated text (Tr, and QCoreApplication::translate when
// a QCoreApplication exists). Also lists the installed languages (the finder
// it derives from). Initialise on the thread that owns the QCoreApplication,
// before other threads translate.
//
// At start-up:
//
//   CLocaleResourceManager locales;                    // "Locales" of the program's data
//   locales.Initialize(options.locale, settings.languageDir);
//   ... Tr("Headless", "Summary") ...
//
// The manager must outlive every use of its translation: destroying it (or
// initialising again) restores the translation that was current before.
class CLocaleResourceManager : public CLocaleResourceFinder {
public:
    ~CLocaleResourceManager() override;

    explicit CLocaleResourceManager(std::u16string programFolder = platform::ProgramDataFolder(),
                                    std::u16string programVersion = ProgramVersion());

    // Chooses the language and loads its translation. switchLocale is the
    // "locale" switch of the command line (empty when not given),
    // storedLanguageDir the "LanguageDir" setting (empty: prefer the system
    // language). True when a language bundle was accepted; false when the
    // built-in English is used (nothing chosen, a missing or broken bundle,
    // a bundle for another program version, an unreadable translation).
    bool Initialize(const std::u16string& switchLocale, const std::u16string& storedLanguageDir);
    bool Initialize(const std::u16string& switchLocale, const std::u16string& storedLanguageDir,
                    const CLocaleEnvironment& environment);

    // The choice alone, nothing loaded: the description of the bundle folder
    // the names lead to (possibly one that did not parse), else the built-in one.
    std::unique_ptr<CLocaleResourceInfo> ChooseLanguage(const std::u16string& switchLocale,
                                                        const std::u16string& storedLanguageDir,
                                                        const CLocaleEnvironment& environment) const;

    // The language in use; the built-in English one until a bundle is accepted.
    const CLocaleResourceInfo& GetCurrentInfo() const { return *m_current; }
    const std::u16string& GetCurrentLocaleName() const { return m_current->GetLocale(); }
    // The language's own help file when its description names an existing
    // one, else the program's manual in that language (help/de_DE/index.html,
    // then help/de/index.html), else the program's own "help/index.html".
    std::u16string GetCurrentHelpFile() const;

    // Installs the translation into a QCoreApplication made after Initialize.
    void InstallTranslator();

private:
    bool Load(std::unique_ptr<CLocaleResourceInfo> chosen);
    void Release();
    std::unique_ptr<CLocaleResourceInfo> ReadBundle(const std::u16string& name) const;
    // The bundle for a locale name: the exact folder, then the language's
    // own ("de" for "de_AT"), then any country of the language ("de_DE"
    // first), so that a German speaker in Austria still reads German.
    std::unique_ptr<CLocaleResourceInfo> ReadBundleForLocale(const std::u16string& name) const;

    std::u16string m_programVersion;
    std::unique_ptr<CLocaleResourceInfo> m_current;
    std::shared_ptr<QTranslator> m_previousModule;  // Tr's translation before ours
    bool m_installed = false;                       // ours is in the QCoreApplication
};
