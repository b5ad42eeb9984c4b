#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "varnex/session/file_info_filter.h"

namespace {

// A filter with one criterion of its own: a switch that passes all or
// nothing, counting how often it was asked.
class SwitchFilter : public CFileInfoFilter {
public:
    SwitchFilter() = default;
    explicit SwitchFilter(const CFileInfoFilter& base) : CFileInfoFilter(base) { }
    SwitchFilter(const SwitchFilter&) = default;

    CFileInfoFilter* Clone() const override
    {
        auto* clone = new SwitchFilter;
        clone->CopyProperties(this);
        return clone;
    }
    bool PassCustomFilter(CVarnexFileInfo*) const override
    {
        ++asked;
        return !customActive || customPass;
    }
    void CopyCustomProperties(const CFileInfoFilter* source) override
    {
        if (const auto* other = dynamic_cast<const SwitchFilter*>(source)) {
            customActive = other->customActive;
            customPass = other->customPass;
        }
    }
    bool HasCustomFilters() const override { return customActive; }

    bool customActive = false;
    bool customPass = true;
    mutable int asked = 0;
};

// Criteria of a row; a criterion is enabled when given.
// GCC 12 warns, wrongly, that the defaulted vector of the designated rows
// below may be used uninitialized (Release builds only).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

struct Criteria {
    int bom = -1;
    const char16_t* paths = nullptr;
    const char16_t* names = nullptr;
    bool codepageOn = false;
    std::vector<int> codepages{};
    int status = -1;
    bool customActive = false;
};

void Configure(SwitchFilter& filter, const Criteria& c)
{
    filter.EnableBomFilter(c.bom >= 0);
    filter.SetBomFilter(static_cast<FilterInfoBomFilter>(std::max(c.bom, 0)));
    filter.EnablePathFilter(c.paths != nullptr);
    filter.SetPathFilters(c.paths);
    filter.EnableFileNameFilter(c.names != nullptr);
    filter.SetFileNameFilters(c.names);
    filter.EnableCodepageFilter(c.codepageOn);
    filter.AddCodepageFilter(65001);  // replaced by the list below
    const std::vector<unsigned> list(c.codepages.begin(), c.codepages.end());
    filter.SetCodepageFilters(list.empty() ? nullptr : list.data(), static_cast<unsigned>(list.size()));
    filter.EnableStatusFilter(c.status >= 0);
    filter.SetStatusFilter(static_cast<FileInfoStatusFilter>(std::max(c.status, 0)));
    filter.customActive = c.customActive;
    filter.customPass = false;
}

struct RecordRow {
    const char* name;
    const char16_t* path;
    bool bom;
    int codepage;  // 437 is not in the catalogue: the record has none
    VARNEXRESULTSTATE state;
    VARNEXRESULTOPERATION operation;
};

const RecordRow kRecords[] = {
    {"bom", u"/data/in/bom.txt", true, 65001, VARNEXRESULTSTATE_OK, VARNEXRESULTOPERATION_CONVERTED},
    {"plain", u"/data/in/sub/plain.TXT", false, 0, VARNEXRESULTSTATE_WARNING, VARNEXRESULTOPERATION_CONVERTED},
    {"binary", u"/data/in/image.png", false, -1, VARNEXRESULTSTATE_OK, VARNEXRESULTOPERATION_COPIED},
    {"fresh", u"/data/other/notes.csv", false, 437, VARNEXRESULTSTATE_NONE, VARNEXRESULTOPERATION_NONE},
    {"unsupported", u"/data/in/a,b.txt", false, 1251, VARNEXRESULTSTATE_NOT_SUPPORTED, VARNEXRESULTOPERATION_NONE},
    {"failed", u"/data/in/f.log", true, 1252, VARNEXRESULTSTATE_FAILED, VARNEXRESULTOPERATION_NONE},
    {"error", u"/data/in/e.log", false, 1252, VARNEXRESULTSTATE_ERROR, VARNEXRESULTOPERATION_NONE},
    {"converr", u"/data/in/c.log", false, 1252, VARNEXRESULTSTATE_CONVERSION_ERROR, VARNEXRESULTOPERATION_NONE},
    {"writeerr", u"/data/in/w.log", false, 1252, VARNEXRESULTSTATE_WRITE_ERROR, VARNEXRESULTOPERATION_CONVERTED},
    {"cancelled", u"/data/in/x.txt", false, 1252, VARNEXRESULTSTATE_CANCELLED, VARNEXRESULTOPERATION_NONE},
    {"copiedwarn", u"/data/in/y.bin", false, -1, VARNEXRESULTSTATE_WARNING, VARNEXRESULTOPERATION_COPIED},
};

const std::string kAll = "bom plain binary fresh unsupported failed error converr writeerr cancelled copiedwarn";

class FileInfoFilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const RecordRow& row : kRecords) {
            m_records.push_back(std::make_unique<CVarnexFileInfo>(0, row.path, u"", nullptr));
            m_records.back()->SetHasBom(row.bom);
            m_records.back()->SetCodepage(row.codepage);
            m_records.back()->SetResultState(row.state);
            m_records.back()->SetResultOperation(row.operation);
        }
    }

    // The names of the passing records, in table order.
    std::string Passing(const CFileInfoFilter& filter) const
    {
        std::string out;
        for (size_t i = 0; i < m_records.size(); ++i)
            if (filter(m_records[i].get()))
                out += (out.empty() ? "" : " ") + std::string(kRecords[i].name);
        return out;
    }

    std::vector<std::unique_ptr<CVarnexFileInfo>> m_records;
};

