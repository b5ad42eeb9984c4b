#include <clocale>
#include <string>

#include <gtest/gtest.h>

#include "textrion/encoding/return_type_filter.h"
#include "textrion/encoding/text_file_processor.h"

namespace {

TEST(TextFileProcessor, MapsEncodingsToCodePagesAndBack)
{
    const std::pair<TEXTENCODING, unsigned> rows[] = {
        {TEXTENCODING_UTF16BE, 1201},   {TEXTENCODING_UTF16LE, 1200},  {TEXTENCODING_UTF8, 65001},
        {TEXTENCODING_UTF32BE, 12001},  {TEXTENCODING_UTF32LE, 12000}, {TEXTENCODING_UCS4_2143, 2143},
        {TEXTENCODING_UCS4_3412, 3412},
    };
    for (const auto& [encoding, codePage] : rows) {
        SCOPED_TRACE(codePage);
        EXPECT_EQ(CTextFileProcessor::GetCodepageForEncoding(encoding), codePage);
        EXPECT_EQ(CTextFileProcessor::GetEncodingForCodepage(codePage), encoding);
    }
    EXPECT_EQ(CTextFileProcessor::GetCodepageForEncoding(TEXTENCODING_CODEPAGE), 0u);
    EXPECT_EQ(CTextFileProcessor::GetCodepageForEncoding(static_cast<TEXTENCODING>(8)), 0u);
    for (unsigned other : {0u, 1252u, 65000u, 1202u, 12002u})
        EXPECT_EQ(CTextFileProcessor::GetEncodingForCodepage(other), TEXTENCODING_CODEPAGE) << other;
}

TEST(TextFileProcessor, KnowsWhichCodePagesAreLegal)
{
    for (unsigned cp : {0u, 1u, 2u, 3u, 42u, 1200u, 1201u, 2143u, 3412u, 12000u, 12001u, 65000u, 65001u, 1252u, 932u,
                        54936u, 50220u, 52936u})
        EXPECT_NE(CTextFileProcessor::IsLegalCodePage(cp), 0) << cp;
    for (unsigned cp : {4u, 41u, 4711u, 99999u})
        EXPECT_EQ(CTextFileProcessor::IsLegalCodePage(cp), 0) << cp;
}

TEST(TextFileProcessor, CodePageConversionsKeepZerosAndReplaceTheUnmappable)
{
    std::string bytes;
    CTextFileProcessor::ConvertWcharToString(u"a\0b\u00E9\u4E2D", 5, bytes, 1252);
    EXPECT_EQ(bytes, std::string("a\0b\xE9?", 5));

    std::u16string text;
    CTextFileProcessor::ConvertCharToWstring("x\0\x82\xA0", 4, text, 932);
    EXPECT_EQ(text, std::u16string(u"x\0\u3042", 3));
    CTextFileProcessor::ConvertCharToWstring("abc", 0, text, 1252);
    EXPECT_EQ(text, u"");
}

TEST(TextFileProcessor, LocaleConversionsMarkWhatTheLocaleCannotHold)
{
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    std::string bytes;
    bool lost = false;
    CTextFileProcessor::ConvertWcharToString(u"ab\u00E9c", bytes, &lost, '#');
    EXPECT_EQ(bytes, "ab#c");
    EXPECT_TRUE(lost);
    lost = false;
    CTextFileProcessor::ConvertWcharToString(u"plain", bytes, &lost, '#');
    EXPECT_EQ(bytes, "plain");
    EXPECT_FALSE(lost);

    std::u16string text;
    CTextFileProcessor::ConvertCharToWstring("ok", text);
    EXPECT_EQ(text, u"ok");
    if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
        CTextFileProcessor::ConvertCharToWstring("\xC3\xA9\xFF\xF0\x9F\x98\x80", text);
        EXPECT_EQ(text, u"\u00E9\U0001F600");  // the stray FF is skipped
        CTextFileProcessor::ConvertWcharToString(u"\U0001F600\xD800", bytes, &lost, '?');
        EXPECT_EQ(bytes, "\xF0\x9F\x98\x80?");
        EXPECT_TRUE(lost);
    }
    std::setlocale(LC_CTYPE, saved.c_str());
}

// --- Line-ending filter -------------------------------------------------------

TEST(ReturnTypeFilter, RewritesLineBreaksInPlace)
{
    struct Row {
        const char* name;
        CReturnTypeFilter::CRLFTYPE target;
        std::u16string input;
        unsigned capacity;
        std::u16string output;
        unsigned shortfall;
        unsigned final;
    };
    const Row rows[] = {
        {"CR LF to LF", CReturnTypeFilter::CRLFTYPE_LF, u"a\r\nb", 4, u"a\nb", 0, 3},
        {"every break to CR", CReturnTypeFilter::CRLFTYPE_CR, u"a\nb\r\nc\rd", 8, u"a\rb\rc\rd", 0, 7},
        {"LF widened with room", CReturnTypeFilter::CRLFTYPE_CRLF, u"a\nb", 4, u"a\r\nb", 0, 4},
        {"LF without room", CReturnTypeFilter::CRLFTYPE_CRLF, u"a\nb", 3, u"a\nb", 1, 1},
        {"room for one of two", CReturnTypeFilter::CRLFTYPE_CRLF, u"a\nb\rc", 6, u"a\r\nb\rc", 1, 4},
        {"CR LF kept for CR LF", CReturnTypeFilter::CRLFTYPE_CRLF, u"\r\n\r\n", 4, u"\r\n\r\n", 0, 4},
        {"no breaks", CReturnTypeFilter::CRLFTYPE_LF, u"abc", 3, u"abc", 0, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CReturnTypeFilter filter(row.target);
        std::u16string buffer = row.input;
        buffer.resize(row.capacity);
        unsigned length = static_cast<unsigned>(row.input.size());
        unsigned shortfall = 99;
        EXPECT_EQ(filter.Filter(buffer.data(), row.capacity, length, shortfall), row.final);
        EXPECT_EQ(buffer.substr(0, length), row.output);
        EXPECT_EQ(shortfall, row.shortfall);
    }
}

TEST(ReturnTypeFilter, CrLfSplitAcrossBuffersIsOneBreak)
{
    CReturnTypeFilter filter(CReturnTypeFilter::CRLFTYPE_CRLF);
    char16_t first[4] = {u'a', u'\r'};
    unsigned length = 2, shortfall = 0;
    EXPECT_EQ(filter.Filter(first, 4, length, shortfall), 3u);
    EXPECT_EQ(std::u16string(first, length), u"a\r\n");
    char16_t second[4] = {u'\n', u'b'};
    length = 2;
    filter.Filter(second, 4, length, shortfall);
    EXPECT_EQ(std::u16string(second, length), u"b");
    char16_t third[4] = {u'\n'};
    length = 1;
    filter.Filter(third, 4, length, shortfall);
    EXPECT_EQ(std::u16string(third, length), u"\r\n");  // only directly after a CR is an LF dropped
    unsigned zero = 0;
    EXPECT_EQ(filter.Filter(third, 0, zero, shortfall), 0u);
}

}  // namespace
