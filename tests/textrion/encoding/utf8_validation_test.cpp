#include <string>

#include <gtest/gtest.h>

#include "textrion/encoding/utf8_validation.h"

namespace {

Utf8Validity Check(const std::string& s)
{
    return ValidateUtf8(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// Each row is checked alone and behind 40 bytes of 7-bit text, so that the
// 16-byte fast path hands over to the character check at every offset.
TEST(Utf8Validation, JudgesEachSequenceByTheStrictRules)
{
    struct Row {
        const char* name;
        std::string bytes;
        Utf8Validity::Status status;
        size_t position;  // where it stopped, from the row's first byte
        bool multiByte;
    };
    const Row rows[] = {
        {"empty", "", Utf8Validity::kValid, 0, false},
        {"7-bit only", "plain text\n", Utf8Validity::kValid, 11, false},
        {"two bytes", "\xC5\x81ukasz", Utf8Validity::kValid, 7, true},
        {"three bytes", "a\xE2\x80\x99", Utf8Validity::kValid, 4, true},
        {"four bytes", "\xF0\x9F\x98\x80", Utf8Validity::kValid, 4, true},
        {"largest, U+10FFFF", "\xF4\x8F\xBF\xBF", Utf8Validity::kValid, 4, true},
        {"above U+10FFFF", "ab\xF4\x90\x80\x80", Utf8Validity::kInvalid, 2, false},
        {"F5 lead", "\xF5\x80\x80\x80", Utf8Validity::kInvalid, 0, false},
        {"overlong two bytes", "\xC0\xAF", Utf8Validity::kInvalid, 0, false},
        {"overlong C1", "\xC1\xBF", Utf8Validity::kInvalid, 0, false},
        {"overlong three bytes", "\xE0\x80\xAF", Utf8Validity::kInvalid, 0, false},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", Utf8Validity::kInvalid, 0, false},
        {"surrogate D800", "x\xED\xA0\x80", Utf8Validity::kInvalid, 1, false},
        {"surrogate DFFF", "\xED\xBF\xBF", Utf8Validity::kInvalid, 0, false},
        {"last before surrogates", "\xED\x9F\xBF", Utf8Validity::kValid, 3, true},
        {"lone continuation", "\xC3\xA9\xA9", Utf8Validity::kInvalid, 2, true},
        {"Latin-1 letter", "caf\xE9 ok", Utf8Validity::kInvalid, 3, false},
        {"lead then 7-bit", "\xC3(", Utf8Validity::kInvalid, 0, false},
        {"cut two bytes", "ok\xC3", Utf8Validity::kTruncated, 2, false},
        {"cut three bytes", "\xC3\xA9\xE2\x80", Utf8Validity::kTruncated, 2, true},
        {"cut four bytes", "\xF0\x9F\x98", Utf8Validity::kTruncated, 0, false},
        {"cut after a bad second byte", "\xE0\x80", Utf8Validity::kInvalid, 0, false},
    };
    const std::string ascii(40, 'a');
    for (const Row& row : rows) {
        for (const std::string& prefix : {std::string(), ascii}) {
            SCOPED_TRACE(std::string(row.name) + (prefix.empty() ? "" : ", behind 7-bit text"));
            const Utf8Validity v = Check(prefix + row.bytes);
            EXPECT_EQ(v.status, row.status);
            EXPECT_EQ(v.position, prefix.size() + row.position);
            EXPECT_EQ(v.multiByte, row.multiByte);
        }
    }
}

TEST(Utf8Validation, FindsAHighByteInEveryLaneOfTheFastPath)
{
    for (size_t at = 0; at < 48; ++at) {
        SCOPED_TRACE(at);
        std::string s(48, 'x');
        s[at] = '\x80';
        const Utf8Validity v = Check(s);
        EXPECT_EQ(v.status, Utf8Validity::kInvalid);
        EXPECT_EQ(v.position, at);
    }
}

}  // namespace
