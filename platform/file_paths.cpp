// The file layer on names: resolving paths, making and removing entries, renaming.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/file_api.h"
#include "platform/file_api_detail.h"
#include "platform/native_path.h"

namespace platform {

using detail::Components;
using detail::Faults;
using detail::ResolvedPath;
using detail::SetError;

namespace {

std::string AbsoluteNative(std::u16string_view path)
{
    std::string native = ToNativePath(path);
    if (!native.empty() && native[0] == '/')
        return native;
    std::string cwd(PATH_MAX, '\0');
    if (getcwd(cwd.data(), cwd.size()) == nullptr)
        return "/" + native;
    cwd.resize(std::strlen(cwd.c_str()));
    return native.empty() ? cwd : cwd + "/" + native;
}

std::string JoinComponents(const std::vector<std::string>& parts)
{
    std::string path;
    for (const std::string& part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

// As realpath, one component at a time, so that the part that does not
// exist yet is kept, and a link that leads there is followed all the same.
std::string ResolveNative(std::u16string_view path)
{
    std::deque<std::string> todo;
    for (std::string& part : Components(AbsoluteNative(path)))
        todo.push_back(std::move(part));
    std::vector<std::string> done;
    bool missing = false;
    int links = 0;
    while (!todo.empty()) {
        std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (!done.empty())
                done.pop_back();
            continue;
        }
        done.push_back(std::move(part));
        if (missing)
            continue;
        const std::string here = JoinComponents(done);
        struct stat st;
        if (lstat(here.c_str(), &st) != 0) {
            missing = true;
            continue;
        }
        if (!S_ISLNK(st.st_mode) || ++links > 40)
            continue;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = readlink(here.c_str(), target.data(), target.size());
        if (n <= 0) {
            missing = true;
            continue;
        }
        target.resize(static_cast<size_t>(n));
        done.pop_back();
        if (target[0] == '/')
            done.clear();
        std::vector<std::string> inner = Components(target);
        todo.insert(todo.begin(), inner.begin(), inner.end());
    }
    return JoinComponents(done);
}

}  // namespace

std::u16string ResolvePath(std::u16string_view path)
{
    return FromNativePath(ResolveNative(path));
}

bool IsSameOrInside(std::u16string_view path, std::u16string_view folder)
{
    std::string inner = ResolveNative(path);
    const std::string outer = ResolveNative(folder);
    if (inner == outer || outer == "/" ||
        (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '/'))
        return true;
    // The same folder under another name (a bind mount): compare each
    // existing ancestor of path with folder by device and inode.
    struct stat target;
    if (stat(outer.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
        return false;
    for (;;) {
        struct stat st;
        if (stat(inner.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino)
            return true;
        if (inner == "/")
            return false;
        const size_t slash = inner.rfind('/');
        inner.erase(slash == 0 ? 1 : slash);
    }
}

bool CreateDirectoryOne(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok()) {
        SetError(error, resolved.Error());
        return false;
    }
    if (mkdirat(resolved.Dir(), resolved.Leaf(), 0777) != 0) {
        SetError(error, errno);
        return false;
    }
    SetError(error, 0);
    return true;
}

bool RemoveFile(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok() || unlinkat(resolved.Dir(), resolved.Leaf(), 0) != 0) {
        SetError(error, resolved.Ok() ? errno : resolved.Error());
        return false;
    }
    SetError(error, 0);
    return true;
}

bool RemoveDirectoryOne(std::u16string_view path, int* error)
{
    ResolvedPath resolved(ToNativePath(path));
    if (!resolved.Ok() || unlinkat(resolved.Dir(), resolved.Leaf(), AT_REMOVEDIR) != 0) {
        SetError(error, resolved.Ok() ? errno : resolved.Error());
        return false;
    }
    SetError(error, 0);
    return true;
}

bool RenameFile(std::u16string_view from, std::u16string_view to, int* error)
{
    if (FileFaultInjector* faults = Faults()) {
        if (const int fault = faults->BeforeRename(from, to)) {
            SetError(error, fault);
            return false;
        }
    }
    ResolvedPath source(ToNativePath(from));
    ResolvedPath target(ToNativePath(to));
    if (!source.Ok() || !target.Ok()) {
        SetError(error, source.Ok() ? target.Error() : source.Error());
        return false;
    }
    if (renameat(source.Dir(), source.Leaf(), target.Dir(), target.Leaf()) != 0) {
        SetError(error, errno);
        return false;
    }
    SetError(error, 0);
    return true;
}

}  // namespace platform
