#include "textrion/path/long_path.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "platform/native_path.h"
#include "platform/process.h"

namespace {

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == 0x3000 ||
           c == 0x00A0;
}

std::u16string Trimmed(const std::u16string& s)
{
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin]))
        ++begin;
    while (end > begin && IsBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

size_t LastSeparator(const std::u16string& s)
{
    return s.find_last_of(u'/');
}

int FindExtensionIn(const std::u16string& s)
{
    const size_t dot = s.find_last_of(u'.');
    if (dot == std::u16string::npos)
        return -1;
    const size_t slash = LastSeparator(s);
    if (slash != std::u16string::npos && slash > dot)
        return -1;
    return static_cast<int>(dot);
}

std::u16string DirectoryOf(const std::u16string& s)
{
    if (s.empty() || s.back() == u'/')
        return s;
    const size_t slash = LastSeparator(s);
    return slash == std::u16string::npos ? std::u16string() : s.substr(0, slash + 1);
}

std::u16string FolderNameOf(const std::u16string& s)
{
    if (s == u"/")
        return {};
    std::u16string dir = DirectoryOf(s);
    while (dir.size() > 1 && dir.back() == u'/')
        dir.pop_back();
    if (dir == u"/")
        return {};
    const size_t slash = LastSeparator(dir);
    return slash == std::u16string::npos ? dir : dir.substr(slash + 1);
}

bool UpOneLevelIn(std::u16string& s)
{
    if (s.empty() || s == u"/")
        return false;
    while (s.size() > 1 && s.back() == u'/')
        s.pop_back();
    const size_t slash = LastSeparator(s);
    if (slash == std::u16string::npos)
        return false;
    s.erase(slash + 1);
    return true;
}

bool IsParent(std::u16string parent, std::u16string other)
{
    if (parent.empty() || parent.back() != u'/')
        parent.push_back(u'/');
    if (other.empty() || other.back() != u'/')
        other.push_back(u'/');
    return other.size() >= parent.size() && text::EqualsNoCase(other.substr(0, parent.size()), parent);
}

bool StatusOf(const std::u16string& path, platform::FileStatus& status)
{
    return !path.empty() && platform::GetFileStatus(path, &status);
}

bool DirectoryIsEmpty(const std::u16string& path)
{
    platform::DirectoryReader reader;
    if (!reader.Open(path))
        return true;
    platform::DirectoryEntry entry;
    return !reader.Next(entry);
}

bool MatchWildcard(const char16_t* pattern, const char16_t* name)
{
    return text::MatchesWildcard(pattern, name, true);
}

std::u16string DateTimeName(const std::u16string& extension)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[80];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d_%02d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::u16string name = text::FromUtf8(buffer);
    if (!extension.empty()) {
        if (extension[0] != u'.')
            name.push_back(u'.');
        name += extension;
    }
    return name;
}

}  // namespace

// ---------------------------------------------------------------------------

CLongPath::CLongPath(const char16_t* path) : m_path(path ? path : u"")
{
}
CLongPath::CLongPath(const std::u16string& path) : m_path(path)
{
}

CLongPath& CLongPath::operator=(const char16_t* path)
{
    m_path = path ? path : u"";
    return *this;
}

CLongPath& CLongPath::operator=(const std::u16string& path)
{
    m_path = path;
    return *this;
}

CLongPath CLongPath::FromUserInput(const std::u16string& typed)
{
    return CLongPath(Trimmed(typed));
}

CLongPath& CLongPath::AddBackslash()
{
    if (!m_path.empty() && m_path.back() != u'/')
        m_path.push_back(u'/');
    return *this;
}

CLongPath& CLongPath::Append(const std::u16string& component)
{
    size_t begin = 0;
    while (begin < component.size() && component[begin] == u'/')
        ++begin;
    AddBackslash();
    m_path.append(component, begin, std::u16string::npos);
    return *this;
}

CLongPath& CLongPath::AddExtension(const std::u16string& extension)
{
    const std::u16string name = GetFileName();
    if (name.find(u'.') != std::u16string::npos)
        return *this;
    if (extension.empty() || extension[0] != u'.')
        m_path.push_back(u'.');
    m_path += extension;
    return *this;
}

CLongPath& CLongPath::RemoveExtension()
{
    const int dot = FindExtension();
    if (dot >= 0)
        m_path.erase(static_cast<size_t>(dot));
    return *this;
}

