// ICU converter handles and the counting callbacks every code page converter is given.
#include "platform/codepage_icu.h"

#include <string_view>

#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include "platform/codepage_table.h"

namespace platform::detail {

ConverterPtr OpenConverter(const char* name)
{
    UErrorCode err = U_ZERO_ERROR;
    ConverterPtr cnv(ucnv_open(name, &err));
    if (U_FAILURE(err))
        cnv.reset();
    return cnv;
}

void U_CALLCONV CountingToUCallback(const void* context, UConverterToUnicodeArgs* args, const char* bytes,
                                    int32_t length, UConverterCallbackReason reason, UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    const auto& ctx = *static_cast<const CallbackContext*>(context);
    *err = U_ZERO_ERROR;
    const std::string_view sequence(bytes, static_cast<size_t>(length));
    for (const auto& extra : WindowsExtras()) {
        if (extra.codePage == ctx.codePage && extra.bytes == sequence) {
            ucnv_cbToUWriteUChars(args, &extra.unit, 1, 0, err);
            return;
        }
    }
    // The sequence ends where ICU stands in the source; it may have begun in
    // bytes the converter held from the call before.
    if (ctx.tally != nullptr)
        ctx.tally->Replaced(args->source - ctx.source - length);
    else
        ++*ctx.replacements;
    const UChar sub = kReplacement;
    ucnv_cbToUWriteUChars(args, &sub, 1, 0, err);
}

void U_CALLCONV CountingFromUCallback(const void* context, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                                      UChar32 codePoint, UConverterCallbackReason reason, UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    const auto& ctx = *static_cast<const CallbackContext*>(context);
    *err = U_ZERO_ERROR;
    for (const auto& extra : WindowsExtras()) {
        if (extra.codePage == ctx.codePage && extra.unit == codePoint) {
            const auto size = static_cast<int32_t>(extra.bytes.size());
            ucnv_cbFromUWriteBytes(args, extra.bytes.data(), size, 0, err);
            return;
        }
    }
    ++*ctx.replacements;
    ucnv_cbFromUWriteSub(args, 0, err);
}

}  // namespace platform::detail
