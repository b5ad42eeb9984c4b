// Decoding a code page's bytes into UTF-16: CodePageDecoder and DecodeCodePage.
#include "platform/codepage.h"

#include <bit>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <variant>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/text.h"
#include "platform/codepage_icu.h"
#include "platform/codepage_table.h"
#include "platform/multibyte_table.h"
#include "platform/johab_codec.h"
#include "platform/seven_bit_codecs.h"
#include "platform/single_byte_table.h"

namespace platform {

using detail::CallbackContext;
using detail::CodePageRow;
using detail::ConverterPtr;
using detail::CountingToUCallback;
using detail::FindRow;
using detail::IsDefaultCodePage;
using detail::kPcControls;
using detail::kTableDecoding;
using detail::OpenConverter;
using detail::SevenBitSchemeOf;
using detail::SingleByteTable;
using detail::SingleByteTableFor;
using detail::WindowsUnitOfIcu;

namespace {

// The direct tables of a multi-byte code page, read off its converter once
// and shared. Each probe decodes on a freshly reset converter without flushing,
// so a sequence counts only if ICU gives its units at once and holds nothing.
std::shared_ptr<const detail::MultiByteTable> MultiByteTableFor(const CodePageRow& row)
{
    const bool pcControls = (row.fixes & kPcControls) != 0;
    static std::mutex mutex;
    static std::map<std::pair<std::string, bool>, std::shared_ptr<const detail::MultiByteTable>> cache;
    std::lock_guard lock(mutex);
    const auto key = std::make_pair(std::string(row.decoderName), pcControls);
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    std::shared_ptr<const detail::MultiByteTable> table;
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
            table = detail::BuildMultiByteTable(probe, ucnv_compareNames(row.decoderName, "gb18030") == 0);
    }
    cache.emplace(key, table);
    return table;
}

struct IcuDecoder {
    ConverterPtr cnv;
    bool pcControls = false;
    // Direct tables tried before ICU (null: every byte goes through ICU).
    std::shared_ptr<const detail::MultiByteTable> table;
    // Units ICU gave beyond the caller's room, handed out first next time.
    std::u16string spill;
    size_t spillBegin = 0;
};

struct TableDecoder {
    std::shared_ptr<const SingleByteTable> table;
    bool asciiSame = false;  // 00..7F decode to U+0000..U+007F, none replaced
};

// Code page 0: UTF-8 where the bytes are UTF-8, the fallback code page elsewhere.
struct DefaultDecoder {
    std::shared_ptr<const SingleByteTable> fallback;
    unsigned char held[4] = {};  // a UTF-8 sequence cut by the end of the last input
    size_t heldCount = 0;
    char16_t pendingLow = 0;     // the second half of a pair that found no room
};

}  // namespace

struct CodePageDecoder::Impl {
    unsigned codePage = 0;
    detail::DecodeTally tally;
    CallbackContext callbacks;  // ICU holds its address
    std::variant<std::monostate, IcuDecoder, TableDecoder, DefaultDecoder, detail::SevenBitDecoder, detail::JohabDecoder>
        kind;

    Result DecodeTable(const TableDecoder& d, const unsigned char* src, size_t n, char16_t* dst,
                       size_t cap)
    {
        const size_t count = n < cap ? n : cap;
        const SingleByteTable& t = *d.table;
        size_t i = 0;
#if defined(__SSE2__)
        if (d.asciiSame) {
            // Sixteen bytes at a time, widened as they are; only the bytes from
            // 80 up are looked up (a few letters in most Latin text).
            const __m128i zero = _mm_setzero_si128();
            for (; count - i >= 16; i += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_unpacklo_epi8(v, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_unpackhi_epi8(v, zero));
                for (auto high = static_cast<unsigned>(_mm_movemask_epi8(v)); high != 0; high &= high - 1) {
                    const size_t k = i + static_cast<size_t>(std::countr_zero(high));
                    dst[k] = t.units[src[k]];
                    if (t.invalid[src[k]]) [[unlikely]]
                        tally.Replaced(static_cast<ptrdiff_t>(k));
                }
            }
        }
#endif
        for (; i < count; ++i) {
            const unsigned char b = src[i];
            dst[i] = t.units[b];
            if (t.invalid[b]) [[unlikely]]
                tally.Replaced(static_cast<ptrdiff_t>(i));
        }
        return {count, count};
    }

