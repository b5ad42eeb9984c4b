#pragma once

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace locale_test {

// The German translation the build compiled, beside the program under test.
inline std::string ShippedGermanFolder()
{
    return (std::filesystem::path(VARNELPRO_EXE).parent_path() / "Locales" / "de_DE").string();
}

inline std::string ShippedGermanQm()
{
    return ShippedGermanFolder() + "/varnelpro_de_DE.qm";
}

// A locale.xml with the given attribute and version; the resource file is
// "bundle.qm" unless resource says otherwise.
inline std::string LocaleXml(const std::string& locale, const std::string& version,
                             const std::string& resource = "bundle.qm", const std::string& extra = "")
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<varnelLocaleInfo";
    if (!locale.empty())
        xml += " locale=\"" + locale + "\"";
    xml += ">\n  <version>" + version + "</version>\n";
    if (!resource.empty())
        xml += "  <resourceFile>" + resource + "</resourceFile>\n";
    xml += "  <displayName>" + (locale.empty() ? std::string("unnamed") : locale) + "</displayName>\n";
    return xml + extra + "</varnelLocaleInfo>\n";
}

// Makes <root>/Locales/<folder>/ with the given locale.xml text and, when
// withTranslation, the shipped German translation as "bundle.qm".
inline std::string MakeBundle(const testing_support::TempDir& root, const std::string& folder, const std::string& xml,
                              bool withTranslation = true, const std::string& xmlName = "locale.xml")
{
    const std::filesystem::path dir = std::filesystem::path(root.Path()) / "Locales" / folder;
    std::filesystem::create_directories(dir);
    testing_support::WriteBytes((dir / xmlName).string(), xml);
    if (withTranslation)
        std::filesystem::copy_file(ShippedGermanQm(), dir / "bundle.qm",
                                   std::filesystem::copy_options::overwrite_existing);
    return dir.string();
}

}  // namespace locale_test
