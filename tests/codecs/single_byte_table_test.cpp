#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/codepage.h"
#include "support/kernels.h"

namespace {

using codecs::CodePageDecoder;

// The single-byte decoder on each kernel the processor has, against the
// code page's own table byte by byte: the units, how many bytes were
// replaced and where the first lies, whatever a block of 16 holds.
class SingleByteKernels : public testing_support::KernelTest { };

struct Expected {
    std::u16string units;
    uint64_t replaced = 0;
    uint64_t firstUncovered = CodePageDecoder::kNoOffset;
};

Expected ByTable(const std::array<char16_t, 256>& units, const std::array<bool, 256>& replaced,
                 const std::string& bytes)
{
    Expected e;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        e.units += units[b];
        if (replaced[b]) {
            ++e.replaced;
            if (e.firstUncovered == CodePageDecoder::kNoOffset)
                e.firstUncovered = i;
        }
    }
    return e;
}

// Decoded in pieces of the sizes given, into an output as large as each.
Expected Decode(unsigned codePage, const std::string& bytes, size_t piece)
{
    CodePageDecoder decoder(codePage);
    Expected got;
    std::vector<char16_t> out(piece);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = std::min(piece, bytes.size() - at);
        const auto r = decoder.Decode(data + at, n, out.data(), out.size(), at + n == bytes.size());
        EXPECT_EQ(r.consumed, n);
        got.units.append(out.data(), r.produced);
        at += r.consumed;
    }
    got.replaced = decoder.ReplacementCount();
    got.firstUncovered = decoder.FirstUncoveredOffset();
    return got;
}

TEST_P(SingleByteKernels, DecodeAsTheirTableSaysWhereverABlockHoldsAByteFrom80Up)
{
    // 1253 and 20127 replace some bytes from 80 up, 1252 a few; EBCDIC 37
    // moves ASCII, so it never takes the blocks.
    for (const unsigned codePage : {1252u, 1253u, 20127u, 28591u, 866u, 37u}) {
        SCOPED_TRACE(codePage);
        std::array<char16_t, 256> units{};
        std::array<bool, 256> replaced{};
        ASSERT_TRUE(CodePageDecoder(codePage).GetSingleByteMap(units, replaced));
        // One byte at every offset of two blocks and the tail after them,
        // each byte value, among 7-bit text.
        for (unsigned value = 0x80; value < 0x100; value += 0x0D) {
            for (size_t at = 0; at < 40; ++at) {
                std::string bytes(40, 'a');
                bytes[at] = static_cast<char>(value);
                const Expected want = ByTable(units, replaced, bytes);
                for (const size_t piece : {size_t{40}, size_t{17}, size_t{16}}) {
                    const Expected got = Decode(codePage, bytes, piece);
                    ASSERT_EQ(got.units, want.units) << "byte " << value << " at " << at << ", pieces of " << piece;
                    ASSERT_EQ(got.replaced, want.replaced) << "byte " << value << " at " << at;
                    ASSERT_EQ(got.firstUncovered, want.firstUncovered) << "byte " << value << " at " << at;
                }
            }
        }
        // Every byte, in random order and runs.
        std::mt19937 random(codePage);
        std::string bytes;
        while (bytes.size() < 5000)
            bytes += random() % 3 == 0 ? std::string(random() % 40, 'x') : std::string(1, static_cast<char>(random()));
        const Expected want = ByTable(units, replaced, bytes);
        for (const size_t piece : {size_t{4096}, size_t{33}, size_t{7}}) {
            const Expected got = Decode(codePage, bytes, piece);
            EXPECT_EQ(got.units, want.units) << "pieces of " << piece;
            EXPECT_EQ(got.replaced, want.replaced);
            EXPECT_EQ(got.firstUncovered, want.firstUncovered);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, SingleByteKernels, testing_support::AllKernels(), testing_support::KernelName());

}  // namespace
