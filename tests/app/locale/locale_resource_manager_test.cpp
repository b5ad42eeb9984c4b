#include "app/locale/locale_resource_manager.h"

#include <gtest/gtest.h>

#include "varnex/convert/file_outcome.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include <QCoreApplication>

#include "app/locale/tr.h"
#include "base/text.h"
#include "locale_test_bundles.h"
#include "support/temp_dir.h"

namespace {

using locale_test::LocaleXml;
using locale_test::MakeBundle;
using testing_support::TempDir;

std::u16string U(const std::string& s)
{
    return text::FromUtf8(s);
}

const char16_t* const PROGRAM_VERSION = u"2.0.0";

struct ChoiceRow {
    const char* name;
    std::vector<const char*> folders;  // bundles made below Locales (locale attribute empty)
    const char16_t* switchLocale;
    const char16_t* stored;
    const char16_t* userLocale;
    const char16_t* systemLocale;
    const char16_t* expected;                    // locale name chosen; en_US is the built-in one
    std::vector<std::u16string> languages = {};  // LANGUAGE
};

class LocaleChoice : public testing::TestWithParam<ChoiceRow> { };

TEST_P(LocaleChoice, FollowsSwitchThenSettingThenEnvironment)
{
    const ChoiceRow& row = GetParam();
    TempDir root;
    std::filesystem::create_directories(root.File("Locales"));
    for (const char* folder : row.folders)
        MakeBundle(root, folder, LocaleXml("", "2.0.0"), false);
    CLocaleResourceManager manager(U(root.Path()), PROGRAM_VERSION);
    const auto chosen =
        manager.ChooseLanguage(row.switchLocale, row.stored, {row.userLocale, row.systemLocale, row.languages});
    EXPECT_EQ(chosen->GetLocale(), row.expected);
    EXPECT_EQ(chosen->IsBuiltIn(), std::u16string(row.expected) == u"en_US");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LocaleChoice,
    testing::Values(
        ChoiceRow{"SwitchBeatsSetting", {"de_DE", "fr"}, u"de_DE", u"fr", u"", u"", u"de_DE"},
        ChoiceRow{"SettingWithoutSwitch", {"de_DE", "fr"}, u"", u"fr", u"de_DE", u"", u"fr"},
        ChoiceRow{"NamedFolderMissingIgnoresEnvironment", {"de_DE"}, u"xx", u"", u"de_DE", u"", u"en_US"},
        ChoiceRow{"NamedLanguageFindsItsCountry", {"fr_CA", "fr_FR"}, u"fr", u"", u"", u"", u"fr_FR"},
        ChoiceRow{"NamedCountryFallsBackToLanguage", {"de", "de_DE"}, u"de_AT", u"", u"", u"", u"de"},
        ChoiceRow{"NamedCountryFallsBackToAnyCountry", {"de_CH"}, u"de_AT", u"", u"", u"", u"de_CH"},
        ChoiceRow{"EnvironmentCountryFolderFirst", {"fr", "fr_FR"}, u"", u"", u"fr_FR.UTF-8", u"", u"fr_FR"},
        ChoiceRow{"EnvironmentLanguageFolderNext", {"fr"}, u"", u"", u"fr_FR.UTF-8", u"", u"fr"},
        ChoiceRow{"CountryFolderWithoutDescription", {"fr", "fr_FR/empty"}, u"", u"", u"fr_FR", u"", u"fr"},
        ChoiceRow{"OtherCountryOfTheLanguage", {"fr_FR"}, u"", u"", u"fr_CA.UTF-8", u"", u"fr_FR"},
        ChoiceRow{"OtherLanguageNotTaken", {"fr_FR"}, u"", u"", u"de_AT.UTF-8", u"", u"en_US"},
        ChoiceRow{"SystemLocaleWhenUserHasNone", {"de_DE"}, u"", u"", u"", u"de_DE.UTF-8", u"de_DE"},
        ChoiceRow{"PlainUserLocaleIsEnglish", {"de_DE"}, u"", u"", u"C.UTF-8", u"de_DE.UTF-8", u"en_US"},
        ChoiceRow{"LanguageListFirst", {"de_DE", "fr"}, u"", u"", u"fr_FR.UTF-8", u"", u"de_DE", {u"xx", u"de"}},
        ChoiceRow{"LanguageListEnglishStops", {"de_DE"}, u"", u"", u"de_DE.UTF-8", u"", u"en_US", {u"en", u"de"}},
        ChoiceRow{"PlainLocaleIgnoresLanguageList", {"de_DE"}, u"", u"", u"C", u"", u"en_US", {u"de"}},
        ChoiceRow{"LanguageListWithoutBundlesGivesTheLocale", {"fr"}, u"", u"", u"fr_FR", u"", u"fr", {u"xx"}},
        ChoiceRow{"NoLocaleAnywhere", {"de_DE"}, u"", u"", u"", u"POSIX", u"en_US"},
        ChoiceRow{"FolderNameCaseIgnored", {"de_DE"}, u"DE_de", u"", u"", u"", u"de_DE"},
        ChoiceRow{"SwitchCannotLeaveLocales", {"../outside", "de_DE"}, u"../outside", u"", u"", u"", u"en_US"},
        ChoiceRow{
            "SettingCannotLeaveLocales", {"../outside", "de_DE"}, u"", u"de_DE/../../outside", u"", u"", u"en_US"},
        ChoiceRow{"CodesetAndModifierFindTheFolder", {"sr_RS"}, u"sr_RS.UTF-8@latin", u"", u"", u"", u"sr_RS"}),
    [](const testing::TestParamInfo<ChoiceRow>& row) { return std::string(row.param.name); });

TEST(LocaleEnvironment, SplitsPosixLocaleNames)
{
    struct Row {
        const char16_t* locale;
        const char16_t* language;
        const char16_t* country;
    };
    const Row rows[] = {
        {u"fr_FR.UTF-8", u"fr", u"FR"},
        {u"de_DE@euro", u"de", u"DE"},
        {u"sr_RS.UTF-8@latin", u"sr", u"RS"},
        {u"es_419", u"es", u"419"},
        {u"it", u"it", u""},
        {u"de-at", u"de", u"AT"},
        {u"fil_PH", u"fil", u"PH"},
        {u"C", u"", u""},
        {u"C.UTF-8", u"", u""},
        {u"POSIX", u"", u""},
        {u"", u"", u""},
        {u"../../etc", u"", u""},
        {u"fr_", u"", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.locale));
        std::u16string language = u"stale", country = u"stale";
        CLocaleEnvironment::SplitLocale(row.locale, language, country);
        EXPECT_EQ(language, row.language);
        EXPECT_EQ(country, row.country);
    }
}

