#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "textrion/io/bin_file_detector.h"
#include "textrion/io/binary_file.h"
#include "textrion_test_util.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;
using textrion_test::Bytes;

TEST(BinFileDetector, FindsZeroRunsFollowedByAByteOfTheSameBlock)
{
    struct Row {
        const char* name;
        std::string bytes;
        unsigned threshold, blockSize, maxMegabytes;
        bool binary;
    };
    const std::string zerosAfterOneMegabyte = std::string(1048576, 'a') + std::string(8, '\0') + "z";
    const std::string zerosEndingOneMegabyte = std::string(1048567, 'a') + std::string(8, '\0') + "z";
    const Row rows[] = {
        {"run of 4 inside", Bytes({0x41, 0, 0, 0, 0, 0x42}), 4, 64, 1, true},
        {"run of 4 ends the file", Bytes({0x41, 0, 0, 0, 0}), 4, 64, 1, false},
        {"run of 3", Bytes({0x41, 0, 0, 0, 0x42}), 4, 64, 1, false},
        {"scattered zeros", Bytes({0x41, 0, 0x42, 0, 0x43, 0, 0x44, 0, 0x45}), 4, 64, 1, false},
        {"run of 3, threshold 3", Bytes({0x41, 0, 0, 0, 0x42}), 3, 64, 1, true},
        {"run split 2 and 2 across blocks", Bytes({0x41, 0x41, 0, 0, 0, 0, 0x42, 0x42}), 4, 4, 1, false},
        {"same run inside one block", Bytes({0x41, 0x41, 0, 0, 0, 0, 0x42, 0x42}), 4, 8, 1, true},
        {"run ends a block, byte in the next", Bytes({0x41, 0, 0, 0, 0, 0x42}), 4, 5, 1, false},
        {"run in the second block", Bytes({'a', 'b', 'c', 'd', 0, 0, 0, 0, 'x', 'y'}), 4, 4, 1, false},
        {"run inside the second block", Bytes({'a', 'b', 'c', 'd', 0, 0, 0, 'x'}), 3, 4, 1, true},
        {"block size 0", Bytes({0x41, 0, 0, 0, 0, 0x42}), 4, 0, 1, false},
        {"scan limit 0", Bytes({0x41, 0, 0, 0, 0, 0x42}), 4, 64, 0, false},
        {"threshold 0 on text", "text", 0, 64, 1, true},
        {"threshold 0 on an empty file", "", 0, 64, 1, false},
        {"empty file", "", 4, 64, 1, false},
        {"zeros beyond the scan limit", zerosAfterOneMegabyte, 4, 65536, 1, false},
        {"zeros within the scan limit", zerosAfterOneMegabyte, 4, 65536, 2, true},
        // 3000 does not divide 1 MB: the last block is cut at the limit, not read whole.
        {"zeros just past a limit the block size does not divide", zerosAfterOneMegabyte, 4, 3000, 1, false},
        {"zeros ending a limit the block size does not divide", zerosEndingOneMegabyte, 4, 3000, 1, true},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(dir.File("f.bin"), row.bytes);
        CBinFileDetector detector(dir.File16("f.bin").c_str(), row.threshold, row.blockSize, row.maxMegabytes);
        EXPECT_EQ(detector.Detect(), row.binary);
        EXPECT_EQ(detector.IsBinary(), row.binary);
        EXPECT_FALSE(detector.HasReadError());
    }
}

TEST(BinFileDetector, MissingFileIsNotBinaryWithReadError)
{
    TempDir dir;
    CBinFileDetector detector(dir.File16("missing").c_str(), 4, 64, 1);
    EXPECT_FALSE(detector.Detect());
    EXPECT_TRUE(detector.HasReadError());
}

TEST(BinFileDetector, ReadFailureIsReportedAndNotTakenForText)
{
    TempDir dir;
    // Too long to be read whole at once.
    WriteBytes(dir.File("f.bin"), std::string(100 * 1024, 'a'));
    CBinFileDetector detector(dir.File16("f.bin").c_str(), 4, 16, 1);
    textrion_test::FaultInjector faults;
    faults.failReadFrom = 2;
    EXPECT_FALSE(detector.Detect());
    EXPECT_TRUE(detector.HasReadError());
}

