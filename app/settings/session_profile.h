#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "varnex/session/conversion_options.h"

// The user-facing conversion options of one session profile, under its
// name and its filter's label. The current settings use the same record with
// an empty name.
struct VARNELSESSIONPROFILE {
    std::u16string name;
    // UTF-8 without a byte order mark, as Unix tools write it.
    VARNEXCONVERSIONOPTIONS options{.writeBom = false};
    std::u16string filterName;
    std::u16string filterComment;

    bool operator==(const VARNELSESSIONPROFILE&) const = default;
};

using VARNELSESSIONPROFILELIST = std::vector<VARNELSESSIONPROFILE>;

// Whether an input code page can be used as a profile's fixed code page: -1
// (automatic), or a catalogue entry the converter can decode. Anything else
// would mark every file "Binary" and skip it while reporting success.
bool IsUsableInputCodepage(int32_t codepage);
bool IsUsableInputCodepage(const std::optional<int32_t>& codepage);

// Verdicts on a profile name the user typed.
enum PROFILENAMESTATUS {
    PROFILENAME_OK = 0,
    PROFILENAME_EMPTY,      // nothing but white space
    PROFILENAME_RESERVED,   // the convert dialog's fixed "Default" entry
    PROFILENAME_EXISTS,     // saving under a name in use: ask before overwriting
    PROFILENAME_DUPLICATE,  // renaming onto another profile's name: refused
};

// Names are compared trimmed and without regard to case, so "Work" and
// " work " are one profile to the user.
std::u16string NormaliseProfileName(const std::u16string& name);
bool SameProfileName(const std::u16string& a, const std::u16string& b);

// For "save the current settings as": an existing name asks for overwriting.
PROFILENAMESTATUS CheckNewProfileName(const std::u16string& name, const VARNELSESSIONPROFILELIST& profiles);
// For renaming the profile at index: another profile's name is a duplicate.
PROFILENAMESTATUS CheckProfileRename(const std::u16string& name, const VARNELSESSIONPROFILELIST& profiles,
                                     size_t index);
// The text to show for a verdict (empty for PROFILENAME_OK).
std::u16string ProfileNameMessage(PROFILENAMESTATUS status, const std::u16string& name);
