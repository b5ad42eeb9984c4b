#include <gtest/gtest.h>

#include "varnex/codepage/codepage_info.h"

namespace {

TEST(CodepageInfo, LooksUpPseudoEntriesAndRefusesUnknownNumbers)
{
    ASSERT_NE(CCodepageInfo::GetCodepageInfo(-1), nullptr);
    EXPECT_EQ(CCodepageInfo::GetCodepageInfo(-1)->GetCodepageName(), u"Binary");
    EXPECT_EQ(CCodepageInfo::GetCodepageInfo(0)->GetCodepageName(), u"ASCII/UTF-8");
    EXPECT_EQ(CCodepageInfo::GetCodepageInfo(437), nullptr);
}

}  // namespace
