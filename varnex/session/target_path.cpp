#include "varnex/session/target_path.h"

#include "textrion/path/long_path.h"

std::u16string MirroredTargetPath(const char16_t* file, const char16_t* baseFolder, const char16_t* outputFolder)
{
    CLongPath target(outputFolder);
    if (target.IsEmpty())
        return {};
    CLongPath source(file);
    if (source.IsDirectory())
        source.AddBackslash();
    CLongPath base(baseFolder);
    base.AddBackslash();
    target.AddBackslash();
    const std::u16string& path = source.GetPath();
    const std::u16string& prefix = base.GetPath();
    std::u16string relative;
    if (prefix.size() < path.size()) {
        if (path.compare(0, prefix.size(), prefix) != 0)
            return {};  // not below the base folder
        relative = path.substr(prefix.size());
    }
    // The target must stay inside the output folder.
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find(u'/', start);
        if (end == std::u16string::npos)
            end = relative.size();
        if (relative.compare(start, end - start, u"..") == 0)
            return {};
        start = end + 1;
    }
    target.Append(relative);
    return target.GetPath();
}

std::u16string TargetPathInFolder(const char16_t* file, const char16_t* outputFolder)
{
    CLongPath target(outputFolder);
    if (target.IsEmpty())
        return {};
    target.Append(CLongPath(file).GetFileName());
    return target.GetPath();
}
