// The command-line parser and the program's options, with a command file.
//
// Input: byte 0 chooses case-sensitive parsing; the rest, split at zero
// bytes, is an argv. The argv must come back from the line built of it; the
// rest with blanks for the zero bytes is also parsed as a line and, written
// to a file, read through -CmdFile.
#include <algorithm>
#include <string>
#include <vector>

#include "app/options/command_line_options.h"
#include "fuzz/fuzz_support.h"
#include "platform/native_path.h"
#include "utils/command_line_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const bool caseSensitive = in.Byte() & 1;
    const std::string rest(in.Rest());

    std::vector<std::string> args{"varnelpro"};
    for (size_t start = 0;;) {
        const size_t end = rest.find('\0', start);
        args.push_back(rest.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    const std::u16string line = CCommandLineParser::BuildCommandLine(static_cast<int>(args.size()), argv.data());
    const std::vector<std::u16string> split = CCommandLineParser::SplitArguments(line);
    FUZZ_CHECK(split.size() == args.size() && split[0].empty());
    for (size_t i = 1; i < args.size(); ++i)
        FUZZ_CHECK(split[i] == platform::FromNativePath(args[i]));

    CCommandLineParser parser(line.c_str(), caseSensitive);
    size_t visited = 0;
    std::u16string key, value;
    for (auto it = parser.GetFirst(); !parser.IsLast(it); ++visited) {
        parser.GetNext(it, key, value);
        FUZZ_CHECK(!key.empty() && parser.HasKey(key.c_str()));
        FUZZ_CHECK(parser.GetVal(key.c_str()) == value && parser.HasVal(key.c_str()) == !value.empty());
    }
    FUZZ_CHECK(visited == parser.GetVals().size() && parser.HasArgs() == (visited > 0));

    std::string blanked = rest;
    std::replace(blanked.begin(), blanked.end(), '\0', ' ');
    const std::u16string folder = platform::FromNativePath(fuzz::TempFolder());
    const CCommandLineOptions direct(platform::FromNativePath(blanked), folder);

    const std::u16string cmdFile = fuzz::WriteTempFile("cmd.txt", rest);
    const CCommandLineOptions fromFile(u" -CmdFile=\"" + cmdFile + u"\"", folder);
    FUZZ_CHECK(!fromFile.cmdFileRead || fromFile.cmdFilePath == cmdFile);
    return 0;
}
