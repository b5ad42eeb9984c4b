#include "app/locale/locale_resource_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/locale/locale_resource_finder.h"
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

TEST(XmlLocaleResourceInfo, ReadsFieldsAndResolvesFileNamesAgainstItsFolderKeepingDotDot)
{
    TempDir root;
    const std::string dir = MakeBundle(root, "de_DE",
                                       "<varnelLocaleInfo locale=\"de_CH\">"
                                       "<version>2.0.1</version>"
                                       "<resourceFile>../shared/de.qm</resourceFile>"
                                       "<helpFile>hilfe.html</helpFile>"
                                       "<englishName>German</englishName><displayName>Deutsch</displayName>"
                                       "<author>A</author><webUrl>W</webUrl><email>E</email>"
                                       "<copyright>C</copyright><comment>N</comment>"
                                       "</varnelLocaleInfo>",
                                       false);
    const CXmlLocaleResourceInfo info(U(root.Path()), U(dir + "/locale.xml"));
    ASSERT_TRUE(info.IsParsed());
    EXPECT_FALSE(info.IsBuiltIn());
    EXPECT_FALSE(info.IsValid());  // only a manager that accepted it makes it valid
    EXPECT_EQ(info.GetLocale(), u"de_CH");
    EXPECT_EQ(info.GetVersion(), u"2.0.1");
    EXPECT_EQ(info.GetResourceFile(), U(dir + "/../shared/de.qm"));
    EXPECT_EQ(info.GetHelpFile(), U(dir + "/hilfe.html"));
    EXPECT_EQ(info.GetEnglishName() + info.GetDisplayName() + info.GetAuthor() + info.GetWebUrl() + info.GetEmail() +
                  info.GetCopyright() + info.GetComment(),
              u"GermanDeutschAWECN");
}

TEST(XmlLocaleResourceInfo, TakesTheFolderNameWhenTheLocaleAttributeIsMissingOrEmpty)
{
    TempDir root;
    for (const char* xml : {"<varnelLocaleInfo><displayName>Italiano</displayName></varnelLocaleInfo>",
                            "<varnelLocaleInfo locale=\"\"/>"}) {
        SCOPED_TRACE(xml);
        const std::string dir = MakeBundle(root, "it", xml, false);
        const CXmlLocaleResourceInfo info(U(root.Path()), U(dir + "/locale.xml"));
        ASSERT_TRUE(info.IsParsed());
        EXPECT_EQ(info.GetLocale(), u"it");
        EXPECT_TRUE(info.GetResourceFile().empty());
        EXPECT_EQ(info.GetHelpFile(), U(root.File("help/index.html")));  // none of its own
    }
}

TEST(XmlLocaleResourceInfo, DetectsTheEncodingOfTheFile)
{
    TempDir root;
    // UTF-16 LE with BOM, declaring nothing.
    const std::u16string xml = u"\uFEFF<varnelLocaleInfo locale=\"fr\"><displayName>Fran\u00E7ais</displayName>"
                               u"</varnelLocaleInfo>";
    const std::string bytes(reinterpret_cast<const char*>(xml.data()), xml.size() * 2);
    const std::string dir = MakeBundle(root, "fr", bytes, false);
    const CXmlLocaleResourceInfo info(U(root.Path()), U(dir + "/locale.xml"));
    ASSERT_TRUE(info.IsParsed());
    EXPECT_EQ(info.GetDisplayName(), u"Fran\u00E7ais");
}

TEST(XmlLocaleResourceInfo, LeavesUnreadableDescriptionsUnparsed)
{
    struct Row {
        const char* name;
        const char* xml;  // null: no file at all
    };
    const Row rows[] = {
        {"missing file", nullptr},
        {"empty file", ""},
        {"unclosed element", "<varnelLocaleInfo locale=\"de\"><version>2.0</version>"},
        {"other root element", "<localeInfo locale=\"de\"/>"},
        {"not xml at all", "locale=de\n"},
    };
    TempDir root;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dir = (std::filesystem::path(root.Path()) / row.name).string();
        std::filesystem::create_directories(dir);
        if (row.xml != nullptr)
            testing_support::WriteBytes(dir + "/locale.xml", row.xml);
        EXPECT_FALSE(CXmlLocaleResourceInfo(U(root.Path()), U(dir + "/locale.xml")).IsParsed());
    }
}

TEST(LocaleResourceInfo, VersionMatchesOnTheFirstTwoNumbersOnly)
{
    struct Row {
        const char16_t* bundle;
        const char16_t* program;
        bool matches;
    };
    const Row rows[] = {
        {u"2.0.0", u"2.0.0", true},
        {u"2.0.9", u"2.0.0", true},
        {u"2.0", u"2.0.3", true},
        {u" 2.0.0\n", u"2.0.0", true},
        {u"02.00", u"2.0.0", true},
        {u"2.1.0", u"2.0.0", false},
        {u"2.1", u"2.0.0", false},
        {u"3.0.0", u"2.0.0", false},
        {u"1.0.0", u"2.0.0", false},
        {u"20.0", u"2.0.0", false},
        {u"2.00", u"2.0.0", true},
        {u"2", u"2.0.0", false},
        {u"", u"2.0.0", false},
        {u"2.0.x", u"2.0.0", false},
        {u"2..0", u"2.0.0", false},
        {u"v2.0", u"2.0.0", false},
        {u"2.0.0", u"", false},
        {u"2.0 beta", u"2.0.0", false},
        {u"4294967298.0", u"2.0.0", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.bundle) + " vs " + text::ToUtf8(row.program));
        EXPECT_EQ(CLocaleResourceInfo::VersionMatches(row.bundle, row.program), row.matches);
    }
}

TEST(LocaleResourceFinder, ListsEveryParsedDescriptionBelowLocalesIgnoringTheFileNameCase)
{
    TempDir root;
    MakeBundle(root, "de_DE", LocaleXml("de_DE", "2.0.0"), false);
    MakeBundle(root, "fr", LocaleXml("fr", "2.0.0"), false, "LOCALE.XML");
    MakeBundle(root, "more/nested/it", LocaleXml("", "2.0.0"), false, "Locale.Xml");
    MakeBundle(root, "broken", "<varnelLocaleInfo locale=\"xx\">", false);
    MakeBundle(root, "es", LocaleXml("es", "2.0.0"), false, "locale.xml.bak");
    MakeBundle(root, ".hidden", LocaleXml("hh", "2.0.0"), false);
    std::filesystem::create_directories(root.File("Locales/pt/locale.xml"));  // a folder, not a file

    CLocaleResourceFinder finder(U(root.Path()));
    finder.StartSearch();
    // Every caller waits for the one search and sees its whole result.
    std::vector<CXmlLocaleResourceInfo> other;
    std::thread second([&] { other = finder.GetLocaleList(); });
    const std::vector<CXmlLocaleResourceInfo> list = finder.GetLocaleList();
    second.join();

    std::u16string names;
    for (const auto& info : list)
        names += info.GetLocale() + u" ";
    EXPECT_EQ(names, u"de_DE fr it ");
    EXPECT_EQ(other.size(), list.size());
}

TEST(LocaleResourceFinder, GivesAnEmptyListWithoutALocalesFolder)
{
    TempDir root;
    CLocaleResourceFinder finder(U(root.Path()));
    EXPECT_TRUE(finder.GetLocaleList().empty());
}

}  // namespace
