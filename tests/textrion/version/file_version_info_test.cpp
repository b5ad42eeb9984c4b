#include <gtest/gtest.h>

#include <array>
#include <string>

#include "base/text.h"
#include "support/temp_dir.h"
#include "textrion/version/file_version_info.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteBytes;

std::array<int, 4> FileVersion(const CFileVersionInfo& info)
{
    return {info.GetFileVersionMajor(), info.GetFileVersionMinor(), info.GetFileVersionRevision(),
            info.GetFileVersionBuild()};
}

std::array<int, 4> ProductVersion(const CFileVersionInfo& info)
{
    return {info.GetProductVersionMajor(), info.GetProductVersionMinor(), info.GetProductVersionRevision(),
            info.GetProductVersionBuild()};
}

std::u16string Query(const CFileVersionInfo& info, const char16_t* name)
{
    std::u16string value;
    return info.QueryStringValue(name, value) ? value : u"<none>";
}

const char16_t kBundle[] =
    u"# a language bundle\n"
    u"FileVersion = 2.1.3.4\n"
    u"ProductName=Varnel Professional\n"
    u"productname=ignored, the first value wins\n"
    u"[040704B0]\n"
    u"FileDescription=Textkonverter\n"
    u"[nonsense]\n"
    u"FileDescription=dropped\n"
    u"[040C04E4]\r\n"
    u"FileDescription=Convertisseur\r\n";

TEST(FileVersionInfo, ReadsVersionNumbersInTheirForms)
{
    const struct {
        const char16_t* text;
        bool valid;
        std::array<int, 4> file;
        std::array<int, 4> product;
    } rows[] = {
        {u"FileVersion=2.0.0", true, {2, 0, 0, 0}, {2, 0, 0, 0}},
        {u"FileVersion=2, 1, 3, 4", true, {2, 1, 3, 4}, {2, 1, 3, 4}},
        {u"FileVersion=2.0.0-rc1", true, {2, 0, 0, 0}, {2, 0, 0, 0}},
        {u"FileVersion=65535.1.2.3.9", true, {65535, 1, 2, 3}, {65535, 1, 2, 3}},
        {u"FileVersion=7", true, {7, 0, 0, 0}, {7, 0, 0, 0}},
        {u"fileversion=1.2\nProductVersion=3.4.5", true, {1, 2, 0, 0}, {3, 4, 5, 0}},
        {u"FileVersion=65536.0", false, {}, {}},
        {u"FileVersion=v2", false, {}, {}},
        {u"FileVersion=", false, {}, {}},
        {u"ProductVersion=1.0", false, {}, {}},
        {u"", false, {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.text));
        CFileVersionInfo info;
        EXPECT_EQ(info.OpenFromText(row.text), row.valid);
        EXPECT_EQ(info.IsValid(), row.valid);
        EXPECT_EQ(FileVersion(info), row.file);
        EXPECT_EQ(ProductVersion(info), row.product);
        EXPECT_EQ(info.GetVSFFI().dwSignature, row.valid ? 0xFEEF04BDu : 0u);
        EXPECT_EQ(info.GetTransCount(), row.valid ? 1 : 0);
    }
}

TEST(FileVersionInfo, KeepsStringsPerTranslation)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.OpenFromText(kBundle));
    ASSERT_EQ(info.GetTransCount(), 3);
    EXPECT_EQ(info.GetTransByIndex(0), 0x04B00409u);
    EXPECT_EQ(info.GetLIDByIndex(1), 0x0407);
    EXPECT_EQ(info.GetCPByIndex(2), 1252);
    EXPECT_EQ(info.GetTransByIndex(3), 0u);
    EXPECT_EQ(info.GetTransByIndex(-1), 0u);

    EXPECT_EQ(info.GetCurTransIndex(), 0);
    EXPECT_EQ(Query(info, u"ProductName"), u"Varnel Professional");
    EXPECT_EQ(Query(info, u"FILEVERSION"), u"2.1.3.4");
    EXPECT_EQ(Query(info, u"FileDescription"), u"<none>");

    EXPECT_TRUE(info.SetTrans(0x040C, 1252));
    EXPECT_EQ(info.GetCurLID(), 0x040C);
    EXPECT_EQ(Query(info, u"FileDescription"), u"Convertisseur");
    EXPECT_EQ(Query(info, u"ProductName"), u"<none>");

    // Unknown translations leave the current one.
    EXPECT_EQ(info.FindTrans(0x0409, 1252), -1);
    EXPECT_FALSE(info.SetTrans(0x0409, 1252));
    EXPECT_FALSE(info.SetTransIndex(3));
    EXPECT_EQ(info.GetCurTransIndex(), 2);
    EXPECT_TRUE(info.SetTransIndex(1));
    EXPECT_EQ(Query(info, u"FileDescription"), u"Textkonverter");

    // A copy outlives the original's Close.
    const CFileVersionInfo copy(info);
    info.Close();
    EXPECT_EQ(info.GetTransCount(), 0);
    EXPECT_EQ(Query(info, u"FileDescription"), u"<none>");
    EXPECT_EQ(Query(copy, u"FileDescription"), u"Textkonverter");
    EXPECT_EQ(FileVersion(copy), (std::array<int, 4>{2, 1, 3, 4}));
}

