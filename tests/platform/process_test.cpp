#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "base/text.h"
#include "support/temp_dir.h"

using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// Folders and files made under a fresh root; "/" ends a folder.
void Make(const TempDir& root, const std::vector<std::string>& entries)
{
    for (const std::string& entry : entries) {
        if (entry.back() == '/')
            mkdir(root.File(entry).c_str(), 0777);
        else
            WriteBytes(root.File(entry), "x");
    }
}

}  // namespace

// The data folder of a program in <root>/bin, for the layouts a user meets.
TEST(ProgramDataFolder, InstalledLayoutWinsOverFilesBesideTheProgram)
{
    struct Case {
        const char* what;
        std::vector<std::string> entries;
        const char* expected;  // below the root
    };
    const Case cases[] = {
        {"installed", {"bin/", "share/", "share/varnelpro/"}, "share/varnelpro"},
        {"build tree: data beside the program", {"bin/", "bin/Binary.bin", "bin/Locales/"}, "bin/"},
        {"both: the installed data wins", {"bin/", "bin/Binary.bin", "share/", "share/varnelpro/"}, "share/varnelpro"},
        {"share/varnelpro is a file, not a folder", {"bin/", "share/", "share/varnelpro"}, "bin/"},
        {"another program's data only", {"bin/", "share/", "share/other/"}, "bin/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir root;
        Make(root, c.entries);
        EXPECT_EQ(text::ToUtf8(platform::ProgramDataFolderFor(root.File16("bin/"))), root.File(c.expected));
        // The folder may come without its closing separator.
        EXPECT_EQ(text::ToUtf8(platform::ProgramDataFolderFor(root.File16("bin"))),
                  root.File(std::string(c.expected) == "bin/" ? "bin" : c.expected));
    }
}

TEST(ProgramDataFolder, ThisTestIsNotInstalledSoItsDataIsBesideIt)
{
    const std::u16string exe = platform::ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(platform::ProgramDataFolder(), exe.substr(0, exe.rfind(u'/') + 1));
}
