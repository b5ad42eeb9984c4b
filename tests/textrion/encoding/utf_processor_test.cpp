#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "textrion/encoding/utf_processor.h"
#include "textrion_test_util.h"

namespace {

using textrion_test::Iconv;
using textrion_test::kUnicodeSample;

struct Decoder {
    const char* name;
    const char* iconvName;
    int kind;  // 8, 16 or 32
    int endian;
};

const Decoder kDecoders[] = {
    {"UTF-8", "UTF-8", 8, 0},
    {"UTF-16 LE", "UTF-16LE", 16, CUTFProcessor::UTF16_LE},
    {"UTF-16 BE", "UTF-16BE", 16, CUTFProcessor::UTF16_BE},
    {"UTF-32 LE", "UTF-32LE", 32, CUTFProcessor::UTF32_LE},
    {"UTF-32 BE", "UTF-32BE", 32, CUTFProcessor::UTF32_BE},
};

CUTFProcessor::tagUTFPROCESSRESULT Decode(CUTFProcessor& p, const Decoder& d, const std::string& bytes,
                                          unsigned& used, char16_t* out, unsigned cap, unsigned& made, bool end)
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto len = static_cast<unsigned>(bytes.size());
    if (d.kind == 8)
        return p.ReadUTF8(src, len, used, out, cap, made, end);
    if (d.kind == 16)
        return p.ReadUTF16(src, len, used, out, cap, static_cast<CUTFProcessor::tagUTF16ENDIANTYPE>(d.endian), made,
                           end);
    return p.ReadUTF32(src, len, used, out, cap, static_cast<CUTFProcessor::tagUTF32ENDIANTYPE>(d.endian), made, end);
}

// Cutting the input at every byte: the first call leaves the cut character
// unconsumed, the second decodes it whole.
TEST(UtfProcessor, DecodersResumeASequenceCutAtAnyByte)
{
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        const std::string bytes = Iconv(d.iconvName, kUnicodeSample);
        std::vector<char16_t> out(bytes.size() + 4);
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            CUTFProcessor p;
            unsigned used1 = 0, made1 = 0, used2 = 0, made2 = 0;
            const auto r1 = Decode(p, d, bytes.substr(0, cut), used1, out.data(), out.size(), made1, false);
            EXPECT_NE(r1, CUTFProcessor::UTFPROCESS_TARGET_EXHAUSTED);
            EXPECT_EQ(r1 == CUTFProcessor::UTFPROCESS_OK, used1 == cut);
            const auto r2 = Decode(p, d, bytes.substr(used1), used2, out.data() + made1, out.size() - made1, made2, true);
            EXPECT_EQ(r2, CUTFProcessor::UTFPROCESS_OK);
            ASSERT_EQ(std::u16string(out.data(), made1 + made2), kUnicodeSample);
            EXPECT_EQ(p.GetReplacementCount(), 0u);
        }
    }
}

TEST(UtfProcessor, AcceptsExactlyTheWellFormedUtf8Sequences)
{
    const std::pair<std::string, bool> rows[] = {
        {"a", true},           {"\xC2\x80", true},      {"\xDF\xBF", true},         {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true}, {"\xEF\xBF\xBF", true}, {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
        {"\x80", false},       {"\xC0\x80", false},     {"\xC1\xBF", false},        {"\xE0\x9F\xBF", false},
        {"\xED\xA0\x80", false}, {"\xF0\x8F\xBF\xBF", false}, {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false}, {"\xF8\x88\x80\x80\x80", false}, {"\xE2\x82", false}, {"\xC3\x41", false},
    };
    for (const auto& [bytes, legal] : rows) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(CUTFProcessor::IsLegalUTF8Sequence(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                     static_cast<unsigned>(bytes.size())),
                  legal);
    }
}

// Streams the sample through output buffers of every size from the smallest
// that holds a UTF-32 CR LF: the result never depends on where a pass ends.
TEST(UtfProcessor, EncodersGiveTheSameBytesWhateverTheOutputSize)
{
    std::u16string crlf;  // the sample with every line break as CR LF
    for (size_t i = 0; i < kUnicodeSample.size(); ++i) {
        const char16_t u = kUnicodeSample[i];
        if (u == u'\r' || u == u'\n') {
            crlf += u"\r\n";
            if (u == u'\r' && i + 1 < kUnicodeSample.size() && kUnicodeSample[i + 1] == u'\n')
                ++i;
        } else {
            crlf += u;
        }
    }
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        const std::string expected = Iconv(d.iconvName, crlf);
        for (unsigned size = 8; size <= 24; ++size) {
            SCOPED_TRACE(size);
            CUTFProcessor p;
            p.SetCrLfType(CUTFProcessor::UTFCRLF_CRLF);
            std::string bytes;
            std::vector<unsigned char> buffer(size);
            unsigned done = 0;
            for (size_t pass = 0; done < kUnicodeSample.size() && pass <= kUnicodeSample.size(); ++pass) {
                unsigned used = 0, made = 0;
                const char16_t* src = kUnicodeSample.data() + done;
                const auto len = static_cast<unsigned>(kUnicodeSample.size() - done);
                if (d.kind == 8)
                    p.WriteUTF8(src, len, used, buffer.data(), size, made);
                else if (d.kind == 16)
                    p.WriteUTF16(src, len, used, buffer.data(), size, made,
                                 static_cast<CUTFProcessor::tagUTF16ENDIANTYPE>(d.endian));
                else
                    p.WriteUTF32(src, len, used, buffer.data(), size, made,
                                 static_cast<CUTFProcessor::tagUTF32ENDIANTYPE>(d.endian));
                ASSERT_LE(made, size);
                bytes.append(reinterpret_cast<const char*>(buffer.data()), made);
                done += used;
            }
            EXPECT_EQ(bytes, expected);
        }
    }
}

}  // namespace
