// The direct tables of the multi-byte code pages against the ICU converter
// they were read from: every byte and pair, GB18030's four-byte forms, and
// random streams cut anywhere must give the same units and the same count of
// replacements on both routes.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "codecs/codepage.h"

namespace {

using codecs::CodePageDecoder;
using Route = CodePageDecoder::Route;

struct Decoded {
    std::u16string units;
    uint64_t replacements = 0;
};

// The whole input in one call, as the end of a stream; the decoder is reused,
// so the count is the difference.
Decoded DecodeWhole(CodePageDecoder& decoder, const std::string& bytes)
{
    const uint64_t before = decoder.ReplacementCount();
    std::u16string out(bytes.size() * 2 + CodePageDecoder::kMaxPendingUnits, u'\0');
    const auto r = decoder.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data(),
                                  out.size(), true);
    EXPECT_EQ(r.consumed, bytes.size());
    out.resize(r.produced);
    return {out, decoder.ReplacementCount() - before};
}

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

struct PageRow {
    const char* name;
    unsigned codePage;
};

constexpr PageRow kPages[] = {
    {"ShiftJis932", 932}, {"Gbk936", 936},    {"Uhc949", 949},
    {"Big5_950", 950},    {"Gb18030", 54936}, {"EucCn51936", 51936},
};

void PrintTo(const PageRow& row, std::ostream* os)
{
    *os << row.name;
}

class MultiByteTables : public testing::TestWithParam<PageRow> {
protected:
    // Compares both routes on one input, decoded alone and followed by ASCII
    // (so that a bad trail byte is seen both as the end and mid-stream).
    void ExpectSameOnBothRoutes(const std::string& bytes, size_t& mismatches)
    {
        for (const std::string& input : {bytes, bytes + "AB"}) {
            const Decoded fast = DecodeWhole(m_fast, input);
            const Decoded icu = DecodeWhole(m_icu, input);
            if (fast.units != icu.units || fast.replacements != icu.replacements) {
                if (++mismatches <= 10)
                    ADD_FAILURE() << "bytes " << Hex(input) << ": " << fast.units.size() << " units and "
                                  << fast.replacements << " replaced by the tables, " << icu.units.size() << " and "
                                  << icu.replacements << " by ICU";
            }
        }
    }

    CodePageDecoder m_fast{GetParam().codePage, Route::Fastest};
    CodePageDecoder m_icu{GetParam().codePage, Route::IcuOnly};
};

TEST_P(MultiByteTables, EveryByteAndPairDecodesAsIcuDoes)
{
    ASSERT_TRUE(m_fast.IsOpen());
    ASSERT_TRUE(m_icu.IsOpen());
    size_t mismatches = 0;
    for (unsigned b = 0; b < 256; ++b) {
        ExpectSameOnBothRoutes(std::string(1, static_cast<char>(b)), mismatches);
        for (unsigned t = 0; t < 256; ++t)
            ExpectSameOnBothRoutes({static_cast<char>(b), static_cast<char>(t)}, mismatches);
    }
    EXPECT_EQ(mismatches, 0u);
}

