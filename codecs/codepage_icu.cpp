// The ICU family: converter handles, the counting callbacks, and the decoder and encoder on a converter.
#include "codecs/codepage_icu.h"

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include "codecs/codepage_table.h"

namespace codecs::detail {

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

std::shared_ptr<const MultiByteTable> MultiByteTableFor(const CodePageRow& row)
{
    // Each probe decodes on a freshly reset converter without flushing, so a
    // sequence counts only if ICU gives its units at once and holds nothing.
    const bool pcControls = (row.fixes & kPcControls) != 0;
    static std::mutex mutex;
    static std::map<std::pair<std::string, bool>, std::shared_ptr<const MultiByteTable>> cache;
    std::lock_guard lock(mutex);
    const auto key = std::make_pair(std::string(row.decoderName), pcControls);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    std::shared_ptr<const MultiByteTable> table;
    if (ConverterPtr cnv = OpenConverter(row.decoderName)) {
        uint64_t bad = 0;
        const CallbackContext context{row.codePage, &bad};
        UErrorCode err = U_ZERO_ERROR;
        ucnv_setToUCallBack(cnv.get(), CountingToUCallback, &context, nullptr, nullptr, &err);
        const auto probe = [&](const unsigned char* bytes, size_t n, char16_t* out) {
            ucnv_resetToUnicode(cnv.get());
            bad = 0;
            const char* s = reinterpret_cast<const char*>(bytes);
            const char* const sl = s + n;
            UChar* t = reinterpret_cast<UChar*>(out);
            UErrorCode e = U_ZERO_ERROR;
            ucnv_toUnicode(cnv.get(), &t, reinterpret_cast<UChar*>(out + 4), &s, sl, nullptr, false, &e);
            const auto units = static_cast<int>(t - reinterpret_cast<UChar*>(out));
            if (U_FAILURE(e) || bad != 0 || s != sl || units == 0 || ucnv_toUCountPending(cnv.get(), &e) != 0 ||
                U_FAILURE(e))
                return -1;
            if (pcControls)
                for (int i = 0; i < units; ++i)
                    out[i] = WindowsUnitOfIcu(out[i]);
            return units;
        };
        if (U_SUCCESS(err))
            table = BuildMultiByteTable(probe, ucnv_compareNames(row.decoderName, "gb18030") == 0);
    }
    cache.emplace(key, table);
    return table;
}

// ---------------------------------------------------------------------------

bool IcuDecoder::Open(const CodePageRow& row, bool tables, CallbackContext& context)
{
    ConverterPtr cnv = OpenConverter(row.decoderName);
    if (!cnv)
        return false;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv.get(), CountingToUCallback, &context, nullptr, nullptr, &err);
    if (U_FAILURE(err))
        return false;
    m_cnv = std::move(cnv);
    m_context = &context;
    m_pcControls = (row.fixes & kPcControls) != 0;
    if ((row.fixes & kTableDecoding) && tables)
        m_table = MultiByteTableFor(row);
    return true;
}

Progress IcuDecoder::Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end, DecodeTally& tally)
{
    if (m_table)
        return DecodeByTables(src, n, dst, cap, end, tally);
    const char* s = reinterpret_cast<const char*>(src);
    const char* sl = s + n;
    UChar* t = reinterpret_cast<UChar*>(dst);
    UErrorCode err = U_ZERO_ERROR;
    ucnv_toUnicode(m_cnv.get(), &t, reinterpret_cast<UChar*>(dst + cap), &s, sl, nullptr, end, &err);
    if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR) {
        // Not expected with a substituting callback; never stall the stream.
        ucnv_resetToUnicode(m_cnv.get());
        tally.Replaced(s - reinterpret_cast<const char*>(src));
        s = sl;
    }
    const size_t produced = static_cast<size_t>(t - reinterpret_cast<UChar*>(dst));
    if (m_pcControls)
        for (size_t i = 0; i < produced; ++i)
            dst[i] = WindowsUnitOfIcu(dst[i]);
    return {static_cast<size_t>(s - reinterpret_cast<const char*>(src)), produced};
}

// Feeds bytes to ICU and appends all it gives to the spill.
void IcuDecoder::Feed(const unsigned char* src, size_t n, bool end, DecodeTally& tally)
{
    const char* s = reinterpret_cast<const char*>(src);
    const char* const sl = s + n;
    for (;;) {
        UChar units[32];
        UChar* t = units;
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(m_cnv.get(), &t, units + 32, &s, sl, nullptr, end, &err);
        for (const UChar* u = units; u < t; ++u)
            m_spill.push_back(m_pcControls ? WindowsUnitOfIcu(*u) : *u);
        if (err == U_BUFFER_OVERFLOW_ERROR)
            continue;
        if (U_FAILURE(err)) {
            // Not expected with a substituting callback; never stall the stream.
            ucnv_resetToUnicode(m_cnv.get());
            tally.Replaced(s - m_context->source);
        }
        return;
    }
}

