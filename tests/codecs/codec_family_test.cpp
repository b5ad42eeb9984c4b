#include <gtest/gtest.h>

#include "codecs/codec_family.h"

namespace {

using codecs::detail::CodecFamily;
using codecs::detail::ShiftScheme;

// The decoder and the encoder both follow this choice, so each row is what
// both directions of the code page run on.
TEST(CodecFamily, ChoosesTheFamilyThatConvertsEachKindOfCodePage)
{
    struct Row {
        unsigned codePage;
        CodecFamily family;
    };
    const Row rows[] = {
        {0, CodecFamily::kDefault},
        {3, CodecFamily::kDefault},  // the thread's code page
        {1252, CodecFamily::kSingleByte},
        {1, CodecFamily::kSingleByte},      // OEM: 437's table
        {2, CodecFamily::kSingleByte},      // Mac: 10000's table
        {42, CodecFamily::kSingleByte},     // symbol
        {28606, CodecFamily::kSingleByte},  // read from glibc
        {37, CodecFamily::kSingleByte},     // EBCDIC
        // ICU has converters for these two, which read some characters unlike Windows.
        {52936, CodecFamily::kSevenBit},
        {50225, CodecFamily::kSevenBit},
        {1361, CodecFamily::kJohab},
        {932, CodecFamily::kIcu},
        {54936, CodecFamily::kIcu},
        {50220, CodecFamily::kIcu},
        {1200, CodecFamily::kIcu},
        {65001, CodecFamily::kIcu},
        {99999, CodecFamily::kNone},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.codePage);
        const auto choice = codecs::detail::ChooseFamily(row.codePage);
        EXPECT_EQ(choice.family, row.family);
        EXPECT_EQ(choice.table != nullptr, row.family == CodecFamily::kSingleByte);
        EXPECT_EQ(choice.row != nullptr, row.family == CodecFamily::kIcu);
    }
    EXPECT_EQ(codecs::detail::ChooseFamily(52936).scheme, ShiftScheme::Hz);
    EXPECT_EQ(codecs::detail::ChooseFamily(50225).scheme, ShiftScheme::Iso2022Kr);
}

}  // namespace
