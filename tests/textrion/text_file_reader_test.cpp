#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"

namespace {

TEST(TextFileReader, ReadsBackWhatTheWriterWrote)
{
    testing_support::TempDir dir;
    const std::u16string path = dir.File16("a.txt");
    const std::u16string text = u"h\u00E9llo \U0001F600 w\u00F6rld\r\n";
    {
        CTextFileWriter writer(path.c_str(), TEXTENCODING_UTF8, true, false, 4096);
        ASSERT_TRUE(writer.IsOpen());
        EXPECT_EQ(writer.Write(text), text.size());
        EXPECT_TRUE(writer.Close());
    }
    CTextFileReader reader(path.c_str(), 64);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.GetEncoding(), TEXTENCODING_UTF8);
    std::u16string back;
    reader.ReadToEnd(back, 7);
    EXPECT_EQ(back, text);
}

}  // namespace
