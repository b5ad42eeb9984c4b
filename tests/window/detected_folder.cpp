#include "tests/window/detected_folder.h"

#include <sys/stat.h>

#include "base/text.h"
#include "textrion/encoding/text_file_processor.h"
#include "tools/corpus/corpus_texts.h"
#include "varnex/codepage/advanced_detector.h"

namespace window_test {

std::string MakeMixedFolder(const testing_support::TempDir& dir)
{
    const std::string folder = dir.File("in");
    mkdir(folder.c_str(), 0777);
    std::string russian;
    const std::u16string prose = text::FromUtf8(corpus::ParagraphById("ru").utf8);
    CTextFileProcessor::ConvertWcharToString(prose.data(), static_cast<int>(prose.size()), russian, 1251);
    const auto write = [&](const char* name, const std::string& bytes) {
        testing_support::WriteBytes(folder + "/" + name, bytes);
    };
    write("bom.txt", "\xEF\xBB\xBF"
                     "hello world\n");
    write("plain.txt", "hello plain text\n");
    write("u16.txt", std::string("\xFF\xFE"
                                 "h\0i\0\n\0",
                                 8));
    write("twice.txt", "Le caf\xC3\x83\xC2\xA9 est d\xC3\x83\xC2\xA9j\xC3\x83\xC2\xA0 pr\xC3\x83\xC2\xAAt.\n");
    write("russian.txt", russian);
    write("image.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\0\0\0IHDR\0\0\0\0", 22));
    return folder;
}

bool DetectFolder(EndingFilterableSession& session, const std::string& folder)
{
    CAdvancedDetector::GetKnownExtList().SetFolder(text::FromUtf8(VARNEL_SOURCE_DIR "/data"));
    tagVARNEXBATCHJOBITEM item;
    item.folder = true;
    item.inputPath = text::FromUtf8(folder);
    session.PrepareJob(item);
    VARNEXJOBSETTING setting;
    CVarnex::GetDefaultJobSetting(setting);
    setting.detectOnly = true;
    return session.Start(setting) && session.WaitForEnd();
}

}  // namespace window_test
