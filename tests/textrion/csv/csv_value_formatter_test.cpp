#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "textrion/csv/csv_value_formatter.h"

namespace {

std::u16string FormatWhole(std::u16string value, unsigned pieceSize)
{
    CCSVValueFormatter::Format(value, pieceSize);
    return value;
}

TEST(CSVValueFormatter, QuotesOnlyWhatNeedsQuotes)
{
    const struct {
        const char16_t* value;
        const char16_t* expected;
    } rows[] = {
        {u"plain", u"plain"},
        {u"with blanks and; semicolons", u"with blanks and; semicolons"},
        {u"a,b", u"\"a,b\""},
        {u"say \"hi\"", u"\"say \"\"hi\"\"\""},
        {u"tab\there", u"\"tab\there\""},
        {u"line\r\nbreak", u"\"line\r\nbreak\""},
        {u"\"", u"\"\"\"\""},
        {u"", u""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.value, row.value + std::char_traits<char16_t>::length(row.value)));
        // Every piece size gives the same text as one big buffer.
        for (unsigned piece : {1u, 2u, 3u, 7u, 4096u})
            EXPECT_EQ(FormatWhole(row.value, piece), row.expected) << "piece size " << piece;
    }
}

TEST(CSVValueFormatter, OneUnitPiecesOwesTheDoublingQuote)
{
    const std::u16string value = u"a\"";
    CCSVValueFormatter formatter;
    formatter.Prepare(value.data(), static_cast<unsigned>(value.size()));
    std::vector<std::u16string> pieces;
    char16_t unit = 0;
    while (formatter.Format(&unit, 1) == 1)
        pieces.emplace_back(1, unit);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"\"", u"a", u"\"", u"\"", u"\""}));
    EXPECT_EQ(formatter.Format(&unit, 0), 0u);
}

std::vector<std::u16string> Lines(std::initializer_list<std::u16string> chunks)
{
    CTextLineList list;
    for (const auto& chunk : chunks)
        list.HandleData(chunk.data(), static_cast<unsigned>(chunk.size()));
    return std::vector<std::u16string>(list.begin(), list.end());
}

TEST(TextLineList, SplitsLinesAcrossChunks)
{
    const struct {
        const char* name;
        std::initializer_list<std::u16string> chunks;
        std::vector<std::u16string> expected;
    } rows[] = {
        {"mixed breaks then an open line", {u"a\r\nb\nc"}, {u"a", u"b", u"c"}},
        {"open line continued", {u"a\r\nb\nc", u"d\r"}, {u"a", u"b", u"cd"}},
        {"CR LF split across chunks", {u"a\r", u"\nb\n"}, {u"a", u"b"}},
        {"empty line between breaks", {u"a\n\nb\n"}, {u"a", u"", u"b"}},
        {"lone CR and lone LF", {u"a\rb\nc\n"}, {u"a", u"b", u"c"}},
        {"LF after a split CR only once", {u"a\r", u"\n", u"\n"}, {u"a", u""}},
        {"line spread over three chunks", {u"ab", u"cd", u"ef\n"}, {u"abcdef"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Lines(row.chunks), row.expected);
    }
}

}  // namespace
