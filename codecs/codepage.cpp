// The code page queries: what converts here, under which converter name, and code page 0's fallback.
#include "codecs/codepage.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "codecs/codepage_icu.h"
#include "codecs/codepage_table.h"
#include "codecs/seven_bit_codecs.h"
#include "codecs/single_byte_table.h"

namespace codecs {

using detail::CodePageRow;
using detail::ConverterPtr;
using detail::FindIconvRow;
using detail::FindRow;
using detail::IconvRow;
using detail::IsDefaultCodePage;
using detail::kSecondNumber;
using detail::kSymbolCodePage;
using detail::OpenConverter;
using detail::ShiftScheme;
using detail::SingleByteTableFor;
using detail::TableCodePageOf;

namespace {

// ICU's own name for a converter, whatever alias it was given; empty when
// ICU knows no such name. Needs no converter data.
std::string CanonicalName(const char* name)
{
    UErrorCode err = U_ZERO_ERROR;
    const char* canonical = ucnv_getAlias(name, 0, &err);
    return U_SUCCESS(err) && canonical != nullptr ? canonical : "";
}

}  // namespace

unsigned CodePageOfCharsetName(std::string_view charset)
{
    if (charset.empty())
        return 0;
    const std::string name(charset);
    for (const auto& row : detail::IconvRows())
        if (ucnv_compareNames(row.charset, name.c_str()) == 0)
            return row.codePage;
    const std::string canonical = CanonicalName(name.c_str());
    if (canonical.empty())
        return 0;
    // ISO-2022-JP names the converter 50220..50222 write with, not the one they read with.
    for (const auto& row : detail::CodePageRows()) {
        if (row.fixes & kSecondNumber)
            continue;
        if (canonical == CanonicalName(row.decoderName) ||
            (row.encoderName != nullptr && canonical == CanonicalName(row.encoderName)))
            return row.codePage;
    }
    return 0;
}

bool IsValidCodePage(unsigned requested)
{
    if (IsDefaultCodePage(requested) || requested == kSymbolCodePage)
        return true;
    const unsigned codePage = TableCodePageOf(requested);
    if (codePage == detail::kJohabCodePage)
        return detail::HasKsX1001();
    if (FindIconvRow(codePage) != nullptr)
        return SingleByteTableFor(codePage) != nullptr;  // iconv opened it
    static std::mutex mutex;
    static std::map<unsigned, bool> known;
    std::lock_guard lock(mutex);
    auto it = known.find(codePage);
    if (it != known.end())
        return it->second;
    const CodePageRow* row = FindRow(codePage);
    bool ok = row != nullptr && OpenConverter(row->decoderName) != nullptr &&
              (row->encoderName == nullptr || OpenConverter(row->encoderName) != nullptr);
    known.emplace(codePage, ok);
    return ok;
}

std::string ConverterName(unsigned codePage)
{
    if (IsDefaultCodePage(codePage))
        return "UTF-8";
    codePage = TableCodePageOf(codePage);
    if (const IconvRow* iconvRow = FindIconvRow(codePage))
        return iconvRow->charset;
    const CodePageRow* row = FindRow(codePage);
    return row ? row->decoderName : "";
}

std::string IanaCharsetName(unsigned codePage)
{
    if (IsDefaultCodePage(codePage))
        return "";
    // These two borrow another code page's table, not its name.
    if (const std::optional<ShiftScheme> scheme = detail::SevenBitSchemeOf(codePage))
        return *scheme == ShiftScheme::Hz ? "HZ-GB-2312" : "ISO-2022-KR";
    if (const IconvRow* iconvRow = FindIconvRow(codePage))
        return iconvRow->charset;
    const CodePageRow* row = FindRow(TableCodePageOf(codePage));
    if (row == nullptr)
        return "";
    // The ISO-2022-JP pages write what that name means, and read more.
    const std::string canonical = CanonicalName(row->encoderName != nullptr ? row->encoderName : row->decoderName);
    // The preferred MIME name where IANA gives one ("ISO-8859-2", not "ISO_8859-2:1987").
    for (const char* standard : {"MIME", "IANA"}) {
        UErrorCode err = U_ZERO_ERROR;
        const char* name = ucnv_getStandardName(canonical.c_str(), standard, &err);
        if (U_SUCCESS(err) && name != nullptr)
            return name;
    }
    return "";
}

unsigned LegacyCodePageOfLocale(std::string_view localeName)
{
    // "ll_CC.CODESET@modifier": only the code set matters.
    const size_t dot = localeName.find('.');
    if (dot == std::string_view::npos)
        return 1252;
    std::string_view charset = localeName.substr(dot + 1);
    charset = charset.substr(0, charset.find('@'));
    const unsigned cp = CodePageOfCharsetName(charset);
    if (cp == 0 || cp == 20127 || cp == 65001 || !SingleByteTableFor(cp))
        return 1252;
    return cp;
}

unsigned FallbackCodePage()
{
    static const unsigned fallback = [] {
        for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const char* value = std::getenv(var);
            if (value != nullptr && *value != '\0')
                return LegacyCodePageOfLocale(value);
        }
        return 1252u;
    }();
    return fallback;
}

}  // namespace codecs
