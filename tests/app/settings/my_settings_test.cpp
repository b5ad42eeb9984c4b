#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/settings/my_settings.h"
#include "base/text.h"
#include "platform/file_api.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

constexpr char16_t kVersion[] = u"2.0.7";

std::string Joined(const SettingsMessages& messages)
{
    std::string all;
    for (const auto& m : messages)
        all += text::ToUtf8(m) + "\n";
    return all;
}

bool Mentions(const SettingsMessages& messages, const std::string& what)
{
    return Joined(messages).find(what) != std::string::npos;
}

void ExpectSameJob(const VARNEXJOBSETTING& a, const VARNEXJOBSETTING& b)
{
    EXPECT_EQ(a.detectOnly, b.detectOnly);
    EXPECT_EQ(a.allowBinaryListDetection, b.allowBinaryListDetection);
    EXPECT_EQ(a.converterThreads, b.converterThreads);
    EXPECT_EQ(a.sampleSizeMB, b.sampleSizeMB);
    EXPECT_EQ(a.useGB18030, b.useGB18030);
    EXPECT_EQ(a.useConsolidatedBuffer, b.useConsolidatedBuffer);
    EXPECT_EQ(a.chunkSize, b.chunkSize);
    EXPECT_EQ(a.readBufferSize, b.readBufferSize);
    EXPECT_EQ(a.writeBufferSize, b.writeBufferSize);
}

// A settings file for version 2.0 with the given body inside "settings".
std::string FileWith(const std::string& body, const char* version = "2.0")
{
    return std::string("<?xml version=\"1.0\"?>\n<varnel><settings version=\"") + version + "\">" + body +
           "</settings></varnel>\n";
}

std::string ProfileXml(const std::string& name, const std::string& children)
{
    return "<profile name=\"" + name + "\">" + children + "</profile>";
}

class MySettingsTest : public ::testing::Test {
protected:
    std::string NativePath() const { return dir.File("conf/VarnelPro.Current.xml"); }
    std::u16string Path() const { return text::FromUtf8(NativePath()); }
    void Write(const std::string& bytes) const
    {
        std::filesystem::create_directories(dir.File("conf"));
        WriteBytes(NativePath(), bytes);
    }
    CMySettings Make() const { return CMySettings(Path(), kVersion); }

    TempDir dir;
};

SessionProfile Named(const char16_t* name)
{
    SessionProfile p;
    p.name = name;
    return p;
}

// Everything a profile can hold, with text the XML must escape.
SessionProfile RichProfile(const std::u16string& name)
{
    SessionProfile p;
    p.name = name;
    p.options.copyUnconverted = true;
    p.options.writeBom = false;
    p.options.processHiddenFiles = true;
    p.options.recursive = true;
    p.options.inputCodepage = 1251;
    p.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UCS4_3412;
    p.options.returnType = CTextFileConverter::RETURNTYPE_CR;
    p.filterName = u"Sources <&> \"ü\"";
    p.options.filter = CVarnexBatchJobFilter(true, u"^.*\\.(c|h)$");
    p.filterComment = u"line one\nline 'two' \u00e9\u4e2d";
    return p;
}

