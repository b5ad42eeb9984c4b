#include "textrion/version/file_version_info.h"

#include <algorithm>
#include <array>
#include <optional>

#include "base/text.h"
#include "platform/file_api.h"

namespace {

constexpr uint32_t kSignature = 0xFEEF04BD;
constexpr uint32_t kStrucVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kDefaultTranslation = 0x0409u | (1200u << 16);  // US English, Unicode
// A description is a few lines; anything bigger is some other file.
constexpr size_t kMaxDescriptionBytes = 64 * 1024;

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

std::u16string_view Trimmed(std::u16string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// "[LLLLCCCC]" as a translation entry (language low, code page high).
std::optional<uint32_t> ParseSection(std::u16string_view line)
{
    if (line.size() != 10 || line.front() != u'[' || line.back() != u']')
        return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 1; i < 9; ++i) {
        const int d = HexDigit(line[i]);
        if (d < 0)
            return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return (value >> 16) | (value & 0xFFFFu) << 16;
}

// Up to four numbers of 0..65535 as the two 32-bit halves; nullopt when the
// text does not begin with a number or a number is too big.
std::optional<std::pair<uint32_t, uint32_t>> ParseVersion(std::u16string_view text)
{
    std::array<uint32_t, 4> parts{};
    size_t i = 0;
    size_t count = 0;
    while (count < parts.size()) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (i >= text.size() || text[i] < u'0' || text[i] > u'9')
            break;
        uint32_t n = 0;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
            n = n * 10 + static_cast<uint32_t>(text[i++] - u'0');
            if (n > 0xFFFF)
                return std::nullopt;
        }
        parts[count++] = n;
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        if (i >= text.size() || (text[i] != u'.' && text[i] != u','))
            break;
        ++i;
    }
    if (count == 0)
        return std::nullopt;
    return std::make_pair(parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]);
}

int CopyOut(std::u16string_view value, char16_t* out, int size)
{
    const size_t n = std::min(value.size(), static_cast<size_t>(size - 1));
    std::copy_n(value.data(), n, out);
    out[n] = 0;
    return static_cast<int>(n);
}

struct LanguageName {
    uint16_t id;
    const char16_t* name;
};

constexpr LanguageName kLanguageNames[] = {
    {0x0000, u"Language Neutral"},
    {0x0401, u"Arabic (Saudi Arabia)"},
    {0x0404, u"Chinese (Traditional, Taiwan)"},
    {0x0405, u"Czech (Czech Republic)"},
    {0x0406, u"Danish (Denmark)"},
    {0x0407, u"German (Germany)"},
    {0x0408, u"Greek (Greece)"},
    {0x0409, u"English (United States)"},
    {0x040B, u"Finnish (Finland)"},
    {0x040C, u"French (France)"},
    {0x040D, u"Hebrew (Israel)"},
    {0x040E, u"Hungarian (Hungary)"},
    {0x0410, u"Italian (Italy)"},
    {0x0411, u"Japanese (Japan)"},
    {0x0412, u"Korean (Korea)"},
    {0x0413, u"Dutch (Netherlands)"},
    {0x0414, u"Norwegian, Bokm\u00E5l (Norway)"},
    {0x0415, u"Polish (Poland)"},
    {0x0416, u"Portuguese (Brazil)"},
    {0x0419, u"Russian (Russia)"},
    {0x041D, u"Swedish (Sweden)"},
    {0x041E, u"Thai (Thailand)"},
    {0x041F, u"Turkish (Turkey)"},
    {0x0422, u"Ukrainian (Ukraine)"},
    {0x042A, u"Vietnamese (Vietnam)"},
    {0x0804, u"Chinese (Simplified, PRC)"},
    {0x0807, u"German (Switzerland)"},
    {0x0809, u"English (United Kingdom)"},
    {0x080C, u"French (Belgium)"},
    {0x0816, u"Portuguese (Portugal)"},
    {0x0C07, u"German (Austria)"},
    {0x0C0A, u"Spanish (Spain)"},
};

}  // namespace

const char16_t* const CFileVersionInfo::s_ppszStr[13] = {
    u"Comments",        u"CompanyName",      u"FileDescription", u"FileVersion", u"InternalName",
    u"LegalCopyright",  u"LegalTrademarks",  u"OriginalFilename", u"PrivateBuild", u"ProductName",
    u"ProductVersion",  u"SpecialBuild",     u"OLESelfRegister",
};

CFileVersionInfo::~CFileVersionInfo() = default;
CFileVersionInfo::CFileVersionInfo() = default;
CFileVersionInfo::CFileVersionInfo(const CFileVersionInfo& other) = default;
CFileVersionInfo& CFileVersionInfo::operator=(const CFileVersionInfo& other) = default;

