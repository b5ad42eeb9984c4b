#include "platform/process.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/native_path.h"

namespace platform {

namespace {

// An XDG base folder: the variable when it holds an absolute path, else the
// fallback below the home folder.
std::u16string XdgFolder(const char* variable, const char* fallback)
{
    const char* value = std::getenv(variable);
    std::string folder;
    if (value != nullptr && value[0] == '/') {
        folder = value;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0')
            return {};
        folder = std::string(home) + "/" + fallback;
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return FromNativePath(folder);
}

}  // namespace

unsigned long ProcessId()
{
    return static_cast<unsigned long>(getpid());
}

bool ProcessExists(unsigned long processId)
{
    if (processId == 0 || processId > INT_MAX)
        return false;
    return kill(static_cast<pid_t>(processId), 0) == 0 || errno != ESRCH;
}

std::u16string HostName()
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return {};
    return FromNativePath(host);
}

std::u16string ExecutablePath()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return FromNativePath(std::string(buffer.data(), static_cast<size_t>(n)));
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string ProgramDataFolderFor(const std::u16string& programFolder)
{
    std::u16string parent = programFolder;
    while (parent.size() > 1 && parent.back() == u'/')
        parent.pop_back();
    const size_t slash = parent.rfind(u'/');
    if (slash == std::u16string::npos)
        return programFolder;
    parent.resize(slash);
    const std::u16string installed = parent + u"/share/varnelpro";
    struct stat st;
    if (stat(ToNativePath(installed).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return installed;
    return programFolder;
}

std::u16string ProgramDataFolder()
{
    std::u16string program = ExecutablePath();
    const size_t slash = program.rfind(u'/');
    if (slash == std::u16string::npos)
        return {};
    program.resize(slash + 1);
    return ProgramDataFolderFor(program);
}

std::u16string CurrentFolder()
{
    std::string buffer(4096, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return FromNativePath(buffer);
}

std::optional<std::u16string> EnvironmentValue(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr)
        return std::nullopt;
    return FromNativePath(value);
}

std::u16string UserDataFolder()
{
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::u16string UserConfigFolder()
{
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

void* ProgramModuleFunction(const std::vector<std::string>& places, const char* function, std::string* error)
{
    const std::string program = ToNativePath(ExecutablePath());
    const std::string folder = program.substr(0, program.rfind('/') + 1);
    std::string why = "not found:";
    for (const std::string& place : places)
        why += " " + folder + place;
    for (const std::string& place : places) {
        const std::string path = folder + place;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* reason = dlerror();
            why = reason ? reason : path;
            continue;
        }
        if (void* address = dlsym(module, function))
            return address;
        why = path + ": no " + function;
    }
    if (error)
        *error = why;
    return nullptr;
}

}  // namespace platform
