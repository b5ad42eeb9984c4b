// A conversion run over texts whose statistical finding needs a wider code
// page, and one whose text would keep C1 controls: what the records say and
// what is written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <string>

#include "base/text.h"
#include "platform/native_path.h"
#include "support/ending_session.h"
#include "support/temp_dir.h"
#include "tools/corpus/corpus_texts.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/varnex_test_util.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using testing_support::EndingSession;

std::u16string Paragraph(const char* id)
{
    return text::FromUtf8(corpus::ParagraphById(id).utf8);
}

TEST(SupersetSession, ConvertsWithTheWiderCodePageAndWarnsOfC1Controls)
{
    struct Expected {
        int codepage;
        bool c1;  // warned of C1 controls (the others may still be unsure)
        std::string utf8;
    };
    TempDir dir;
    mkdir(dir.File("in").c_str(), 0777);
    std::map<std::string, Expected> files = {
        {"uk.txt", {21866, false, std::string(corpus::ParagraphById("uk").utf8)}},
        {"ko.txt", {949, false, std::string(corpus::ParagraphById("ko-uhc").utf8)}},
        {"c1.txt", {28595, true, std::string(corpus::ParagraphById("ru").utf8) + "\u0085\n"}},
    };
    WriteBytes(dir.File("in/uk.txt"), varnex_test::IcuEncode("KOI8-U", Paragraph("uk")));
    WriteBytes(dir.File("in/ko.txt"), varnex_test::IcuEncode("windows-949", Paragraph("ko-uhc")));
    WriteBytes(dir.File("in/c1.txt"), varnex_test::IcuEncode("ISO-8859-5", Paragraph("ru")) + "\x85\n");

    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.options.outputTextFormat = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8;
    item.options.writeBom = false;
    item.inputPath = dir.File16("in");
    item.outputPath = dir.File16("out");
    EndingSession session;
    session.PrepareJob(item);
    VARNEXJOBSETTING setting;
    setting.detectOnly = false;
    ASSERT_TRUE(session.Start(setting) && session.WaitForEnd());

    CSingleLock lock(session.GetFileList().GetCriticalSection());
    ASSERT_EQ(session.GetFileList().size(), files.size());
    for (CVarnexFileInfo* record : session.GetFileList()) {
        const std::string input = platform::ToNativePath(record->GetInputFile());
        const std::string message = text::ToUtf8(record->GetMessage());
        SCOPED_TRACE(input + ": " + message);
        const Expected& want = files.at(input.substr(input.rfind('/') + 1));
        ASSERT_NE(record->GetCodepageInfo(), nullptr);
        EXPECT_EQ(record->GetCodepageInfo()->GetCodepage(), want.codepage);
        EXPECT_EQ(message.find("control characters") != std::string::npos, want.c1);
        if (want.c1) {
            EXPECT_EQ(record->GetResultState(), VARNEXRESULTSTATE_WARNING);
        }
        EXPECT_EQ(ReadBytes(platform::ToNativePath(record->GetOutputFile())), want.utf8);
    }
}

}  // namespace
