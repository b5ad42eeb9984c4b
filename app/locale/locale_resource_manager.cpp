#include "app/locale/locale_resource_manager.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QCoreApplication>
#include <QString>
#include <QTranslator>

#include "app/locale/read_file_bytes.h"
#include "app/locale/tr.h"
#include "base/text.h"
#include "platform/file_api.h"
#include "platform/process.h"

namespace {

// Generous for any translation of this program, small enough to refuse a
// stray huge file named as one.
constexpr size_t MAX_TRANSLATION_BYTES = 64u << 20;
constexpr size_t MAX_LOCALE_CONF_BYTES = 64u << 10;

// A QTranslator reads the bytes it was loaded from in place: both live and
// die together.
struct LoadedTranslation {
    std::vector<char> data;
    QTranslator translator;  // declared after data, so destroyed before it
};

std::shared_ptr<QTranslator> LoadTranslation(const std::u16string& path)
{
    auto loaded = std::make_shared<LoadedTranslation>();
    if (!locale_detail::ReadFileBytes(path, MAX_TRANSLATION_BYTES, loaded->data) || loaded->data.empty())
        return nullptr;
    const QString folder = QString::fromStdU16String(CLongPath(path).GetDirectory());
    if (!loaded->translator.load(reinterpret_cast<const uchar*>(loaded->data.data()),
                                 static_cast<int>(loaded->data.size()), folder))
        return nullptr;
    return std::shared_ptr<QTranslator>(loaded, &loaded->translator);
}

bool HasType(const std::u16string& path, platform::FileType type)
{
    platform::FileStatus st;
    return platform::GetFileStatus(path, &st) && st.type == type;
}

// The path of the entry of folder called name with the given type: the exact
// name when it exists, else the first (in name order) that equals it ignoring
// ASCII case, so that bundles made on case-insensitive file systems and names
// typed in another case still work. Empty when there is none.
std::u16string ResolveNoCase(const std::u16string& folder, const std::u16string& name, platform::FileType type)
{
    const std::u16string exact = CLongPath(folder).Append(name).GetPath();
    if (HasType(exact, type))
        return exact;
    platform::DirectoryReader reader;
    if (!reader.Open(folder))
        return {};
    std::u16string best;
    platform::DirectoryEntry entry;
    while (reader.Next(entry)) {
        if (!text::EqualsNoCase(entry.name, name) || (!best.empty() && entry.name >= best))
            continue;
        if (HasType(CLongPath(folder).Append(entry.name).GetPath(), type))
            best = entry.name;
    }
    return best.empty() ? std::u16string() : CLongPath(folder).Append(best).GetPath();
}

bool IsAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// LANG=... from a locale configuration file ("de_DE.UTF-8", quotes removed).
std::u16string LangFromConfFile(const std::u16string& path)
{
    std::vector<char> bytes;
    if (!locale_detail::ReadFileBytes(path, MAX_LOCALE_CONF_BYTES, bytes))
        return {};
    const std::string content(bytes.begin(), bytes.end());
    size_t lineStart = 0;
    while (lineStart < content.size()) {
        size_t lineEnd = content.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = content.size();
        std::string line = content.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.compare(first, 5, "LANG=") != 0)
            continue;
        std::string value = line.substr(first + 5);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t'))
            value.pop_back();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return text::FromUtf8(value);
    }
    return {};
}

}  // namespace

// ---------------------------------------------------------------------------

CLocaleEnvironment CLocaleEnvironment::FromProcess()
{
    CLocaleEnvironment environment;
    // The precedence POSIX gives the messages category.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::optional<std::u16string> value = platform::EnvironmentValue(variable);
        if (value && !value->empty()) {
            environment.userLocale = *value;
            break;
        }
    }
    if (const std::optional<std::u16string> list = platform::EnvironmentValue("LANGUAGE")) {
        for (size_t begin = 0; begin <= list->size();) {
            size_t end = list->find(u':', begin);
            if (end == std::u16string::npos)
                end = list->size();
            if (end > begin)
                environment.preferredLanguages.push_back(list->substr(begin, end - begin));
            begin = end + 1;
        }
    }
    for (const char16_t* file : {u"/etc/locale.conf", u"/etc/default/locale"}) {
        environment.systemLocale = LangFromConfFile(file);
        if (!environment.systemLocale.empty())
            break;
    }
    return environment;
}

