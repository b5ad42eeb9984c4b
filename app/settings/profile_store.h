#pragma once

#include <memory>
#include <string>
#include <vector>

class QSettings;

// The program's profile store: window layout, window placements, splitter
// positions, the language folder and the recent lists, by section (key) and
// entry (value name). Kept in one INI file whose groups are the keys the
// program has always used ("Layout", "WindowPlacements", "Splitters",
// "Settings", "RecentFolder", ...); a section may name a sub-key with '/'
// or '\'. Every write is saved at once. Used from the user interface thread.
class CProfileStore {
public:
    virtual ~CProfileStore();

    // The store at its usual place.
    CProfileStore();
    explicit CProfileStore(const std::u16string& iniFilePath);
    CProfileStore(const CProfileStore&) = delete;
    CProfileStore& operator=(const CProfileStore&) = delete;

    // $XDG_CONFIG_HOME (default ~/.config)/Quillmark/Varnel Professional 2.ini,
    // or the bare file name when there is no home folder.
    static std::u16string DefaultFilePath();
    const std::u16string& GetFilePath() const { return m_filePath; }

    // The keys of the store.
    static constexpr char16_t kLayoutKey[] = u"Layout";
    static constexpr char16_t kWindowPlacementsKey[] = u"WindowPlacements";
    static constexpr char16_t kSplittersKey[] = u"Splitters";
    static constexpr char16_t kSettingsKey[] = u"Settings";
    static constexpr char16_t kRecentFolderKey[] = u"RecentFolder";
    static constexpr char16_t kRecentOutputFolderKey[] = u"RecentOutputFolder";
    static constexpr char16_t kRecentWildcardFilterKey[] = u"RecentWildcardFilter";
    static constexpr char16_t kRecentRegexFilterKey[] = u"RecentRegexFilter";

    // The stored text, or defaultValue when the entry is absent.
    std::u16string GetProfileString(const std::u16string& section, const std::u16string& entry,
                                    const std::u16string& defaultValue = {}) const;
    // The stored number, or defaultValue when the entry is absent or no number.
    int GetProfileInt(const std::u16string& section, const std::u16string& entry, int defaultValue) const;
    // Writes and saves; false with GetLastError() when the file cannot be written.
    bool WriteProfileString(const std::u16string& section, const std::u16string& entry, const std::u16string& value);
    bool WriteProfileInt(const std::u16string& section, const std::u16string& entry, int value);
    bool DeleteEntry(const std::u16string& section, const std::u16string& entry);
    // Removes the key with its entries and every sub-key below it.
    bool DeleteSection(const std::u16string& section);
    // The entry names directly in a section, sorted.
    std::vector<std::u16string> GetEntries(const std::u16string& section) const;

    // The command line's layout reset: removes the keys Layout, Splitters and
    // WindowPlacements.
    bool ResetLayout();

    // Why the last write failed (empty after a good one).
    const std::u16string& GetLastError() const { return m_lastError; }

private:
    bool Commit();

    std::u16string m_filePath;
    std::unique_ptr<QSettings> m_settings;
    std::u16string m_lastError;
};
