#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace {

TEST(CodePage, DecodesWindows1252)
{
    std::u16string out;
    ASSERT_TRUE(platform::DecodeCodePage(1252, "caf\xE9", 4, out));
    EXPECT_EQ(out, u"caf\u00E9");
}

}  // namespace
