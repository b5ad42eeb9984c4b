#pragma once

#include <cerrno>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_api.h"
#include "support/file_faults.h"
#include "support/iconv_oracle.h"
#include "textrion/io/text_file_reader.h"

namespace textrion_test {

// Bytes written as numbers, so that test tables show them as a hex dump does.
inline std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

// A sample with ASCII, Latin, Cyrillic, CJK, a combining mark, supplementary
// characters (emoji, CJK extension B) and every kind of line break.
inline const std::u16string kUnicodeSample =
    u"Gr\u00FC\u00DFe, \u041C\u0438\u0440! \u65E5\u672C\u8A9E e\u0301\u0323 \U0001F600\U00020000x\r\n"
    u"tab\there\rlone\nend \U0010FFFD\u00A0\uFFFD!";

// Reads the whole file of valid text with the given buffer and output
// capacity, and checks that nothing was replaced, that no Read splits a
// surrogate pair and that the bytes reported consumed add up to the file after
// its BOM. Every Read must make progress, so the loop is bounded by the file size.
inline std::u16string ReadAll(const std::u16string& path, unsigned bufferSize, unsigned capacity,
                              const std::function<void(CTextFileReader&)>& setup = {})
{
    CTextFileReader reader(path.c_str(), bufferSize);
    EXPECT_TRUE(reader.IsOpen());
    if (setup)
        setup(reader);
    std::u16string text;
    std::vector<char16_t> block(capacity);
    uint64_t consumed = 0;
    const uint64_t limit = reader.GetFileSize() + 8;
    for (uint64_t i = 0; i <= limit; ++i) {
        unsigned used = 0;
        const unsigned n = reader.Read(block.data(), capacity, &used);
        consumed += used;
        if (n == 0) {
            EXPECT_EQ(consumed, reader.GetFileSize() - reader.GetBomLength());
            EXPECT_EQ(reader.GetReplacementCount(), 0u);
            return text;
        }
        EXPECT_LE(n, capacity);
        const char16_t last = block[n - 1];
        EXPECT_FALSE(capacity >= 2 && last >= 0xD800 && last <= 0xDBFF) << "a pair split after " << text.size() + n;
        text.append(block.data(), n);
    }
    ADD_FAILURE() << "Read never reported the end of the data";
    return text;
}

// Test names of TEST_P rows from their name field.
struct RowName {
    template <typename Row> std::string operator()(const testing::TestParamInfo<Row>& row) const
    {
        return row.param.name;
    }
};

using testing_support::Iconv;

using testing_support::FaultInjector;

}  // namespace textrion_test
