#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/settings/session_profile.h"
#include "varnex/session/session_records.h"

namespace pugi {
class xml_node;
}

// One line each: what a load or save found worth telling the user (a file
// that could not be used, a value that was replaced). Meant to be shown or
// printed as they are.
using SettingsMessages = std::vector<std::u16string>;

// The program's settings in memory: the engine's job setting, the current
// (default) conversion options, and the preferences, with the settings file
// "VarnelPro.Current.xml" they are kept in. Session profiles live only in the
// file: every call reads or writes it afresh, so a list is never stale.
//
// Nothing here throws: a file that cannot be used leaves the defaults and says
// why in the messages. Saving writes a new file beside the old one and renames
// it into place, so a failed save leaves the previous file as it was. Used from
// one thread (the user interface's, or the command line's).
//
// After a load, a save writes only what changed since (and what the load had
// to correct): a value nobody changed keeps the file's text, even when another
// program wrote it in the meantime, and elements this version does not know
// stay where they are.
class CMySettings {
public:
    virtual ~CMySettings() = default;

    // The file at its usual place, for the program's own version.
    CMySettings();
    // The file at settingsFilePath. The "settings" element used is the one for
    // the first two numbers of programVersion ("2.0.0" -> "2.0"), else "*".
    explicit CMySettings(std::u16string settingsFilePath, const std::u16string& programVersion);

    CMySettings(const CMySettings&) = default;
    CMySettings& operator=(const CMySettings&) = default;

    // $XDG_DATA_HOME (default ~/.local/share)/Quillmark/VarnelPro/VarnelPro.Current.xml,
    // or the bare file name when there is no such folder.
    static std::u16string DefaultSettingsFilePath();
    // "major.minor" of a version text, "0" when it has no leading number.
    static std::u16string SettingsVersionOf(const std::u16string& programVersion);

    const std::u16string& GetSettingsFilePath() const { return m_settingsFilePath; }
    const std::u16string& GetSettingsVersion() const { return m_version; }

    // Puts every value back to its default.
    void ResetToDefaults();

    // Reads the job setting, the current profile and the preferences. Missing
    // elements keep their defaults; values out of range are brought into range
    // and reported. False when the file as a whole could not be used (missing,
    // unreadable, empty, malformed, without settings for this version): every
    // value is then the default, and messages say why.
    bool Load(SettingsMessages* messages = nullptr);
    // Writes the job setting, the current profile and the preferences: every
    // value when nothing was loaded, else those changed since the last load or
    // save, those the load corrected and those the file lacks. The session
    // profiles and any settings of other versions stay as they are. A file
    // that could not be read as settings is kept beside the new one as
    // "<name>.unreadable"; one that cannot be read at all is not replaced.
    bool Save(SettingsMessages* messages = nullptr);

    // The job setting a session start copies (detectOnly is set by the start).
    const VARNEXJOBSETTING& GetJobSetting() const { return m_jobSetting; }
    // Takes a job setting held to the preference pages' ranges; returns one
    // message per value that had to be changed.
    SettingsMessages SetJobSetting(const VARNEXJOBSETTING& job);

    // The options of the convert dialog's "Default" entry; the name is empty.
    SessionProfile GetCurrentProfile() const { return m_currentProfile; }
    void SetCurrentProfile(const SessionProfile& profile);

    bool GetShowLanguageMenu() const { return m_showLanguageMenu; }
    void SetShowLanguageMenu(bool show) { m_showLanguageMenu = show; }

    // The largest part of a file the preview shows, in bytes; 0 until set
    // (the preview then uses its own default, never "no limit"). A value that
    // is set lies within 1..8192 KiB.
    static constexpr uint32_t kPreviewLimitMinKiB = 1;
    static constexpr uint32_t kPreviewLimitMaxKiB = 8192;
    uint32_t GetPreviewSizeLimit() const { return m_previewSizeLimit; }
    // Brings a non-zero value into range; true when it had to.
    bool SetPreviewSizeLimit(uint32_t bytes);
    uint32_t GetPreviewSizeLimitKiB() const { return m_previewSizeLimit >> 10; }
    // The miscellaneous page's form: KiB, held to 1..8192.
    void SetPreviewSizeLimitKiB(uint32_t kib);
    bool GetPreviewLimitFixed() const { return m_previewLimitFixed; }
    void SetPreviewLimitFixed(bool fixed) { m_previewLimitFixed = fixed; }

    // Appends the session profiles of a settings file in file order, each
    // over the defaults; two profiles of one name are both listed. False when
    // the file, its settings for this version or its "sessionProfiles" element
    // is missing or unusable. A fixed input code page that cannot be used is
    // replaced by automatic detection and reported.
    bool LoadSessionProfiles(const std::u16string& filePath, SessionProfileList& profiles,
                             SettingsMessages* messages = nullptr) const;
    bool LoadSessionProfiles(SessionProfileList& profiles, SettingsMessages* messages = nullptr) const
    {
        return LoadSessionProfiles(m_settingsFilePath, profiles, messages);
    }
    // Replaces the whole list of session profiles in the settings file (after
    // the profiles were managed); names are written as given. Texts keep their
    // line breaks as LF (XML reads a CR LF back as LF).
    bool SaveSessionProfiles(const SessionProfileList& profiles, SettingsMessages* messages = nullptr) const;
    // Saves the current profile under a name (trimmed). A name in use is
    // replaced only with overwrite; otherwise *status is ProfileNameStatus::Exists
    // and nothing is written. True when the file was written.
    bool SaveCurrentAsProfile(const std::u16string& name, bool overwrite, ProfileNameStatus* status = nullptr,
                              SettingsMessages* messages = nullptr) const;
    // The same for any options (the convert dialog saves what it shows).
    bool SaveAsProfile(const SessionProfile& options, const std::u16string& name, bool overwrite,
                       ProfileNameStatus* status = nullptr, SettingsMessages* messages = nullptr) const;

private:
    // The values of the file, as this object last read or wrote them.
    struct Stored {
        VARNEXJOBSETTING job;
        SessionProfile current;
        bool showLanguageMenu = true;
        uint32_t previewSizeLimit = 0;
        bool previewLimitFixed = false;
        // "section/element" of values the load replaced (out of range, no
        // number, a code page not available): written at the next save.
        std::set<std::string> corrected;
    };

    Stored Values() const;
    // Brings this version's settings element up to now, writing each value
    // the rules of Save pick (was: the file's values, null when unknown).
    static void WriteValues(pugi::xml_node settings, const Stored& now, const Stored* was);

    std::u16string m_settingsFilePath;
    std::u16string m_version;
    VARNEXJOBSETTING m_jobSetting;
    SessionProfile m_currentProfile;
    bool m_showLanguageMenu = true;
    uint32_t m_previewSizeLimit = 0;
    bool m_previewLimitFixed = false;
    std::optional<Stored> m_stored;  // empty until a load or save succeeds
};
