#include "app/headless/headless_plan.h"

#include "app/headless/console_text.h"
#include "platform/file_api.h"
#include "textrion/path/long_path.h"
#include "varnex/session/job_paths.h"
#include "varnex/session/name_filter.h"

using headless::Arg;
using headless::TrH;

namespace {

bool Exists(const std::u16string& path, platform::FileStatus& status)
{
    return platform::GetFileStatus(path, &status, true);
}

}  // namespace

// Each missing folder must be creatable under the nearest existing one,
// which must be a writable folder.
std::u16string CheckOutputFolder(const std::u16string& folder, std::u16string& toCreate)
{
    platform::FileStatus status;
    if (Exists(folder, status)) {
        if (status.type != platform::FileType::Directory)
            return Arg(TrH("output folder is a file: %1"), folder);
        if (!platform::IsWritableDirectory(folder))
            return Arg(TrH("cannot write to output folder: %1"), folder);
        return {};
    }
    CLongPath up(folder);
    while (up.UpOneLevel()) {
        // "file/" would not be found as the file it names.
        const std::u16string ancestor = CLongPath(up).RemoveBackslash().GetPath();
        if (!Exists(ancestor, status))
            continue;
        if (status.type != platform::FileType::Directory)
            return Arg(TrH("output folder is inside a file: %1"), ancestor);
        if (!platform::IsWritableDirectory(ancestor))
            return Arg(TrH("cannot write to output folder: %1"), ancestor);
        toCreate = folder;
        return {};
    }
    return Arg(TrH("cannot write to output folder: %1"), folder);
}

namespace {

bool IsStandardOutput(const platform::FileStatus& status)
{
    platform::FileStatus out;
    return platform::GetHandleStatus(platform::STANDARD_OUTPUT, &out) && out.device == status.device &&
           out.inode == status.inode;
}

std::u16string CheckExportFile(const std::u16string& path, HeadlessPlan& plan)
{
    platform::FileStatus status;
    if (Exists(path, status)) {
        if (status.type == platform::FileType::Directory)
            return Arg(TrH("export file is a folder: %1"), path);
        // A FIFO, a process substitution, a device or a standard stream.
        if (status.type != platform::FileType::Regular || platform::IsStandardHandleFile(status)) {
            plan.reportWrittenInto = true;
            plan.standardOutputTaken |= IsStandardOutput(status);
            return {};
        }
    }
    // The report is made where the path leads, through a link not yet resolvable too.
    const std::u16string folder =
        CLongPath(CLongPath(platform::ResolvePath(path)).GetDirectory()).RemoveBackslash().GetPath();
    if (std::u16string why = CheckOutputFolder(folder.empty() ? u"/" : folder, plan.exportFolderToCreate); !why.empty())
        return Arg(TrH("cannot write the export file: %1"), path) + u" (" + why + u")";
    return {};
}

}  // namespace