void CFileVersionInfo::Close()
{
    m_fixed = VS_FIXEDFILEINFO{};
    m_translations.clear();
    m_strings.clear();
    m_curTrans = 0;
    m_valid = false;
}

bool CFileVersionInfo::Open(const char16_t* path)
{
    Close();
    if (path == nullptr)
        return false;
    const platform::FileHandle file =
        platform::OpenFile(path, platform::FILE_ACCESS_READ, platform::FILE_OPEN_EXISTING);
    if (file == platform::INVALID_FILE_HANDLE)
        return false;
    std::string bytes(kMaxDescriptionBytes + 1, '\0');
    size_t got = 0;
    const bool read = platform::ReadFile(file, bytes.data(), bytes.size(), &got);
    platform::CloseFile(file);
    if (!read || got > kMaxDescriptionBytes)
        return false;
    bytes.resize(got);
    std::u16string description = text::FromUtf8(bytes);
    if (!description.empty() && description.front() == u'\uFEFF')
        description.erase(0, 1);
    return OpenFromText(description);
}

bool CFileVersionInfo::OpenFromText(std::u16string_view description)
{
    Close();
    int current = -1;  // table index of the lines' translation; -1 none yet
    bool inSection = false;
    bool ignoring = false;
    auto tableOf = [this](uint32_t translation) {
        const auto it = std::find(m_translations.begin(), m_translations.end(), translation);
        if (it != m_translations.end())
            return static_cast<int>(it - m_translations.begin());
        m_translations.push_back(translation);
        m_strings.emplace_back();
        return static_cast<int>(m_translations.size()) - 1;
    };

    size_t start = 0;
    while (start <= description.size()) {
        size_t end = description.find(u'\n', start);
        if (end == std::u16string_view::npos)
            end = description.size();
        const std::u16string_view line = Trimmed(description.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == u'#' || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const auto translation = ParseSection(line);
            inSection = true;
            ignoring = !translation;
            if (translation)
                current = tableOf(*translation);
            continue;
        }
        const size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos || ignoring)
            continue;
        const std::u16string_view name = Trimmed(line.substr(0, eq));
        if (name.empty())
            continue;
        if (!inSection && current < 0)
            current = tableOf(kDefaultTranslation);
        StringTable& table = m_strings[static_cast<size_t>(current)];
        const bool known = std::any_of(table.begin(), table.end(),
                                       [&](const auto& entry) { return text::EqualsNoCase(entry.first, name); });
        if (!known)
            table.emplace_back(name, Trimmed(line.substr(eq + 1)));
    }

    // The fixed block comes from the first translation that has a FileVersion.
    for (const StringTable& table : m_strings) {
        const auto find = [&table](std::u16string_view name) -> const std::u16string* {
            for (const auto& entry : table)
                if (text::EqualsNoCase(entry.first, name))
                    return &entry.second;
            return nullptr;
        };
        const std::u16string* fileVersion = find(u"FileVersion");
        if (fileVersion == nullptr)
            continue;
        const auto file = ParseVersion(*fileVersion);
        if (!file)
            break;
        const std::u16string* productVersion = find(u"ProductVersion");
        const auto product = productVersion != nullptr ? ParseVersion(*productVersion) : file;
        m_fixed.dwSignature = kSignature;
        m_fixed.dwStrucVersion = kStrucVersion;
        m_fixed.dwFileFlagsMask = kFileFlagsMask;
        m_fixed.dwFileVersionMS = file->first;
        m_fixed.dwFileVersionLS = file->second;
        m_fixed.dwProductVersionMS = product ? product->first : 0;
        m_fixed.dwProductVersionLS = product ? product->second : 0;
        m_valid = true;
        break;
    }
    if (!m_valid)
        Close();
    return m_valid;
}

uint16_t CFileVersionInfo::GetFileVersionMajor() const
{
    return static_cast<uint16_t>(m_fixed.dwFileVersionMS >> 16);
}
uint16_t CFileVersionInfo::GetFileVersionMinor() const
{
    return static_cast<uint16_t>(m_fixed.dwFileVersionMS & 0xFFFF);
}
uint16_t CFileVersionInfo::GetFileVersionRevision() const
{
    return static_cast<uint16_t>(m_fixed.dwFileVersionLS >> 16);
}
uint16_t CFileVersionInfo::GetFileVersionBuild() const
{
    return static_cast<uint16_t>(m_fixed.dwFileVersionLS & 0xFFFF);
}
uint16_t CFileVersionInfo::GetProductVersionMajor() const
{
    return static_cast<uint16_t>(m_fixed.dwProductVersionMS >> 16);
}
uint16_t CFileVersionInfo::GetProductVersionMinor() const
{
    return static_cast<uint16_t>(m_fixed.dwProductVersionMS & 0xFFFF);
}
uint16_t CFileVersionInfo::GetProductVersionRevision() const
{
    return static_cast<uint16_t>(m_fixed.dwProductVersionLS >> 16);
}
uint16_t CFileVersionInfo::GetProductVersionBuild() const
{
    return static_cast<uint16_t>(m_fixed.dwProductVersionLS & 0xFFFF);
}

