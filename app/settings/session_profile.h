#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "varnex/session/conversion_options.h"

// The user-facing conversion options of one session profile, under its
// name and its filter's label. The current settings use the same record with
// an empty name.
struct SessionProfile {
    std::u16string name;
    // UTF-8 without a byte order mark, as Unix tools write it.
    ConversionOptions options{.writeBom = false};
    std::u16string filterName;
    std::u16string filterComment;

    bool operator==(const SessionProfile&) const = default;
};

using SessionProfileList = std::vector<SessionProfile>;

// Whether an input code page can be used as a profile's fixed code page: -1
// (automatic), or a catalogue entry the converter can decode. Anything else
// would mark every file "Binary" and skip it while reporting success.
bool IsUsableInputCodepage(int32_t codepage);
bool IsUsableInputCodepage(const std::optional<int32_t>& codepage);

// Verdicts on a profile name the user typed.
enum class ProfileNameStatus {
    Ok = 0,
    Empty,      // nothing but white space
    Reserved,   // the convert dialog's fixed "Default" entry
    Exists,     // saving under a name in use: ask before overwriting
    Duplicate,  // renaming onto another profile's name: refused
};

// Names are compared trimmed and without regard to case, so "Work" and
// " work " are one profile to the user.
std::u16string NormaliseProfileName(const std::u16string& name);
bool SameProfileName(const std::u16string& a, const std::u16string& b);

// For "save the current settings as": an existing name asks for overwriting.
ProfileNameStatus CheckNewProfileName(const std::u16string& name, const SessionProfileList& profiles);
// For renaming the profile at index: another profile's name is a duplicate.
ProfileNameStatus CheckProfileRename(const std::u16string& name, const SessionProfileList& profiles, size_t index);
// The text to show for a verdict (empty for ProfileNameStatus::Ok).
std::u16string ProfileNameMessage(ProfileNameStatus status, const std::u16string& name);