void CLocaleEnvironment::SplitLocale(const std::u16string& locale, std::u16string& language, std::u16string& country)
{
    language.clear();
    country.clear();
    const std::u16string base = locale.substr(0, locale.find_first_of(u".@"));
    const size_t separator = base.find_first_of(u"_-");
    const std::u16string lang = base.substr(0, separator);
    const std::u16string ctry = separator == std::u16string::npos ? std::u16string() : base.substr(separator + 1);
    // ISO 639 names are two or three letters ("C" and "POSIX" are not);
    // countries are ISO 3166 letters or UN M.49 digits ("es_419").
    if (lang.size() < 2 || lang.size() > 3)
        return;
    for (const char16_t c : lang)
        if (!IsAsciiLetter(c))
            return;
    if (separator != std::u16string::npos && (ctry.size() < 2 || ctry.size() > 3))
        return;
    for (const char16_t c : ctry)
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c))
            return;
    language = text::AsciiLowered(lang);
    for (const char16_t c : ctry)
        country.push_back(IsAsciiLetter(c) && c >= u'a' ? static_cast<char16_t>(c - u'a' + u'A') : c);
}

bool CLocaleEnvironment::IsPlainLocale(const std::u16string& locale)
{
    const std::u16string base = locale.substr(0, locale.find_first_of(u".@"));
    return base == u"C" || base == u"POSIX";
}

bool CLocaleEnvironment::IsEnglish(const std::u16string& locale)
{
    std::u16string language, country;
    SplitLocale(locale, language, country);
    return language == u"en" || IsPlainLocale(locale);
}

bool CLocaleEnvironment::IsLanguageName(std::u16string_view name)
{
    if (name.empty() || name[0] == u'.' || name.find(u"..") != std::u16string_view::npos)
        return false;
    for (const char16_t c : name)
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != u'_' && c != u'-' && c != u'.' && c != u'@')
            return false;
    return true;
}

// ---------------------------------------------------------------------------

CLocaleResourceManager::~CLocaleResourceManager()
{
    Release();
}

CLocaleResourceManager::CLocaleResourceManager(std::u16string programFolder, std::u16string programVersion)
    : CLocaleResourceFinder(std::move(programFolder)),
      m_programVersion(std::move(programVersion)),
      m_current(std::make_unique<CLocaleResourceInfo>(GetProgramFolder()))
{
}

bool CLocaleResourceManager::Initialize(const std::u16string& switchLocale, const std::u16string& storedLanguageDir)
{
    return Initialize(switchLocale, storedLanguageDir, CLocaleEnvironment::FromProcess());
}

bool CLocaleResourceManager::Initialize(const std::u16string& switchLocale, const std::u16string& storedLanguageDir,
                                        const CLocaleEnvironment& environment)
{
    return Load(ChooseLanguage(switchLocale, storedLanguageDir, environment));
}

std::unique_ptr<CLocaleResourceInfo> CLocaleResourceManager::ReadBundle(const std::u16string& name) const
{
    // The switch is checked when the line is read, but a stored setting is
    // not: neither may lead outside Locales.
    if (!CLocaleEnvironment::IsLanguageName(name))
        return nullptr;
    const std::u16string folder = ResolveNoCase(GetLocalesFolder(), name, platform::FileType::Directory);
    if (folder.empty())
        return nullptr;
    const std::u16string xml = ResolveNoCase(folder, LOCALE_XML, platform::FileType::Regular);
    if (xml.empty())
        return nullptr;
    return std::make_unique<CXmlLocaleResourceInfo>(GetProgramFolder(), xml);
}

std::unique_ptr<CLocaleResourceInfo> CLocaleResourceManager::ReadBundleForLocale(const std::u16string& name) const
{
    std::u16string language, country;
    CLocaleEnvironment::SplitLocale(name, language, country);
    if (language.empty())
        return nullptr;
    if (!country.empty()) {
        if (auto info = ReadBundle(language + u"_" + country))
            return info;
    }
    if (auto info = ReadBundle(language))
        return info;
    // Another country of the language: the one named like the language
    // ("de_DE", "fr_FR") first, else the first by name.
    platform::DirectoryReader reader;
    if (!reader.Open(GetLocalesFolder()))
        return nullptr;
    std::u16string own = language + u"_";
    for (const char16_t c : language)
        own.push_back(static_cast<char16_t>(c - u'a' + u'A'));
    std::vector<std::u16string> candidates;
    platform::DirectoryEntry entry;
    while (reader.Next(entry)) {
        std::u16string entryLanguage, entryCountry;
        CLocaleEnvironment::SplitLocale(entry.name, entryLanguage, entryCountry);
        if (entryLanguage == language && !entryCountry.empty())
            candidates.push_back(entry.name);
    }
    std::sort(candidates.begin(), candidates.end(), [&own](const std::u16string& a, const std::u16string& b) {
        const bool aOwn = text::EqualsNoCase(a, own), bOwn = text::EqualsNoCase(b, own);
        return aOwn != bOwn ? aOwn : a < b;
    });
    for (const std::u16string& candidate : candidates) {
        if (auto info = ReadBundle(candidate))
            return info;
    }
    return nullptr;
}