CLongPath& CLongPath::ChangeExtension(const std::u16string& extension)
{
    RemoveExtension();
    return AddExtension(extension);
}

CLongPath& CLongPath::RemoveBackslash()
{
    while (m_path.size() > 1 && m_path.back() == u'/')
        m_path.pop_back();
    return *this;
}

CLongPath& CLongPath::RemoveBlanks()
{
    m_path = Trimmed(m_path);
    return *this;
}

CLongPath& CLongPath::BuildRoot(int /*drive*/)
{
    m_path = u"/";
    return *this;
}

int CLongPath::FindExtension() const
{
    return FindExtensionIn(m_path);
}

int CLongPath::FindFileName() const
{
    if (m_path.empty() || m_path.back() == u'/')
        return -1;
    const size_t slash = LastSeparator(m_path);
    return slash == std::u16string::npos ? 0 : static_cast<int>(slash + 1);
}

std::u16string CLongPath::GetExtension() const
{
    const int dot = FindExtension();
    return dot < 0 ? std::u16string() : m_path.substr(static_cast<size_t>(dot));
}

std::u16string CLongPath::GetFileName() const
{
    const int at = FindFileName();
    return at < 0 ? std::u16string() : m_path.substr(static_cast<size_t>(at));
}

std::u16string CLongPath::GetDirectory() const
{
    return DirectoryOf(m_path);
}

std::u16string CLongPath::GetFolderName() const
{
    return FolderNameOf(m_path);
}

bool CLongPath::IsParentOf(const std::u16string& other) const
{
    return IsParent(m_path, other);
}

bool CLongPath::FileExists() const
{
    platform::FileStatus st;
    return StatusOf(m_path, st) && st.type != platform::FileType::Directory;
}

bool CLongPath::IsDirectory() const
{
    return LongPathIsExistedDirectory(m_path);
}

bool CLongPath::LongPathIsExistedDirectory(const std::u16string& path)
{
    platform::FileStatus st;
    return StatusOf(path, st) && st.type == platform::FileType::Directory;
}

bool CLongPath::IsDirectoryEmpty() const
{
    return DirectoryIsEmpty(m_path);
}

bool CLongPath::EnsureDirectoryExists() const
{
    const std::u16string directory = DirectoryOf(m_path);
    if (directory.empty())
        return true;  // a bare file name lives in the current folder
    if (LongPathIsExistedDirectory(directory))
        return true;
    size_t pos = directory[0] == u'/' ? 1 : 0;
    while ((pos = directory.find(u'/', pos)) != std::u16string::npos) {
        const std::u16string prefix = directory.substr(0, pos);
        ++pos;
        if (prefix.empty() || LongPathIsExistedDirectory(prefix))
            continue;
        int error = 0;
        if (!platform::CreateDirectoryOne(prefix, &error)) {
            // Another thread or process may have made it meanwhile: that is success.
            if (!(error == EEXIST && LongPathIsExistedDirectory(prefix)))
                return false;
        }
    }
    return true;
}

bool CLongPath::UpOneLevel()
{
    return UpOneLevelIn(m_path);
}

std::u16string CLongPath::GetAppExePath()
{
    return platform::ExecutablePath();
}

std::u16string CLongPath::GetAppDir()
{
    return DirectoryOf(GetAppExePath());
}

std::u16string CLongPath::GetUserLocalAppDataDir()
{
    const std::u16string dir = platform::UserDataFolder();
    if (dir.empty())
        return {};
    CLongPath path(dir);
    path.AddBackslash();
    if (!path.EnsureDirectoryExists())
        return {};
    return path.RemoveBackslash().GetPath();
}

std::u16string CLongPath::GenerateDateTimeFilename(const std::u16string& extension)
{
    return DateTimeName(extension);
}

// ---------------------------------------------------------------------------

CPathEx::CPathEx(const char16_t* path) : m_path(Trimmed(path ? path : u""))
{
}
CPathEx::CPathEx(const std::u16string& path) : m_path(Trimmed(path))
{
}

CPathEx& CPathEx::operator=(const char16_t* path)
{
    m_path = Trimmed(path ? path : u"");
    return *this;
}

CPathEx& CPathEx::operator=(const std::u16string& path)
{
    m_path = Trimmed(path);
    return *this;
}

