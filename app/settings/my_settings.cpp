#include "app/settings/my_settings.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "app/options/program_version.h"
#include "app/locale/tr.h"
#include "app/settings/settings_document.h"
#include "base/text.h"
#include "textrion/path/long_path.h"

namespace {

using settings_xml::Document;
using settings_xml::FileProblem;

constexpr char16_t kSettingsFileName[] = u"VarnelPro.Current.xml";
constexpr uint32_t kPreviewMinBytes = CMySettings::kPreviewLimitMinKiB << 10;
constexpr uint32_t kPreviewMaxBytes = CMySettings::kPreviewLimitMaxKiB << 10;

// The first child of that name; a new one goes before the session profiles,
// which are the long part of the file.
pugi::xml_node ChildOrNew(pugi::xml_node parent, const char* name)
{
    if (pugi::xml_node child = parent.child(name))
        return child;
    const pugi::xml_node profiles = parent.child("sessionProfiles");
    return profiles ? parent.insert_child_before(name, profiles) : parent.append_child(name);
}

void Append(SettingsMessages* to, SettingsMessages&& from)
{
    if (to != nullptr)
        to->insert(to->end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

// Reads the file, lets edit change this version's "settings" element, and
// writes the file back whole. edit returns false to write nothing.
bool UpdateFile(const std::u16string& path, const std::u16string& version,
                const std::function<bool(pugi::xml_node, SettingsMessages&)>& edit, SettingsMessages& notes)
{
    Document d;
    settings_xml::LoadDocument(path, version, d);
    std::u16string setAside;
    switch (d.problem) {
    case FileProblem::None:
    case FileProblem::NoVersion:
    case FileProblem::Missing:
        break;
    case FileProblem::Unreadable:
        // What cannot be read cannot be kept: leave it for the user.
        notes.push_back(Tr("Settings", "%1; it is not replaced and nothing was saved.", d.description));
        return false;
    default:
        // Start afresh, but keep what the user had (a hand edit gone wrong).
        if (d.size > 0)
            setAside = path + u".unreadable";
        d.doc.reset();
        break;
    }
    const pugi::xml_node settings = settings_xml::EnsureOwnSettings(d.doc, version);
    if (!edit(settings, notes))
        return false;
    std::u16string problem;
    if (!settings_xml::WriteAtomically(path, settings_xml::Serialise(d.doc), setAside, problem)) {
        notes.push_back(Tr("Settings", "Settings file \"%1\" was not saved: %2.", {path, problem}));
        return false;
    }
    if (!setAside.empty())
        notes.push_back(
            Tr("Settings", "%1; it was kept as \"%2\" and a new file was written.", {d.description, setAside}));
    return true;
}

}  // namespace

CMySettings::CMySettings() : CMySettings(DefaultSettingsFilePath(), ProgramVersion()) {}

CMySettings::CMySettings(std::u16string settingsFilePath, const std::u16string& programVersion)
    : m_settingsFilePath(std::move(settingsFilePath)), m_version(SettingsVersionOf(programVersion))
{
    ResetToDefaults();
}

std::u16string CMySettings::DefaultSettingsFilePath()
{
    const std::u16string dataDir = CLongPath::GetUserLocalAppDataDir();
    if (dataDir.empty())
        return kSettingsFileName;
    CLongPath path(dataDir);
    path.Append(u"Quillmark").Append(u"VarnelPro").Append(kSettingsFileName);
    return path.GetPath();
}

std::u16string CMySettings::SettingsVersionOf(const std::u16string& programVersion)
{
    // Leading digits of the first two dot-separated parts; the numbers are
    // small, so a cap keeps the arithmetic in range.
    size_t pos = 0;
    auto number = [&](bool& any) {
        unsigned long long v = 0;
        any = false;
        for (; pos < programVersion.size() && programVersion[pos] >= u'0' && programVersion[pos] <= u'9'; ++pos) {
            any = true;
            v = std::min<unsigned long long>(v * 10 + (programVersion[pos] - u'0'), 999'999'999ULL);
        }
        return v;
    };
    bool anyMajor = false, anyMinor = false;
    const unsigned long long major = number(anyMajor);
    if (!anyMajor)
        return u"0";
    unsigned long long minor = 0;
    if (pos < programVersion.size() && programVersion[pos] == u'.') {
        ++pos;
        minor = number(anyMinor);
    }
    return text::FromUnsigned(major) + u"." + text::FromUnsigned(minor);
}

void CMySettings::ResetToDefaults()
{
    m_jobSetting = GetDefaultJobSetting();
    m_currentProfile = VARNELSESSIONPROFILE();
    m_showLanguageMenu = true;
    m_previewSizeLimit = 0;
    m_previewLimitFixed = false;
}

SettingsMessages CMySettings::SetJobSetting(const VARNEXJOBSETTING& job)
{
    m_jobSetting = job;
    return settings_xml::HoldJobSetting(m_jobSetting);
}

void CMySettings::SetCurrentProfile(const VARNELSESSIONPROFILE& profile)
{
    m_currentProfile = profile;
    m_currentProfile.name.clear();
}

bool CMySettings::SetPreviewSizeLimit(uint32_t bytes)
{
    m_previewSizeLimit = bytes == 0 ? 0 : std::clamp(bytes, kPreviewMinBytes, kPreviewMaxBytes);
    return m_previewSizeLimit != bytes;
}

void CMySettings::SetPreviewSizeLimitKiB(uint32_t kib)
{
    const uint32_t held = std::clamp(kib, kPreviewLimitMinKiB, kPreviewLimitMaxKiB);
    m_previewSizeLimit = held << 10;
}

bool CMySettings::Load(SettingsMessages* messages)
{
    SettingsMessages notes;
    ResetToDefaults();
    Document d;
    settings_xml::LoadDocument(m_settingsFilePath, m_version, d);
    if (d.problem != FileProblem::None) {
        // No file yet is the first run, not a fault.
        if (d.problem != FileProblem::Missing)
            notes.push_back(Tr("Settings", "%1; the defaults are used.", d.description));
        Append(messages, std::move(notes));
        return false;
    }
    if (const pugi::xml_node job = d.settings.child("jobSetting"))
        settings_xml::ReadJobSetting(job, m_jobSetting, notes);
    if (const pugi::xml_node current = d.settings.child("currentProfile")) {
        m_currentProfile = settings_xml::ReadProfile(current, notes);
        m_currentProfile.name.clear();
    }
    if (const pugi::xml_node preferences = d.settings.child("preferences")) {
        m_showLanguageMenu = preferences.child("showLanguageMenu").text().as_bool(m_showLanguageMenu);
        m_previewLimitFixed = preferences.child("previewLimitFixed").text().as_bool(m_previewLimitFixed);
        const std::string given = settings_xml::ChildText(preferences, "previewSizeLimit");
        long long value = 0;
        if (given.empty()) {
            // keeps 0: not set
        } else if (!settings_xml::ParseDecimal(given, value)) {
            notes.push_back(Tr("Settings", "Preference \"previewSizeLimit\" \"%1\" is no number; it stays unset.",
                               text::FromUtf8(given)));
        } else {
            // 0 means "not set"; anything else lies within the page's range.
            const long long held = value <= 0 ? 0 : std::clamp<long long>(value, kPreviewMinBytes, kPreviewMaxBytes);
            m_previewSizeLimit = static_cast<uint32_t>(held);
            if (held != value)
                notes.push_back(Tr("Settings",
                                   "Preference \"previewSizeLimit\" \"%1\" is out of range (%2 to %3 bytes, or 0); "
                                   "%4 is used.",
                                   {text::FromUtf8(given), text::FromUnsigned(kPreviewMinBytes),
                                    text::FromUnsigned(kPreviewMaxBytes), text::FromUnsigned(m_previewSizeLimit)}));
        }
    }
    Append(messages, std::move(notes));
    return true;
}

bool CMySettings::Save(SettingsMessages* messages) const
{
    SettingsMessages notes;
    const bool saved = UpdateFile(
        m_settingsFilePath, m_version,
        [this](pugi::xml_node settings, SettingsMessages&) {
            settings_xml::WriteJobSetting(ChildOrNew(settings, "jobSetting"), m_jobSetting);
            settings_xml::WriteProfile(ChildOrNew(settings, "currentProfile"), m_currentProfile, false);
            const pugi::xml_node preferences = ChildOrNew(settings, "preferences");
            settings_xml::SetChildText(preferences, "showLanguageMenu", m_showLanguageMenu ? "true" : "false");
            settings_xml::SetChildText(preferences, "previewSizeLimit", std::to_string(m_previewSizeLimit));
            settings_xml::SetChildText(preferences, "previewLimitFixed", m_previewLimitFixed ? "true" : "false");
            ChildOrNew(settings, "sessionProfiles");
            return true;
        },
        notes);
    Append(messages, std::move(notes));
    return saved;
}

bool CMySettings::LoadSessionProfiles(const std::u16string& filePath, VARNELSESSIONPROFILELIST& profiles,
                                      SettingsMessages* messages) const
{
    SettingsMessages notes;
    Document d;
    settings_xml::LoadDocument(filePath, m_version, d);
    bool loaded = false;
    if (d.problem != FileProblem::None) {
        notes.push_back(Tr("Settings", "%1; no session profiles are listed.", d.description));
    } else if (const pugi::xml_node list = d.settings.child("sessionProfiles")) {
        for (const pugi::xml_node profile : list.children("profile"))
            profiles.push_back(settings_xml::ReadProfile(profile, notes));
        loaded = true;
    } else {
        notes.push_back(Tr("Settings", "Settings file \"%1\" holds no session profiles.", filePath));
    }
    Append(messages, std::move(notes));
    return loaded;
}

bool CMySettings::SaveSessionProfiles(const VARNELSESSIONPROFILELIST& profiles, SettingsMessages* messages) const
{
    SettingsMessages notes;
    const bool saved = UpdateFile(
        m_settingsFilePath, m_version,
        [&profiles](pugi::xml_node settings, SettingsMessages&) {
            pugi::xml_node list = ChildOrNew(settings, "sessionProfiles");
            list.remove_children();
            for (const VARNELSESSIONPROFILE& profile : profiles)
                settings_xml::WriteProfile(list.append_child("profile"), profile, true);
            return true;
        },
        notes);
    Append(messages, std::move(notes));
    return saved;
}

bool CMySettings::SaveCurrentAsProfile(const std::u16string& name, bool overwrite, PROFILENAMESTATUS* status,
                                       SettingsMessages* messages) const
{
    return SaveAsProfile(m_currentProfile, name, overwrite, status, messages);
}

bool CMySettings::SaveAsProfile(const VARNELSESSIONPROFILE& options, const std::u16string& name, bool overwrite,
                                PROFILENAMESTATUS* status, SettingsMessages* messages) const
{
    PROFILENAMESTATUS verdict = CheckNewProfileName(name, {});
    if (status != nullptr)
        *status = verdict;
    if (verdict != PROFILENAME_OK)
        return false;
    VARNELSESSIONPROFILE profile = options;
    profile.name = NormaliseProfileName(name);

    SettingsMessages notes;
    const bool saved = UpdateFile(
        m_settingsFilePath, m_version,
        [&](pugi::xml_node settings, SettingsMessages&) {
            // Only the profile's own element is touched: the others are kept
            // exactly as the file has them.
            pugi::xml_node list = ChildOrNew(settings, "sessionProfiles");
            pugi::xml_node target;
            for (pugi::xml_node element : list.children("profile")) {
                if (SameProfileName(text::FromUtf8(element.attribute("name").as_string()), profile.name)) {
                    target = element;
                    break;
                }
            }
            if (target && !overwrite) {
                verdict = PROFILENAME_EXISTS;
                return false;
            }
            if (target) {
                target.remove_children();
                target.remove_attributes();
            } else {
                target = list.append_child("profile");
            }
            settings_xml::WriteProfile(target, profile, true);
            return true;
        },
        notes);
    if (status != nullptr)
        *status = verdict;
    Append(messages, std::move(notes));
    return saved;
}
