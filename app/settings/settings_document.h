#pragma once

// Reading and writing the settings file "VarnelPro.Current.xml": the parts of
// the document the settings object and the profile list share. Internal to
// app/settings.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "app/settings/session_profile.h"
#include "varnex/session/session_records.h"

namespace settings_xml {

using Messages = std::vector<std::u16string>;

// A settings file larger than this is no settings file of ours; it is not
// read into memory.
inline constexpr uint64_t kMaxFileBytes = 16u << 20;

enum class FileProblem {
    None,
    Missing,
    Unreadable,  // exists but cannot be read (permissions, a folder, an I/O error)
    TooLarge,
    Empty,
    Malformed,    // not well-formed XML
    NotSettings,  // well-formed, but the root is not "varnel"
    NoVersion,    // no "settings" element for this version nor for "*"
};

struct Document {
    pugi::xml_document doc;
    pugi::xml_node settings;  // the element this version uses; null unless problem is None
    FileProblem problem = FileProblem::None;
    uint64_t size = 0;           // the file's size in bytes, 0 when it could not be read
    std::u16string description;  // what went wrong, naming the file; empty when nothing did
};

// Reads and parses the file, then picks the first "settings" element whose
// version is the given one, else the first whose version is "*".
void LoadDocument(const std::u16string& path, const std::u16string& version, Document& out);

// The element Save edits for this version. An element shared with other
// versions ("*") is not changed: a copy of it under this version is made and
// returned. With neither present, a new one is appended.
pugi::xml_node EnsureOwnSettings(pugi::xml_document& doc, const std::u16string& version);

// Reads a "profile" element over the defaults; what had to be replaced is
// described in messages, under the label (e.g. "Profile [Work]").
SessionProfile ReadProfile(pugi::xml_node element, Messages& messages);
// Writes the profile's fields into the element, replacing the children it
// names; the name attribute only when withName.
void WriteProfile(pugi::xml_node element, const SessionProfile& profile, bool withName);

// Reads a "jobSetting" element over the job setting given; numbers that are
// no numbers keep the value, numbers out of range are brought into range.
void ReadJobSetting(pugi::xml_node element, VARNEXJOBSETTING& job, Messages& messages);
void WriteJobSetting(pugi::xml_node element, const VARNEXJOBSETTING& job);

// Holds the job setting to the ranges of the preference pages; returns one
// message per field it changed.
Messages HoldJobSetting(VARNEXJOBSETTING& job);

// Strict decimal text (white space around it, an optional sign); saturates
// instead of wrapping. False when the text is no number.
bool ParseDecimal(std::string_view text, long long& value);

// Element text helpers: child's text as given, "" when absent.
std::string ChildText(pugi::xml_node parent, const char* name);
// Sets the text of the first child of that name, creating it when missing.
void SetChildText(pugi::xml_node parent, const char* name, const std::string& value);

// The whole document as UTF-8 with a declaration saying so.
std::string Serialise(pugi::xml_document& doc);

// Writes bytes to a temporary file beside path, flushes it to the device and
// renames it over path, so a reader sees the old file or the new one and a
// failure leaves the old one. When setAsideAs is not empty, the file now at
// path is first renamed to it. False with a description on failure.
bool WriteAtomically(const std::u16string& path, const std::string& bytes, const std::u16string& setAsideAs,
                     std::u16string& problem);

}  // namespace settings_xml