CPathEx& CPathEx::AddBackslash()
{
    if (!m_path.empty() && m_path.back() != u'/')
        m_path.push_back(u'/');
    return *this;
}

CPathEx& CPathEx::Append(const std::u16string& component)
{
    CLongPath path(m_path);
    path.Append(component);
    m_path = Trimmed(path.GetPath());
    return *this;
}

CPathEx& CPathEx::RemoveBackslash()
{
    while (m_path.size() > 1 && m_path.back() == u'/')
        m_path.pop_back();
    return *this;
}

CPathEx& CPathEx::RemoveExtension()
{
    const int dot = FindExtensionIn(m_path);
    if (dot >= 0)
        m_path.erase(static_cast<size_t>(dot));
    return *this;
}

CPathEx& CPathEx::RenameExtension(const std::u16string& extension)
{
    RemoveExtension();
    if (!extension.empty() && extension[0] != u'.')
        m_path.push_back(u'.');
    m_path += extension;
    return *this;
}

CPathEx& CPathEx::Canonicalize()
{
    const bool absolute = !m_path.empty() && m_path[0] == u'/';
    const bool trailing = m_path.size() > 1 && m_path.back() == u'/';
    std::vector<std::u16string> parts;
    size_t pos = 0;
    while (pos <= m_path.size()) {
        size_t next = m_path.find(u'/', pos);
        if (next == std::u16string::npos)
            next = m_path.size();
        const std::u16string part = m_path.substr(pos, next - pos);
        if (part == u"..") {
            if (!parts.empty() && parts.back() != u"..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        pos = next + 1;
    }
    std::u16string result = absolute ? u"/" : u"";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result.push_back(u'/');
        result += parts[i];
    }
    if (trailing && !parts.empty())
        result.push_back(u'/');
    m_path = result;
    return *this;
}

CPathEx CPathEx::Combine(const std::u16string& directory, const std::u16string& file)
{
    if (!file.empty() && file[0] == u'/')
        return CPathEx(file).Canonicalize();
    CPathEx path(directory);
    path.Append(file);
    return path.Canonicalize();
}

CPathEx& CPathEx::QuoteSpaces()
{
    const bool quoted = m_path.size() >= 2 && m_path.front() == u'"' && m_path.back() == u'"';
    if (!quoted && m_path.find(u' ') != std::u16string::npos) {
        m_path.insert(m_path.begin(), u'"');
        m_path.push_back(u'"');
    }
    return *this;
}

CPathEx& CPathEx::UnquoteSpaces()
{
    if (m_path.size() >= 2 && m_path.front() == u'"' && m_path.back() == u'"')
        m_path = m_path.substr(1, m_path.size() - 2);
    return *this;
}

bool CPathEx::MatchSpec(const std::u16string& pattern) const
{
    return MatchWildcard(pattern.c_str(), CLongPath(m_path).GetFileName().c_str());
}

std::u16string CPathEx::GetExtension() const
{
    return CLongPath(m_path).GetExtension();
}

std::u16string CPathEx::GetFileName() const
{
    return CLongPath(m_path).GetFileName();
}

std::u16string CPathEx::GetDirectory() const
{
    return GetPathDirectory(m_path);
}

std::u16string CPathEx::GetPathDirectory(const std::u16string& path)
{
    if (CLongPath::LongPathIsExistedDirectory(path)) {
        std::u16string dir = Trimmed(path);
        if (dir.empty() || dir.back() != u'/')
            dir.push_back(u'/');
        return dir;
    }
    const size_t slash = path.find_last_of(u'/');
    return slash == std::u16string::npos ? path : path.substr(0, slash + 1);
}

std::u16string CPathEx::GetFolderName() const
{
    return FolderNameOf(GetDirectory());
}

bool CPathEx::UpOneLevel()
{
    return UpOneLevelIn(m_path);
}

bool CPathEx::FileExists() const
{
    platform::FileStatus st;
    return StatusOf(m_path, st);
}

bool CPathEx::IsDirectory() const
{
    return CLongPath::LongPathIsExistedDirectory(m_path);
}

bool CPathEx::IsDirectoryEmpty() const
{
    return DirectoryIsEmpty(m_path);
}

bool CPathEx::IsParentOf(const std::u16string& other) const
{
    return IsParent(m_path, other);
}

std::u16string CPathEx::GenerateDateTimeFilename(const std::u16string& extension)
{
    return DateTimeName(extension);
}
