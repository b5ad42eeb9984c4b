#pragma once
// What the sources of the file layer share; nothing outside platform/ includes it.

#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/file_api.h"

namespace platform::detail {

inline void SetError(int* error, int value)
{
    if (error)
        *error = value;
}

// The injector a test set, or null.
FileFaultInjector* Faults();

// A path split into a directory descriptor and a last component, so that paths
// longer than PATH_MAX can be reached with the *at() calls.
class ResolvedPath {
public:
    explicit ResolvedPath(const std::string& native);
    ~ResolvedPath();
    ResolvedPath(const ResolvedPath&) = delete;
    ResolvedPath& operator=(const ResolvedPath&) = delete;

    bool Ok() const { return m_error == 0; }
    int Error() const { return m_error; }
    int Dir() const { return m_dir; }
    const char* Leaf() const { return m_leaf.c_str(); }

private:
    int m_dir = AT_FDCWD;
    std::string m_leaf;
    int m_error = 0;
};

FileType TypeOfMode(mode_t mode);
void FillStatus(const struct stat& st, FileStatus* status);
// The non-empty components of a native path.
std::vector<std::string> Components(const std::string& native);

}  // namespace platform::detail