// Random streams of valid and broken characters, cut at random places and
// decoded into random small outputs, against ICU's decoding of the whole.
TEST_P(MultiByteTables, RandomStreamsCutAnywhereDecodeAsIcuDoesWhole)
{
    std::mt19937 rng(GetParam().codePage);
    auto below = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    const bool gb18030 = GetParam().codePage == 54936;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string bytes;
        while (bytes.size() < 3000) {
            const unsigned kind = below(20);
            if (kind < 6) {
                bytes += static_cast<char>(0x20 + below(0x5F));  // ASCII
            } else if (kind < 15) {
                bytes += static_cast<char>(0x81 + below(0x7E));  // a likely pair
                bytes += static_cast<char>(0x40 + below(0xBF));
            } else if (kind < 17 && gb18030) {
                // A four-byte form, BMP or supplementary, sometimes out of range.
                bytes += static_cast<char>(0x81 + below(below(4) == 0 ? 0x7E : 0x64));
                bytes += static_cast<char>(0x30 + below(10));
                bytes += static_cast<char>(0x81 + below(0x7E));
                bytes += static_cast<char>(0x30 + below(10));
            } else {
                bytes += static_cast<char>(below(256));  // anything, a cut lead byte too
            }
        }
        CodePageDecoder whole(GetParam().codePage, Route::IcuOnly);
        const Decoded expected = DecodeWhole(whole, bytes);

        CodePageDecoder cut(GetParam().codePage, Route::Fastest);
        std::u16string got;
        const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
        size_t pos = 0;
        for (bool last = false; !last;) {
            const size_t end = std::min(bytes.size(), pos + below(below(8) == 0 ? 400 : 9));
            last = end == bytes.size();
            for (;;) {
                char16_t out[12];
                const size_t cap = 1 + below(12);
                const auto r = cut.Decode(src + pos, end - pos, out, cap, last);
                got.append(out, r.produced);
                pos += r.consumed;
                if (pos == end && r.produced < cap)
                    break;  // all taken, and nothing waits inside to come out
                ASSERT_TRUE(r.consumed > 0 || r.produced > 0) << "no progress at byte " << pos;
            }
        }
        EXPECT_EQ(got, expected.units);
        EXPECT_EQ(cut.ReplacementCount(), expected.replacements);
        EXPECT_EQ(cut.PendingBytes(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, MultiByteTables, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<PageRow>& row) { return std::string(row.param.name); });

// GB18030's four-byte forms: every one of the BMP range (lead bytes 81..84,
// past its last assigned character too), the supplementary range sampled with
// both ends, and four-byte shapes out of range.
TEST(MultiByteTables, Gb18030FourByteFormsDecodeAsIcuDoes)
{
    CodePageDecoder fast(54936, Route::Fastest);
    CodePageDecoder icu(54936, Route::IcuOnly);
    auto form = [](uint32_t index) {
        std::string s(4, '\0');
        s[3] = static_cast<char>(0x30 + index % 10);
        index /= 10;
        s[2] = static_cast<char>(0x81 + index % 126);
        index /= 126;
        s[1] = static_cast<char>(0x30 + index % 10);
        s[0] = static_cast<char>(0x81 + index / 10);
        return s;
    };
    std::vector<uint32_t> indexes;
    for (uint32_t i = 0; i < 4 * 12600; ++i)
        indexes.push_back(i);  // 81 30 81 30 .. 84 39 FE 39
    for (uint32_t i = 4 * 12600; i < 126 * 12600; i += 97)
        indexes.push_back(i);  // 85 .. FE, the supplementary range among them
    for (uint32_t i : {188999u, 189000u, 189001u, 189000u + 0xFFFFFu, 189000u + 0x100000u})
        indexes.push_back(i);  // around U+10000 and U+10FFFF
    size_t mismatches = 0;
    for (uint32_t i : indexes) {
        const std::string bytes = form(i);
        for (const std::string& input : {bytes, bytes + "A", bytes.substr(0, 3), bytes.substr(0, 3) + "A"}) {
            const Decoded a = DecodeWhole(fast, input);
            const Decoded b = DecodeWhole(icu, input);
            if ((a.units != b.units || a.replacements != b.replacements) && ++mismatches <= 10)
                ADD_FAILURE() << "bytes " << Hex(input);
        }
    }
    EXPECT_EQ(mismatches, 0u);
    // The tables do decode: the ends of the supplementary range and a BMP form.
    EXPECT_EQ(DecodeWhole(fast, form(189000) + form(189000 + 0xFFFFF) + "\x81\x30\x81\x30").units,
              u"\U00010000\U0010FFFF\u0080");
}

TEST(MultiByteTables, ShiftJisKeepsTheWindowsControlLayout)
{
    CodePageDecoder fast(932, Route::Fastest);
    // Ctrl-Z, FS and DEL stay where Windows has them, between double-byte characters.
    const Decoded d = DecodeWhole(fast, "\x82\xA0\x1A\x1C\x7F\x82\xA2");
    EXPECT_EQ(d.units, u"\u3042\u001A\u001C\u007F\u3044");
    EXPECT_EQ(d.replacements, 0u);
}

}  // namespace