TEST_F(MySettingsTest, SaveThenLoadKeepsEveryEditedField)
{
    struct Row {
        const char* name;
        std::function<void(CMySettings&, SessionProfileList&)> edit;
    };
    using P = SessionProfile;
    auto job = [](auto change) {
        return [change](CMySettings& s, SessionProfileList&) {
            VARNEXJOBSETTING j = s.GetJobSetting();
            change(j);
            ASSERT_TRUE(s.SetJobSetting(j).empty());
        };
    };
    auto current = [](auto change) {
        return [change](CMySettings& s, SessionProfileList&) {
            P p = s.GetCurrentProfile();
            change(p);
            s.SetCurrentProfile(p);
        };
    };
    const Row rows[] = {
        {"nothing", [](CMySettings&, SessionProfileList&) {}},
        {"detectOnly", job([](VARNEXJOBSETTING& j) { j.detectOnly = false; })},
        {"allowBinaryListDetection", job([](VARNEXJOBSETTING& j) { j.allowBinaryListDetection = false; })},
        {"converterThreads", job([](VARNEXJOBSETTING& j) { j.converterThreads = 16; })},
        {"sampleSizeMB", job([](VARNEXJOBSETTING& j) { j.sampleSizeMB = 512; })},
        {"useGB18030", job([](VARNEXJOBSETTING& j) { j.useGB18030 = true; })},
        {"useConsolidatedBuffer", job([](VARNEXJOBSETTING& j) { j.useConsolidatedBuffer = false; })},
        {"chunkSize", job([](VARNEXJOBSETTING& j) { j.chunkSize = 16; })},
        {"readBufferSize", job([](VARNEXJOBSETTING& j) { j.readBufferSize = 65536; })},
        {"writeBufferSize", job([](VARNEXJOBSETTING& j) { j.writeBufferSize = 2048; })},
        {"current copyUnconverted", current([](P& p) { p.options.copyUnconverted = true; })},
        {"current writeBom", current([](P& p) { p.options.writeBom = false; })},
        {"current hidden", current([](P& p) { p.options.processHiddenFiles = true; })},
        {"current recursive", current([](P& p) { p.options.recursive = true; })},
        {"current keepModeAndTime", current([](P& p) { p.options.keepModeAndTime = false; })},
        {"current code page", current([](P& p) { p.options.inputCodepage = 0; })},
        {"current format",
         current([](P& p) { p.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF32BE; })},
        {"current return type", current([](P& p) { p.options.returnType = CTextFileConverter::RETURNTYPE_LF; })},
        {"current everything", current([](P& p) { p = RichProfile(u""); })},
        {"language menu", [](CMySettings& s, SessionProfileList&) { s.SetShowLanguageMenu(false); }},
        {"preview limit", [](CMySettings& s, SessionProfileList&) { s.SetPreviewSizeLimitKiB(8192); }},
        {"preview fixed", [](CMySettings& s, SessionProfileList&) { s.SetPreviewLimitFixed(true); }},
        {"one default profile", [](CMySettings&, SessionProfileList& l) { l.push_back(Named(u"Plain")); }},
        {"profiles in order, same name twice",
         [](CMySettings&, SessionProfileList& l) {
             l = {RichProfile(u"Zeta"), Named(u"Alpha"), RichProfile(u"Zeta")};
             l[2].options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF16BE;
             l[1].options.returnType = CTextFileConverter::RETURNTYPE_CRLF;
             l[1].options.filter.EnableFilter(true);  // an enabled filter with an empty wildcard list
         }},
        {"profile names with markup and blanks",
         [](CMySettings&, SessionProfileList& l) {
             l = {Named(u" a<b>&\"c\" \u00fc "), Named(u"tab\there")};
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir.File("conf"));
        CMySettings saved = Make();
        SessionProfileList profiles;
        row.edit(saved, profiles);
        SettingsMessages messages;
        ASSERT_TRUE(saved.Save(&messages)) << Joined(messages);
        ASSERT_TRUE(saved.SaveSessionProfiles(profiles, &messages)) << Joined(messages);
        EXPECT_TRUE(messages.empty()) << Joined(messages);

        CMySettings loaded = Make();
        loaded.SetShowLanguageMenu(!saved.GetShowLanguageMenu());  // load must overwrite what is in memory
        ASSERT_TRUE(loaded.Load(&messages)) << Joined(messages);
        ExpectSameJob(loaded.GetJobSetting(), saved.GetJobSetting());
        EXPECT_EQ(loaded.GetCurrentProfile(), saved.GetCurrentProfile());
        EXPECT_EQ(loaded.GetShowLanguageMenu(), saved.GetShowLanguageMenu());
        EXPECT_EQ(loaded.GetPreviewSizeLimit(), saved.GetPreviewSizeLimit());
        EXPECT_EQ(loaded.GetPreviewLimitFixed(), saved.GetPreviewLimitFixed());
        SessionProfileList read;
        ASSERT_TRUE(loaded.LoadSessionProfiles(read, &messages)) << Joined(messages);
        EXPECT_EQ(read, profiles);
        EXPECT_TRUE(messages.empty()) << Joined(messages);
    }
}

// Found by fuzzing: a text of blanks only was written as plain text, which
// the parser drops, so the next load read it as empty.
TEST_F(MySettingsTest, BlankTextsReadBackAfterSave)
{
    Write(FileWith("<currentProfile><filter><comment><![CDATA[ ]]></comment></filter></currentProfile>"
                   "<sessionProfiles><profile name=\"p\"><filter><expression><![CDATA[\t\n]]></expression>"
                   "</filter></profile></sessionProfiles>"));
    CMySettings settings = Make();
    ASSERT_TRUE(settings.Load());
    ASSERT_EQ(settings.GetCurrentProfile().filterComment, u" ");
    SessionProfileList profiles;
    ASSERT_TRUE(settings.LoadSessionProfiles(profiles));
    ASSERT_TRUE(settings.Save());
    ASSERT_TRUE(settings.SaveSessionProfiles(profiles));

    CMySettings loaded = Make();
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.GetCurrentProfile().filterComment, u" ");
    SessionProfileList read;
    ASSERT_TRUE(loaded.LoadSessionProfiles(read));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].options.filter.GetFilterString(), u"\t\n");
}

