#pragma once

#include <optional>
#include <string>
#include <vector>

// The running process and what it learns from its environment.
namespace platform {

unsigned long ProcessId();
// False only when the system says no such process exists.
[[nodiscard]] bool ProcessExists(unsigned long processId);
std::u16string HostName();
// The program file's own path (empty when the system does not say).
std::u16string ExecutablePath();
// Where the program's own data (extension lists, Locales, help) lie for a
// program in programFolder: "../share/varnelpro" from it when that folder
// exists (an installed program), else programFolder itself (the build tree,
// or a copy with its data beside it). The installed layout wins, so an
// installed program never reads a build tree's files.
std::u16string ProgramDataFolderFor(const std::u16string& programFolder);
// The same for the running program.
std::u16string ProgramDataFolder();
std::u16string CurrentFolder();
// An environment variable's value; nothing when it is not set.
std::optional<std::u16string> EnvironmentValue(const char* name);
// $XDG_DATA_HOME and $XDG_CONFIG_HOME when they hold absolute paths, else
// ~/.local/share and ~/.config; empty when there is no home either.
std::u16string UserDataFolder();
std::u16string UserConfigFolder();

// A function a module of the program's own exports: the module is the first
// of places (paths relative to the program's folder) that exists, loaded once
// and never unloaded. Null when none loads or it lacks the function; error
// then says why, as the loader put it.
void* ProgramModuleFunction(const std::vector<std::string>& places, const char* function, std::string* error);

}  // namespace platform
