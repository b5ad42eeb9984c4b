#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "varnex/convert/text_file_converter.h"
#include "varnex/session/session_records.h"

// The user-facing conversion options of one session profile. The current
// settings use the same record with an empty name.
struct VARNELSESSIONPROFILE {
    std::u16string name;
    bool copyUnconverted = false;
    bool writeBom = true;
    bool processHiddenFiles = false;
    bool recursive = false;
    int32_t inputCodepage = -1;  // -1: detect each file
    CTextFileConverter::OUTPUTTEXTFORMAT outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    CTextFileConverter::RETURNTYPE returnType = CTextFileConverter::RETURNTYPE_NOCHANGE;
    std::u16string filterName;
    std::u16string filterExpression;
    std::u16string filterComment;
    bool filterRegex = false;
    bool filterEnabled = false;

    bool operator==(const VARNELSESSIONPROFILE&) const = default;

    // Copies the profile's options into a job item; the item's folder flag
    // and paths are left alone.
    void ApplyTo(tagVARNEXBATCHJOBITEM& item) const;
};

using VARNELSESSIONPROFILELIST = std::vector<VARNELSESSIONPROFILE>;

// Whether an input code page can be used as a profile's fixed code page: -1
// (automatic), or a catalogue entry the converter can decode. Anything else
// would mark every file "Binary" and skip it while reporting success.
bool IsUsableInputCodepage(int32_t codepage);

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