// Sets variables for one test and restores them after.
class ScopedEnvironment {
public:
    void Set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST(LocaleEnvironment, UserLocaleFollowsTheMessagesPrecedence)
{
    ScopedEnvironment env;
    env.Set("LC_ALL", "");
    env.Set("LC_MESSAGES", "it_IT.UTF-8");
    env.Set("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(CLocaleEnvironment::FromProcess().userLocale, u"it_IT.UTF-8");
    env.Set("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(CLocaleEnvironment::FromProcess().userLocale, u"de_DE.UTF-8");
    env.Set("LC_ALL", nullptr);
    env.Set("LC_MESSAGES", nullptr);
    EXPECT_EQ(CLocaleEnvironment::FromProcess().userLocale, u"fr_FR.UTF-8");
    env.Set("LANGUAGE", "de_AT::de");
    EXPECT_EQ(CLocaleEnvironment::FromProcess().preferredLanguages, (std::vector<std::u16string>{u"de_AT", u"de"}));
}

struct LoadRow {
    const char* name;
    std::string xml;
    bool withTranslation;
    const char* translationBytes;  // replaces the translation when set
    bool accepted;
};

class LocaleLoading : public testing::TestWithParam<LoadRow> { };

TEST_P(LocaleLoading, AcceptsOnlyAMatchingVersionWithAReadableTranslation)
{
    const LoadRow& row = GetParam();
    TempDir root;
    const std::string dir = MakeBundle(root, "de_DE", row.xml, row.withTranslation);
    if (row.translationBytes)
        testing_support::WriteBytes(dir + "/bundle.qm", row.translationBytes);
    {
        CLocaleResourceManager manager(U(root.Path()), PROGRAM_VERSION);
        EXPECT_EQ(manager.Initialize(u"de_DE", u"", {}), row.accepted);
        EXPECT_EQ(manager.GetCurrentLocaleName(), row.accepted ? u"de_DE" : u"en_US");
        EXPECT_EQ(manager.GetCurrentInfo().IsBuiltIn(), !row.accepted);
        EXPECT_TRUE(manager.GetCurrentInfo().IsValid());
        EXPECT_EQ(manager.GetCurrentInfo().GetModule() != nullptr, row.accepted);
        EXPECT_EQ(Tr("Headless", "Summary"), row.accepted ? u"Zusammenfassung" : u"Summary");
    }
    EXPECT_EQ(Tr("Headless", "Summary"), u"Summary");  // the manager took its translation along
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LocaleLoading,
    testing::Values(LoadRow{"SameVersion", LocaleXml("de_DE", "2.0.0"), true, nullptr, true},
                    LoadRow{"OtherPatchLevel", LocaleXml("de_DE", "2.0.7"), true, nullptr, true},
                    LoadRow{"NewerMinorVersion", LocaleXml("de_DE", "2.1.0"), true, nullptr, false},
                    LoadRow{"OlderMajorVersion", LocaleXml("de_DE", "1.0.0"), true, nullptr, false},
                    LoadRow{"NoVersion",
                            "<varnelLocaleInfo><resourceFile>bundle.qm</resourceFile>"
                            "</varnelLocaleInfo>",
                            true, nullptr, false},
                    LoadRow{"NoResourceFile", LocaleXml("de_DE", "2.0.0", ""), true, nullptr, false},
                    LoadRow{"ResourceFileMissing", LocaleXml("de_DE", "2.0.0"), false, nullptr, false},
                    LoadRow{"ResourceFileNotATranslation", LocaleXml("de_DE", "2.0.0"), false, "not a qm file", false},
                    LoadRow{"BrokenDescription", "<varnelLocaleInfo locale=\"de_DE\"><version>2.0.0", true, nullptr,
                            false}),
    [](const testing::TestParamInfo<LoadRow>& row) { return std::string(row.param.name); });

TEST(LocaleResourceManager, InitialisingAgainAndEndingRestoreThePreviousTranslation)
{
    TempDir root;
    MakeBundle(root, "de_DE", LocaleXml("de_DE", "2.0.0"));
    MakeBundle(root, "de_AT", LocaleXml("de_AT", "2.0.0"));
    MakeBundle(root, "fr", LocaleXml("fr", "2.1.0"));

    CLocaleResourceManager outer(U(root.Path()), PROGRAM_VERSION);
    ASSERT_TRUE(outer.Initialize(u"de_DE", u"", {}));
    {
        CLocaleResourceManager inner(U(root.Path()), PROGRAM_VERSION);
        ASSERT_TRUE(inner.Initialize(u"de_AT", u"", {}));
        ASSERT_FALSE(inner.Initialize(u"fr", u"", {}));  // releases de_AT first
        EXPECT_EQ(inner.GetCurrentLocaleName(), u"en_US");
        // Back to what was current before inner loaded anything: outer's German.
        EXPECT_EQ(Tr("Headless", "Errors"), u"Fehler");
    }
    EXPECT_EQ(Tr("Headless", "Errors"), u"Fehler");
    EXPECT_FALSE(outer.Initialize(u"", u"", {}));
    EXPECT_EQ(Tr("Headless", "Errors"), u"Errors");
}

TEST(LocaleResourceManager, InstallsItsTranslationIntoTheApplication)
{
    TempDir root;
    MakeBundle(root, "de_DE", LocaleXml("de_DE", "2.0.0"));
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    CLocaleResourceManager manager(U(root.Path()), PROGRAM_VERSION);
    ASSERT_TRUE(manager.Initialize(u"de_DE", u"", {}));  // no application yet: kept, still used by Tr
    EXPECT_EQ(Tr("Headless", "Time"), u"Zeit");

    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(QCoreApplication::translate("Headless", "Time"), QString("Time"));
    manager.InstallTranslator();
    EXPECT_EQ(QCoreApplication::translate("Headless", "Time"), QString("Zeit"));
    EXPECT_EQ(Tr("Headless", "Time"), u"Zeit");

    manager.Initialize(u"", u"", {});
    EXPECT_EQ(QCoreApplication::translate("Headless", "Time"), QString("Time"));
    ASSERT_TRUE(manager.Initialize(u"de_DE", u"", {}));  // an application exists now: installed at once
    EXPECT_EQ(QCoreApplication::translate("Headless", "Time"), QString("Zeit"));
}

TEST(LocaleResourceManager, HelpFileFallsBackToTheProgramsManualInTheLanguageThenToTheProgramsOwn)
{
    struct Row {
        const char* name;
        const char* version;
        const char* helpElement;
        bool helpExists;
        const char* programManual;  // a manual of the program's help folder, or null
        const char* expected;       // relative to the bundle ("@") or the program folder
    };
    const Row rows[] = {
        {"bundle help exists", "2.0.0", "<helpFile>hilfe.html</helpFile>", true, "help/de_DE/index.html",
         "@/hilfe.html"},
        {"bundle help missing", "2.0.0", "<helpFile>hilfe.html</helpFile>", false, nullptr, "help/index.html"},
        {"no help element", "2.0.0", "", false, nullptr, "help/index.html"},
        {"bundle rejected", "2.1.0", "<helpFile>hilfe.html</helpFile>", true, "help/de_DE/index.html",
         "help/index.html"},
        {"program manual for the locale", "2.0.0", "", false, "help/de_DE/index.html", "help/de_DE/index.html"},
        {"program manual for the language", "2.0.0", "<helpFile>hilfe.html</helpFile>", false, "help/de/index.html",
         "help/de/index.html"},
        {"a manual of another language", "2.0.0", "", false, "help/fr/index.html", "help/index.html"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir root;
        const std::string dir =
            MakeBundle(root, "de_DE", LocaleXml("de_DE", row.version, "bundle.qm", row.helpElement));
        if (row.helpExists)
            testing_support::WriteBytes(dir + "/hilfe.html", "<html></html>");
        if (row.programManual != nullptr) {
            const std::string manual = root.File(row.programManual);
            std::filesystem::create_directories(std::filesystem::path(manual).parent_path());
            testing_support::WriteBytes(manual, "<html></html>");
        }
        CLocaleResourceManager manager(U(root.Path()), PROGRAM_VERSION);
        manager.Initialize(u"de_DE", u"", {});
        const std::string expected = row.expected;
        EXPECT_EQ(manager.GetCurrentHelpFile(),
                  expected[0] == '@' ? U(dir + expected.substr(1)) : U(root.File(expected)));
    }
}

TEST(LocaleResourceManager, ShippedGermanBundleTranslatesEveryProgramString)
{
    struct Message {
        const char* context;
        const char* text;
    };
    const Message messages[] = {
        {"Language", "Language settings will take effect after you exit and restart Varnel"},
        {"Language", "Prefer System Language"},
        {"Language", "Prefer system language"},
        {"Language", "Specify language"},
        {"Language", "Current Language:"},
        {"Language", "Author / Translator:"},
        {"Headless", "Files converted"},
        {"Headless", "Copied unconverted"},
        {"Headless", "Skipped (binary)"},
        {"Headless", "Warnings"},
        {"Headless", "Errors"},
        {"Headless", "Bytes read"},
        {"Headless", "Bytes written"},
        {"Headless", "Time"},
        {"Headless", "Summary"},
        {"Headless", "no input folder given"},
        {"Headless", "input folder does not exist: %1"},
        {"Headless", "no output folder given"},
        {"Headless", "output folder is inside a file: %1"},
        {"Headless", "cannot write to output folder: %1"},
        {"Headless", "unknown code page: %1"},
        {"Headless", "Usage"},
    };
    // The real program folder and version, as the program starts.
    const std::u16string programFolder = U(std::filesystem::path(VARNELPRO_EXE).parent_path().string());
    CLocaleResourceManager manager(programFolder);
    ASSERT_TRUE(manager.Initialize(u"de_DE", u"", {}));
    EXPECT_EQ(manager.GetCurrentInfo().GetDisplayName(), u"Deutsch (Deutschland)");
    for (const Message& m : messages) {
        SCOPED_TRACE(m.text);
        const std::u16string german = Tr(m.context, m.text);
        EXPECT_FALSE(german.empty());
        EXPECT_NE(german, U(m.text));
        EXPECT_EQ(german.find(u"%1") != std::u16string::npos, std::string(m.text).find("%1") != std::string::npos);
    }
    // The argument goes in after translation and is never itself expanded.
    EXPECT_EQ(Tr("Headless", "unknown code page: %1", u"ab%1"), u"unbekannte Codepage: ab%1");
    // Several arguments go in one pass, in the translation's order of words.
    EXPECT_EQ(Tr("Settings", "Settings file \"%1\" cannot be read (%2)", {u"/a%2", u"EACCES"}),
              u"Die Einstellungsdatei \"/a%2\" kann nicht gelesen werden (EACCES)");

    bool listed = false;
    for (const auto& info : manager.GetLocaleList())
        listed = listed || info.GetLocale() == u"de_DE";
    EXPECT_TRUE(listed);
}

// The engine's reasons in the chosen language, their numbers filled in after
// translation; without a translator they stay English.
TEST(LocaleResourceManager, EngineReasonsFollowTheChosenLanguage)
{
    CLocaleResourceManager manager(U(std::filesystem::path(VARNELPRO_EXE).parent_path().string()));
    ASSERT_TRUE(manager.Initialize(u"de_DE", u"", {}));
    const ReasonNote unsure = ReasonNote::Of(OutcomeReason::DetectionUnsure);
    const ReasonNote replaced = ReasonNote::Of(OutcomeReason::ReplacedCharacters, 7);
    EXPECT_EQ(DescribeReason(unsure), u"the code page detection is unsure");
    SetReasonTranslator([](const char* english) { return Tr("Reasons", english); });
    EXPECT_EQ(DescribeReason(unsure), u"die Erkennung der Codepage ist unsicher");
    EXPECT_EQ(DescribeReason(replaced).rfind(u"7 Zeichen ", 0), 0u);
    SetReasonTranslator(nullptr);
    EXPECT_EQ(DescribeReason(replaced).rfind(u"7 characters ", 0), 0u);
}

TEST(Tr, GivesTheEnglishTextWithoutALanguage)
{
    EXPECT_EQ(Tr("Headless", "Summary"), u"Summary");
    EXPECT_EQ(Tr("Headless", "input folder does not exist: %1", u"/in"), u"input folder does not exist: /in");
    EXPECT_EQ(Tr("Headless", nullptr), u"");
    EXPECT_EQ(Tr("Settings", "%1 to %2, %3 unused, %1 again", {u"a", u"b"}), u"a to b, %3 unused, a again");
    EXPECT_EQ(Tr("Settings", "100%", {u"x"}), u"100%");
}

}  // namespace
