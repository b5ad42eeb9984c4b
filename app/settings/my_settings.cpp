#include "app/settings/my_settings.h"

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <utility>

#include "app/locale/tr.h"
#include "app/options/program_version.h"
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

// One element and all it holds, as text, to tell whether two are the same.
std::string XmlText(pugi::xml_node node)
{
    struct StringWriter : pugi::xml_writer {
        std::string bytes;
        void write(const void* data, size_t size) override { bytes.append(static_cast<const char*>(data), size); }
    } writer;
    node.print(writer, "", pugi::format_raw);
    return std::move(writer.bytes);
}

// Text the parser split (at a comment or processing instruction it skips)
// would be written back joined, as another value: such an element is not
// kept as the file has it.
bool HasSplitText(pugi::xml_node element)
{
    int texts = 0;
    for (const pugi::xml_node child : element.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            ++texts;
        else if (child.type() == pugi::node_element && HasSplitText(child))
            return true;
    }
    return texts > 1;
}

// Reads the preferences element over the values given.
void ReadPreferences(pugi::xml_node preferences, bool& showLanguageMenu, uint32_t& previewSizeLimit,
                     bool& previewLimitFixed, SettingsMessages& notes)
{
    showLanguageMenu = preferences.child("showLanguageMenu").text().as_bool(showLanguageMenu);
    previewLimitFixed = preferences.child("previewLimitFixed").text().as_bool(previewLimitFixed);
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
        previewSizeLimit = static_cast<uint32_t>(held);
        if (held != value)
            notes.push_back(Tr("Settings",
                               "Preference \"previewSizeLimit\" \"%1\" is out of range (%2 to %3 bytes, or 0); "
                               "%4 is used.",
                               {text::FromUtf8(given), text::FromUnsigned(kPreviewMinBytes),
                                text::FromUnsigned(kPreviewMaxBytes), text::FromUnsigned(previewSizeLimit)}));
    }
}

// Adds "section/element" for each element of the section whose text a read
// had to replace: read alone, it says so.
void NoteCorrected(pugi::xml_node section, const std::function<void(pugi::xml_node, SettingsMessages&)>& read,
                   std::set<std::string>& corrected)
{
    for (const pugi::xml_node child : section.children()) {
        if (child.type() != pugi::node_element)
            continue;
        pugi::xml_document scratch;
        pugi::xml_node alone = scratch.append_child(section.name());
        alone.append_copy(child);
        SettingsMessages said;
        read(alone, said);
        if (!said.empty())
            corrected.insert(std::string(section.name()) + "/" + child.name());
    }
}

// Writes the section's elements from now where the file lacks one, where
// its value differs from was (the file's, null when not known), where the
// load corrected it or where its text was split; the others keep the file's
// text, and elements this version does not write stay as they are.
void UpdateSection(pugi::xml_node settings, const char* name,
                   const std::function<void(pugi::xml_node, bool now)>& write, bool known,
                   const std::set<std::string>& corrected)
{
    pugi::xml_document scratch;
    const pugi::xml_node fresh = scratch.append_child(name);
    write(fresh, true);
    const pugi::xml_node before = scratch.append_child(name);
    if (known)
        write(before, false);
    pugi::xml_node target = ChildOrNew(settings, name);
    for (pugi::xml_node child = fresh.first_child(); child; child = child.next_sibling()) {
        const pugi::xml_node present = target.child(child.name());
        if (present && known && !corrected.contains(std::string(name) + "/" + child.name()) &&
            XmlText(before.child(child.name())) == XmlText(child) && !HasSplitText(present))
            continue;
        const pugi::xml_node copy = present ? target.insert_copy_before(child, present) : target.append_copy(child);
        // The one replaced, and any later one of the name a reader would never reach.
        while (const pugi::xml_node old = copy.next_sibling(child.name()))
            target.remove_child(old);
    }
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

CMySettings::CMySettings() : CMySettings(DefaultSettingsFilePath(), ProgramVersion())
{
}

CMySettings::CMySettings(std::u16string settingsFilePath, const std::u16string& programVersion)
    : m_settingsFilePath(std::move(settingsFilePath)),
      m_version(SettingsVersionOf(programVersion))
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
    m_currentProfile = SessionProfile();
    m_showLanguageMenu = true;
    m_previewSizeLimit = 0;
    m_previewLimitFixed = false;
}

SettingsMessages CMySettings::SetJobSetting(const VARNEXJOBSETTING& job)
{
    m_jobSetting = job;
    return settings_xml::HoldJobSetting(m_jobSetting);
}

void CMySettings::SetCurrentProfile(const SessionProfile& profile)
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

CMySettings::Stored CMySettings::Values() const
{
    Stored values;
    values.job = m_jobSetting;
    values.current = m_currentProfile;
    values.showLanguageMenu = m_showLanguageMenu;
    values.previewSizeLimit = m_previewSizeLimit;
    values.previewLimitFixed = m_previewLimitFixed;
    return values;
}

