// The converter checked byte for byte against conversions done outside the
// engine. Input: the corpus paragraphs in every catalogue code page that can
// carry them (with mixed CR LF, LF and CR line breaks, repeated past the
// buffer sizes), plus the Unicode forms with and without BOM. For each output
// form x BOM, every input is converted with CTextFileConverter (the four
// line-ending styles and three buffer set-ups taken in turn over the inputs,
// so each pairing occurs) and compared with the reference: the input decoded by
// glibc's iconv or ICU (whichever follows the Windows table, below), line
// breaks rewritten here, encoded by iconv; UCS-4 2143 and 3412 are byte
// permutations of UTF-32BE; the BOM is prepended here.
//
// Where glibc and ICU disagree (checked by OraclesDisagreeOnlyWhereDocumented):
//
// | code page | glibc / ICU converter          | what differs                                   | reference |
// |-----------|--------------------------------|------------------------------------------------|-----------|
// | 855, 866, | IBM855, IBM866, IBM852, CP932 /| ICU keeps IBM's PC control order (1A, 1C, 7F   | glibc     |
// | 852, 932  | ibm-855, ibm-866, ibm-852,     | rotated); ICU has no 852 byte AA (NOT SIGN)    |           |
// |           | windows-31j                    |                                                |           |
// | 10007     | CP10007 / x-mac-cyrillic       | A2 and FF: glibc (as Windows) ¢ and ¤, ICU     | glibc     |
// |           |                                | Apple's later Ґ and €                          |           |
// | 20932     | EUC-JP / EUC-JP (euc-jp-2007)  | A1C1 A1C2 A1DD A1F1 A1F2 A2CC: glibc the JIS   | glibc     |
// |           |                                | characters (U+301C …), ICU the CP932 ones      |           |
// |           |                                | (U+FF5E …); glibc rejects the NEC/IBM rows     |           |
// | 50225     | ISO-2022-KR / ISO-2022-KR      | ICU's version 0 reads 5C as WON SIGN           | glibc     |
// | 50227     | ISO-2022-CN / ISO-2022-CN      | glibc's decoder ignores a new SO designation   | ICU       |
// |           |                                | (GB2312 to CNS 11643) while shifted out and    |           |
// |           |                                | misreads its own output                        |           |
// | 51950     | EUC-TW / EUC-TW (euc-tw-2014)  | 13 punctuation cells (A1A6 U+30FB/U+2027 …);   | ICU       |
// |           |                                | glibc lacks the Greek and Cyrillic rows        |           |
// | 54936     | GB18030 / gb18030              | 24 cells: glibc the GB18030-2005 characters    | ICU       |
// |           |                                | (A6D9 U+FE10 …), ICU and Windows the 2000 PUA  |           |
// | 52936     | (none) / HZ                    | glibc has no HZ                                | ICU       |
// | 1361      | JOHAB / (none)                 | ICU has no Johab; glibc reads 5C as WON SIGN,  | glibc     |
// |           |                                | Windows and the engine as backslash (no corpus |           |
// |           |                                | text holds one)                                |           |
// | 1375      | BIG5-HKSCS / ibm-1375          | glibc has the 2008 edition, ICU (the engine's  | ICU       |
// |           |                                | table) the 2004 one                            |           |
// Every other code page: the tools agree on every byte both accept (glibc
// refuses some that ICU maps: undefined C1 bytes, user-defined areas, 936's
// euro byte), and glibc is the reference. A catalogue code page the engine
// cannot convert would be listed as skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "reference_codec.h"
#include "support/temp_dir.h"
#include "tools/corpus/corpus_texts.h"
#include "varnex/codepage/codepage_info.h"
#include "varnex/convert/text_file_converter.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// Unicode sources decode the same whatever the language: three texts do.
constexpr std::string_view kUnicodeSourceTexts[] = {"mixed", "ru", "ja"};

bool IsUnicode(int codepage)
{
    return CTextFileConverter::IsUTFCodepage(static_cast<unsigned>(codepage));
}

// Line breaks in turn CR LF, LF, CR, so that every style meets all three.
std::string MixedLineEnds(std::string_view utf8)
{
    static const char* const kEnds[] = {"\r\n", "\n", "\r"};
    std::string out;
    unsigned n = 0;
    for (char c : utf8) {
        if (c == '\n')
            out += kEnds[n++ % 3];
        else
            out += c;
    }
    return out;
}

struct Input {
    std::string file;
    int codepage;
    bool bom;
    std::string bytes;
    std::string text;  // what the bytes say, UTF-8, line breaks as in the file
};

struct Corpus {
    TempDir dir;
    std::vector<Input> inputs;
    std::vector<std::string> problems;  // set-up faults, reported by a test
    std::vector<int> skipped;           // catalogue code pages the engine cannot convert
};