// Found by fuzzing: a value the parser split at a processing instruction
// (it skips them) kept its second piece after a save, glued to the new value.
TEST_F(MySettingsTest, SaveReplacesValuesSplitByMarkup)
{
    Write(FileWith("<jobSetting><converterThreads>999999<?codin?>999e</converterThreads>"
                   "<chunkSize>4096<?pi?>1</chunkSize></jobSetting>"));
    CMySettings settings = Make();
    ASSERT_TRUE(settings.Load());
    ASSERT_EQ(settings.GetJobSetting().chunkSize, 4096u);
    ASSERT_TRUE(settings.Save());

    CMySettings loaded = Make();
    SettingsMessages messages;
    ASSERT_TRUE(loaded.Load(&messages));
    EXPECT_TRUE(messages.empty()) << Joined(messages);
    ExpectSameJob(loaded.GetJobSetting(), settings.GetJobSetting());
}

TEST_F(MySettingsTest, UnusableFileGivesDefaultsAndSaysWhy)
{
    struct Row {
        const char* name;
        std::function<void()> make;  // leaves the path in the state to test
        const char* said;
    };
    const Row rows[] = {
        {"missing", [] {}, nullptr},  // a first run: nothing to say
        {"zero bytes", [this] { Write(""); }, "is empty"},
        {"only white space", [this] { Write("  \n\t"); }, "no XML element"},
        {"cut off", [this] { Write("<varnel><settings version=\"2.0\"><jobSetting>"); }, "not well-formed"},
        {"not XML", [this] { Write("chunkSize=5\n"); }, "no XML element"},
        {"stray text after the root", [this] { Write("<varnel/>junk<"); }, "not well-formed"},
        {"other root", [this] { Write("<config><settings version=\"2.0\"/></config>"); }, "no \"varnel\" root"},
        {"other version only", [this] { Write(FileWith("<jobSetting/>", "1.9")); }, "no settings for version 2.0"},
        {"a folder", [this] { std::filesystem::create_directories(NativePath()); }, "cannot be read"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(dir.File("conf"));
        row.make();
        CMySettings settings = Make();
        VARNEXJOBSETTING edited = settings.GetJobSetting();
        edited.chunkSize = 4096;
        settings.SetJobSetting(edited);
        settings.SetShowLanguageMenu(false);

        SettingsMessages messages;
        EXPECT_FALSE(settings.Load(&messages));
        ExpectSameJob(settings.GetJobSetting(), GetDefaultJobSetting());
        EXPECT_TRUE(settings.GetShowLanguageMenu());
        // The dialogs start from UTF-8 without a byte order mark.
        EXPECT_EQ(settings.GetCurrentProfile().options.outputTextFormat, CTextFileConverter::OUTPUTTEXTFORMAT_UTF8);
        EXPECT_FALSE(settings.GetCurrentProfile().options.writeBom);
        if (row.said == nullptr) {
            EXPECT_TRUE(messages.empty()) << Joined(messages);
        } else {
            ASSERT_EQ(messages.size(), 1u) << Joined(messages);
            EXPECT_TRUE(Mentions(messages, row.said)) << Joined(messages);
            EXPECT_TRUE(Mentions(messages, NativePath())) << Joined(messages);
        }

        SessionProfileList profiles{Named(u"kept")};
        EXPECT_FALSE(settings.LoadSessionProfiles(profiles, &messages));
        EXPECT_EQ(profiles.size(), 1u);
    }
}

TEST_F(MySettingsTest, PartialFileKeepsDefaultsForWhatItLacks)
{
    Write(FileWith("<jobSetting><chunkSize> 8192 </chunkSize><useGB18030>yes</useGB18030></jobSetting>"
                   "<currentProfile><recursive>1</recursive><writeBom></writeBom></currentProfile>"));
    CMySettings settings = Make();
    SettingsMessages messages;
    ASSERT_TRUE(settings.Load(&messages));
    EXPECT_TRUE(messages.empty()) << Joined(messages);
    VARNEXJOBSETTING expected = GetDefaultJobSetting();
    expected.chunkSize = 8192;
    expected.useGB18030 = true;
    ExpectSameJob(settings.GetJobSetting(), expected);
    SessionProfile current;
    current.options.recursive = true;
    EXPECT_EQ(settings.GetCurrentProfile(), current);
    EXPECT_EQ(settings.GetPreviewSizeLimit(), 0u);
    // No "sessionProfiles" element: the profile list is not there.
    SessionProfileList profiles;
    EXPECT_FALSE(settings.LoadSessionProfiles(profiles));
}

TEST_F(MySettingsTest, ValuesOutOfRangeAreHeldAndReported)
{
    struct Row {
        const char* xml;
        std::function<uint32_t(const CMySettings&)> get;
        uint32_t expected;
        const char* said;  // nullptr: no message
    };
    auto job = [](uint32_t VARNEXJOBSETTING::*field) {
        return [field](const CMySettings& s) { return s.GetJobSetting().*field; };
    };
    auto preview = [](const CMySettings& s) { return s.GetPreviewSizeLimit(); };
    const Row rows[] = {
        {"<jobSetting><chunkSize>5</chunkSize></jobSetting>", job(&VARNEXJOBSETTING::chunkSize), 16,
         "\"5\" is out of range"},
        {"<jobSetting><chunkSize>99999999999999999999999</chunkSize></jobSetting>", job(&VARNEXJOBSETTING::chunkSize),
         65536, "out of range"},
        {"<jobSetting><converterThreads>-3</converterThreads></jobSetting>", job(&VARNEXJOBSETTING::converterThreads),
         0, "\"-3\" is out of range"},
        {"<jobSetting><converterThreads>17</converterThreads></jobSetting>", job(&VARNEXJOBSETTING::converterThreads),
         16, "converterThreads"},
        {"<jobSetting><converterThreads>0</converterThreads></jobSetting>", job(&VARNEXJOBSETTING::converterThreads), 0,
         nullptr},
        {"<jobSetting><sampleSizeMB>0</sampleSizeMB></jobSetting>", job(&VARNEXJOBSETTING::sampleSizeMB), 1,
         "sampleSizeMB"},
        {"<jobSetting><sampleSizeMB>513</sampleSizeMB></jobSetting>", job(&VARNEXJOBSETTING::sampleSizeMB), 512,
         "sampleSizeMB"},
        {"<jobSetting><readBufferSize>4k</readBufferSize></jobSetting>", job(&VARNEXJOBSETTING::readBufferSize), 4096,
         "is no number"},
        {"<jobSetting><writeBufferSize>2047</writeBufferSize></jobSetting>", job(&VARNEXJOBSETTING::writeBufferSize),
         2048, "writeBufferSize"},
        {"<jobSetting><writeBufferSize>65536</writeBufferSize></jobSetting>", job(&VARNEXJOBSETTING::writeBufferSize),
         65536, nullptr},
        {"<preferences><previewSizeLimit>100</previewSizeLimit></preferences>", preview, 1024, "previewSizeLimit"},
        {"<preferences><previewSizeLimit>9999999999</previewSizeLimit></preferences>", preview, 8192u << 10,
         "previewSizeLimit"},
        {"<preferences><previewSizeLimit>0</previewSizeLimit></preferences>", preview, 0, nullptr},
        {"<preferences><previewSizeLimit>big</previewSizeLimit></preferences>", preview, 0, "is no number"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.xml);
        Write(FileWith(row.xml));
        CMySettings settings = Make();
        SettingsMessages messages;
        ASSERT_TRUE(settings.Load(&messages));
        EXPECT_EQ(row.get(settings), row.expected);
        if (row.said == nullptr) {
            EXPECT_TRUE(messages.empty()) << Joined(messages);
        } else {
            EXPECT_EQ(messages.size(), 1u) << Joined(messages);
            EXPECT_TRUE(Mentions(messages, row.said)) << Joined(messages);
        }
    }
}

TEST_F(MySettingsTest, SetJobSettingHoldsThePagesRanges)
{
    CMySettings settings = Make();
    VARNEXJOBSETTING job;
    job.chunkSize = 0;
    job.converterThreads = 64;
    job.sampleSizeMB = 0;
    job.readBufferSize = 1u << 30;
    const SettingsMessages messages = settings.SetJobSetting(job);
    EXPECT_EQ(messages.size(), 4u) << Joined(messages);
    EXPECT_EQ(settings.GetJobSetting().chunkSize, 16u);
    EXPECT_EQ(settings.GetJobSetting().converterThreads, 16u);
    EXPECT_EQ(settings.GetJobSetting().sampleSizeMB, 1u);
    EXPECT_EQ(settings.GetJobSetting().readBufferSize, 65536u);
    EXPECT_TRUE(Mentions(messages, "0 is out of range (16 to 65536); 16 is used")) << Joined(messages);
}

TEST_F(MySettingsTest, ProfileInputCodepageIsKeptOnlyWhenUsable)
{
    struct Row {
        const char* text;
        int expected;
        bool reported;
    };
    const Row rows[] = {
        {"1252", 1252, false},
        {"65001", 65001, false},
        {"0x4E4", 1252, false},  // read as the file has always been read: hexadecimal too
        {"-1", -1, false},
        {"", -1, false},
        {"x", 0, false},            // text that is no number reads as 0, a real entry
        {"437", -1, true},          // not in the catalogue
        {"99999999999", -1, true},  // saturates, never wraps to -1 silently
        {"-99999999999", -1, true},
        {"-5", -1, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string children = std::string("<inputCodepage>") + row.text + "</inputCodepage>";
        Write(FileWith("<currentProfile>" + children + "</currentProfile><sessionProfiles>" +
                       ProfileXml("P", children) + "</sessionProfiles>"));
        CMySettings settings = Make();
        SettingsMessages messages;
        ASSERT_TRUE(settings.Load(&messages));
        EXPECT_EQ(settings.GetCurrentProfile().options.StoredInputCodepage(), row.expected);
        SessionProfileList profiles;
        ASSERT_TRUE(settings.LoadSessionProfiles(profiles, &messages));
        ASSERT_EQ(profiles.size(), 1u);
        EXPECT_EQ(profiles[0].options.StoredInputCodepage(), row.expected);
        EXPECT_EQ(messages.size(), row.reported ? 2u : 0u) << Joined(messages);
        if (row.reported) {
            EXPECT_TRUE(Mentions(messages, "Profile [P]: input code page \"" + std::string(row.text) +
                                               "\" is not available; automatic detection is used."))
                << Joined(messages);
        }
    }
}

TEST_F(MySettingsTest, ProfileElementsReadAsTheFileSaysOrFallBack)
{
    struct Row {
        const char* name;
        std::string children;
        std::function<void(SessionProfile&)> expect;  // turns defaults into the expected record
        const char* said;
    };
    using F = CTextFileConverter;
    const Row rows[] = {
        {"no filter child", "", [](SessionProfile&) {}, nullptr},
        {"modes and times kept unless it says no", "<keepModeAndTime>false</keepModeAndTime>",
         [](SessionProfile& p) { p.options.keepModeAndTime = false; }, nullptr},
        {"booleans by first letter",
         "<copyUnconverted>Yes</copyUnconverted><writeBom>0</writeBom><processHiddenFiles>T</processHiddenFiles>"
         "<recursive>no</recursive>",
         [](SessionProfile& p) {
             p.options.copyUnconverted = true;
             p.options.writeBom = false;
             p.options.processHiddenFiles = true;
         },
         nullptr},
        {"words in any case", "<outputTextFormat>utf16be</outputTextFormat><returnType>lf</returnType>",
         [](SessionProfile& p) {
             p.options.outputTextFormat = F::OUTPUTTEXTFORMAT_UTF16BE;
             p.options.returnType = F::RETURNTYPE_LF;
             p.options.writeBom = true;  // no stored choice: the wide forms keep their mark
         },
         nullptr},
        {"UCS-4 orders", "<outputTextFormat>2143</outputTextFormat><returnType>NOCHANGE</returnType>",
         [](SessionProfile& p) {
             p.options.outputTextFormat = F::OUTPUTTEXTFORMAT_UCS4_2143;
             p.options.writeBom = true;
         },
         nullptr},
        {"a stored mark on UTF-8 is kept", "<writeBom>true</writeBom>",
         [](SessionProfile& p) { p.options.writeBom = true; }, nullptr},
        {"UTF-16 told to write no mark", "<outputTextFormat>UTF16LE</outputTextFormat><writeBom>0</writeBom>",
         [](SessionProfile& p) { p.options.outputTextFormat = F::OUTPUTTEXTFORMAT_UTF16LE; }, nullptr},
        {"unknown format", "<outputTextFormat>UTF7</outputTextFormat>", [](SessionProfile&) {},
         "output text format \"UTF7\" is unknown"},
        {"unknown return type", "<returnType>CRCR</returnType>", [](SessionProfile&) {}, "return type"},
        {"regex filter written Regex",
         "<filter name=\"f\" enabled=\"true\" type=\"Regex\"><expression> a.* </expression>"
         "<comment>c</comment></filter>",
         [](SessionProfile& p) {
             p.filterName = u"f";
             p.options.filter = CVarnexBatchJobFilter(true, u" a.* ");
             p.filterComment = u"c";
         },
         nullptr},
        {"wildcard filter", "<filter type=\"wildcard\"><expression>*.txt;*.md</expression></filter>",
         [](SessionProfile& p) { p.options.filter.SetFilterString(false, u"*.txt;*.md"); }, nullptr},
        {"filter without type", "<filter enabled=\"1\"/>",
         [](SessionProfile& p) { p.options.filter.EnableFilter(true); }, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write(FileWith("<sessionProfiles>" + ProfileXml("P", row.children) + "</sessionProfiles>"));
        SettingsMessages messages;
        SessionProfileList profiles;
        ASSERT_TRUE(Make().LoadSessionProfiles(profiles, &messages));
        ASSERT_EQ(profiles.size(), 1u);
        SessionProfile expected;
        expected.name = u"P";
        row.expect(expected);
        EXPECT_EQ(profiles[0], expected);
        EXPECT_EQ(Mentions(messages, row.said ? row.said : "\x01"), row.said != nullptr) << Joined(messages);
    }
}

TEST_F(MySettingsTest, ChoosesOwnVersionOverSharedSettings)
{
    struct Row {
        const char* name;
        std::string file;
        const char16_t* expected;  // the one profile listed
    };
    auto settings = [](const char* version, const char* profile) {
        return std::string("<settings version=\"") + version + "\"><sessionProfiles>" + ProfileXml(profile, "") +
               "</sessionProfiles></settings>";
    };
    const Row rows[] = {
        {"shared only", "<varnel>" + settings("*", "shared") + "</varnel>", u"shared"},
        {"own after shared", "<varnel>" + settings("*", "shared") + settings("2.0", "own") + "</varnel>", u"own"},
        {"own before shared", "<varnel>" + settings("2.0", "own") + settings("*", "shared") + "</varnel>", u"own"},
        {"first own wins", "<varnel>" + settings("2.0", "first") + settings("2.0", "second") + "</varnel>", u"first"},
        {"other minor ignored", "<varnel>" + settings("2.1", "newer") + settings("*", "shared") + "</varnel>",
         u"shared"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Write(row.file);
        SessionProfileList profiles;
        ASSERT_TRUE(Make().LoadSessionProfiles(profiles));
        ASSERT_EQ(profiles.size(), 1u);
        EXPECT_EQ(profiles[0].name, row.expected);
    }
}

TEST_F(MySettingsTest, SaveLeavesSharedAndOtherVersionsAlone)
{
    const std::string shared = "<settings version=\"*\"><jobSetting><chunkSize>4096</chunkSize></jobSetting>"
                               "<sessionProfiles>" +
                               ProfileXml("Shared", "<inputCodepage>437</inputCodepage>") +
                               "</sessionProfiles></settings>";
    const std::string older =
        "<settings version=\"1.0\"><sessionProfiles>" + ProfileXml("Old", "") + "</sessionProfiles></settings>";
    Write("<varnel>" + shared + older + "</varnel>");

    CMySettings settings = Make();
    ASSERT_TRUE(settings.Load());
    EXPECT_EQ(settings.GetJobSetting().chunkSize, 4096u);
    settings.SetShowLanguageMenu(false);
    ASSERT_TRUE(settings.Save());

    // This version now has its own copy, the shared one is unchanged.
    CMySettings other(Path(), u"3.1");
    ASSERT_TRUE(other.Load());
    EXPECT_TRUE(other.GetShowLanguageMenu());
    EXPECT_EQ(other.GetJobSetting().chunkSize, 4096u);
    SessionProfileList profiles;
    ASSERT_TRUE(CMySettings(Path(), u"1.0").LoadSessionProfiles(profiles));
    ASSERT_TRUE(settings.LoadSessionProfiles(profiles));
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].name, u"Old");
    EXPECT_EQ(profiles[1].name, u"Shared");
    CMySettings reread = Make();
    ASSERT_TRUE(reread.Load());
    EXPECT_FALSE(reread.GetShowLanguageMenu());
    // Saving did not put a replaced code page into the copied profile.
    const std::string file = ReadBytes(NativePath());
    const std::string kept = "<inputCodepage>437</inputCodepage>";
    const size_t first = file.find(kept);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(file.find(kept, first + 1), std::string::npos) << file;
}

// Two windows (or a window and a hand edit) share the file: a save writes
// what its own user changed and what its load had to correct, nothing else.
TEST_F(MySettingsTest, SaveAfterLoadWritesOnlyChangedAndCorrectedValues)
{
    Write(FileWith("<jobSetting><chunkSize>4096</chunkSize><converterThreads> 3 </converterThreads></jobSetting>"
                   "<currentProfile><recursive>yes</recursive><inputCodepage>437</inputCodepage>"
                   "<laterOption>7</laterOption></currentProfile>"
                   "<preferences><previewSizeLimit>100</previewSizeLimit></preferences>"));
    CMySettings first = Make();
    CMySettings second = Make();
    SettingsMessages messages;
    ASSERT_TRUE(first.Load(&messages));
    ASSERT_EQ(messages.size(), 2u) << Joined(messages);  // the code page and the preview limit
    ASSERT_TRUE(second.Load());

    VARNEXJOBSETTING job = second.GetJobSetting();
    job.sampleSizeMB = 9;
    second.SetJobSetting(job);
    ASSERT_TRUE(second.Save());
    first.SetShowLanguageMenu(false);
    ASSERT_TRUE(first.Save());

    const std::string file = ReadBytes(NativePath());
    for (const char* kept : {"<chunkSize>4096</chunkSize>", "<converterThreads> 3 </converterThreads>",
                             "<recursive>yes</recursive>", "<laterOption>7</laterOption>"})
        EXPECT_NE(file.find(kept), std::string::npos) << kept << "\n" << file;
    CMySettings reread = Make();
    messages.clear();
    ASSERT_TRUE(reread.Load(&messages));
    EXPECT_TRUE(messages.empty()) << Joined(messages);   // the corrections were written
    EXPECT_EQ(reread.GetJobSetting().sampleSizeMB, 9u);  // the other save survived
    EXPECT_FALSE(reread.GetShowLanguageMenu());
    EXPECT_EQ(reread.GetJobSetting().converterThreads, 3u);
    EXPECT_EQ(reread.GetCurrentProfile().options.StoredInputCodepage(), -1);
    EXPECT_EQ(reread.GetPreviewSizeLimit(), 1024u);

    // Putting the defaults back is a change too.
    reread.ResetToDefaults();
    ASSERT_TRUE(reread.Save());
    ASSERT_TRUE(second.Load());
    ExpectSameJob(second.GetJobSetting(), GetDefaultJobSetting());
    EXPECT_TRUE(second.GetShowLanguageMenu());
}

class FailingWrites : public platform::FileFaultInjector {
public:
    int BeforeWrite(platform::FileHandle, size_t) override { return ENOSPC; }
};

TEST_F(MySettingsTest, FailedSaveLeavesThePreviousFile)
{
    CMySettings settings = Make();
    ASSERT_TRUE(settings.Save());
    const std::string before = ReadBytes(NativePath());

    settings.SetShowLanguageMenu(false);
    FailingWrites failing;
    platform::SetFileFaultInjector(&failing);
    SettingsMessages messages;
    const bool saved = settings.Save(&messages);
    const bool profilesSaved = settings.SaveSessionProfiles({Named(u"x")}, &messages);
    platform::SetFileFaultInjector(nullptr);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(profilesSaved);
    EXPECT_TRUE(Mentions(messages, "was not saved")) << Joined(messages);
    EXPECT_EQ(ReadBytes(NativePath()), before);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.File("conf")))
        ++entries;
    EXPECT_EQ(entries, 1u) << "a temporary file was left behind";
}

