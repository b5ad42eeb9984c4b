#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/lockable_containers.h"
#include "varnex/varnex_export.h"

// One entry of the code page catalogue: the code page number (-1 "Binary" and
// 0 "ASCII/UTF-8" are pseudo entries), the font character set used to preview
// its text, and the texts the user interface shows.
class VARNEX_API CCodepageInfo {
public:
    virtual ~CCodepageInfo() = default;

    CCodepageInfo() = default;
    CCodepageInfo(int codepage, int fontCharset, std::u16string name, std::u16string shortName,
                  std::u16string languageGroup);
    CCodepageInfo(const CCodepageInfo&) = default;
    CCodepageInfo& operator=(const CCodepageInfo&) = default;

    int GetCodepage() const { return m_codepage; }
    int GetFontLocaleFamily() const { return m_fontCharset; }
    std::u16string GetCodepageName() const { return m_name; }
    std::u16string GetCodepageShortName() const { return m_shortName; }
    std::u16string GetLanguageGroup() const { return m_languageGroup; }

    // The process-wide catalogue, built before any engine code runs.
    static const class CCodepageInfoCache& GetCodepageInfoCache();
    // The catalogue entry of a number, or null when the number is not in it.
    static const CCodepageInfo* GetCodepageInfo(int codepage);
    // The entry a user's name means, or null: a decimal number, a short name
    // ("Windows-1252", "Shift_JIS": case, '-', '_' and blanks ignored), or
    // any IANA or ICU alias of its charset ("cp1252", "KOI8-R", "latin2",
    // "latin1", "ascii"). The pseudo entries (-1, 0) are found by number only.
    static const CCodepageInfo* GetCodepageInfoByName(std::u16string_view name);

    int m_codepage = 0;
    int m_fontCharset = 0;
    std::u16string m_name;
    std::u16string m_shortName;
    std::u16string m_languageGroup;
};

// The catalogue: owns its entries, never changes after construction, so
// enumeration needs no lock.
class VARNEX_API CCodepageInfoCache : public CLockableVector<CCodepageInfo*> {
public:
    CCodepageInfoCache();
    ~CCodepageInfoCache() override;
    CCodepageInfoCache(const CCodepageInfoCache&) = delete;
    CCodepageInfoCache& operator=(const CCodepageInfoCache&) = delete;

    const CCodepageInfo* GetCodepageInfo(int codepage) const;
};

// A plain list of code page numbers.
class VARNEX_API CCodepageList : public std::vector<unsigned int> {
public:
    virtual ~CCodepageList() = default;
    CCodepageList() = default;
    CCodepageList(const CCodepageList&) = default;
    CCodepageList& operator=(const CCodepageList&) = default;

    // The keys of a code page statistics map, in its ascending key order.
    CCodepageList& operator=(const CLockableMap<int, unsigned int>& statistics);
};