std::u16string PlanHeadlessRun(const CCommandLineOptions& options, HeadlessPlan& plan)
{
    plan = HeadlessPlan{};
    if (options.problem)
        return options.DescribeProblem();
    if (!options.inputPath)
        return TrH("no input folder given");
    const std::u16string& inputPath = *options.inputPath;
    platform::FileStatus input;
    if (!Exists(inputPath, input))
        return Arg(TrH("input folder does not exist: %1"), inputPath);
    const bool folder = input.type == platform::FileType::Directory;
    if (!folder && input.type != platform::FileType::Regular)
        return Arg(TrH("input is neither a file nor a folder: %1"), inputPath);
    if (folder) {
        platform::DirectoryReader reader;
        if (!reader.Open(inputPath))
            return Arg(TrH("cannot read the input folder: %1"), inputPath);
    }
    const bool fileMode = options.GetMode() == CCommandLineOptions::MODE_FILE;
    if (fileMode && folder && !options.detectOnly)
        return Arg(TrH("mode FILE converts one file, but the input is a folder: %1"), inputPath);

    const ConversionOptions& conversion = options.conversion;
    if (conversion.filter.IsEnabled() && conversion.filter.IsRegex()) {
        const std::u16string expression = conversion.filter.GetFilterString();
        std::string why;
        if (!CNameFilter::IsValidRegex(expression, &why))
            return Arg(TrH("invalid regular expression: %1"), expression) + u" (" + text::FromUtf8(why) + u")";
    }

    tagVARNEXBATCHJOBITEM& item = plan.item;
    item.folder = folder;
    item.options = conversion;
    item.inputPath = inputPath;
    item.shard = options.shard.value_or(Shard{});
    // Slices are taken of the files a walk finds; a single file has no tree to split.
    if (!folder && !item.shard.IsWhole())
        return Arg(TrH("-shard splits the files of a folder, but the input is a file: %1"), inputPath);
    plan.detectOnly = options.detectOnly;

    if (!options.detectOnly) {
        // A conversion without an output would write nothing yet look converted.
        if (!options.outputPath)
            return fileMode ? TrH("no output file given") : TrH("no output folder given");
        const std::u16string& outputPath = *options.outputPath;
        std::u16string outputFolder = outputPath;
        if (fileMode) {
            // "newdir/" and "newdir/." name a folder: refused before anything is made.
            const std::u16string name = outputPath.substr(outputPath.rfind(u'/') + 1);
            if (name.empty() || name == u"." || name == u"..")
                return Arg(TrH("mode FILE writes one file, but the output names a folder: %1"), outputPath);
            platform::FileStatus out;
            if (Exists(outputPath, out) && out.type == platform::FileType::Directory)
                return Arg(TrH("output file is a folder: %1"), outputPath);
            if (Exists(outputPath, out) && out.device == input.device && out.inode == input.inode)
                return Arg(TrH("output file is the input file: %1"), outputPath);
            outputFolder = CLongPath(CLongPath(outputPath).GetDirectory()).RemoveBackslash().GetPath();
            item.outputPath = outputPath;
            plan.outputWrittenThrough = Exists(outputPath, out) && (out.type != platform::FileType::Regular ||
                                                                    platform::IsStandardHandleFile(out));
            plan.standardOutputTaken |= plan.outputWrittenThrough && IsStandardOutput(out);
        } else if (folder) {
            item.outputPath = outputPath;
        } else {
            // The file's name in the folder: made like a walk's outputs, a link there replaced.
            item.outputRoot = outputPath;
            item.outputPath = CLongPath(outputPath).Append(CLongPath(inputPath).GetFileName()).GetPath();
            platform::FileStatus out;
            if (Exists(item.outputPath, out) && out.device == input.device && out.inode == input.inode)
                return Arg(TrH("output file is the input file: %1"), item.outputPath);
        }
        std::u16string why;
        if (!plan.outputWrittenThrough)
            why = CheckOutputFolder(outputFolder.empty() ? u"/" : outputFolder, plan.outputFolderToCreate);
        if (!why.empty())
            return why;
    }

    if (options.exportType != CCommandLineOptions::EXPORT_NONE) {
        if (options.exportPath.empty())
            return TrH("no export file given");
        if (std::u16string why = CheckExportFile(options.exportPath, plan); !why.empty())
            return why;
        // JSON text is UTF-8 by its standard; another form would not parse.
        if (options.exportType == CCommandLineOptions::EXPORT_JSON && options.exportEncoding != TEXTENCODING_UTF8)
            return TrH("a JSON Lines report is always UTF-8 without BOM: leave out -exportenc");
        // An XML document without its root element would not parse.
        if (options.exportType == CCommandLineOptions::EXPORT_XML && !options.exportHeader)
            return TrH("an XML report always has its root element: -exportheader=no is for CSV and JSON Lines");
        plan.exportType = options.exportType;
        plan.exportPath = options.exportPath;
    }

    // Nothing may write onto an input or onto the report, however the paths are spelt.
    const JobPathCheck paths = CheckJobPaths(item, plan.exportPath);
    switch (paths.clash) {
    case JobPathCheck::CLASH_INPUT_IN_OUTPUT:
        return platform::ResolvePath(item.inputPath) == platform::ResolvePath(item.outputPath)
                   ? Arg(TrH("the output folder is the input folder: %1"), options.outputPath.value_or(u""))
                   : Arg(TrH("the input lies inside the output folder: %1"), options.outputPath.value_or(u""));
    case JobPathCheck::CLASH_OUTPUT_IS_INPUT:
        return Arg(TrH("output file is the input file: %1"), item.outputPath);
    case JobPathCheck::CLASH_REPORT_IS_INPUT:
        return Arg(TrH("the export file is an input file: %1"), paths.path);
    case JobPathCheck::CLASH_REPORT_IS_OUTPUT:
        return Arg(TrH("the export file would be replaced by the output of %1"), paths.path);
    case JobPathCheck::CLASH_NONE:
        break;
    }
    plan.outputInsideInput = paths.outputInsideInput;
    return {};
}
