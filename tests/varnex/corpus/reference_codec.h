#pragma once

#include <span>
#include <string>
#include <string_view>

// Conversions done outside the engine, as the corpora's source of bytes and
// the conversion test's oracle: glibc's iconv and ICU's ucnv, both strict (an
// invalid or unmappable sequence fails the whole call; nothing is replaced),
// so a corpus file is never built from a lossy encoding.
namespace corpus {

enum class Tool { Glibc, Icu };

const char* ToolName(Tool tool);

// Whole-buffer conversion between two charsets named as the tool names them.
// False when a tool cannot open either charset or meets any sequence it
// cannot convert exactly; out is then unspecified.
bool ConvertStrict(Tool tool, const char* to, const char* from, std::string_view in, std::string& out);

// How the two tools name one code page of the catalogue (null: the tool has
// no converter for it) and which of them the corpora use for it.
struct CharsetNames {
    int codepage;
    const char* glibc;
    const char* icu;
    Tool reference;
};

// Every code page of the catalogue with a real encoding (not -1 or 0). The
// two UCS-4 byte orders are listed with null names: they are byte
// permutations of UTF-32BE, done by PermuteUtf32Be.
std::span<const CharsetNames> CatalogueCharsets();
const CharsetNames* FindCharset(int codepage);

// UTF-32BE bytes rearranged into UCS-4 2143 (octets 2 1 4 3) or 3412
// (octets 3 4 1 2); the permutations are their own inverses.
std::string PermuteUtf32Be(std::string_view utf32be, int ucs4Codepage);

// UTF-8 text encoded in a catalogue code page with its reference tool,
// without BOM. False when the code page cannot carry the text exactly.
bool EncodeForCodepage(int codepage, std::string_view utf8, std::string& out);

// The reverse, with the reference tool: bytes in a code page (without BOM)
// to UTF-8.
bool DecodeToUtf8(int codepage, std::string_view bytes, std::string& utf8);
// The same with a chosen tool; false when it has no converter for the code page.
bool DecodeToUtf8With(Tool tool, int codepage, std::string_view bytes, std::string& utf8);

// The byte order mark of a Unicode code page (empty for any other).
std::string BomOf(int codepage);

// Text with every line break (CR LF, lone CR, lone LF) replaced by `ending`.
std::string WithLineEnds(std::string_view utf8, std::string_view ending);

}  // namespace corpus