bool IcuDecoder::Holds() const
{
    UErrorCode err = U_ZERO_ERROR;
    return ucnv_toUCountPending(m_cnv.get(), &err) > 0;
}

// The tables take every character they cover; the converter takes the rest
// a byte at a time, up to where it holds nothing again. With nothing held it
// is back in its initial state, and from there the tables decode exactly
// as it would (see MultiByteTableFor).
Progress IcuDecoder::DecodeByTables(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool end,
                                    DecodeTally& tally)
{
    size_t used = 0, out = 0;
    auto drain = [&] {
        while (m_spillBegin < m_spill.size() && out < cap)
            dst[out++] = m_spill[m_spillBegin++];
        if (m_spillBegin == m_spill.size()) {
            m_spill.clear();
            m_spillBegin = 0;
        }
    };
    drain();
    while (out < cap && used < n) {
        if (!Holds()) {
            used += DecodeByTable(*m_table, src + used, n - used, dst, cap, out);
            if (out == cap || used == n)
                break;
        }
        Feed(src + used, 1, false, tally);
        ++used;
        drain();
    }
    if (end && used == n && out < cap && Holds()) {
        Feed(src + used, 0, true, tally);
        drain();
    }
    return {used, out};
}

size_t IcuDecoder::PendingBytes() const
{
    UErrorCode err = U_ZERO_ERROR;
    const int32_t pending = ucnv_toUCountPending(m_cnv.get(), &err);
    return U_SUCCESS(err) && pending > 0 ? static_cast<size_t>(pending) : 0;
}

void IcuDecoder::Reset()
{
    ucnv_resetToUnicode(m_cnv.get());
    m_spill.clear();
    m_spillBegin = 0;
}

// ---------------------------------------------------------------------------

bool IcuEncoder::Open(const char* name, bool pcControls, CallbackContext& context)
{
    ConverterPtr cnv = OpenConverter(name);
    if (!cnv)
        return false;
    UErrorCode err = U_ZERO_ERROR;
    const UConverterType type = ucnv_getType(cnv.get());
    const bool unicodeForm = type == UCNV_UTF8 || type == UCNV_UTF16_BigEndian || type == UCNV_UTF16_LittleEndian ||
                             type == UCNV_UTF32_BigEndian || type == UCNV_UTF32_LittleEndian || type == UCNV_UTF7;
    if (!unicodeForm) {
        // The default character is the code page's own '?', as the system writes it.
        // Given as text, ICU writes it through the shift state of stateful code pages.
        const UChar question = u'?';
        ucnv_setSubstString(cnv.get(), &question, 1, &err);
        err = U_ZERO_ERROR;
    }
    ucnv_setFromUCallBack(cnv.get(), CountingFromUCallback, &context, nullptr, nullptr, &err);
    if (U_FAILURE(err))
        return false;
    m_cnv = std::move(cnv);
    m_pcControls = pcControls;
    return true;
}

Progress IcuEncoder::Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end, uint64_t& replaced)
{
    const UChar* s = reinterpret_cast<const UChar*>(src);
    char* t = reinterpret_cast<char*>(dst);
    UErrorCode err = U_ZERO_ERROR;
    ucnv_fromUnicode(m_cnv.get(), &t, reinterpret_cast<char*>(dst + cap), &s, reinterpret_cast<const UChar*>(src + n),
                     nullptr, end, &err);
    if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR) {
        ucnv_resetFromUnicode(m_cnv.get());
        ++replaced;
        s = reinterpret_cast<const UChar*>(src + n);
    }
    const size_t produced = static_cast<size_t>(t - reinterpret_cast<char*>(dst));
    if (m_pcControls)
        for (size_t i = 0; i < produced; ++i)
            dst[i] = WindowsByteOfIcu(dst[i]);
    return {static_cast<size_t>(s - reinterpret_cast<const UChar*>(src)), produced};
}

size_t IcuEncoder::MaxBytesFor(size_t units) const
{
    return (units + 10) * static_cast<size_t>(ucnv_getMaxCharSize(m_cnv.get()));
}

void IcuEncoder::Reset()
{
    ucnv_resetFromUnicode(m_cnv.get());
}

}  // namespace codecs::detail
