#include <gtest/gtest.h>

#include <string>

#include "app/settings/session_profile.h"
#include "base/text.h"
#include "varnex/session/session_records.h"

namespace {

SessionProfileList Named(std::initializer_list<const char16_t*> names)
{
    SessionProfileList list;
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
        SessionProfileList profiles;
        size_t renaming;
        ProfileNameStatus expected;
    };
    const Row rows[] = {
        {"empty", u"", Named({}), kNew, ProfileNameStatus::Empty},
        {"blanks only", u" \t\u3000", Named({}), kNew, ProfileNameStatus::Empty},
        {"reserved", u"Default", Named({}), kNew, ProfileNameStatus::Reserved},
        {"reserved in other case with blanks", u" dEFAULT ", Named({}), kNew, ProfileNameStatus::Reserved},
        {"reserved when renaming", u"default", Named({u"A"}), 0, ProfileNameStatus::Reserved},
        {"free", u"Work", Named({u"Home", u"Working"}), kNew, ProfileNameStatus::Ok},
        {"in use asks to overwrite", u" work", Named({u"Home", u"Work"}), kNew, ProfileNameStatus::Exists},
        {"in use, other script case", u"\u00dcBER", Named({u"\u00fcber"}), kNew, ProfileNameStatus::Exists},
        {"rename to itself", u"Home ", Named({u"Home", u"Work"}), 0, ProfileNameStatus::Ok},
        {"rename onto another", u"WORK", Named({u"Home", u"Work"}), 0, ProfileNameStatus::Duplicate},
        {"rename among duplicates", u"Same", Named({u"Same", u"Same"}), 0, ProfileNameStatus::Duplicate},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ProfileNameStatus status = row.renaming == kNew
                                             ? CheckNewProfileName(row.typed, row.profiles)
                                             : CheckProfileRename(row.typed, row.profiles, row.renaming);
        EXPECT_EQ(status, row.expected);
        EXPECT_EQ(ProfileNameMessage(status, row.typed).empty(), status == ProfileNameStatus::Ok);
    }
    EXPECT_EQ(ProfileNameMessage(ProfileNameStatus::Exists, u"  Work "), u"Overwrite profile [Work]?");
}

TEST(ProfileToJobItem, CarriesEveryOptionButTheItemsOwnPaths)
{
    SessionProfile profile;
    profile.options.copyUnconverted = true;
    profile.options.writeBom = false;
    profile.options.processHiddenFiles = true;
    profile.options.recursive = true;
    profile.options.inputCodepage = 1250;
    profile.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE;
    profile.options.returnType = CTextFileConverter::RETURNTYPE_CRLF;
    profile.options.filter.SetFilterString(false, u"*.txt");

    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.writeBom = true;
    item.inputPath = u"/in";
    item.outputPath = u"/out";
    item.options.filter = CVarnexBatchJobFilter(true, u"old");  // enabled: must be replaced
    item.options = profile.options;

    EXPECT_TRUE(item.folder);
    EXPECT_TRUE(item.options.copyUnconverted);
    EXPECT_FALSE(item.options.writeBom);
    EXPECT_TRUE(item.options.processHiddenFiles);
    EXPECT_TRUE(item.options.recursive);
    EXPECT_EQ(item.options.inputCodepage, 1250);
    EXPECT_EQ(item.options.outputTextFormat, CTextFileConverter::OUTPUTTEXTFORMAT_UTF16LE);
    EXPECT_EQ(item.options.returnType, CTextFileConverter::RETURNTYPE_CRLF);
    EXPECT_FALSE(item.options.filter.IsEnabled());
    EXPECT_FALSE(item.options.filter.IsRegex());
    EXPECT_EQ(item.options.filter.GetFilterString(), u"*.txt");
    EXPECT_EQ(item.inputPath, u"/in");
    EXPECT_EQ(item.outputPath, u"/out");

    profile.options.filter.EnableFilter(true);
    profile.options.filter.SetFilterString(true, profile.options.filter.GetFilterString());
    item.options = profile.options;
    EXPECT_TRUE(item.options.filter.IsEnabled());
    EXPECT_TRUE(item.options.filter.IsRegex());
}

}  // namespace
