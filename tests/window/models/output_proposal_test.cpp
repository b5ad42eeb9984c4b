#include "app/window/models/output_proposal.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

struct ProposalCase {
    const char* name;
    std::u16string input;
    std::set<std::u16string> existing;
    std::u16string expected;
};

class FolderProposal : public testing::TestWithParam<ProposalCase> { };

TEST_P(FolderProposal, IsBesideTheInputAndFree)
{
    const ProposalCase& c = GetParam();
    const auto exists = [&](const std::u16string& p) { return c.existing.count(p) > 0; };
    EXPECT_EQ(ProposeOutputFolder(c.input, u"/home/ann", exists), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderProposal,
    testing::Values(ProposalCase{"free", u"/data/docs", {}, u"/data/docs (Converted)"},
                    ProposalCase{"trailing_separator", u"/data/docs/", {}, u"/data/docs (Converted)"},
                    ProposalCase{"taken_twice",
                                 u"/data/docs",
                                 {u"/data/docs (Converted)", u"/data/docs (Converted) (2)"},
                                 u"/data/docs (Converted) (3)"},
                    ProposalCase{"below_root", u"/docs", {}, u"/docs (Converted)"},
                    ProposalCase{"root_goes_home", u"/", {}, u"/home/ann/Converted"},
                    ProposalCase{"root_taken", u"/", {u"/home/ann/Converted"}, u"/home/ann/Converted (2)"},
                    ProposalCase{"blanks_kept", u"/data/ docs ", {}, u"/data/ docs  (Converted)"}),
    [](const testing::TestParamInfo<ProposalCase>& row) { return std::string(row.param.name); });

TEST(FolderProposal, RootWithoutHomeStaysOnTheRoot)
{
    EXPECT_EQ(ProposeOutputFolder(u"/", u"", [](const std::u16string&) { return false; }), u"/Converted");
}

class FileProposal : public testing::TestWithParam<ProposalCase> { };

TEST_P(FileProposal, KeepsTheExtensionAfterTheNumber)
{
    const ProposalCase& c = GetParam();
    const auto exists = [&](const std::u16string& p) { return c.existing.count(p) > 0; };
    EXPECT_EQ(ProposeOutputFile(c.input, exists), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileProposal,
    testing::Values(ProposalCase{"plain", u"/d/a.txt", {}, u"/d/a (Converted).txt"},
                    ProposalCase{"taken", u"/d/a.txt", {u"/d/a (Converted).txt"}, u"/d/a (Converted) (2).txt"},
                    ProposalCase{"last_dot", u"/d/a.tar.gz", {}, u"/d/a.tar (Converted).gz"},
                    ProposalCase{"no_extension", u"/d/README", {}, u"/d/README (Converted)"},
                    ProposalCase{"dot_file", u"/d/.profile", {}, u"/d/.profile (Converted)"},
                    ProposalCase{"dot_in_folder", u"/d.x/notes", {}, u"/d.x/notes (Converted)"}),
    [](const testing::TestParamInfo<ProposalCase>& row) { return std::string(row.param.name); });

TEST(ConvertToLabel, ShowsTheNameBesideTheInputAndTheFullPathElsewhere)
{
    EXPECT_EQ(ConvertToLabel(ConvertCommand::Convert, u"/data/docs", u"/data/docs (Converted)"),
              u"&Convert to \"docs (Converted)\"");
    EXPECT_EQ(ConvertToLabel(ConvertCommand::RecursivelyConvert, u"/data/docs/", u"/data/docs (Converted) (2)"),
              u"Recursively Convert to \"docs (Converted) (2)\"");
    EXPECT_EQ(ConvertToLabel(ConvertCommand::Convert, u"/", u"/home/ann/Converted"),
              u"&Convert to \"/home/ann/Converted\"");
    // A name's own ampersand must show, not underline the next letter.
    EXPECT_EQ(ConvertToLabel(ConvertCommand::Convert, u"/d/R&D.txt", u"/d/R&D (Converted).txt"),
              u"&Convert to \"R&&D (Converted).txt\"");
}

}  // namespace