TEST(BinaryFile, TranslatesSizesIntoUnits)
{
    struct Row {
        uint64_t size;
        BINARY_UNIT unit;
        uint64_t value;
    };
    const Row rows[] = {
        {0, BINARY_UNIT_BYTES, 0},
        {1023, BINARY_UNIT_BYTES, 1023},
        {1024, BINARY_UNIT_KB, 1},
        {1500, BINARY_UNIT_KB, 1},
        {1048575, BINARY_UNIT_KB, 1023},
        {1048576, BINARY_UNIT_MB, 1},
        {uint64_t{5} << 30, BINARY_UNIT_GB, 5},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        WriteBytes(dir.File("f.bin"), "");
        ASSERT_EQ(truncate(dir.File("f.bin").c_str(), static_cast<off_t>(row.size)), 0);  // sparse
        CBinaryFileReader reader(dir.File16("f.bin").c_str(), true);
        uint64_t value = 99;
        EXPECT_EQ(reader.GetTranslatedFileSize(value), row.unit);
        EXPECT_EQ(value, row.value);
    }
    EXPECT_EQ(CBinaryFile::TranslateUnit(1500, BINARY_UNIT_BYTES), 1500u);
    EXPECT_EQ(CBinaryFile::TranslateUnit(1500, BINARY_UNIT_KB), 1u);
    EXPECT_EQ(CBinaryFile::TranslateUnit(uint64_t{3} << 60, BINARY_UNIT_EB), 3u);
    EXPECT_EQ(CBinaryFile::TranslateUnit(~uint64_t{0}, BINARY_UNIT_PB), 16383u);
    EXPECT_EQ(CBinaryFile::TranslateUnit(~uint64_t{0}, static_cast<BINARY_UNIT>(7)), 0u);
}

TEST(BinaryFile, ReaderIsAtTheEndUntilItOpens)
{
    TempDir dir;
    WriteBytes(dir.File("f.bin"), "ab");
    CBinaryFileReader reader(dir.File16("f.bin").c_str(), false);
    EXPECT_TRUE(reader.Eof());
    ASSERT_TRUE(reader.Open());
    EXPECT_FALSE(reader.Eof());
    char buffer[4];
    EXPECT_EQ(reader.Read(buffer, 4), 2u);
    EXPECT_TRUE(reader.Eof());
    EXPECT_FALSE(reader.HasReadError());
}

// The limit is a file position: reads and seeks both move toward it.
TEST(BinaryFile, ReadLimitCountsFromWhereReadsAndSeeksLeftTheFile)
{
    TempDir dir;
    WriteBytes(dir.File("f.bin"), "0123456789abcdefghij");
    CBinaryFileReader reader(dir.File16("f.bin").c_str(), true);
    reader.SetReadLimit(12);
    char buffer[32] = {};
    EXPECT_EQ(reader.Read(buffer, 4), 4u);
    EXPECT_EQ(reader.GetPosition(), 4u);
    ASSERT_TRUE(reader.Seek(3, FILESEEK_CURRENT));
    EXPECT_EQ(reader.Read(buffer, 32), 5u);
    EXPECT_EQ(std::string(buffer, 5), "789ab");
    EXPECT_TRUE(reader.Eof());
    uint64_t end = 0;
    ASSERT_TRUE(reader.SeekToEnd(&end));
    EXPECT_EQ(end, 20u);
    EXPECT_EQ(reader.GetPosition(), 20u);
    EXPECT_EQ(reader.Read(buffer, 1), 0u);
    ASSERT_TRUE(reader.SeekToBegin());
    EXPECT_EQ(reader.Read(buffer, 32), 12u);
    EXPECT_EQ(reader.GetPosition(), 12u);
}

// What each named option does to a path that holds a file, a link or nothing.
TEST(BinaryFile, WriterOpensAsItsOptionsSay)
{
    enum class Before { kNothing, kFile, kLink };
    struct Row {
        const char* name;
        CBinaryFileWriter::Options options;
        Before before;
        bool opens;
        const char* after;  // the file's bytes once "new" was written
    };
    const Row rows[] = {
        {"made", {.openNow = true}, Before::kNothing, true, "new"},
        {"emptied", {.openNow = true}, Before::kFile, true, "new"},
        {"appended to, from its start", {.append = true, .openNow = true}, Before::kFile, true, "new.."},
        {"appended to when missing", {.append = true, .openNow = true}, Before::kNothing, true, "new"},
        {"new where nothing is", {.createNew = true, .openNow = true}, Before::kNothing, true, "new"},
        {"new refused over a file", {.createNew = true, .openNow = true}, Before::kFile, false, "old.."},
        {"new refused over a link", {.createNew = true, .openNow = true}, Before::kLink, false, nullptr},
        {"not opened until Open", {}, Before::kFile, false, "old.."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        if (row.before == Before::kFile)
            WriteBytes(dir.File("f.txt"), "old..");
        if (row.before == Before::kLink) {
            ASSERT_EQ(symlink(dir.File("elsewhere").c_str(), dir.File("f.txt").c_str()), 0);
        }
        CBinaryFileWriter writer(dir.File16("f.txt").c_str(), row.options);
        EXPECT_EQ(writer.IsOpen(), row.opens);
        if (writer.IsOpen()) {
            EXPECT_EQ(writer.Write("new", 3), 3u);
            EXPECT_TRUE(writer.Close());
        }
        if (row.after != nullptr) {
            EXPECT_EQ(testing_support::ReadBytes(dir.File("f.txt")), row.after);
        } else {
            EXPECT_NE(access(dir.File("elsewhere").c_str(), F_OK), 0);  // nothing made through the link
        }
    }
}

}  // namespace
