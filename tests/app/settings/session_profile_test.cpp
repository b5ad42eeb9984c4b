#include <gtest/gtest.h>

#include <string>

#include "app/settings/session_profile.h"
#include "base/text.h"

namespace {

VARNELSESSIONPROFILELIST Named(std::initializer_list<const char16_t*> names)
{
    VARNELSESSIONPROFILELIST list;
    for (const char16_t* name : names) {
        list.emplace_back();
        list.back().name = name;
    }
    return list;
}

TEST(ProfileNames, VerdictsFollowTheDialogRules)
{
    constexpr size_t kNew = SIZE_MAX;  // saving the current settings, not renaming
    struct Row {
        const char* name;
        const char16_t* typed;
        VARNELSESSIONPROFILELIST profiles;
        size_t renaming;
        PROFILENAMESTATUS expected;
    };
    const Row rows[] = {
        {"empty", u"", Named({}), kNew, PROFILENAME_EMPTY},
        {"blanks only", u" \t\u3000", Named({}), kNew, PROFILENAME_EMPTY},
        {"reserved", u"Default", Named({}), kNew, PROFILENAME_RESERVED},
        {"reserved in other case with blanks", u" dEFAULT ", Named({}), kNew, PROFILENAME_RESERVED},
        {"reserved when renaming", u"default", Named({u"A"}), 0, PROFILENAME_RESERVED},
        {"free", u"Work", Named({u"Home", u"Working"}), kNew, PROFILENAME_OK},
        {"in use asks to overwrite", u" work", Named({u"Home", u"Work"}), kNew, PROFILENAME_EXISTS},
        {"in use, other script case", u"\u00dcBER", Named({u"\u00fcber"}), kNew, PROFILENAME_EXISTS},
        {"rename to itself", u"Home ", Named({u"Home", u"Work"}), 0, PROFILENAME_OK},
        {"rename onto another", u"WORK", Named({u"Home", u"Work"}), 0, PROFILENAME_DUPLICATE},
        {"rename among duplicates", u"Same", Named({u"Same", u"Same"}), 0, PROFILENAME_DUPLICATE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const PROFILENAMESTATUS status = row.renaming == kNew ? CheckNewProfileName(row.typed, row.profiles)
                                                              : CheckProfileRename(row.typed, row.profiles, row.renaming);
        EXPECT_EQ(status, row.expected);
        EXPECT_EQ(ProfileNameMessage(status, row.typed).empty(), status == PROFILENAME_OK);
    }
    EXPECT_EQ(ProfileNameMessage(PROFILENAME_EXISTS, u"  Work "), u"Overwrite profile [Work]?");
}

TEST(ProfileToJobItem, CarriesEveryOptionButTheItemsOwnPaths)
{
    VARNELSESSIONPROFILE profile;
    profile.copyUnconverted = true;
    profile.writeBom = false;
    profile.processHiddenFiles = true;
    profile.recursive = true;
    profile.inputCodepage = 1250;
    profile.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE;
    profile.returnType = CTextFileConverter::RETURNTYPE_CRLF;
    profile.filterExpression = u"*.txt";

    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.writeBom = true;
    item.inputPath = u"/in";
    item.outputPath = u"/out";
    item.filter = CVarnexBatchJobFilter(true, u"old");  // enabled: must be replaced
    profile.ApplyTo(item);

    EXPECT_TRUE(item.folder);
    EXPECT_TRUE(item.copyUnconverted);
    EXPECT_FALSE(item.writeBom);
    EXPECT_TRUE(item.processHiddenFiles);
    EXPECT_TRUE(item.recursive);
    EXPECT_EQ(item.inputCodepage, 1250);
    EXPECT_EQ(item.outputTextFormat, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE);
    EXPECT_EQ(item.returnType, CTextFileConverter::RETURNTYPE_CRLF);
    EXPECT_FALSE(item.filter.IsEnabled());
    EXPECT_FALSE(item.filter.IsRegex());
    EXPECT_EQ(item.filter.GetFilterString(), u"*.txt");
    EXPECT_EQ(item.inputPath, u"/in");
    EXPECT_EQ(item.outputPath, u"/out");

    profile.filterEnabled = true;
    profile.filterRegex = true;
    profile.ApplyTo(item);
    EXPECT_TRUE(item.filter.IsEnabled());
    EXPECT_TRUE(item.filter.IsRegex());
}

}  // namespace
