// The code page queries: what converts here, under which converter name, and code page 0's fallback.
#include "platform/codepage.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/codepage_icu.h"
#include "platform/codepage_table.h"
#include "platform/seven_bit_codecs.h"
#include "platform/single_byte_table.h"

namespace platform {

using detail::CodePageRow;
using detail::ConverterPtr;
using detail::FindIconvRow;
using detail::FindRow;
using detail::IconvRow;
using detail::IsDefaultCodePage;
using detail::kSecondNumber;
using detail::kSymbolCodePage;
using detail::OpenConverter;
using detail::SingleByteTableFor;
using detail::TableCodePageOf;

namespace {

// The code page a charset name means: an iconv row's, or the first row whose
// decoder ICU takes for the same converter; 0 when none.
unsigned CodePageOfCharsetName(std::string_view charset)
{
    if (charset.empty())
        return 0;
    const std::string name(charset);
    for (const auto& row : detail::IconvRows())
        if (ucnv_compareNames(row.charset, name.c_str()) == 0)
            return row.codePage;
    ConverterPtr probe = OpenConverter(name.c_str());
    if (!probe)
        return 0;
    UErrorCode err = U_ZERO_ERROR;
    const std::string canonical = ucnv_getName(probe.get(), &err);
    for (const auto& row : detail::CodePageRows()) {
        if (row.fixes & kSecondNumber)
            continue;
        ConverterPtr cnv = OpenConverter(row.decoderName);
        if (cnv && canonical == ucnv_getName(cnv.get(), &err))
            return row.codePage;
    }
    return 0;
}

}  // namespace

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
    const std::string converter = ConverterName(codePage);
    if (converter.empty())
        return "";
    for (const char* standard : {"IANA", "MIME"}) {
        UErrorCode status = U_ZERO_ERROR;
        const char* name = ucnv_getStandardName(converter.c_str(), standard, &status);
        if (U_SUCCESS(status) && name != nullptr)
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

}  // namespace platform