std::unique_ptr<CLocaleResourceInfo> CLocaleResourceManager::ChooseLanguage(const std::u16string& switchLocale,
                                                                            const std::u16string& storedLanguageDir,
                                                                            const CLocaleEnvironment& environment) const
{
    const std::u16string name = switchLocale.empty() ? storedLanguageDir : switchLocale;
    if (!name.empty()) {
        if (auto info = ReadBundle(name))
            return info;
        if (auto info = ReadBundleForLocale(name))
            return info;
        return std::make_unique<CLocaleResourceInfo>(GetProgramFolder());
    }
    // A plain locale asks for the untranslated program, whatever LANGUAGE says.
    if (!CLocaleEnvironment::IsPlainLocale(environment.userLocale)) {
        for (const std::u16string& language : environment.preferredLanguages) {
            if (auto info = ReadBundleForLocale(language))
                return info;
            if (CLocaleEnvironment::IsEnglish(language))
                return std::make_unique<CLocaleResourceInfo>(GetProgramFolder());
        }
        std::u16string language, country;
        CLocaleEnvironment::SplitLocale(environment.userLocale, language, country);
        const std::u16string& locale = language.empty() ? environment.systemLocale : environment.userLocale;
        if (auto info = ReadBundleForLocale(locale))
            return info;
    }
    return std::make_unique<CLocaleResourceInfo>(GetProgramFolder());
}

bool CLocaleResourceManager::Load(std::unique_ptr<CLocaleResourceInfo> chosen)
{
    Release();
    const auto* xml = dynamic_cast<const CXmlLocaleResourceInfo*>(chosen.get());
    if (xml == nullptr || !xml->IsParsed() || xml->GetResourceFile().empty() ||
        !CLocaleResourceInfo::VersionMatches(xml->GetVersion(), m_programVersion))
        return false;
    std::shared_ptr<QTranslator> module = LoadTranslation(xml->GetResourceFile());
    if (!module)
        return false;
    chosen->m_module = module;
    chosen->m_valid = true;
    m_current = std::move(chosen);
    m_previousModule = locale_detail::ExchangeActiveTranslator(std::move(module));
    InstallTranslator();
    return true;
}

void CLocaleResourceManager::Release()
{
    if (m_current->m_module) {
        if (m_installed && QCoreApplication::instance() != nullptr)
            QCoreApplication::removeTranslator(m_current->m_module.get());
        m_installed = false;
        locale_detail::ExchangeActiveTranslator(std::move(m_previousModule));
        m_previousModule.reset();
    }
    m_current = std::make_unique<CLocaleResourceInfo>(GetProgramFolder());
}

void CLocaleResourceManager::InstallTranslator()
{
    if (m_current->m_module && !m_installed && QCoreApplication::instance() != nullptr)
        m_installed = QCoreApplication::installTranslator(m_current->m_module.get());
}

std::u16string CLocaleResourceManager::GetCurrentHelpFile() const
{
    const std::u16string own = CLongPath(GetProgramFolder()).Append(CLocaleResourceInfo::DEFAULT_HELP_FILE).GetPath();
    if (m_current->GetHelpFile() != own && HasType(m_current->GetHelpFile(), platform::FileType::Regular))
        return m_current->GetHelpFile();
    // The program's manual in the language: help/de_DE/index.html, then help/de/index.html.
    if (!m_current->IsBuiltIn()) {
        const std::u16string& locale = m_current->GetLocale();
        for (const std::u16string& name : {locale, locale.substr(0, locale.find(u'_'))}) {
            if (name.empty())
                continue;
            const std::u16string translated = CLongPath(GetProgramFolder())
                                                  .Append(CLocaleResourceInfo::HELP_FOLDER)
                                                  .Append(name)
                                                  .Append(u"index.html")
                                                  .GetPath();
            if (HasType(translated, platform::FileType::Regular))
                return translated;
        }
    }
    return own;
}
