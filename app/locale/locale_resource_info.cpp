#include "app/locale/locale_resource_info.h"

#include <pugixml.hpp>

#include <vector>

#include "app/locale/read_file_bytes.h"
#include "app/options/program_version.h"
#include "base/text.h"
#include "textrion/path/long_path.h"

namespace {

// A description file is a few hundred bytes; anything this large is not one.
constexpr size_t MAX_LOCALE_XML_BYTES = 1u << 20;

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// The first two numbers of a dotted version; false unless there are at least
// two and every part is a plain decimal number.
bool MajorMinorOf(const std::u16string& version, unsigned long& major, unsigned long& minor)
{
    size_t begin = 0, end = version.size();
    while (begin < end && IsBlank(version[begin]))
        ++begin;
    while (end > begin && IsBlank(version[end - 1]))
        --end;
    std::vector<unsigned long> numbers;
    unsigned long value = 0;
    size_t digits = 0;
    for (size_t i = begin; i <= end; ++i) {
        if (i == end || version[i] == u'.') {
            if (digits == 0)
                return false;
            numbers.push_back(value);
            value = 0;
            digits = 0;
            continue;
        }
        const char16_t c = version[i];
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + static_cast<unsigned long>(c - u'0');
        ++digits;
        if (value > 999999999ul)
            return false;
    }
    if (numbers.size() < 2)
        return false;
    major = numbers[0];
    minor = numbers[1];
    return true;
}

std::u16string TextOf(const pugi::xml_node& root, const char* name)
{
    return text::FromUtf8(root.child(name).text().as_string());
}

}  // namespace

const char16_t* const CLocaleResourceInfo::DEFAULT_HELP_FILE = u"help/index.html";
const char16_t* const CLocaleResourceInfo::HELP_FOLDER = u"help";

CLocaleResourceInfo::~CLocaleResourceInfo() = default;

CLocaleResourceInfo::CLocaleResourceInfo(const std::u16string& programFolder)
    : m_locale(u"en_US"),
      m_englishName(u"English (United States)"),
      m_displayName(u"English (United States)"),
      m_author(u"Quillmark"),
      m_copyright(u"Copyright \u00A9 Quillmark. All rights reserved."),
      m_version(ProgramVersion())
{
    CLongPath help(programFolder);
    help.Append(DEFAULT_HELP_FILE);
    m_helpFile = help.GetPath();
}

bool CLocaleResourceInfo::VersionMatches(const std::u16string& bundleVersion, const std::u16string& programVersion)
{
    unsigned long bundleMajor = 0, bundleMinor = 0, programMajor = 0, programMinor = 0;
    return MajorMinorOf(bundleVersion, bundleMajor, bundleMinor) &&
           MajorMinorOf(programVersion, programMajor, programMinor) && bundleMajor == programMajor &&
           bundleMinor == programMinor;
}

// ---------------------------------------------------------------------------

CXmlLocaleResourceInfo::~CXmlLocaleResourceInfo() = default;

CXmlLocaleResourceInfo::CXmlLocaleResourceInfo(const std::u16string& programFolder, const std::u16string& xmlPath)
    : CLocaleResourceInfo(programFolder),
      m_xmlPath(xmlPath)
{
    m_builtIn = false;
    m_valid = false;
    m_parsed = Parse();
}

bool CXmlLocaleResourceInfo::Parse()
{
    std::vector<char> bytes;
    if (!locale_detail::ReadFileBytes(m_xmlPath, MAX_LOCALE_XML_BYTES, bytes))
        return false;
    pugi::xml_document doc;
    if (!doc.load_buffer(bytes.data(), bytes.size()))
        return false;
    const pugi::xml_node root = doc.child("varnelLocaleInfo");
    if (!root)
        return false;

    const CLongPath xml(m_xmlPath);
    const std::u16string folder = xml.GetDirectory();
    m_locale = text::FromUtf8(root.attribute("locale").as_string());
    if (m_locale.empty())
        m_locale = xml.GetFolderName();

    // Relative names are kept as written, ".." included: the bundle is the
    // user's own data and only translation data is ever loaded from it.
    const std::u16string resource = TextOf(root, "resourceFile");
    m_resourceFile = resource.empty() ? std::u16string() : CLongPath(folder).Append(resource).GetPath();
    const std::u16string help = TextOf(root, "helpFile");
    if (!help.empty())
        m_helpFile = CLongPath(folder).Append(help).GetPath();

    m_version = TextOf(root, "version");
    m_englishName = TextOf(root, "englishName");
    m_displayName = TextOf(root, "displayName");
    m_author = TextOf(root, "author");
    m_webUrl = TextOf(root, "webUrl");
    m_email = TextOf(root, "email");
    m_copyright = TextOf(root, "copyright");
    m_comment = TextOf(root, "comment");
    return true;
}