TEST(FileVersionInfo, QueryCopiesIntoCallerBuffers)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.OpenFromText(kBundle));
    char16_t out[8];
    std::fill(std::begin(out), std::end(out), u'#');

    EXPECT_TRUE(info.QueryStringValue(u"ProductName", out, 5));
    EXPECT_EQ(std::u16string(out), u"Varn");
    EXPECT_EQ(out[5], u'#');  // nothing written past size
    EXPECT_TRUE(info.QueryStringValue(9, out, 8));  // ProductName
    EXPECT_EQ(std::u16string(out), u"Varnel ");
    EXPECT_TRUE(info.QueryStringValue(u"ProductName", out, 1));
    EXPECT_EQ(out[0], u'\0');

    EXPECT_TRUE(info.QueryStringValue(u"ProductName", nullptr, 0));  // existence only
    EXPECT_FALSE(info.QueryStringValue(u"Comments", nullptr, 0));
    EXPECT_FALSE(info.QueryStringValue(u"ProductName", out, 0));
    EXPECT_FALSE(info.QueryStringValue(u"ProductName", out, -1));
    EXPECT_FALSE(info.QueryStringValue(static_cast<const char16_t*>(nullptr), out, 8));
    EXPECT_FALSE(info.QueryStringValue(13, out, 8));
    EXPECT_FALSE(info.QueryStringValue(-1, out, 8));
    EXPECT_EQ(CFileVersionInfo::GetVerStringName(13), nullptr);
    EXPECT_EQ(std::u16string(CFileVersionInfo::GetVerStringName(12)), u"OLESelfRegister");
}

TEST(FileVersionInfo, OpensDescriptionFiles)
{
    TempDir dir;
    WriteBytes(dir.File("bom.version"), "\xEF\xBB\xBF" "FileVersion=1.2.3\r\nCompanyName=Quillmark\r\n");
    WriteBytes(dir.File("huge.version"), "FileVersion=1.0\n" + std::string(70000, '#'));
    WriteBytes(dir.File("binary"), std::string("\x7F" "ELF\x02\x01\x01\0\0", 9));

    CFileVersionInfo info;
    ASSERT_TRUE(info.Open(dir.File16("bom.version").c_str()));
    EXPECT_EQ(FileVersion(info), (std::array<int, 4>{1, 2, 3, 0}));
    EXPECT_EQ(Query(info, u"CompanyName"), u"Quillmark");

    // Each failed open leaves the object cleared, not holding the last one.
    for (const char* name : {"huge.version", "binary", "missing"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(info.Open(dir.File16("bom.version").c_str()));
        EXPECT_FALSE(info.Open(dir.File16(name).c_str()));
        EXPECT_FALSE(info.IsValid());
        EXPECT_EQ(info.GetFileVersionMajor(), 0);
        EXPECT_EQ(info.GetTransCount(), 0);
    }
    EXPECT_FALSE(info.Open(nullptr));
    EXPECT_FALSE(info.Open(dir.File16("").c_str()));  // a folder
}

TEST(FileVersionInfo, NamesLanguagesAndCodePages)
{
    const struct {
        uint16_t codePage;
        const char16_t* name;
        bool known;
    } codePages[] = {
        {0, u"7-bit ASCII", true},   {932, u"Japan (Shift JIS X-0208)", true}, {1200, u"Unicode", true},
        {1252, u"Multilingual", true}, {1256, u"Arabic", true},                {65001, u"Unknown", false},
        {1257, u"Unknown", false},
    };
    for (const auto& row : codePages) {
        SCOPED_TRACE(row.codePage);
        const char16_t* name = nullptr;
        EXPECT_EQ(CFileVersionInfo::GetCPName(row.codePage, &name), row.known);
        EXPECT_EQ(std::u16string(name), row.name);
    }
    EXPECT_FALSE(CFileVersionInfo::GetCPName(1252, nullptr));

    char16_t out[12];
    EXPECT_EQ(CFileVersionInfo::GetLIDName(0x0409, out, 12), 11);
    EXPECT_EQ(std::u16string(out), u"English (Un");
    EXPECT_EQ(CFileVersionInfo::GetLIDName(0x0407, out, 12), 11);
    EXPECT_EQ(std::u16string(out), u"German (Ger");
    EXPECT_EQ(CFileVersionInfo::GetLIDName(0x7777, out, 12), 0);
    EXPECT_EQ(std::u16string(out), u"");
    EXPECT_EQ(CFileVersionInfo::GetLIDName(0x0409, nullptr, 12), 0);
    EXPECT_EQ(CFileVersionInfo::GetLIDName(0x0409, out, 0), 0);
}

}  // namespace
