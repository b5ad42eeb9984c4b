#pragma once

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

namespace dialog_test {

// The folder the program's German translation was built into.
inline std::filesystem::path ShippedLocales()
{
    return std::filesystem::path(VARNELPRO_EXE).parent_path() / "Locales";
}

// A program folder whose "Locales" holds the shipped German bundle and a
// French one without a translation.
inline std::u16string MakeProgramFolder(const testing_support::TempDir& dir)
{
    namespace fs = std::filesystem;
    const fs::path locales = fs::path(dir.File("program")) / "Locales";
    fs::create_directories(locales);
    fs::copy(ShippedLocales() / "de_DE", locales / "de_DE", fs::copy_options::recursive);
    fs::create_directories(locales / "fr_FR");
    testing_support::WriteBytes((locales / "fr_FR" / "locale.xml").string(),
                                "<varnelLocaleInfo locale=\"fr_FR\"><version>2.0.0</version>"
                                "<displayName>Fran\xC3\xA7"
                                "ais (France)</displayName></varnelLocaleInfo>");
    return dir.File16("program");
}

}  // namespace dialog_test