    Result DecodeIcu(IcuDecoder& d, const unsigned char* src, size_t n, char16_t* dst, size_t cap,
                     bool end)
    {
        if (d.table)
            return DecodeByTables(d, src, n, dst, cap, end);
        const char* s = reinterpret_cast<const char*>(src);
        const char* sl = s + n;
        UChar* t = reinterpret_cast<UChar*>(dst);
        UErrorCode err = U_ZERO_ERROR;
        ucnv_toUnicode(d.cnv.get(), &t, reinterpret_cast<UChar*>(dst + cap), &s, sl, nullptr, end,
                       &err);
        if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR) {
            // Not expected with a substituting callback; never stall the stream.
            ucnv_resetToUnicode(d.cnv.get());
            tally.Replaced(s - reinterpret_cast<const char*>(src));
            s = sl;
        }
        const size_t produced = static_cast<size_t>(t - reinterpret_cast<UChar*>(dst));
        if (d.pcControls)
            for (size_t i = 0; i < produced; ++i)
                dst[i] = WindowsUnitOfIcu(dst[i]);
        return {static_cast<size_t>(s - reinterpret_cast<const char*>(src)), produced};
    }

    // Feeds bytes to ICU and appends all it gives to the spill.
    void FeedIcu(IcuDecoder& d, const unsigned char* src, size_t n, bool end)
    {
        const char* s = reinterpret_cast<const char*>(src);
        const char* const sl = s + n;
        for (;;) {
            UChar units[32];
            UChar* t = units;
            UErrorCode err = U_ZERO_ERROR;
            ucnv_toUnicode(d.cnv.get(), &t, units + 32, &s, sl, nullptr, end, &err);
            for (const UChar* u = units; u < t; ++u)
                d.spill.push_back(d.pcControls ? WindowsUnitOfIcu(*u) : *u);
            if (err == U_BUFFER_OVERFLOW_ERROR)
                continue;
            if (U_FAILURE(err)) {
                // Not expected with a substituting callback; never stall the stream.
                ucnv_resetToUnicode(d.cnv.get());
                tally.Replaced(s - callbacks.source);
            }
            return;
        }
    }

    static bool IcuHolds(const IcuDecoder& d)
    {
        UErrorCode err = U_ZERO_ERROR;
        return ucnv_toUCountPending(d.cnv.get(), &err) > 0;
    }

    // The tables take every character they cover; the converter takes the rest
    // a byte at a time, up to where it holds nothing again. With nothing held it
    // is back in its initial state, and from there the tables decode exactly
    // as it would (see MultiByteTableFor).
    Result DecodeByTables(IcuDecoder& d, const unsigned char* src, size_t n, char16_t* dst, size_t cap,
                          bool end)
    {
        size_t used = 0, out = 0;
        auto drain = [&] {
            while (d.spillBegin < d.spill.size() && out < cap)
                dst[out++] = d.spill[d.spillBegin++];
            if (d.spillBegin == d.spill.size()) {
                d.spill.clear();
                d.spillBegin = 0;
            }
        };
        drain();
        while (out < cap && used < n) {
            if (!IcuHolds(d)) {
                used += detail::DecodeByTable(*d.table, src + used, n - used, dst, cap, out);
                if (out == cap || used == n)
                    break;
            }
            FeedIcu(d, src + used, 1, false);
            ++used;
            drain();
        }
        if (end && used == n && out < cap && IcuHolds(d)) {
            FeedIcu(d, src + used, 0, true);
            drain();
        }
        return {used, out};
    }

    Result DecodeAny(const unsigned char* src, size_t srcLen, char16_t* dst, size_t dstCap, bool endOfInput)
    {
        if (auto* t = std::get_if<TableDecoder>(&kind))
            return DecodeTable(*t, src, srcLen, dst, dstCap);
        if (auto* d = std::get_if<DefaultDecoder>(&kind))
            return DecodeDefault(*d, src, srcLen, dst, dstCap, endOfInput);
        if (auto* s = std::get_if<detail::SevenBitDecoder>(&kind)) {
            const auto p = s->Decode(src, srcLen, dst, dstCap, endOfInput, tally);
            return {p.consumed, p.produced};
        }
        if (auto* j = std::get_if<detail::JohabDecoder>(&kind)) {
            const auto p = j->Decode(src, srcLen, dst, dstCap, endOfInput, tally);
            return {p.consumed, p.produced};
        }
        return DecodeIcu(std::get<IcuDecoder>(kind), src, srcLen, dst, dstCap, endOfInput);
    }

    Result DecodeDefault(DefaultDecoder& d, const unsigned char* src, size_t n, char16_t* dst,
                         size_t cap, bool end)
    {
        const SingleByteTable& fb = *d.fallback;
        size_t used = 0, out = 0;
        // Both need out < cap. A pair split by a full output is finished on the
        // next call, as ICU's decoders do, so a one-unit output still makes progress.
        auto put = [&](char32_t cp) {
            if (cp <= 0xFFFF) {
                dst[out++] = static_cast<char16_t>(cp);
                return;
            }
            dst[out++] = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            const auto low = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            if (out < cap)
                dst[out++] = low;
            else
                d.pendingLow = low;
        };
        // A byte that is not UTF-8, at index at of this call's input (below 0: a held byte).
        auto putFallback = [&](unsigned char b, ptrdiff_t at) {
            dst[out++] = fb.units[b];
            if (fb.invalid[b])
                tally.Replaced(at);
            else
                tally.Uncovered(at);
        };
        if (d.pendingLow != 0) {
            if (cap == 0)
                return {0, 0};
            dst[out++] = d.pendingLow;
            d.pendingLow = 0;
        }
        // First finish a sequence held from the previous call.
        while (d.heldCount > 0) {
            if (out == cap)
                return {used, out};
            unsigned char seq[4];
            size_t have = d.heldCount;
            std::memcpy(seq, d.held, have);
            size_t extra = 0;
            while (have < 4 && extra < n)
                seq[have++] = src[extra++];
            char32_t cp = 0;
            const int len = text::Utf8SequenceAt(seq, have, cp);
            if (len < 0 && !end) {
                // Still incomplete: keep it all for the next call.
                std::memcpy(d.held, seq, have);
                d.heldCount = have;
                return {n, out};
            }
            if (len > 0) {
                put(cp);
                used += static_cast<size_t>(len) - d.heldCount;
                d.heldCount = 0;
                break;
            }
            // Not UTF-8: the first held byte is a fallback character.
            putFallback(d.held[0], -static_cast<ptrdiff_t>(d.heldCount));
            std::memmove(d.held, d.held + 1, --d.heldCount);
        }
        while (used < n && out < cap) {
            const unsigned char b = src[used];
            if (b < 0x80) {
                dst[out++] = b;
                ++used;
                continue;
            }
            char32_t cp = 0;
            const int len = text::Utf8SequenceAt(src + used, n - used, cp);
            if (len < 0 && !end) {
                d.heldCount = n - used;
                std::memcpy(d.held, src + used, d.heldCount);
                return {n, out};
            }
            if (len <= 0) {
                putFallback(b, static_cast<ptrdiff_t>(used));
                ++used;
            } else {
                put(cp);
                used += static_cast<size_t>(len);
            }
        }
        return {used, out};
    }
};

