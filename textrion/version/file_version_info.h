#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "textrion/textrion_export.h"

// The fixed part of a version description, in the layout Windows uses for its
// version resources. Version numbers are two 32-bit halves each: major << 16 |
// minor, then revision << 16 | build.
struct VS_FIXEDFILEINFO {
    uint32_t dwSignature;  // 0xFEEF04BD in a valid block
    uint32_t dwStrucVersion;
    uint32_t dwFileVersionMS;
    uint32_t dwFileVersionLS;
    uint32_t dwProductVersionMS;
    uint32_t dwProductVersionLS;
    uint32_t dwFileFlagsMask;
    uint32_t dwFileFlags;
    uint32_t dwFileOS;
    uint32_t dwFileType;
    uint32_t dwFileSubtype;
    uint32_t dwFileDateMS;
    uint32_t dwFileDateLS;
};

// Version information: fixed version numbers, a table of translations
// (language and code page) and named version strings per translation.
//
// Linux files carry no version resource, so the information is read from a
// version description, a small text (UTF-8, a BOM is skipped):
//
//   # comment (also ';')
//   FileVersion=2.0.0
//   ProductName=Varnel Professional
//   [040704B0]
//   FileDescription=Textkonverter
//
// Each "Name=Value" line gives a version string; blanks around name and value
// are dropped; a repeated name keeps its first value. A line "[LLLLCCCC]"
// (hex language and code page) starts the strings of that translation; lines
// before any such line belong to 0409 04B0 (US English, Unicode); lines under
// a malformed section line are ignored. Translations are numbered in the order
// they first appear. "FileVersion" and "ProductVersion" of the first
// translation that has them fill the fixed block: up to four numbers of
// 0..65535 separated by '.' or ',' ("2.0.0", "2, 0, 0, 1"), text after them
// ignored ("2.0.0-rc1"); ProductVersion defaults to FileVersion. The
// description is valid when such a FileVersion exists.
//
// The program describes itself from its build version (OpenFromText with
// "FileVersion=" and the version); a language bundle from its locale.xml.
class TEXTRION_API CFileVersionInfo {
public:
    virtual ~CFileVersionInfo();
    CFileVersionInfo();
    CFileVersionInfo(const CFileVersionInfo& other);
    CFileVersionInfo& operator=(const CFileVersionInfo& other);

    // Reads the version description file at path (at most 64 KiB; a larger
    // file is not a description). Clears the object first; returns IsValid().
    // Null, a missing file or a file without a FileVersion give false.
    bool Open(const char16_t* path);
    // The same from a description held in memory.
    bool OpenFromText(std::u16string_view description);
    void Close();
    bool IsValid() const { return m_valid; }

    // 16-bit parts of the versions; 0 when invalid.
    uint16_t GetFileVersionMajor() const;
    uint16_t GetFileVersionMinor() const;
    uint16_t GetFileVersionRevision() const;
    uint16_t GetFileVersionBuild() const;
    uint16_t GetProductVersionMajor() const;
    uint16_t GetProductVersionMinor() const;
    uint16_t GetProductVersionRevision() const;
    uint16_t GetProductVersionBuild() const;
    const VS_FIXEDFILEINFO& GetVSFFI() const { return m_fixed; }

    // The translation table: entries hold the language in the low and the code
    // page in the high 16 bits. An index outside 0..count-1, or an invalid
    // object, gives 0.
    int GetTransCount() const;
    int GetCurTransIndex() const { return m_curTrans; }
    uint32_t GetCurTrans() const { return GetTransByIndex(m_curTrans); }
    uint16_t GetCurLID() const { return GetLIDByIndex(m_curTrans); }
    uint16_t GetCurCP() const { return GetCPByIndex(m_curTrans); }
    uint32_t GetTransByIndex(int index) const;
    uint16_t GetLIDByIndex(int index) const;
    uint16_t GetCPByIndex(int index) const;
    // The index of that translation, or -1.
    int FindTrans(uint16_t language, uint16_t codePage) const;
    // Make a translation current; true when it is (already or now) current.
    bool SetTrans(uint16_t language, uint16_t codePage);
    bool SetTransIndex(int index);

    // Looks up a version string of the current translation (names compared
    // without regard to ASCII case) and copies at most size - 1 units and a
    // terminating zero into out. With out null it only tests existence. False
    // when invalid, when name is null, when out is given with size <= 0, or
    // when there is no such string.
    bool QueryStringValue(const char16_t* name, char16_t* out, int size) const;
    // The same for GetVerStringName(index); other indexes give false.
    bool QueryStringValue(int index, char16_t* out, int size) const;
    bool QueryStringValue(const char16_t* name, std::u16string& value) const;

    // The standard version string names, index 0..12; null for others.
    static const char16_t* GetVerStringName(int index);
    static const char16_t* const s_ppszStr[13];

    // The English name of a language identifier ("English (United States)"),
    // copied like QueryStringValue; returns the number of units copied, 0 for
    // null out, size <= 0 or an unknown identifier (out then empty).
    static int GetLIDName(uint16_t language, char16_t* out, int size);
    // A name of the code pages common in version resources; others are
    // "Unknown" and give false, as does a null name.
    static bool GetCPName(uint16_t codePage, const char16_t** name);

private:
    using StringTable = std::vector<std::pair<std::u16string, std::u16string>>;

    const std::u16string* FindString(const char16_t* name) const;

    VS_FIXEDFILEINFO m_fixed{};
    std::vector<uint32_t> m_translations;
    std::vector<StringTable> m_strings;  // one table per translation
    int m_curTrans = 0;
    bool m_valid = false;
};