TEST_F(FileInfoFilterTest, EachCriterionPassesExactlyItsRecords)
{
    const struct {
        const char* row;
        Criteria criteria;
        std::string expected;
    } rows[] = {
        {"nothing enabled", {}, kAll},
        {"bom with", {.bom = FilterInfoBomWith}, "bom failed"},
        {"bom without",
         {.bom = FilterInfoBomWithout},
         "plain binary fresh unsupported error converr writeerr cancelled copiedwarn"},
        {"bom both", {.bom = FilterInfoBomBoth}, kAll},
        {"bom mode out of range", {.bom = 7}, kAll},
        {"status all", {.status = FileInfoStatusAll}, kAll},
        {"status normal", {.status = FileInfoStatusNormal}, "bom binary"},
        {"status not determined", {.status = FileInfoStatusNotDetermined}, "fresh"},
        {"status warning", {.status = FileInfoStatusWarning}, "plain copiedwarn"},
        {"status error: not supported and write error too",
         {.status = FileInfoStatusError},
         "unsupported failed error converr writeerr"},
        {"status converted needs OK", {.status = FileInfoStatusConverted}, "bom"},
        {"status copied needs OK", {.status = FileInfoStatusCopied}, "binary"},
        {"status cancelled", {.status = FileInfoStatusCancelled}, "cancelled"},
        {"status out of range", {.status = 8}, kAll},
        {"names, any case", {.names = u"*.txt"}, "bom plain unsupported cancelled"},
        {"names split at CR, LF and ;",
         {.names = u"*.txt\r\n*.csv\r*.png;f.*\ny.bin"},
         "bom plain binary fresh unsupported failed cancelled copiedwarn"},
        {"a comma is part of the pattern", {.names = u"*.txt,*.csv"}, ""},
        {"a name with a comma", {.names = u"a,b.txt"}, "unsupported"},
        {"names are not paths", {.names = u"/data/in/*"}, ""},
        {"empty name list", {.names = u""}, ""},
        {"only separators", {.names = u";\r\n;"}, ""},
        {"paths", {.paths = u"/data/in/sub/*\n*/other/*"}, "plain fresh"},
        {"paths need the whole path", {.paths = u"bom.txt"}, ""},
        {"empty path list", {.paths = u""}, ""},
        {"code pages", {.codepageOn = true, .codepages = {1251, 0}}, "plain unsupported"},
        {"code page -1: binary and none", {.codepageOn = true, .codepages = {-1}}, "binary fresh copiedwarn"},
        {"empty code page list", {.codepageOn = true}, ""},
        {"criteria combine",
         {.bom = FilterInfoBomWithout, .names = u"*.txt;*.log", .status = FileInfoStatusError},
         "unsupported error converr writeerr"},
        {"own criterion asked last", {.bom = FilterInfoBomWith, .customActive = true}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        SwitchFilter filter;
        Configure(filter, row.criteria);
        EXPECT_EQ(Passing(filter), row.expected);
    }

    SwitchFilter filter;
    Configure(filter, {.codepageOn = true, .customActive = true});
    filter.AddCodepageFilter(1252);
    EXPECT_EQ(Passing(filter), "");
    EXPECT_EQ(filter.asked, 5) << "only the five records of code page 1252";
    EXPECT_FALSE(filter(nullptr));
}

TEST(FileInfoFilter, ValidateSwitchesOffCriteriaThatSelectNothingByNature)
{
    const struct {
        const char* row;
        Criteria criteria;
        bool valid;
        std::string enabled;  // B P N C S: the criteria still enabled
    } rows[] = {
        {"nothing enabled", {}, false, ""},
        {"own criteria only", {.customActive = true}, true, ""},
        {"bom in mode both", {.bom = FilterInfoBomBoth}, false, ""},
        {"bom in mode both with own criteria", {.bom = FilterInfoBomBoth, .customActive = true}, true, ""},
        {"bom with", {.bom = FilterInfoBomWith}, true, "B"},
        {"empty path and name lists", {.paths = u"", .names = u""}, false, ""},
        {"names kept, empty paths dropped", {.paths = u"", .names = u"*.txt"}, true, "N"},
        {"empty code page list stays", {.codepageOn = true}, true, "C"},
        {"status all stays", {.status = FileInfoStatusAll}, true, "S"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.row);
        SwitchFilter filter;
        Configure(filter, row.criteria);
        EXPECT_EQ(filter.ValidateFilters(), row.valid);
        std::string enabled;
        for (const auto& [on, letter] : {std::pair{filter.IsBomFilterEnabled(), 'B'},
                                         {filter.IsPathFilterEnabled(), 'P'},
                                         {filter.IsFileNameFilterEnabled(), 'N'},
                                         {filter.IsCodepageFilterEnabled(), 'C'},
                                         {filter.IsStatusFilterEnabled(), 'S'}})
            if (on)
                enabled += letter;
        EXPECT_EQ(enabled, row.enabled);
    }
}

TEST_F(FileInfoFilterTest, CopiesCarryEveryCriterionAndPredicatesFollowTheirFilter)
{
    SwitchFilter source;
    Configure(source, {.bom = FilterInfoBomWithout,
                       .paths = u"/data/in/*",
                       .names = u"*.log;*.txt",
                       .codepageOn = true,
                       .codepages = {1252, 1251},
                       .status = FileInfoStatusError,
                       .customActive = true});
    source.customPass = true;
    const std::string expected = "unsupported error converr writeerr";
    ASSERT_EQ(Passing(source), expected);

    std::unique_ptr<CFileInfoFilter> clone(source.Clone());
    SwitchFilter assigned;
    static_cast<CFileInfoFilter&>(assigned) = source;
    SwitchFilter copied(source);
    SwitchFilter fromBase{static_cast<const CFileInfoFilter&>(source)};
    for (const CFileInfoFilter* copy : std::vector<const CFileInfoFilter*>{clone.get(), &assigned, &copied}) {
        EXPECT_EQ(Passing(*copy), expected);
        EXPECT_TRUE(copy->HasCustomFilters());
    }
    EXPECT_EQ(Passing(fromBase), expected);
    EXPECT_FALSE(fromBase.HasCustomFilters()) << "the base copy takes the base criteria only";

    // A predicate only points at its filter.
    CFileInfoFilterPred pred(&source);
    CFileInfoFilterPred predCopy(pred);
    source.customPass = false;
    EXPECT_EQ(Passing(*clone), expected);
    for (const auto& record : m_records)
        EXPECT_FALSE(pred(record.get()) || predCopy(record.get()));
}

TEST(FileInfoFilter, AttentionPicksEveryDoubtfulResultAndCombinesLikeTheOtherCriteria)
{
    const auto note = [](OutcomeReason reason, uint64_t number = 0) { return ReasonNote::Of(reason, number); };
    const struct {
        const char* name;
        VARNEXRESULTSTATE state;
        std::vector<ReasonNote> reasons;
        uint64_t replaced;
        bool attention;
    } rows[] = {
        {"not processed", VARNEXRESULTSTATE_NONE, {}, 0, false},
        {"clean", VARNEXRESULTSTATE_OK, {}, 0, false},
        {"cancelled by the user", VARNEXRESULTSTATE_CANCELLED, {note(OutcomeReason::Cancelled)}, 0, false},
        {"unsure", VARNEXRESULTSTATE_WARNING, {note(OutcomeReason::DetectionUnsure)}, 0, true},
        {"unknown text", VARNEXRESULTSTATE_WARNING, {note(OutcomeReason::UnknownText)}, 0, true},
        {"not supported", VARNEXRESULTSTATE_NOT_SUPPORTED, {}, 0, true},
        {"write error", VARNEXRESULTSTATE_WRITE_ERROR, {note(OutcomeReason::WriteFailed)}, 0, true},
        {"failed", VARNEXRESULTSTATE_FAILED, {}, 0, true},
        {"OK with a repaired double encoding", VARNEXRESULTSTATE_OK, {note(OutcomeReason::DoubleEncoded, 1)}, 0, true},
        {"OK with replaced characters", VARNEXRESULTSTATE_OK, {}, 3, true},
        {"OK with U+FFFD in the input", VARNEXRESULTSTATE_OK, {note(OutcomeReason::ReplacementInText, 2)}, 0, true},
        {"OK, a reason of no concern", VARNEXRESULTSTATE_OK, {note(OutcomeReason::NoOutputFile)}, 0, false},
    };
    std::vector<std::unique_ptr<CVarnexFileInfo>> records;
    std::string expected;
    for (const auto& row : rows) {
        records.push_back(std::make_unique<CVarnexFileInfo>(0, u"/data/a.txt", u"", nullptr));
        FileOutcome outcome;
        outcome.state = row.state;
        outcome.codepage = 1252;
        outcome.replaced = row.replaced;
        outcome.reasons = row.reasons;
        if (row.state != VARNEXRESULTSTATE_NONE)
            records.back()->SetOutcome(outcome);
        EXPECT_EQ(CFileInfoFilter::NeedsAttention(records.back().get()), row.attention) << row.name;
        if (row.attention)
            expected += std::string(expected.empty() ? "" : ", ") + row.name;
    }
    EXPECT_FALSE(CFileInfoFilter::NeedsAttention(nullptr));

    SwitchFilter filter;
    filter.EnableAttentionFilter(true);
    EXPECT_TRUE(filter.ValidateFilters()) << "attention alone is a criterion";
    std::unique_ptr<CFileInfoFilter> clone(filter.Clone());
    SwitchFilter copied(filter);
    for (const CFileInfoFilter* each : std::vector<const CFileInfoFilter*>{&filter, clone.get(), &copied}) {
        std::string passing;
        for (size_t i = 0; i < records.size(); ++i)
            if ((*each)(records[i].get()))
                passing += std::string(passing.empty() ? "" : ", ") + rows[i].name;
        EXPECT_EQ(passing, expected);
    }
    filter.EnableStatusFilter(true);
    filter.SetStatusFilter(FileInfoStatusNormal);
    size_t okAndDoubtful = 0;
    for (const auto& record : records)
        okAndDoubtful += filter(record.get()) ? 1 : 0;
    EXPECT_EQ(okAndDoubtful, 3u) << "with status OK: the three OK records that still need a look";
}

}  // namespace
