#pragma once

#include <string>

#include "textrion/textrion_export.h"

// A file system path as a UTF-16 string, with the path logic the engine and
// the finder need. The separator is '/', the root is "/", there are no drives
// and no long-path prefix: paths of any length are handed to the file layer
// as they are. A path that came from the file system is kept exactly (names
// may begin or end with blanks and may hold '\'); only paths a user typed
// are trimmed, with FromUserInput or RemoveBlanks.
class TEXTRION_API CLongPath {
public:
    CLongPath() = default;
    CLongPath(const char16_t* path);        // NOLINT: paths convert implicitly, as strings do
    CLongPath(const std::u16string& path);  // NOLINT
    CLongPath(const CLongPath&) = default;
    CLongPath& operator=(const CLongPath&) = default;
    CLongPath& operator=(const char16_t* path);
    CLongPath& operator=(const std::u16string& path);

    // A path typed by a user: white space trimmed at both ends.
    static CLongPath FromUserInput(const std::u16string& typed);

    void SetPath(const char16_t* path) { *this = path; }
    void SetPath(const CLongPath& path) { *this = path; }
    const std::u16string& GetPath() const { return m_path; }
    const char16_t* c_str() const { return m_path.c_str(); }
    operator const std::u16string&() const { return m_path; }  // NOLINT

    // No prefix is ever needed here: these return the path unchanged.
    std::u16string CheckAddLongFilePrefix() const { return m_path; }
    std::u16string CheckAddLongDirectoryPrefix() const { return m_path; }
    [[nodiscard]] static bool StringHasLongPathPrefix(const std::u16string&) { return false; }

    // Building; each returns the path itself.
    CLongPath& AddBackslash();  // adds the separator unless empty or already there
    // Adds a separator when needed, then the component; separators leading the
    // component are dropped, nothing else is trimmed.
    CLongPath& Append(const std::u16string& component);
    CLongPath& operator+=(const std::u16string& component) { return Append(component); }
    CLongPath& AddExtension(const std::u16string& extension);
    CLongPath& RemoveExtension();
    CLongPath& ChangeExtension(const std::u16string& extension);
    CLongPath& RemoveBackslash();  // removes every trailing separator, but keeps the root
    CLongPath& RemoveBlanks();
    CLongPath& BuildRoot(int drive = -1);

    // Parts.
    int FindExtension() const;  // index of the last '.' of the file name, else -1
    int FindFileName() const;   // index after the last separator when not at the end, else -1
    std::u16string GetExtension() const;
    std::u16string GetFileName() const;
    std::u16string GetDirectory() const;
    std::u16string GetFolderName() const;
    int GetDriveNumber() const { return -1; }
    char16_t GetDriveLetter() const { return 0; }

    // Tests.
    [[nodiscard]] bool IsEmpty() const { return m_path.empty(); }
    [[nodiscard]] bool IsRoot() const { return m_path == u"/"; }
    [[nodiscard]] bool IsAbsolute() const { return !m_path.empty() && m_path[0] == u'/'; }
    [[nodiscard]] bool IsRelative() const { return !IsAbsolute(); }
    [[nodiscard]] bool IsUNC() const { return false; }
    [[nodiscard]] bool IsFileSpec() const { return m_path.find(u'/') == std::u16string::npos; }
    [[nodiscard]] bool EndsWithBackslash() const { return !m_path.empty() && m_path.back() == u'/'; }
    // True when other lies in this path or is this path; case is ignored, so a
    // path that differs only in case also counts (the safe side for refusals).
    [[nodiscard]] bool IsParentOf(const std::u16string& other) const;

    // File system.
    [[nodiscard]] bool FileExists() const;
    [[nodiscard]] bool IsDirectory() const;
    // Any entry, hidden ones included, makes a directory non-empty; one that
    // cannot be listed counts as empty.
    [[nodiscard]] bool IsDirectoryEmpty() const;
    // Creates the missing folders of a directory path (one ending in '/') or of
    // a file path's directory. A folder made meanwhile by someone else counts
    // as made.
    [[nodiscard]] bool EnsureDirectoryExists() const;
    [[nodiscard]] static bool LongPathIsExistedDirectory(const std::u16string& path);
    [[nodiscard]] static bool LongPathIsLocalRoot(const std::u16string& path) { return path == u"/"; }

    // Removes the last component; false at the root or for an empty path.
    [[nodiscard]] bool UpOneLevel();

    // Locations.
    static std::u16string GetAppExePath();
    static std::u16string GetAppDir();
    // $XDG_DATA_HOME (default ~/.local/share), created when missing; empty
    // when there is no home folder.
    static std::u16string GetUserLocalAppDataDir();
    // Local time as "YYYY-MM-DD_hh-mm-ss", plus "." and the extension when given.
    static std::u16string GenerateDateTimeFilename(const std::u16string& extension);

private:
    std::u16string m_path;
};

// The user interface's companion: the same kind of value, trimmed of white
// space on every assignment because its paths come from dialogs and switches.
class TEXTRION_API CPathEx {
public:
    CPathEx() = default;
    CPathEx(const char16_t* path);        // NOLINT
    CPathEx(const std::u16string& path);  // NOLINT
    CPathEx& operator=(const char16_t* path);
    CPathEx& operator=(const std::u16string& path);

    const std::u16string& GetPath() const { return m_path; }
    const char16_t* c_str() const { return m_path.c_str(); }
    operator const std::u16string&() const { return m_path; }  // NOLINT

    CPathEx& AddBackslash();
    CPathEx& Append(const std::u16string& component);
    CPathEx& operator+=(const std::u16string& component) { return Append(component); }
    CPathEx& RemoveBackslash();
    CPathEx& RemoveExtension();
    CPathEx& RenameExtension(const std::u16string& extension);
    // Resolves "." and ".." components without touching the file system.
    CPathEx& Canonicalize();
    static CPathEx Combine(const std::u16string& directory, const std::u16string& file);
    CPathEx& QuoteSpaces();
    CPathEx& UnquoteSpaces();
    // Shell-style wildcard match of the file name against a pattern (* and ?); case is ignored.
    [[nodiscard]] bool MatchSpec(const std::u16string& pattern) const;

    std::u16string GetExtension() const;
    std::u16string GetFileName() const;
    std::u16string GetDirectory() const;
    static std::u16string GetPathDirectory(const std::u16string& path);
    std::u16string GetFolderName() const;
    [[nodiscard]] bool UpOneLevel();

    [[nodiscard]] bool IsEmpty() const { return m_path.empty(); }
    [[nodiscard]] bool IsRoot() const { return m_path == u"/"; }
    [[nodiscard]] bool IsRelative() const { return m_path.empty() || m_path[0] != u'/'; }
    [[nodiscard]] bool FileExists() const;
    [[nodiscard]] bool IsDirectory() const;
    [[nodiscard]] bool IsDirectoryEmpty() const;
    [[nodiscard]] bool IsParentOf(const std::u16string& other) const;

    static std::u16string GetAppExePath() { return CLongPath::GetAppExePath(); }
    static std::u16string GetAppDir() { return CLongPath::GetAppDir(); }
    static std::u16string GetUserLocalAppDataDir() { return CLongPath::GetUserLocalAppDataDir(); }
    static std::u16string GenerateDateTimeFilename(const std::u16string& extension);

private:
    std::u16string m_path;
};
