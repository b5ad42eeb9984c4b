#include "tools/corpus/mixed_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>

#include "base/text.h"
#include "codecs/codepage.h"
#include "tools/corpus/corpus_texts.h"

namespace corpus {

namespace {

enum Form { CODEPAGE, UTF8, UTF8_BOM, UTF16LE_BOM, UTF16BE_BOM, UTF16LE_NOBOM };

struct Kind {
    const char* paragraph;
    int codepage;
    Form form;
    const char* tag;              // part of the file name
    const char16_t* extra = u"";  // a line added after the paragraph
};

// Characters outside GBK (Extension B, an emoji) that GB18030 writes as four bytes.
constexpr const char16_t* kGbFourByte = u"\u751F\u50FB\u5B57 \U0002000B \U00020B9F \u548C \U0001F6B2\u3002\n";
// A single letter outside ASCII in otherwise plain English.
constexpr const char16_t* kOneLetter = u"The caf\u00E9 opens at nine.\n";

// Pairs the detector tells apart from their text alone (see the detection
// corpus), so that every converted file must read back as its source.
const Kind kKinds[] = {
    {"en", 65001, UTF8, "en-utf8"},
    {"fr", 1252, CODEPAGE, "fr-1252"},
    {"de", 65001, UTF8_BOM, "de-utf8bom"},
    {"es", 1252, CODEPAGE, "es-1252"},
    {"ru", 1251, CODEPAGE, "ru-1251"},
    {"ru", 20866, CODEPAGE, "ru-koi8r"},
    {"ru", 1200, UTF16LE_NOBOM, "ru-utf16"},
    {"el", 1253, CODEPAGE, "el-1253"},
    {"he", 1255, CODEPAGE, "he-1255"},
    {"ja", 932, CODEPAGE, "ja-sjis"},
    {"ja", 1201, UTF16BE_BOM, "ja-utf16be"},
    {"zh-hans", 936, CODEPAGE, "zh-gbk"},
    {"zh-hant", 950, CODEPAGE, "zh-big5"},
    {"ko", 949, CODEPAGE, "ko-uhc"},
    {"mixed", 1200, UTF16LE_BOM, "mixed-utf16le"},
    {"mixed", 65001, UTF8, "mixed-utf8"},
    {"ascii", 0, CODEPAGE, "ascii"},
    {"th", 874, CODEPAGE, "th-874"},
    {"zh-hans", 54936, CODEPAGE, "zh-gb18030", kGbFourByte},
    {"uk", 21866, CODEPAGE, "uk-koi8u"},
    {"tr-typo", 1254, CODEPAGE, "tr-1254"},
    {"ascii", 65001, UTF8, "en-utf8-one", kOneLetter},
};

void AppendUtf16(std::string& bytes, const std::u16string& text, bool bigEndian)
{
    for (char16_t u : text) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
}

std::string Encode(const Kind& kind, const std::u16string& text)
{
    std::string bytes;
    switch (kind.form) {
    case CODEPAGE:
        if (!codecs::EncodeCodePage(static_cast<unsigned>(kind.codepage), text, bytes))
            throw std::runtime_error(std::string("cannot encode ") + kind.tag);
        break;
    case UTF8_BOM:
        bytes = "\xEF\xBB\xBF";
        [[fallthrough]];
    case UTF8:
        bytes += text::ToUtf8(text);
        break;
    case UTF16LE_BOM:
        bytes = "\xFF\xFE";
        [[fallthrough]];
    case UTF16LE_NOBOM:
        AppendUtf16(bytes, text, false);
        break;
    case UTF16BE_BOM:
        bytes = "\xFE\xFF";
        AppendUtf16(bytes, text, true);
        break;
    }
    return bytes;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0)
        throw std::runtime_error("cannot close " + path);
}

void MakeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
}

// Folder of the n-th group of files: up to three levels, some hidden, some
// with blanks and commas in their names.
std::string FolderOf(unsigned group)
{
    if (group == 0)
        return "";
    std::string path = "d" + std::to_string(group % 10) + "/";
    if (group >= 10)
        path += (group % 7 == 3 ? "old notes, " : "s") + std::to_string((group / 10) % 8) + "/";
    if (group >= 80)
        path += (group % 29 == 5 ? ".cache" : "t") + std::to_string(group / 80) + "/";
    return path;
}

}  // namespace

std::vector<TreeFile> MakeMixedTree(const std::string& root, const TreeOptions& options)
{
    std::mt19937 random(options.seed);
    std::vector<TreeFile> files;
    files.reserve(options.files);
    const unsigned perFolder = options.filesPerFolder ? options.filesPerFolder : 1;
    std::string lastFolder = "?";
    for (unsigned i = 0; i < options.files; ++i) {
        const std::string folder = FolderOf(i / perFolder);
        if (folder != lastFolder) {
            std::string built = root;
            for (size_t at = 0; at < folder.size(); at = folder.find('/', at) + 1) {
                built += "/" + folder.substr(at, folder.find('/', at) - at);
                MakeFolder(built);
            }
            lastFolder = folder;
        }
        TreeFile file;
        file.hidden = folder.find("/.") != std::string::npos || folder.rfind(".", 0) == 0;
        const std::string number = std::to_string(i);
        std::string bytes;
        const unsigned roll = random() % 100;
        if (roll < 4) {
            file.kind = TreeFile::BINARY;
            file.relative = folder + "image " + number + (roll < 2 ? ".png" : ".bin");
            bytes = roll < 2 ? std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                             : std::string("\x7F"
                                           "ELF\2\1\1",
                                           7);
            for (unsigned k = 0, n = 64 + random() % 512; k < n; ++k)
                bytes += static_cast<char>(k % 5 == 0 ? 0 : random() % 256);
        } else if (roll < 5) {
            file.kind = TreeFile::EMPTY;
            file.relative = folder + "empty-" + number + ".txt";
        } else {
            const Kind& kind = kKinds[random() % std::size(kKinds)];
            file.codepage = kind.codepage;
            file.text = text::FromUtf8(ParagraphById(kind.paragraph).utf8) + kind.extra;
            file.text += u"No. " + text::FromUtf8(number) + u"\n";
            if (random() % 3 == 0) {  // CRLF line breaks
                std::u16string crlf;
                for (char16_t c : file.text)
                    crlf += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
                file.text = crlf;
            }
            bytes = Encode(kind, file.text);
            std::string name = std::string(kind.tag) + "-" + number;
            const unsigned style = random() % 50;
            if (style == 0)
                name = "." + name;  // hidden file
            else if (style == 1)
                name = "bad-\xFF\xFE-" + name;  // not UTF-8
            else if (style == 2)
                name = "report, final " + name;
            else if (style == 3)
                name += " (copy)";
            file.hidden = file.hidden || style == 0;
            // BOM-less UTF-16 is only taken for known text extensions.
            const char* extension = kind.form == UTF16LE_NOBOM || style % 3 == 0 ? ".txt"
                                    : style % 3 == 1                             ? ".md"
                                                                                 : ".csv";
            file.relative = folder + name + extension;
        }
        WriteFile(root + "/" + file.relative, bytes);
        files.push_back(std::move(file));
    }
    return files;
}

}  // namespace corpus
