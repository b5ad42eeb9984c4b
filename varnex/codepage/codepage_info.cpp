#include "varnex/codepage/codepage_info.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/text.h"
#include "codecs/codepage.h"

namespace {

struct CatalogueRow {
    int codepage;
    int fontCharset;
    const char16_t* name;
    const char16_t* shortName;
    const char16_t* group;
};

// Display order of every code page picker. The texts are shown, exported and
// matched by users' filters exactly as they stand.
constexpr CatalogueRow kCatalogue[] = {
    {-1, 1, u"Binary", u"Binary", u"N/A"},
    {0, 1, u"ASCII/UTF-8", u"ASCII", u"System Default"},
    {1252, 0, u"Western (Windows-1252)", u"Windows-1252", u"Western"},
    {65001, 1, u"Unicode (UTF-8)", u"UTF-8", u"Global"},
    {1200, 1, u"Unicode (UTF-16 Little Endian)", u"UTF-16LE", u"Global"},
    {1201, 1, u"Unicode (UTF-16 Big Endian)", u"UTF-16BE", u"Global"},
    {12000, 1, u"Unicode (UTF-32 Little Endian)", u"UTF-32LE", u"Global"},
    {12001, 1, u"Unicode (UTF-32 Big Endian)", u"UTF-32BE", u"Global"},
    {3412, 1, u"Unicode (UCS-4-3412)", u"UCS-4-3412", u"Global"},
    {2143, 1, u"Unicode (UCS-4-2143)", u"UCS-4-2143", u"Global"},
    {855, 204, u"Cyrillic (IBM855)", u"IBM85", u"Cyrillic"},
    {866, 204, u"Cyrillic (IBM866)", u"IBM866", u"Cyrillic"},
    {1251, 204, u"Cyrillic (Windows-1251)", u"Windows-1251", u"Cyrillic"},
    {10007, 204, u"Cyrillic (MAC-Cyrillic)", u"MAC-Cyrillic", u"Cyrillic"},
    {28595, 204, u"Cyrillic (ISO-8859-5)", u"ISO-8859-5", u"Cyrillic"},
    {20866, 204, u"Cyrillic (KOI8-R", u"KOI8-4", u"Cyrillic"},
    {1253, 161, u"Greek (Windows-1253)", u"Windows-1253", u"Greek"},
    {28597, 161, u"Greek (ISO-8859-7)", u"ISO-8859-7", u"Greek"},
    {28598, 177, u"Hebrew (ISO-8859-8)", u"ISO-8859-8", u"Hebrew"},
    {1255, 177, u"Hebrew (Windows-1255)", u"Windows-1255", u"Hebrew"},
    {950, 136, u"Chinese (Big5)", u"Big5", u"Chinese"},
    {51950, 136, u"Chinese (EUC-TW)", u"EUC-TW", u"Chinese"},
    {936, 134, u"Chinese (GB2312)", u"GB2312", u"Chinese"},
    {50227, 134, u"Chinese (ISO-2022-CN)", u"ISO-2022-CN", u"Chinese"},
    {52936, 134, u"Chinese (HZ-GB-2312)", u"HZ-GB-2312", u"Chinese"},
    {54936, 134, u"Chinese (GB18030)", u"GB18030", u"Chinese"},
    {932, 128, u"Japanese (Shift-JIS)", u"Shift-JIS", u"Japanese"},
    {20932, 128, u"Japanese (EUC-JP)", u"EUC-JP", u"Japanese"},
    {50222, 128, u"Japanese (JIS-Allow 1 byte Kana - SO/SI)", u"JIS", u"Japanese"},
    {50225, 130, u"Korean (ISO-2022-KR)", u"ISO-2022-KR", u"Korean"},
    {51949, 130, u"Korean (EUC-KR)", u"EUC-KR", u"Korean"},
    {28592, 238, u"Central European (ISO-8859-2)", u"ISO-8859-2", u"Central European"},
    {1250, 238, u"Central European (Windows-1250)", u"Windows-1250", u"Central European"},
    {874, 222, u"Thai (Windows-874)", u"Windows-874", u"Thai"},
    // Further code pages the statistical detector can name, so that no text
    // finding is left without an entry. 28600, 28606 and 65010 are not Windows
    // code pages: ISO-8859-10 and -16 continue the 2859x numbering, and 65010
    // stands for VISCII; none collides with a Windows number.
    {28605, 0, u"Western (ISO-8859-15)", u"ISO-8859-15", u"Western"},
    {852, 238, u"Central European (IBM852)", u"IBM852", u"Central European"},
    {10029, 238, u"Central European (MAC-CentralEurope)", u"MAC-CentralEurope", u"Central European"},
    {28606, 238, u"South-Eastern European (ISO-8859-16)", u"ISO-8859-16", u"Central European"},
    {28593, 162, u"South European (ISO-8859-3)", u"ISO-8859-3", u"South European"},
    {28599, 162, u"Turkish (ISO-8859-9)", u"ISO-8859-9", u"Turkish"},
    {28594, 186, u"Baltic (ISO-8859-4)", u"ISO-8859-4", u"Baltic"},
    {28603, 186, u"Baltic (ISO-8859-13)", u"ISO-8859-13", u"Baltic"},
    {1257, 186, u"Baltic (Windows-1257)", u"Windows-1257", u"Baltic"},
    {28600, 186, u"Nordic (ISO-8859-10)", u"ISO-8859-10", u"Nordic"},
    {1256, 178, u"Arabic (Windows-1256)", u"Windows-1256", u"Arabic"},
    {28596, 178, u"Arabic (ISO-8859-6)", u"ISO-8859-6", u"Arabic"},
    {1258, 163, u"Vietnamese (Windows-1258)", u"Windows-1258", u"Vietnamese"},
    {65010, 163, u"Vietnamese (VISCII)", u"VISCII", u"Vietnamese"},
    // Code pages users hold files in, and the supersets detection reads its
    // findings with. 1375 is IBM's number for Big5-HKSCS, the one ICU's
    // converter carries: Windows has no official number (951 is only an
    // unofficial patch of 950's table) and 1375 collides with none of its pages.
    {1254, 162, u"Turkish (Windows-1254)", u"Windows-1254", u"Turkish"},
    {949, 130, u"Korean (CP949)", u"CP949", u"Korean"},
    {21866, 204, u"Cyrillic (KOI8-U)", u"KOI8-U", u"Cyrillic"},
    {10000, 0, u"Western (Mac-Roman)", u"Mac-Roman", u"Western"},
    {1375, 136, u"Chinese (Big5-HKSCS)", u"Big5-HKSCS", u"Chinese"},
    {50220, 128, u"Japanese (ISO-2022-JP)", u"ISO-2022-JP", u"Japanese"},
    {50221, 128, u"Japanese (csISO2022JP - Allow 1 byte Kana)", u"csISO2022JP", u"Japanese"},
    {1361, 130, u"Korean (Johab)", u"Johab", u"Korean"},
    {850, 0, u"Western (IBM850)", u"IBM850", u"Western"},
    // Latin-1 and ASCII as the standards define them, for files known to be
    // in them: 80..9F are the C1 controls, and every byte from 80 is not
    // ASCII. Detection reads their labels as windows-1252, as browsers do.
    {28591, 0, u"Western (ISO-8859-1)", u"ISO-8859-1", u"Western"},
    {20127, 0, u"Western (US-ASCII)", u"US-ASCII", u"Western"},
};

// Lower-case ASCII letters and digits only: "Shift_JIS" and "shift-jis" meet.
std::string NameKey(std::u16string_view name)
{
    std::string key;
    for (const char16_t c : name) {
        if (c >= u'A' && c <= u'Z')
            key.push_back(static_cast<char>(c - u'A' + 'a'));
        else if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            key.push_back(static_cast<char>(c));
    }
    return key;
}

// A number of decimal digits only, held below INT32_MAX so it never wraps.
std::optional<int> DecimalNumber(std::u16string_view text)
{
    if (text.empty())
        return std::nullopt;
    int64_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = std::min<int64_t>(value * 10 + (c - u'0'), INT32_MAX);
    }
    return static_cast<int>(value);
}

}  // namespace