CodePageDecoder::CodePageDecoder(unsigned codePage, Route route) : m_impl(std::make_unique<Impl>())
{
    m_impl->codePage = codePage;
    if (IsDefaultCodePage(codePage)) {
        auto fallback = SingleByteTableFor(FallbackCodePage());
        if (!fallback)
            fallback = SingleByteTableFor(1252);
        if (fallback)
            m_impl->kind = DefaultDecoder{fallback};
        return;
    }
    if (auto table = SingleByteTableFor(codePage)) {
        bool asciiSame = true;
        for (unsigned b = 0; b < 0x80; ++b)
            asciiSame = asciiSame && table->units[b] == b && !table->invalid[b];
        m_impl->kind = TableDecoder{table, asciiSame};
        return;
    }
    if (const auto scheme = SevenBitSchemeOf(codePage)) {
        detail::SevenBitDecoder decoder(*scheme);
        if (decoder.IsOpen())
            m_impl->kind = decoder;
        return;
    }
    if (codePage == detail::kJohabCodePage) {
        if (detail::JohabDecoder decoder; decoder.IsOpen())
            m_impl->kind = decoder;
        return;
    }
    const CodePageRow* row = FindRow(codePage);
    if (row == nullptr)
        return;
    ConverterPtr cnv = OpenConverter(row->decoderName);
    if (!cnv)
        return;
    m_impl->callbacks.codePage = codePage;
    m_impl->callbacks.tally = &m_impl->tally;
    UErrorCode err = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv.get(), CountingToUCallback, &m_impl->callbacks, nullptr, nullptr, &err);
    if (U_FAILURE(err))
        return;
    IcuDecoder decoder{std::move(cnv), (row->fixes & kPcControls) != 0, nullptr, {}, 0};
    if ((row->fixes & kTableDecoding) && route == Route::Fastest)
        decoder.table = MultiByteTableFor(*row);
    m_impl->kind = std::move(decoder);
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