TEST_F(MySettingsTest, SaveIntoAFolderThatCannotExistFails)
{
    WriteBytes(dir.File("plain"), "a file, not a folder");
    CMySettings settings(text::FromUtf8(dir.File("plain/VarnelPro.Current.xml")), kVersion);
    SettingsMessages messages;
    EXPECT_FALSE(settings.Save(&messages));
    EXPECT_FALSE(settings.SaveCurrentAsProfile(u"P", false, nullptr, &messages));
    EXPECT_EQ(messages.size(), 2u) << Joined(messages);
    EXPECT_EQ(ReadBytes(dir.File("plain")), "a file, not a folder");
}

TEST_F(MySettingsTest, UnreadableFileIsSetAsideNotLost)
{
    const std::string broken = "<varnel><settings version=\"2.0\"><sessionProfiles><profile name=\"Mine\">";
    Write(broken);
    CMySettings settings = Make();
    SettingsMessages messages;
    ASSERT_TRUE(settings.Save(&messages)) << Joined(messages);
    EXPECT_TRUE(Mentions(messages, ".unreadable")) << Joined(messages);
    EXPECT_EQ(ReadBytes(NativePath() + ".unreadable"), broken);
    EXPECT_TRUE(Make().Load());

    // A path that cannot be read at all is never replaced.
    std::filesystem::remove(NativePath());
    std::filesystem::create_directories(NativePath() + "/inside");
    EXPECT_FALSE(settings.Save(&messages));
    EXPECT_TRUE(std::filesystem::is_directory(NativePath() + "/inside"));
}

