#include "reference_codec.h"

#include <iconv.h>
#include <unicode/ucnv.h>

#include <cerrno>
#include <memory>

namespace corpus {

namespace {

bool IconvStrict(const char* to, const char* from, std::string_view in, std::string& out)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::unique_ptr<void, int (*)(iconv_t)> guard(cd, iconv_close);
    out.assign(in.size() * 4 + 64, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t produced = 0;
    for (bool flushing = false;;) {
        char* dst = out.data() + produced;
        size_t dstLeft = out.size() - produced;
        // A null source writes the closing shift sequence of stateful charsets.
        const size_t rc =
            flushing ? iconv(cd, nullptr, nullptr, &dst, &dstLeft) : iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        produced = out.size() - dstLeft;
        if (rc == static_cast<size_t>(-1)) {
            if (errno != E2BIG)
                return false;  // EILSEQ or a truncated sequence (EINVAL)
            out.resize(out.size() * 2);
            continue;
        }
        if (rc != 0)
            return false;  // glibc counts conversions it made inexactly
        if (flushing)
            break;
        flushing = true;
    }
    out.resize(produced);
    return true;
}

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenStrict(const char* name)
{
    UErrorCode err = U_ZERO_ERROR;
    Converter c(ucnv_open(name, &err));
    if (U_FAILURE(err))
        return nullptr;
    ucnv_setToUCallBack(c.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    return U_SUCCESS(err) ? std::move(c) : nullptr;
}

// ucnv_convert's pivoting through UTF-16, with stopping callbacks in place of
// its substituting ones.
bool IcuStrict(const char* to, const char* from, std::string_view in, std::string& out)
{
    Converter target = OpenStrict(to);
    Converter source = OpenStrict(from);
    if (!target || !source)
        return false;
    UChar pivot[1024];
    UChar* pivotSource = pivot;
    UChar* pivotTarget = pivot;
    out.assign(in.size() * 4 + 64, '\0');
    const char* src = in.data();
    size_t produced = 0;
    for (bool reset = true;; reset = false) {
        char* dst = out.data() + produced;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_convertEx(target.get(), source.get(), &dst, out.data() + out.size(), &src, in.data() + in.size(), pivot,
                       &pivotSource, &pivotTarget, pivot + std::size(pivot), reset, true, &err);
        produced = static_cast<size_t>(dst - out.data());
        if (err == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2);
            continue;
        }
        if (U_FAILURE(err))
            return false;
        break;
    }
    out.resize(produced);
    return true;
}

constexpr bool IsUcs4Odd(int codepage)
{
    return codepage == 2143 || codepage == 3412;
}

// Where the tools disagree, the reference is the one whose table matches the
// Windows code page (the engine's contract); see the oracle table of the
// conversion test for what differs.
constexpr CharsetNames kCharsets[] = {
    {1252, "CP1252", "windows-1252", Tool::Glibc},
    {65001, "UTF-8", "UTF-8", Tool::Glibc},
    {1200, "UTF-16LE", "UTF-16LE", Tool::Glibc},
    {1201, "UTF-16BE", "UTF-16BE", Tool::Glibc},
    {12000, "UTF-32LE", "UTF-32LE", Tool::Glibc},
    {12001, "UTF-32BE", "UTF-32BE", Tool::Glibc},
    {3412, nullptr, nullptr, Tool::Glibc},
    {2143, nullptr, nullptr, Tool::Glibc},
    {855, "IBM855", "ibm-855", Tool::Glibc},
    {866, "IBM866", "ibm-866", Tool::Glibc},
    {1251, "CP1251", "windows-1251", Tool::Glibc},
    {10007, "CP10007", "x-mac-cyrillic", Tool::Glibc},
    {28595, "ISO-8859-5", "ISO-8859-5", Tool::Glibc},
    {20866, "KOI8-R", "KOI8-R", Tool::Glibc},
    {1253, "CP1253", "windows-1253", Tool::Glibc},
    {28597, "ISO-8859-7", "ISO-8859-7", Tool::Glibc},
    {28598, "ISO-8859-8", "ISO-8859-8", Tool::Glibc},
    {1255, "CP1255", "windows-1255", Tool::Glibc},
    {950, "CP950", "windows-950", Tool::Glibc},
    {51950, "EUC-TW", "EUC-TW", Tool::Icu},
    {936, "GBK", "windows-936", Tool::Glibc},
    {50227, "ISO-2022-CN", "ISO-2022-CN", Tool::Icu},
    {52936, nullptr, "HZ", Tool::Icu},
    {54936, "GB18030", "GB18030", Tool::Icu},
    {932, "CP932", "windows-31j", Tool::Glibc},
    {20932, "EUC-JP", "EUC-JP", Tool::Glibc},
    {50222, "ISO-2022-JP", "ISO-2022-JP", Tool::Glibc},
    {50225, "ISO-2022-KR", "ISO-2022-KR", Tool::Glibc},
    {51949, "EUC-KR", "EUC-KR", Tool::Glibc},
    {28592, "ISO-8859-2", "ISO-8859-2", Tool::Glibc},
    {1250, "CP1250", "windows-1250", Tool::Glibc},
    {874, "WINDOWS-874", "windows-874", Tool::Glibc},
    {28605, "ISO-8859-15", "ISO-8859-15", Tool::Glibc},
    {852, "IBM852", "ibm-852", Tool::Glibc},
    {10029, "MAC-CENTRALEUROPE", "x-mac-centraleurroman", Tool::Glibc},
    {28606, "ISO-8859-16", nullptr, Tool::Glibc},
    {28593, "ISO-8859-3", "ISO-8859-3", Tool::Glibc},
    {28599, "ISO-8859-9", "ISO-8859-9", Tool::Glibc},
    {28594, "ISO-8859-4", "ISO-8859-4", Tool::Glibc},
    {28603, "ISO-8859-13", "ISO-8859-13", Tool::Glibc},
    {1257, "CP1257", "windows-1257", Tool::Glibc},
    {28600, "ISO-8859-10", "ISO-8859-10", Tool::Glibc},
    {1256, "CP1256", "windows-1256", Tool::Glibc},
    {28596, "ISO-8859-6", "ISO-8859-6", Tool::Glibc},
    {1258, "CP1258", "windows-1258", Tool::Glibc},
    {65010, "VISCII", nullptr, Tool::Glibc},
    {1254, "CP1254", "windows-1254", Tool::Glibc},
    {949, "CP949", "windows-949", Tool::Glibc},
    {21866, "KOI8-U", "KOI8-U", Tool::Glibc},
    {10000, "MACINTOSH", "macintosh", Tool::Glibc},
    {1375, "BIG5-HKSCS", "ibm-1375_P100-2008", Tool::Icu},
    {50220, "ISO-2022-JP", "ISO-2022-JP", Tool::Glibc},
    {50221, "ISO-2022-JP", "ISO-2022-JP", Tool::Glibc},
    {1361, "JOHAB", nullptr, Tool::Glibc},
    {850, "IBM850", "ibm-850", Tool::Glibc},
    {28591, "ISO-8859-1", "ISO-8859-1", Tool::Glibc},
    {20127, "ASCII", "US-ASCII", Tool::Glibc},
};

const char* NameFor(const CharsetNames& row, Tool tool)
{
    return tool == Tool::Glibc ? row.glibc : row.icu;
}

}  // namespace

const char* ToolName(Tool tool)
{
    return tool == Tool::Glibc ? "glibc" : "ICU";
}

bool ConvertStrict(Tool tool, const char* to, const char* from, std::string_view in, std::string& out)
{
    return tool == Tool::Glibc ? IconvStrict(to, from, in, out) : IcuStrict(to, from, in, out);
}

std::span<const CharsetNames> CatalogueCharsets()
{
    return kCharsets;
}

const CharsetNames* FindCharset(int codepage)
{
    for (const auto& row : kCharsets)
        if (row.codepage == codepage)
            return &row;
    return nullptr;
}

std::string PermuteUtf32Be(std::string_view utf32be, int ucs4Codepage)
{
    std::string out(utf32be);
    for (size_t i = 0; i + 4 <= out.size(); i += 4) {
        const char b1 = utf32be[i], b2 = utf32be[i + 1], b3 = utf32be[i + 2], b4 = utf32be[i + 3];
        if (ucs4Codepage == 2143) {
            out[i] = b2, out[i + 1] = b1, out[i + 2] = b4, out[i + 3] = b3;
        } else {
            out[i] = b3, out[i + 1] = b4, out[i + 2] = b1, out[i + 3] = b2;
        }
    }
    return out;
}

bool EncodeForCodepage(int codepage, std::string_view utf8, std::string& out)
{
    if (IsUcs4Odd(codepage)) {
        std::string be;
        if (!IconvStrict("UTF-32BE", "UTF-8", utf8, be))
            return false;
        out = PermuteUtf32Be(be, codepage);
        return true;
    }
    const CharsetNames* row = FindCharset(codepage);
    if (row == nullptr || NameFor(*row, row->reference) == nullptr)
        return false;
    return ConvertStrict(row->reference, NameFor(*row, row->reference), "UTF-8", utf8, out);
}

bool DecodeToUtf8With(Tool tool, int codepage, std::string_view bytes, std::string& utf8)
{
    if (IsUcs4Odd(codepage)) {
        if (bytes.size() % 4 != 0)
            return false;
        return ConvertStrict(tool, "UTF-8", "UTF-32BE", PermuteUtf32Be(bytes, codepage), utf8);
    }
    const CharsetNames* row = FindCharset(codepage);
    if (row == nullptr || NameFor(*row, tool) == nullptr)
        return false;
    return ConvertStrict(tool, "UTF-8", NameFor(*row, tool), bytes, utf8);
}

bool DecodeToUtf8(int codepage, std::string_view bytes, std::string& utf8)
{
    const CharsetNames* row = FindCharset(codepage);
    return DecodeToUtf8With(row ? row->reference : Tool::Glibc, codepage, bytes, utf8);
}

std::string BomOf(int codepage)
{
    using namespace std::string_literals;
    switch (codepage) {
    case 65001:
        return "\xEF\xBB\xBF"s;
    case 1200:
        return "\xFF\xFE"s;
    case 1201:
        return "\xFE\xFF"s;
    case 12000:
        return "\xFF\xFE\0\0"s;
    case 12001:
        return "\0\0\xFE\xFF"s;
    case 2143:
        return "\0\0\xFF\xFE"s;
    case 3412:
        return "\xFE\xFF\0\0"s;
    default:
        return {};
    }
}

std::string WithLineEnds(std::string_view utf8, std::string_view ending)
{
    // CR and LF never occur inside a UTF-8 multi-byte sequence, so bytes do.
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 16);
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r') {
            out += ending;
            if (i + 1 < utf8.size() && utf8[i + 1] == '\n')
                ++i;
        } else if (utf8[i] == '\n') {
            out += ending;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

}  // namespace corpus
