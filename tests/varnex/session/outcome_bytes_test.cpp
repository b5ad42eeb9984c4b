// The bytes each record says were read and written, which the run's totals
// add up: the input's size, and the output's size when one was written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <string>

#include "base/text.h"
#include "platform/native_path.h"
#include "support/ending_session.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using testing_support::EndingSession;

struct BytesRow {
    const char* name;
    bool detectOnly;
    bool copyUnconverted;
    VARNEXRESULTOPERATION binaryOperation;
};

class RecordBytes : public testing::TestWithParam<BytesRow> { };

TEST_P(RecordBytes, AreTheInputSizeAndTheOutputSize)
{
    const BytesRow& row = GetParam();
    TempDir dir;
    mkdir(dir.File("in").c_str(), 0777);
    WriteBytes(dir.File("in/ru.txt"), "\xf0\xd2\xc9\xd7\xc5\xd4, \xcd\xc9\xd2! \xfc\xd4\xcf \xd4\xc5\xcb\xd3\xd4.\r\n");
    WriteBytes(dir.File("in/u16.txt"), std::string("\xFF\xFE"
                                                   "a\0b\0\r\0\n\0",
                                                   10));
    WriteBytes(dir.File("in/image.png"), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\0", 21));

    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.copyUnconverted = row.copyUnconverted;
    item.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16BE;
    item.options.writeBom = true;
    item.inputPath = dir.File16("in");
    item.outputPath = dir.File16("out");
    VARNEXJOBSETTING setting;
    setting.detectOnly = row.detectOnly;
    EndingSession session;
    session.PrepareJob(item);
    ASSERT_TRUE(session.Start(setting) && session.WaitForEnd());

    CSingleLock lock(session.GetFileList().GetCriticalSection());
    ASSERT_EQ(session.GetFileList().size(), 3u);
    for (CVarnexFileInfo* record : session.GetFileList()) {
        const std::string input = platform::ToNativePath(record->GetInputFile());
        SCOPED_TRACE(input + ": " + text::ToUtf8(record->GetMessage()));
        const VARNEXRESULTOPERATION operation = record->GetResultOperation();
        const bool binary = input.ends_with(".png");
        EXPECT_EQ(operation, binary           ? row.binaryOperation
                             : row.detectOnly ? VARNEXRESULTOPERATION_NONE
                                              : VARNEXRESULTOPERATION_CONVERTED);
        EXPECT_EQ(record->GetBytesIn(), ReadBytes(input).size());
        if (operation == VARNEXRESULTOPERATION_NONE)
            EXPECT_EQ(record->GetBytesOut(), 0u);
        else
            EXPECT_EQ(record->GetBytesOut(), ReadBytes(platform::ToNativePath(record->GetOutputFile())).size());
    }
}

const BytesRow kBytes[] = {
    {"DetectOnly", true, false, VARNEXRESULTOPERATION_NONE},
    {"Convert", false, false, VARNEXRESULTOPERATION_NONE},
    {"ConvertAndCopy", false, true, VARNEXRESULTOPERATION_COPIED},
};

INSTANTIATE_TEST_SUITE_P(Sessions, RecordBytes, testing::ValuesIn(kBytes),
                         [](const testing::TestParamInfo<BytesRow>& row) { return std::string(row.param.name); });

}  // namespace