void CMySettings::WriteValues(pugi::xml_node settings, const Stored& now, const Stored* was)
{
    const bool known = was != nullptr;
    const std::set<std::string> none;
    const std::set<std::string>& corrected = known ? was->corrected : none;
    auto pick = [&](bool fresh) -> const Stored& { return fresh ? now : *was; };
    UpdateSection(
        settings, "jobSetting",
        [&](pugi::xml_node element, bool fresh) { settings_xml::WriteJobSetting(element, pick(fresh).job); }, known,
        corrected);
    UpdateSection(
        settings, "currentProfile",
        [&](pugi::xml_node element, bool fresh) { settings_xml::WriteProfile(element, pick(fresh).current, false); },
        known, corrected);
    UpdateSection(
        settings, "preferences",
        [&](pugi::xml_node element, bool fresh) {
            const Stored& values = pick(fresh);
            settings_xml::SetChildText(element, "showLanguageMenu", values.showLanguageMenu ? "true" : "false");
            settings_xml::SetChildText(element, "previewSizeLimit", std::to_string(values.previewSizeLimit));
            settings_xml::SetChildText(element, "previewLimitFixed", values.previewLimitFixed ? "true" : "false");
        },
        known, corrected);
    ChildOrNew(settings, "sessionProfiles");
}

bool CMySettings::Load(SettingsMessages* messages)
{
    SettingsMessages notes;
    ResetToDefaults();
    m_stored.reset();
    Document d;
    settings_xml::LoadDocument(m_settingsFilePath, m_version, d);
    if (d.problem != FileProblem::None) {
        // No file yet is the first run, not a fault.
        if (d.problem != FileProblem::Missing)
            notes.push_back(Tr("Settings", "%1; the defaults are used.", d.description));
        Append(messages, std::move(notes));
        return false;
    }
    std::set<std::string> corrected;
    if (const pugi::xml_node job = d.settings.child("jobSetting")) {
        settings_xml::ReadJobSetting(job, m_jobSetting, notes);
        NoteCorrected(
            job,
            [](pugi::xml_node element, SettingsMessages& said) {
                VARNEXJOBSETTING scratch = GetDefaultJobSetting();
                settings_xml::ReadJobSetting(element, scratch, said);
            },
            corrected);
    }
    if (const pugi::xml_node current = d.settings.child("currentProfile")) {
        m_currentProfile = settings_xml::ReadProfile(current, notes);
        m_currentProfile.name.clear();
        NoteCorrected(
            current, [](pugi::xml_node element, SettingsMessages& said) { settings_xml::ReadProfile(element, said); },
            corrected);
    }
    if (const pugi::xml_node preferences = d.settings.child("preferences")) {
        ReadPreferences(preferences, m_showLanguageMenu, m_previewSizeLimit, m_previewLimitFixed, notes);
        NoteCorrected(
            preferences,
            [](pugi::xml_node element, SettingsMessages& said) {
                bool show = true, fixed = false;
                uint32_t limit = 0;
                ReadPreferences(element, show, limit, fixed, said);
            },
            corrected);
    }
    m_stored = Values();
    m_stored->corrected = std::move(corrected);
    Append(messages, std::move(notes));
    return true;
}

bool CMySettings::Save(SettingsMessages* messages)
{
    SettingsMessages notes;
    const Stored now = Values();
    const bool saved = UpdateFile(
        m_settingsFilePath, m_version,
        [&](pugi::xml_node settings, SettingsMessages&) {
            WriteValues(settings, now, m_stored ? &*m_stored : nullptr);
            return true;
        },
        notes);
    if (saved)
        m_stored = now;
    Append(messages, std::move(notes));
    return saved;
}

bool CMySettings::LoadSessionProfiles(const std::u16string& filePath, SessionProfileList& profiles,
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

bool CMySettings::SaveSessionProfiles(const SessionProfileList& profiles, SettingsMessages* messages) const
{
    SettingsMessages notes;
    const bool saved = UpdateFile(
        m_settingsFilePath, m_version,
        [&profiles](pugi::xml_node settings, SettingsMessages&) {
            pugi::xml_node list = ChildOrNew(settings, "sessionProfiles");
            list.remove_children();
            for (const SessionProfile& profile : profiles)
                settings_xml::WriteProfile(list.append_child("profile"), profile, true);
            return true;
        },
        notes);
    Append(messages, std::move(notes));
    return saved;
}

bool CMySettings::SaveCurrentAsProfile(const std::u16string& name, bool overwrite, ProfileNameStatus* status,
                                       SettingsMessages* messages) const
{
    return SaveAsProfile(m_currentProfile, name, overwrite, status, messages);
}

bool CMySettings::SaveAsProfile(const SessionProfile& options, const std::u16string& name, bool overwrite,
                                ProfileNameStatus* status, SettingsMessages* messages) const
{
    ProfileNameStatus verdict = CheckNewProfileName(name, {});
    if (status != nullptr)
        *status = verdict;
    if (verdict != ProfileNameStatus::Ok)
        return false;
    SessionProfile profile = options;
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
                verdict = ProfileNameStatus::Exists;
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
