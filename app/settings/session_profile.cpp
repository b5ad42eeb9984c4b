#include "app/settings/session_profile.h"

#include <QString>

#include "varnex/codepage/codepage_info.h"

namespace {

QString ToQString(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

// The convert dialog's profile menu starts with this fixed entry.
constexpr char16_t kReservedName[] = u"Default";

}  // namespace

bool IsUsableInputCodepage(int32_t codepage)
{
    if (codepage == -1)
        return true;
    // -1 is also the catalogue's "Binary" pseudo entry; every other negative
    // number is in no catalogue.
    if (codepage < 0 || CCodepageInfo::GetCodepageInfo(codepage) == nullptr)
        return false;
    return CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(codepage));
}

bool IsUsableInputCodepage(const std::optional<int32_t>& codepage)
{
    return IsUsableInputCodepage(codepage.value_or(ConversionOptions::kDetectEachFile));
}

std::u16string NormaliseProfileName(const std::u16string& name)
{
    return ToQString(name).trimmed().toStdU16String();
}

bool SameProfileName(const std::u16string& a, const std::u16string& b)
{
    return ToQString(a).trimmed().compare(ToQString(b).trimmed(), Qt::CaseInsensitive) == 0;
}

namespace {

ProfileNameStatus CheckName(const std::u16string& name, const SessionProfileList& profiles, size_t skip,
                            ProfileNameStatus taken)
{
    const std::u16string trimmed = NormaliseProfileName(name);
    if (trimmed.empty())
        return ProfileNameStatus::Empty;
    if (SameProfileName(trimmed, kReservedName))
        return ProfileNameStatus::Reserved;
    for (size_t i = 0; i < profiles.size(); ++i)
        if (i != skip && SameProfileName(profiles[i].name, trimmed))
            return taken;
    return ProfileNameStatus::Ok;
}

}  // namespace

ProfileNameStatus CheckNewProfileName(const std::u16string& name, const SessionProfileList& profiles)
{
    return CheckName(name, profiles, profiles.size(), ProfileNameStatus::Exists);
}

ProfileNameStatus CheckProfileRename(const std::u16string& name, const SessionProfileList& profiles, size_t index)
{
    return CheckName(name, profiles, index, ProfileNameStatus::Duplicate);
}

std::u16string ProfileNameMessage(ProfileNameStatus status, const std::u16string& name)
{
    switch (status) {
    case ProfileNameStatus::Empty:
        return u"Profile name cannot be empty.";
    case ProfileNameStatus::Reserved:
        return u"This profile name is reserved. Please enter another name.";
    case ProfileNameStatus::Exists:
        return u"Overwrite profile [" + NormaliseProfileName(name) + u"]?";
    case ProfileNameStatus::Duplicate:
        return u"Duplicated profile name. Please enter a different profile name.";
    default:
        return {};
    }
}