std::unique_ptr<Corpus> BuildCorpus()
{
    auto corpus = std::make_unique<Corpus>();
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache()) {
        const int cp = info->GetCodepage();
        if (cp <= 0)
            continue;  // "Binary" and "ASCII/UTF-8" are no encodings
        if (!CTextFileConverter::IsLegalCodepage(static_cast<unsigned>(cp))) {
            corpus->skipped.push_back(cp);
            continue;
        }
        if (corpus::FindCharset(cp) == nullptr) {
            corpus->problems.push_back("catalogue code page " + std::to_string(cp) + " has no reference");
            continue;
        }
        for (const auto& p : corpus::Paragraphs()) {
            if (IsUnicode(cp) && std::find(std::begin(kUnicodeSourceTexts), std::end(kUnicodeSourceTexts), p.id) ==
                                     std::end(kUnicodeSourceTexts))
                continue;
            // glibc writes windows-1258 with combining marks (tones, the tilde) and joins
            // them again when reading; the engine keeps what the bytes say.
            if (cp == 1258 && (p.id == "vi" || p.id == "pt"))
                continue;
            // Four copies: past the smallest read buffer and many chunks long.
            std::string text;
            for (int i = 0; i < 4; ++i)
                text += MixedLineEnds(p.utf8);
            std::string bytes;
            if (!corpus::EncodeForCodepage(cp, text, bytes))
                continue;  // the code page cannot carry this text
            const std::string name = std::to_string(cp) + "-" + std::string(p.id);
            corpus->inputs.push_back({name + ".txt", cp, false, bytes, text});
            if (IsUnicode(cp))
                corpus->inputs.push_back({name + "-bom.txt", cp, true, corpus::BomOf(cp) + bytes, text});
        }
    }
    for (const auto& in : corpus->inputs) {
        WriteBytes(corpus->dir.File(in.file), in.bytes);
        // The reference must read back what it wrote, or it is no reference.
        std::string back;
        const std::string body = in.bytes.substr(in.bom ? corpus::BomOf(in.codepage).size() : 0);
        if (!corpus::DecodeToUtf8(in.codepage, body, back) || back != in.text)
            corpus->problems.push_back(in.file + ": the reference does not read back its own encoding");
    }
    return corpus;
}

// Caller buffers as the converter threads own them, reused for every file.
struct SharedBuffers {
    std::vector<char16_t> chunk = std::vector<char16_t>(16);
    std::vector<unsigned char> read = std::vector<unsigned char>(2048);
    std::vector<unsigned char> write = std::vector<unsigned char>(2048);
};

// The converter set-ups taken in turn over the inputs: whole-file mode; the
// smallest chunk and buffers the settings allow, caller-owned; the defaults.
CTextFileConverter MakeConverter(const std::u16string& path, size_t turn, SharedBuffers& shared)
{
    switch (turn % 3) {
    case 0:
        return CTextFileConverter(path.c_str(), 0, 4096, 4096);
    case 1:
        return CTextFileConverter(path.c_str(), 16, 2048, 2048, shared.chunk.data(), shared.read.data(),
                                  shared.write.data());
    default:
        return CTextFileConverter(path.c_str(), 2048, 4096, 4096);
    }
}

struct OutputRow {
    CTextFileConverter::OUTPUTTEXTFORMAT format;
    bool bom;
};

std::string RowName(const OutputRow& row)
{
    std::string name = text::ToUtf8(CTextFileConverter::OutputTextFormatToString(row.format));
    if (name[0] >= '0' && name[0] <= '9')
        name = "UCS4_" + name;
    return name + (row.bom ? "_Bom" : "_NoBom");
}

std::string ParamName(const ::testing::TestParamInfo<OutputRow>& row)
{
    return RowName(row.param);
}

void PrintTo(const OutputRow& row, std::ostream* out)
{
    *out << RowName(row);
}

std::vector<OutputRow> AllRows()
{
    std::vector<OutputRow> rows;
    for (int f = CTextFileConverter::OUTPUTTEXTFORMAT_UTF8; f <= CTextFileConverter::OUTPUTTEXTFORMAT_UCS4_2143; ++f)
        for (bool bom : {false, true})
            rows.push_back({static_cast<CTextFileConverter::OUTPUTTEXTFORMAT>(f), bom});
    return rows;
}

// The line-ending styles taken in turn over the inputs, starting at a
// different one in each row, so every input meets several styles and every
// row all four.
CTextFileConverter::RETURNTYPE ReturnTypeFor(size_t input, size_t row)
{
    return static_cast<CTextFileConverter::RETURNTYPE>((input + row) % 4);
}

std::string LineEnding(CTextFileConverter::RETURNTYPE type)
{
    switch (type) {
    case CTextFileConverter::RETURNTYPE_CRLF:
        return "\r\n";
    case CTextFileConverter::RETURNTYPE_CR:
        return "\r";
    case CTextFileConverter::RETURNTYPE_LF:
        return "\n";
    default:
        return {};
    }
}

std::string Hex(std::string_view bytes)
{
    std::ostringstream out;
    for (unsigned char b : bytes)
        out << std::hex << std::setw(2) << std::setfill('0') << static_cast<unsigned>(b) << ' ';
    return out.str();
}

