#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "utils/utils_export.h"

// A fixed-size most-recently-used list of strings, kept in the settings store
// (an INI file) under one section: entry k is stored under the name made from
// the entry format and the number firstNumber + k ("%d" and 1 give "1", "2",
// ...). Entry 0 is the most recent. Not thread-safe; one owner at a time.
//
// A size of 0 is allowed and gives a list that holds nothing: Add does
// nothing, ReadList and WriteList handle no entries (WriteList still clears
// the section), and every index is out of range.
class UTILS_API CRecentList {
public:
    virtual ~CRecentList();
    // Throws std::invalid_argument for a negative size. All entries start empty.
    // An empty settingsFile means the user's store, utils::DefaultSettingsFile().
    CRecentList(unsigned firstNumber, std::u16string section, std::u16string entryFormat, int size,
                int maxDisplayLength, std::u16string settingsFile = {});
    CRecentList(const CRecentList& other);
    CRecentList& operator=(const CRecentList& other);

    // Removes the entry and moves the later ones up; the last becomes empty.
    // Throws std::invalid_argument for an index outside 0..size-1.
    virtual void Remove(int index);
    // Puts text on top. A text already among the entries moves there (exact,
    // case-sensitive match), so there are no duplicates; a new text pushes the
    // oldest entry out.
    virtual void Add(std::u16string_view text);
    // Reads every entry from the store; a missing entry reads as empty. False
    // when the store cannot be read (the entries are then all empty) or the
    // section name is empty.
    [[nodiscard]] virtual bool ReadList();
    // Replaces the section with the non-empty entries (so entries removed from
    // the list leave the store too). False when the store cannot be written or
    // the section name is empty (an empty name would address the whole store).
    [[nodiscard]] virtual bool WriteList();

    // Throws std::invalid_argument for an index outside 0..size-1.
    const std::u16string& operator[](int index) const;
    int GetSize() const { return m_size; }
    int GetMaxDisplayLength() const { return m_maxDisplayLength; }
    const std::u16string& GetSection() const { return m_section; }
    // The store name of entry index (counting from 0).
    std::u16string GetEntryName(int index) const;

    void SetSettingsFile(std::u16string settingsFile) { m_settingsFile = std::move(settingsFile); }
    const std::u16string& GetSettingsFile() const { return m_settingsFile; }

private:
    void CheckIndex(int index) const;

    int m_size;
    std::vector<std::u16string> m_entries;
    std::u16string m_section;
    std::u16string m_entryFormat;
    unsigned m_firstNumber;
    int m_maxDisplayLength;         // kept for the controls that show the list
    std::u16string m_settingsFile;  // empty: the user's store
};

namespace utils {

// The settings store of the program: "Quillmark/Varnel Professional 2.ini" in
// the user's config folder ($XDG_CONFIG_HOME, default ~/.config).
UTILS_API std::u16string DefaultSettingsFile();

// The store name made from a printf-like format holding one integer
// conversion (%d, %i or %u, with an optional 0 flag and width; "%%" is a
// percent sign). Other text, and conversions past the first, stay as they are.
UTILS_API std::u16string FormatEntryName(std::u16string_view format, unsigned long long number);

}  // namespace utils