TEST_F(MySettingsTest, SavedFileIsUtf8WhateverItWasRead)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><varnel><settings version=\"2.0\">"
                            "<sessionProfiles><profile name=\"\xc3\xbc\"/></sessionProfiles></settings></varnel>";
    std::string utf16 = "\xff\xfe";
    for (char16_t c : text::FromUtf8(xml)) {
        utf16 += static_cast<char>(c & 0xff);
        utf16 += static_cast<char>(c >> 8);
    }
    Write(utf16);
    CMySettings settings = Make();
    ASSERT_TRUE(settings.Load());
    ASSERT_TRUE(settings.Save());
    const std::string saved = ReadBytes(NativePath());
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u) << saved;
    SessionProfileList profiles;
    ASSERT_TRUE(settings.LoadSessionProfiles(profiles));
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles[0].name, u"\u00fc");
}

TEST_F(MySettingsTest, SaveCurrentAsProfileFollowsTheNameRules)
{
    CMySettings settings = Make();
    SessionProfile current = RichProfile(u"ignored");
    settings.SetCurrentProfile(current);
    Write(FileWith("<sessionProfiles>" + ProfileXml("Work", "<inputCodepage>437</inputCodepage>") +
                   ProfileXml("Home", "<recursive>true</recursive>") + "</sessionProfiles>"));
    const std::string original = ReadBytes(NativePath());

    ProfileNameStatus status = ProfileNameStatus::Ok;
    EXPECT_FALSE(settings.SaveCurrentAsProfile(u"  ", false, &status));
    EXPECT_EQ(status, ProfileNameStatus::Empty);
    EXPECT_FALSE(settings.SaveCurrentAsProfile(u"DEFAULT", false, &status));
    EXPECT_EQ(status, ProfileNameStatus::Reserved);
    EXPECT_FALSE(settings.SaveCurrentAsProfile(u" home ", false, &status));
    EXPECT_EQ(status, ProfileNameStatus::Exists);
    EXPECT_EQ(ReadBytes(NativePath()), original);

    ASSERT_TRUE(settings.SaveCurrentAsProfile(u" home ", true, &status));
    EXPECT_EQ(status, ProfileNameStatus::Ok);
    ASSERT_TRUE(settings.SaveCurrentAsProfile(u"New", false, &status));
    SessionProfileList profiles;
    SettingsMessages messages;
    ASSERT_TRUE(settings.LoadSessionProfiles(profiles, &messages));
    ASSERT_EQ(profiles.size(), 3u);
    EXPECT_EQ(profiles[0].name, u"Work");
    current.name = u"home";  // replaced in place, under the name as typed
    EXPECT_EQ(profiles[1], current);
    current.name = u"New";
    EXPECT_EQ(profiles[2], current);
    // The untouched profile keeps its text in the file.
    EXPECT_NE(ReadBytes(NativePath()).find("<inputCodepage>437</inputCodepage>"), std::string::npos);
}

TEST(MySettingsLocation, FollowsXdgDataHome)
{
    TempDir dir;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    const std::u16string path = CMySettings::DefaultSettingsFilePath();
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(path, text::FromUtf8(dir.Path() + "/Quillmark/VarnelPro/VarnelPro.Current.xml"));
}

TEST(MySettingsLocation, VersionElementIsMajorDotMinor)
{
    const std::pair<const char16_t*, const char16_t*> rows[] = {
        {u"2.0.0", u"2.0"}, {u"10.12.3.4", u"10.12"}, {u"7", u"7.0"}, {u"3.x", u"3.0"}, {u"", u"0"}, {u"v2", u"0"},
    };
    for (const auto& [version, expected] : rows) {
        SCOPED_TRACE(text::ToUtf8(version));
        EXPECT_EQ(CMySettings::SettingsVersionOf(version), expected);
    }
}

}  // namespace
