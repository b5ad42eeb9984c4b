#include "varnex/session/job_paths.h"

#include "platform/file_api.h"

namespace {

bool SameFile(const std::u16string& a, const std::u16string& b)
{
    if (platform::ResolvePath(a) == platform::ResolvePath(b))
        return true;
    platform::FileStatus sa, sb;
    return platform::GetFileStatus(a, &sa) && platform::GetFileStatus(b, &sb) && sa.device == sb.device &&
           sa.inode == sb.inode;
}

// The part of path below folder ("" when it is folder itself); false when path
// does not lie below folder by name.
bool RelativeTo(const std::u16string& path, const std::u16string& folder, std::u16string& relative)
{
    if (path == folder) {
        relative.clear();
        return true;
    }
    const std::u16string prefix = folder == u"/" ? folder : folder + u'/';
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return false;
    relative = path.substr(prefix.size());
    return true;
}

// Whether the walk of the item would take the file at relative (below the input folder).
bool WalkReaches(const tagVARNEXBATCHJOBITEM& item, const std::u16string& relative)
{
    if (!item.options.recursive && relative.find(u'/') != std::u16string::npos)
        return false;
    if (!item.options.processHiddenFiles) {
        for (size_t start = 0; start < relative.size();) {
            if (relative[start] == u'.')
                return false;
            const size_t slash = relative.find(u'/', start);
            start = slash == std::u16string::npos ? relative.size() : slash + 1;
        }
    }
    return true;
}

}  // namespace

JobPathCheck CheckJobPaths(const tagVARNEXBATCHJOBITEM& item, const std::u16string& reportPath)
{
    JobPathCheck check;
    const std::u16string input = platform::ResolvePath(item.inputPath);
    const bool hasOutput = !item.outputPath.empty();
    if (hasOutput) {
        if (!item.folder && SameFile(item.inputPath, item.outputPath)) {
            check.clash = JobPathCheck::CLASH_OUTPUT_IS_INPUT;
            check.path = item.inputPath;
            return check;
        }
        if (item.folder && platform::IsSameOrInside(item.inputPath, item.outputPath)) {
            check.clash = JobPathCheck::CLASH_INPUT_IN_OUTPUT;
            check.path = item.inputPath;
            return check;
        }
        check.outputInsideInput = item.folder && platform::IsSameOrInside(item.outputPath, item.inputPath);
    }
    if (reportPath.empty())
        return check;

    const std::u16string report = platform::ResolvePath(reportPath);
    platform::FileStatus status;
    const bool reportExists = platform::GetFileStatus(report, &status, false);
    if (!item.folder) {
        if (SameFile(reportPath, item.inputPath)) {
            check.clash = JobPathCheck::CLASH_REPORT_IS_INPUT;
            check.path = item.inputPath;
        } else if (hasOutput && SameFile(reportPath, item.outputPath)) {
            check.clash = JobPathCheck::CLASH_REPORT_IS_OUTPUT;
            check.path = item.outputPath;
        }
        return check;
    }

    std::u16string relative;
    if (hasOutput && platform::IsSameOrInside(report, item.outputPath)) {
        // A report in the output tree is safe unless an input is mirrored onto it.
        const std::u16string output = platform::ResolvePath(item.outputPath);
        if (!RelativeTo(report, output, relative)) {
            check.clash = JobPathCheck::CLASH_REPORT_IS_OUTPUT;  // the same folder by another name: be safe
            check.path = reportPath;
        } else if (WalkReaches(item, relative) && platform::GetFileStatus(input + u'/' + relative, &status, false)) {
            check.clash = JobPathCheck::CLASH_REPORT_IS_OUTPUT;
            check.path = input + u'/' + relative;
        }
        return check;
    }
    if (reportExists && platform::IsSameOrInside(report, item.inputPath)) {
        // A new report inside the input tree is left out of the walk by the
        // session; an existing file there is an input it would replace.
        if (!RelativeTo(report, input, relative) || WalkReaches(item, relative)) {
            check.clash = JobPathCheck::CLASH_REPORT_IS_INPUT;
            check.path = reportPath;
        }
    }
    return check;
}
