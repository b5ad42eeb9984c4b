#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its
// content when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Native path of a name inside the folder.
    std::string File(std::string_view name) const;
    // The same as UTF-16, the form every API of the system takes.
    std::u16string File16(std::string_view name) const;

private:
    std::string m_path;
};

// Whole-file helpers on native paths.
void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

}  // namespace testing_support