int CFileVersionInfo::GetTransCount() const
{
    return m_valid ? static_cast<int>(m_translations.size()) : 0;
}

uint32_t CFileVersionInfo::GetTransByIndex(int index) const
{
    if (index < 0 || index >= GetTransCount())
        return 0;
    return m_translations[static_cast<size_t>(index)];
}

uint16_t CFileVersionInfo::GetLIDByIndex(int index) const
{
    return static_cast<uint16_t>(GetTransByIndex(index) & 0xFFFF);
}

uint16_t CFileVersionInfo::GetCPByIndex(int index) const
{
    return static_cast<uint16_t>(GetTransByIndex(index) >> 16);
}

int CFileVersionInfo::FindTrans(uint16_t language, uint16_t codePage) const
{
    const uint32_t wanted = language | static_cast<uint32_t>(codePage) << 16;
    for (int i = 0; i < GetTransCount(); ++i)
        if (m_translations[static_cast<size_t>(i)] == wanted)
            return i;
    return -1;
}

bool CFileVersionInfo::SetTrans(uint16_t language, uint16_t codePage)
{
    return SetTransIndex(FindTrans(language, codePage));
}

bool CFileVersionInfo::SetTransIndex(int index)
{
    if (index < 0 || index >= GetTransCount())
        return false;
    m_curTrans = index;
    return true;
}

const std::u16string* CFileVersionInfo::FindString(const char16_t* name) const
{
    if (!m_valid || name == nullptr || m_curTrans >= static_cast<int>(m_strings.size()))
        return nullptr;
    for (const auto& entry : m_strings[static_cast<size_t>(m_curTrans)])
        if (text::EqualsNoCase(entry.first, name))
            return &entry.second;
    return nullptr;
}

bool CFileVersionInfo::QueryStringValue(const char16_t* name, char16_t* out, int size) const
{
    if (out != nullptr && size <= 0)
        return false;
    const std::u16string* value = FindString(name);
    if (value == nullptr)
        return false;
    if (out != nullptr)
        CopyOut(*value, out, size);
    return true;
}

bool CFileVersionInfo::QueryStringValue(int index, char16_t* out, int size) const
{
    const char16_t* name = GetVerStringName(index);
    return name != nullptr && QueryStringValue(name, out, size);
}

bool CFileVersionInfo::QueryStringValue(const char16_t* name, std::u16string& value) const
{
    const std::u16string* found = FindString(name);
    if (found == nullptr)
        return false;
    value = *found;
    return true;
}

const char16_t* CFileVersionInfo::GetVerStringName(int index)
{
    if (index < 0 || index >= static_cast<int>(std::size(s_ppszStr)))
        return nullptr;
    return s_ppszStr[index];
}

int CFileVersionInfo::GetLIDName(uint16_t language, char16_t* out, int size)
{
    if (out == nullptr || size <= 0)
        return 0;
    for (const LanguageName& entry : kLanguageNames)
        if (entry.id == language)
            return CopyOut(entry.name, out, size);
    out[0] = 0;
    return 0;
}

bool CFileVersionInfo::GetCPName(uint16_t codePage, const char16_t** name)
{
    if (name == nullptr)
        return false;
    static constexpr std::pair<uint16_t, const char16_t*> kNames[] = {
        {0, u"7-bit ASCII"},
        {932, u"Japan (Shift JIS X-0208)"},
        {949, u"Korea (Shift KSC 5601)"},
        {950, u"Taiwan (Big5)"},
        {1200, u"Unicode"},
        {1250, u"Latin-2 (Eastern European)"},
        {1251, u"Cyrillic"},
        {1252, u"Multilingual"},
        {1253, u"Greek"},
        {1254, u"Turkish"},
        {1255, u"Hebrew"},
        {1256, u"Arabic"},
    };
    for (const auto& [number, text] : kNames) {
        if (number == codePage) {
            *name = text;
            return true;
        }
    }
    *name = u"Unknown";
    return false;
}
