#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Every switch the program takes, as data: the parser checks the command
// line against it and -help is written from it, so a switch added here is
// both accepted and listed. Tools that write the manual page or the shell
// completion walk the same rows.

// What a switch's value must be.
enum class SwitchValueKind {
    None,      // a flag: no value
    Text,      // any text that is not empty
    Path,      // a file or folder, relative to the current folder
    Number,    // decimal digits
    Keyword,   // one of the row's keywords; case, '-' and '_' do not matter
    Bool,      // yes/no, true/false, on/off, 1/0, y/n, t/f
    CodePage,  // a catalogue number or name (CCodepageInfo::GetCodepageInfoByName)
    Slice,     // K/N: decimal K from 0 to N-1, N at least 1
};

struct SwitchKeyword {
    std::u16string_view text;
    int code;  // what the record stores for it
};

struct CommandLineSwitch {
    // What the switch sets. Rows sharing a key set one value: "--no-bom" is
    // "-bom=no", so giving both with different values is refused.
    std::u16string_view key;
    // Every spelling as typed: "-in", "-i", "--in" ('/' may stand for the
    // first '-'). The first is the one the help shows first.
    std::vector<std::u16string_view> names;
    SwitchValueKind kind = SwitchValueKind::None;
    std::vector<SwitchKeyword> keywords;  // Keyword: the values allowed
    std::u16string_view implied;          // a flag that stands for key=implied
    const char* valueName = nullptr;      // "PATH", shown after '='
    const char* help = nullptr;           // one line (English); null: not listed
};

std::span<const CommandLineSwitch> CommandLineSwitches();

// The row a switch as typed names ("-in", "/in", "--in"; any case), or null.
const CommandLineSwitch* FindCommandLineSwitch(std::u16string_view typed);

// The keyword of a row a value names, or null.
const SwitchKeyword* FindSwitchKeyword(const CommandLineSwitch& row, std::u16string_view value);

// "K/N" with 0 <= K < N as its two numbers; false when text is not so.
bool ParseSwitchSlice(std::u16string_view text, uint32_t& index, uint32_t& count);

// The yes/no words of Bool switches; false when text is none of them.
bool ParseSwitchBool(std::u16string_view text, bool& value);