CCodepageInfo::CCodepageInfo(int codepage, int fontCharset, std::u16string name, std::u16string shortName,
                             std::u16string languageGroup)
    : m_codepage(codepage),
      m_fontCharset(fontCharset),
      m_name(std::move(name)),
      m_shortName(std::move(shortName)),
      m_languageGroup(std::move(languageGroup))
{
}

const CCodepageInfoCache& CCodepageInfo::GetCodepageInfoCache()
{
    // Built on first use, which static initialisation of any caller may be;
    // never destroyed before its last user.
    static const CCodepageInfoCache cache;
    return cache;
}

const CCodepageInfo* CCodepageInfo::GetCodepageInfo(int codepage)
{
    return GetCodepageInfoCache().GetCodepageInfo(codepage);
}

const CCodepageInfo* CCodepageInfo::GetCodepageInfoByName(std::u16string_view name)
{
    if (const std::optional<int> number = DecimalNumber(name))
        return GetCodepageInfo(*number);
    const std::string key = NameKey(name);
    if (key.empty())
        return nullptr;
    // "ASCII", the short name of code page 0, names US-ASCII as everywhere
    // else; the pseudo entries are chosen by number.
    for (const CCodepageInfo* info : GetCodepageInfoCache())
        if (info->m_codepage > 0 && NameKey(info->m_shortName) == key)
            return info;
    // Charset names hold no characters outside ASCII.
    for (const char16_t c : name)
        if (c >= 0x80)
            return nullptr;
    const unsigned codepage = codecs::CodePageOfCharsetName(text::ToUtf8(name));
    return codepage == 0 ? nullptr : GetCodepageInfo(static_cast<int>(codepage));
}

CCodepageInfoCache::CCodepageInfoCache()
{
    CSingleLock lock(GetCriticalSection());
    reserve(std::size(kCatalogue));
    for (const auto& row : kCatalogue)
        push_back(new CCodepageInfo(row.codepage, row.fontCharset, row.name, row.shortName, row.group));
}

CCodepageInfoCache::~CCodepageInfoCache()
{
    CSingleLock lock(GetCriticalSection());
    for (CCodepageInfo* info : *this)
        delete info;
    clear();
}

const CCodepageInfo* CCodepageInfoCache::GetCodepageInfo(int codepage) const
{
    CSingleLock lock(GetCriticalSection());
    for (const CCodepageInfo* info : *this)
        if (info->GetCodepage() == codepage)
            return info;
    return nullptr;
}

CCodepageList& CCodepageList::operator=(const CLockableMap<int, unsigned int>& statistics)
{
    clear();
    CSingleLock lock(statistics.GetCriticalSection());
    for (const auto& entry : statistics)
        push_back(static_cast<unsigned int>(entry.first));
    return *this;
}
