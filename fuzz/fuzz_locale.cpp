// A language bundle's locale.xml: read alone, chosen by the manager by its
// folder name, and listed by the finder. Only a bundle that parses is listed.
#include "app/locale/locale_resource_manager.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::u16string xml =
        fuzz::WriteTempFile("Locales/fz/locale.xml", {reinterpret_cast<const char*>(data), size});
    const std::u16string program = text::FromUtf8(fuzz::TempFolder());

    const CXmlLocaleResourceInfo info(program, xml);
    FUZZ_CHECK(!info.IsParsed() || !info.GetLocale().empty());
    const bool matches = CLocaleResourceInfo::VersionMatches(info.GetVersion(), u"2.0.0");
    FUZZ_CHECK(matches == CLocaleResourceInfo::VersionMatches(u"2.0.0", info.GetVersion()));
    std::u16string language, country;
    CLocaleEnvironment::SplitLocale(info.GetLocale(), language, country);
    FUZZ_CHECK(language.empty() || (language.size() >= 2 && language.size() <= 3));

    CLocaleResourceManager manager(program, u"2.0.0");
    const bool loaded = manager.Initialize(u"FZ", u"", CLocaleEnvironment{});
    FUZZ_CHECK(!loaded || (info.IsParsed() && matches));
    FUZZ_CHECK(!manager.GetCurrentHelpFile().empty());
    FUZZ_CHECK(manager.GetLocaleList().size() == (info.IsParsed() ? 1u : 0u));
    return 0;
}
