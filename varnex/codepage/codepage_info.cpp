#include "varnex/codepage/codepage_info.h"

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
};

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