bool CodePageDecoder::IsOpen() const
{
    return m_impl && !std::holds_alternative<std::monostate>(m_impl->kind);
}

unsigned CodePageDecoder::GetCodePage() const
{
    return m_impl ? m_impl->codePage : 0;
}

CodePageDecoder::Result CodePageDecoder::Decode(const unsigned char* src, size_t srcLen,
                                                char16_t* dst, size_t dstCap, bool endOfInput)
{
    if (!IsOpen())
        return {};
    Impl& impl = *m_impl;
    impl.callbacks.source = reinterpret_cast<const char*>(src);
    const Result r = impl.DecodeAny(src, srcLen, dst, dstCap, endOfInput);
    impl.tally.callStart += r.consumed;
    return r;
}

size_t CodePageDecoder::PendingBytes() const
{
    if (!IsOpen())
        return 0;
    if (auto* d = std::get_if<DefaultDecoder>(&m_impl->kind))
        return d->heldCount;
    if (auto* i = std::get_if<IcuDecoder>(&m_impl->kind)) {
        UErrorCode err = U_ZERO_ERROR;
        const int32_t pending = ucnv_toUCountPending(i->cnv.get(), &err);
        return U_SUCCESS(err) && pending > 0 ? static_cast<size_t>(pending) : 0;
    }
    if (auto* s = std::get_if<detail::SevenBitDecoder>(&m_impl->kind))
        return s->PendingBytes();
    if (auto* j = std::get_if<detail::JohabDecoder>(&m_impl->kind))
        return j->PendingBytes();
    return 0;
}

void CodePageDecoder::Reset()
{
    if (!IsOpen())
        return;
    if (auto* d = std::get_if<DefaultDecoder>(&m_impl->kind)) {
        d->heldCount = 0;
        d->pendingLow = 0;
    }
    if (auto* i = std::get_if<IcuDecoder>(&m_impl->kind)) {
        ucnv_resetToUnicode(i->cnv.get());
        i->spill.clear();
        i->spillBegin = 0;
    }
    if (auto* s = std::get_if<detail::SevenBitDecoder>(&m_impl->kind))
        s->Reset();
    if (auto* j = std::get_if<detail::JohabDecoder>(&m_impl->kind))
        j->Reset();
}

bool CodePageDecoder::GetSingleByteMap(std::array<char16_t, 256>& units, std::array<bool, 256>& replaced) const
{
    const auto* t = IsOpen() ? std::get_if<TableDecoder>(&m_impl->kind) : nullptr;
    if (t == nullptr)
        return false;
    units = t->table->units;
    replaced = t->table->invalid;
    return true;
}

uint64_t CodePageDecoder::ReplacementCount() const
{
    return m_impl ? m_impl->tally.replaced : 0;
}

uint64_t CodePageDecoder::FirstUncoveredOffset() const
{
    return m_impl ? m_impl->tally.firstUncovered : kNoOffset;
}

bool DecodeCodePage(unsigned codePage, const void* data, size_t size, std::u16string& out,
                    uint64_t* replaced)
{
    out.clear();
    CodePageDecoder decoder(codePage);
    if (!decoder.IsOpen())
        return false;
    // One unit per byte covers every code page; the loop copes with more.
    out.resize(size + CodePageDecoder::kMaxPendingUnits);
    const auto* src = static_cast<const unsigned char*>(data);
    size_t used = 0, produced = 0;
    for (;;) {
        auto r = decoder.Decode(src + used, size - used, out.data() + produced,
                                out.size() - produced, true);
        used += r.consumed;
        produced += r.produced;
        if (used == size && produced < out.size())
            break;
        out.resize(out.size() * 2 + 16);
    }
    out.resize(produced);
    if (replaced)
        *replaced = decoder.ReplacementCount();
    return true;
}

}  // namespace platform
