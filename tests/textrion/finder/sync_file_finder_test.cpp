#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/finder/sync_file_finder.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(FileFinder, FiltersByMaskSizeAndText)
{
    TempDir dir;
    for (const char* folder : {"sub", "sub/deeper", ".secret", "other"})
        mkdir(dir.File(folder).c_str(), 0777);
    for (const char* file : {"a.txt", ".hidden.txt", "sub/b.txt", "sub/deeper/c.txt", ".secret/d.txt", "other/e.txt"})
        WriteBytes(dir.File(file), "x");
    WriteBytes(dir.File("big.log"), std::string(5000, 'z') + "Needle");
    CFileFinder finder;
    // This finder has no hidden-file choice: .hidden.txt and .secret/ count.
    EXPECT_EQ(finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), u"*.txt", 0), 2);
    finder.RemoveAll();
    EXPECT_EQ(finder.FindFiles(text::FromUtf8(dir.Path()).c_str(), u"*.txt", 1), 6);
    CFileFinder::CFindOpts opts;
    opts.baseFolder = text::FromUtf8(dir.Path());
    opts.FindTextW(u"needle");
    CFileFinder textFinder;
    EXPECT_EQ(textFinder.Find(opts), 1);
    EXPECT_NE(textFinder.GetFilePath(0).find(u"big.log"), std::u16string::npos);
}

}  // namespace