std::string FirstDifference(const std::string& got, const std::string& want)
{
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at])
        ++at;
    const size_t from = at >= 8 ? at - 8 : 0;
    std::ostringstream out;
    out << "sizes " << got.size() << " and " << want.size() << ", first difference at byte " << at
        << "\n  got:      " << Hex(std::string_view(got).substr(std::min(from, got.size()), 24))
        << "\n  expected: " << Hex(std::string_view(want).substr(std::min(from, want.size()), 24));
    return out.str();
}

class ReferenceConversion : public ::testing::TestWithParam<OutputRow> {
protected:
    static void SetUpTestSuite() { s_corpus = BuildCorpus(); }
    static void TearDownTestSuite() { s_corpus.reset(); }

    static inline std::unique_ptr<Corpus> s_corpus;
};

TEST_P(ReferenceConversion, MatchesTheReferenceByteForByte)
{
    const OutputRow row = GetParam();
    const size_t rowIndex = static_cast<size_t>(row.format) * 2 + (row.bom ? 1 : 0);
    const int outCodepage = static_cast<int>(CTextFileConverter::GetCodepage(row.format));
    const std::string output = s_corpus->dir.File("out-" + RowName(row) + ".bin");
    SharedBuffers shared;
    int mismatches = 0;
    for (size_t i = 0; i < s_corpus->inputs.size(); ++i) {
        const Input& in = s_corpus->inputs[i];
        const CTextFileConverter::RETURNTYPE returnType = ReturnTypeFor(i, rowIndex);
        const std::string ending = LineEnding(returnType);
        SCOPED_TRACE(in.file + " to " + text::ToUtf8(CTextFileConverter::ReturnTypeToString(returnType)) +
                     " in set-up " + std::to_string(i % 3));

        const std::string text = ending.empty() ? in.text : corpus::WithLineEnds(in.text, ending);
        std::string want;
        ASSERT_TRUE(corpus::EncodeForCodepage(outCodepage, text, want));
        if (row.bom)
            want = corpus::BomOf(outCodepage) + want;

        CTextFileConverter converter = MakeConverter(s_corpus->dir.File16(in.file), i, shared);
        ASSERT_EQ(converter.Convert(text::FromUtf8(output).c_str(), static_cast<unsigned>(in.codepage), row.format,
                                    returnType, row.bom),
                  CTextFileConverter::CONVERTRESULT_OK)
            << text::ToUtf8(converter.GetErrorText());
        EXPECT_EQ(converter.GetReplacementCount(), 0u);
        const std::string got = ReadBytes(output);
        if (got != want) {
            // One message per input is plenty; stop after a few inputs.
            ADD_FAILURE() << FirstDifference(got, want);
            if (++mismatches == 5)
                break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllOutputForms, ReferenceConversion, ::testing::ValuesIn(AllRows()), ParamName);

TEST_F(ReferenceConversion, CoversEveryConvertibleCataloguePageWithItsTexts)
{
    for (const auto& problem : s_corpus->problems)
        ADD_FAILURE() << problem;
    std::set<int> covered;
    for (const auto& in : s_corpus->inputs)
        covered.insert(in.codepage);
    std::ostringstream summary;
    summary << "Reference conversion corpus: " << s_corpus->inputs.size() << " inputs in " << covered.size()
            << " code pages; not convertible by the engine:";
    for (int cp : s_corpus->skipped)
        summary << ' ' << cp;
    std::cout << summary.str() << "\n";
    for (const CCodepageInfo* info : CCodepageInfo::GetCodepageInfoCache()) {
        const int cp = info->GetCodepage();
        // US-ASCII carries no text beyond 7 bits: its bytes from 80 are tested as replacements.
        if (cp <= 0 || cp == 20127 ||
            std::find(s_corpus->skipped.begin(), s_corpus->skipped.end(), cp) != s_corpus->skipped.end())
            continue;
        SCOPED_TRACE(cp);
        // At least one text beyond 7-bit ASCII, or the code page's own table was never used.
        bool beyondAscii = false;
        for (const auto& in : s_corpus->inputs)
            if (in.codepage == cp && in.file.find("-ascii") == std::string::npos)
                beyondAscii = true;
        EXPECT_TRUE(beyondAscii);
    }
}

TEST_F(ReferenceConversion, OraclesDisagreeOnlyWhereDocumented)
{
    // The code pages the table above gives to ICU because glibc reads their
    // corpus files differently (or not at all).
    const std::set<int> documented = {50227, 51950, 54936};
    for (const auto& in : s_corpus->inputs) {
        const corpus::CharsetNames* names = corpus::FindCharset(in.codepage);
        if (names == nullptr || names->glibc == nullptr || names->icu == nullptr || in.bom)
            continue;
        std::string byGlibc, byIcu;
        const bool glibcReads = corpus::DecodeToUtf8With(corpus::Tool::Glibc, in.codepage, in.bytes, byGlibc);
        const bool icuReads = corpus::DecodeToUtf8With(corpus::Tool::Icu, in.codepage, in.bytes, byIcu);
        if (glibcReads == icuReads && byGlibc == byIcu)
            continue;
        SCOPED_TRACE(in.file);
        EXPECT_TRUE(documented.count(in.codepage));
        EXPECT_EQ(names->reference, corpus::Tool::Icu);
    }
}

}  // namespace
