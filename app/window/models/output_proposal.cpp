#include "app/window/models/output_proposal.h"

#include "app/locale/tr.h"
#include "platform/file_api.h"
#include "platform/process.h"

namespace {

constexpr char16_t kConvertedSuffix[] = u" (Converted)";
constexpr char16_t kRootOutputName[] = u"Converted";

std::u16string WithoutTrailingSeparators(std::u16string path)
{
    while (path.size() > 1 && path.back() == u'/')
        path.pop_back();
    return path;
}

std::u16string Join(const std::u16string& folder, const std::u16string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == u'/' ? folder + name : folder + u'/' + name;
}

std::u16string Number(int n)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
        n /= 10;
    } while (n > 0);
    return digits;
}

std::u16string DoubledAmpersands(const std::u16string& text)
{
    std::u16string out;
    for (const char16_t c : text) {
        out.push_back(c);
        if (c == u'&')
            out.push_back(u'&');
    }
    return out;
}

}  // namespace

bool PathExistsOnDisk(const std::u16string& path)
{
    platform::FileStatus status;
    return platform::GetFileStatus(path, &status, false);
}

std::u16string ParentOf(const std::u16string& path)
{
    const std::u16string p = WithoutTrailingSeparators(path);
    const size_t slash = p.rfind(u'/');
    if (slash == std::u16string::npos)
        return {};
    return slash == 0 ? std::u16string(u"/") : p.substr(0, slash);
}

std::u16string NameOf(const std::u16string& path)
{
    const std::u16string p = WithoutTrailingSeparators(path);
    if (p == u"/")
        return {};
    const size_t slash = p.rfind(u'/');
    return slash == std::u16string::npos ? p : p.substr(slash + 1);
}

std::u16string UniqueNameIn(const std::u16string& folder, const std::u16string& base, const std::u16string& ext,
                            const PathExistsFn& exists)
{
    std::u16string candidate = Join(folder, base + ext);
    // A folder holds far fewer entries than this; the bound only keeps a
    // broken existence test from looping for ever.
    for (int n = 2; exists(candidate) && n < 1000000; ++n)
        candidate = Join(folder, base + u" (" + Number(n) + u")" + ext);
    return candidate;
}

std::u16string ProposeOutputFolder(const std::u16string& inputFolder, const std::u16string& homeFolder,
                                   const PathExistsFn& exists)
{
    const std::u16string input = WithoutTrailingSeparators(inputFolder);
    if (input == u"/" || input.empty()) {
        const std::u16string home = WithoutTrailingSeparators(homeFolder);
        return UniqueNameIn(home.empty() ? std::u16string(u"/") : home, kRootOutputName, {}, exists);
    }
    return UniqueNameIn(ParentOf(input), NameOf(input) + kConvertedSuffix, {}, exists);
}

std::u16string ProposeOutputFolder(const std::u16string& inputFolder)
{
    return ProposeOutputFolder(inputFolder, platform::EnvironmentValue("HOME").value_or(std::u16string()),
                               PathExistsOnDisk);
}

std::u16string ProposeOutputFile(const std::u16string& inputFile, const PathExistsFn& exists)
{
    const std::u16string name = NameOf(inputFile);
    const size_t dot = name.rfind(u'.');
    const bool hasExtension = dot != std::u16string::npos && dot > 0;
    const std::u16string stem = hasExtension ? name.substr(0, dot) : name;
    const std::u16string ext = hasExtension ? name.substr(dot) : std::u16string();
    return UniqueNameIn(ParentOf(inputFile), stem + kConvertedSuffix, ext, exists);
}

std::u16string ProposeOutputFile(const std::u16string& inputFile)
{
    return ProposeOutputFile(inputFile, PathExistsOnDisk);
}

std::u16string ConvertToLabel(ConvertCommand command, const std::u16string& input, const std::u16string& proposal)
{
    const std::u16string verb = command == ConvertCommand::RecursivelyConvert
                                    ? Tr("ConvertDialog", "Recursively Convert to")
                                    : Tr("ConvertDialog", "&Convert to");
    const bool beside = ParentOf(proposal) == ParentOf(input);
    const std::u16string shown = beside ? NameOf(proposal) : WithoutTrailingSeparators(proposal);
    return verb + u" \"" + DoubledAmpersands(shown) + u"\"";
}
