#include <cstdint>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "support/kernels.h"
#include "textrion/encoding/utf8_validation.h"

namespace {

Utf8Validity Check(const std::string& s)
{
    return ValidateUtf8(reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// Every test runs on each kernel the processor has.
class Utf8Validation : public testing_support::KernelTest { };

// Each row is checked alone and behind 40 bytes of 7-bit text, so that the
// 16-byte fast path hands over to the character check at every offset.
TEST_P(Utf8Validation, JudgesEachSequenceByTheStrictRules)
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

TEST_P(Utf8Validation, FindsAHighByteInEveryLaneOfTheFastPath)
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

// Every way of checking against a decoder that judges each value it builds:
// a sequence cut by the end is kTruncated when some continuation would make
// it whole.
Utf8Validity Reference(const std::string& s)
{
    Utf8Validity r;
    for (size_t i = 0; i < s.size();) {
        const unsigned lead = static_cast<unsigned char>(s[i]);
        const unsigned length = lead < 0x80   ? 1
                                : lead < 0xC0 ? 0
                                : lead < 0xE0 ? 2
                                : lead < 0xF0 ? 3
                                : lead < 0xF8 ? 4
                                              : 0;
        if (length == 0)
            return {Utf8Validity::kInvalid, i, r.multiByte};
        uint32_t value = length == 1 ? lead : lead & (0x3Fu >> (length - 1));
        unsigned k = 1;
        for (; k < length && i + k < s.size() && (s[i + k] & 0xC0) == 0x80; ++k)
            value = value << 6 | (s[i + k] & 0x3F);
        const uint32_t low = value << 6 * (length - k), high = low | ((1u << 6 * (length - k)) - 1);
        const uint32_t least = length == 4 ? 0x10000 : length == 3 ? 0x800 : length == 2 ? 0x80 : 0;
        const bool fits = high >= least && low <= 0x10FFFF && (low < 0xD800 || high > 0xDFFF);
        if (!fits || k < length) {
            r.status = fits && i + k == s.size() ? Utf8Validity::kTruncated : Utf8Validity::kInvalid;
            r.position = i;
            return r;
        }
        r.multiByte = r.multiByte || length > 1;
        i += length;
    }
    r.position = s.size();
    return r;
}

class Utf8Ways : public testing_support::KernelTest {
protected:
    void Compare(const std::string& s)
    {
        const Utf8Validity want = Reference(s);
        const Utf8Validity got = Check(s);
        ASSERT_TRUE(got.status == want.status && got.position == want.position && got.multiByte == want.multiByte)
            << testing::PrintToString(s) << ": " << got.status << "@" << got.position << "/" << got.multiByte
            << ", not " << want.status << "@" << want.position << "/" << want.multiByte;
    }
};

// Pieces of text, ill-formed ones last: each fault kind the tables tell apart.
const std::string kGood[] = {"a",
                             "~",
                             "\n",
                             "\xC2\x80",
                             "\xDF\xBF",
                             "\xC3\xA9",
                             "\xE0\xA0\x80",
                             "\xED\x9F\xBF",
                             "\xEE\x80\x80",
                             "\xE2\x82\xAC",
                             "\xF0\x90\x80\x80",
                             "\xF4\x8F\xBF\xBF",
                             "\xF3\xBF\xBF\xBF"};
const std::string kBad[] = {"\x80",
                            "\xBF",
                            "\xC0\xAF",
                            "\xC1\xBF",
                            "\xC3",
                            "\xE0\x9F\xBF",
                            "\xED\xA0\x80",
                            "\xE2\x82",
                            "\xF0\x8F\xBF\xBF",
                            "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80",
                            "\xF8\x88\x80\x80\x80",
                            "\xFF",
                            "\xF0\x90\x80",
                            "\xC3\xA9\xA9",
                            "\xE2\x82\xAC\x80"};

TEST_P(Utf8Ways, AgreesOnEveryLengthAndCutAroundTheBlocks)
{
    for (const std::string& piece : kGood) {
        std::string text;
        while (text.size() < 200)
            text += piece + "\xD0\x96" + piece + "b";
        for (size_t n = 0; n <= 200; ++n)
            ASSERT_NO_FATAL_FAILURE(Compare(text.substr(0, n)));
    }
}

TEST_P(Utf8Ways, AgreesOnAFaultAtEveryOffsetOfABlock)
{
    for (const std::string& fill : {std::string("x"), std::string("\xE4\xB8\xAD"), std::string("\xD0\x96z")}) {
        std::string text;
        while (text.size() < 260)
            text += fill;
        for (const std::string& bad : kBad)
            for (size_t at = 64; at < 128 + 4; ++at)
                for (const size_t end : {at + bad.size(), text.size()})
                    ASSERT_NO_FATAL_FAILURE(Compare((text.substr(0, at) + bad + text.substr(at)).substr(0, end)));
    }
}

TEST_P(Utf8Ways, AgreesOnRandomText)
{
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const size_t length = random() % 300;
        while (text.size() < length) {
            const unsigned pick = random() % 1000;
            text += pick < 997 ? kGood[pick % std::size(kGood)] : kBad[random() % std::size(kBad)];
        }
        if (round % 2 == 1 && !text.empty())
            text[random() % text.size()] = static_cast<char>(random());
        ASSERT_NO_FATAL_FAILURE(Compare(text));
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, Utf8Validation, testing_support::AllKernels(), testing_support::KernelName());
INSTANTIATE_TEST_SUITE_P(Kernels, Utf8Ways, testing_support::AllKernels(), testing_support::KernelName());

}  // namespace
