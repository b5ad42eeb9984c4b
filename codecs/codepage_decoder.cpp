// Decoding a code page's bytes into UTF-16: CodePageDecoder, over the family ChooseFamily names, and DecodeCodePage.
#include "codecs/codepage.h"

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "codecs/codec_family.h"
#include "codecs/codepage_icu.h"
#include "codecs/default_codec.h"
#include "codecs/johab_codec.h"
#include "codecs/seven_bit_codecs.h"
#include "codecs/single_byte_table.h"

namespace codecs {

using detail::CodecFamily;

struct CodePageDecoder::Impl {
    unsigned codePage = 0;
    detail::DecodeTally tally;
    detail::CallbackContext callbacks;  // ICU holds its address
    std::variant<std::monostate, detail::IcuDecoder, detail::SingleByteDecoder, detail::DefaultDecoder,
                 detail::SevenBitDecoder, detail::JohabDecoder>
        kind;

    // Calls f with the family's decoder; nothing while none is open.
    template <typename F> void WithDecoder(F&& f)
    {
        std::visit(
            [&](auto& decoder) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(decoder)>, std::monostate>)
                    f(decoder);
            },
            kind);
    }
};

CodePageDecoder::CodePageDecoder(unsigned codePage, Route route) : m_impl(std::make_unique<Impl>())
{
    Impl& impl = *m_impl;
    impl.codePage = codePage;
    const detail::FamilyChoice choice = detail::ChooseFamily(codePage);
    switch (choice.family) {
    case CodecFamily::kNone:
        break;
    case CodecFamily::kDefault: {
        auto fallback = detail::SingleByteTableFor(FallbackCodePage());
        if (!fallback)
            fallback = detail::SingleByteTableFor(1252);
        if (fallback)
            impl.kind.emplace<detail::DefaultDecoder>(std::move(fallback));
        break;
    }
    case CodecFamily::kSingleByte:
        impl.kind.emplace<detail::SingleByteDecoder>(choice.table);
        break;
    case CodecFamily::kSevenBit:
        if (detail::SevenBitDecoder decoder(choice.scheme); decoder.IsOpen())
            impl.kind = decoder;
        break;
    case CodecFamily::kJohab:
        if (detail::JohabDecoder decoder; decoder.IsOpen())
            impl.kind = decoder;
        break;
    case CodecFamily::kIcu: {
        impl.callbacks.codePage = codePage;
        impl.callbacks.tally = &impl.tally;
        detail::IcuDecoder decoder;
        if (decoder.Open(*choice.row, route == Route::Fastest, impl.callbacks))
            impl.kind = std::move(decoder);
        break;
    }
    }
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

CodePageDecoder::Result CodePageDecoder::Decode(const unsigned char* src, size_t srcLen, char16_t* dst, size_t dstCap,
                                                bool endOfInput)
{
    if (!IsOpen())
        return {};
    Impl& impl = *m_impl;
    impl.callbacks.source = reinterpret_cast<const char*>(src);
    detail::Progress p;
    impl.WithDecoder([&](auto& decoder) { p = decoder.Decode(src, srcLen, dst, dstCap, endOfInput, impl.tally); });
    impl.tally.callStart += p.consumed;
    return {p.consumed, p.produced};
}

size_t CodePageDecoder::PendingBytes() const
{
    size_t pending = 0;
    if (IsOpen())
        m_impl->WithDecoder([&](const auto& decoder) { pending = decoder.PendingBytes(); });
    return pending;
}

void CodePageDecoder::Reset()
{
    if (IsOpen())
        m_impl->WithDecoder([](auto& decoder) { decoder.Reset(); });
}

bool CodePageDecoder::GetSingleByteMap(std::array<char16_t, 256>& units, std::array<bool, 256>& replaced) const
{
    const auto* d = IsOpen() ? std::get_if<detail::SingleByteDecoder>(&m_impl->kind) : nullptr;
    if (d == nullptr)
        return false;
    units = d->Table().units;
    replaced = d->Table().invalid;
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

bool DecodeCodePage(unsigned codePage, const void* data, size_t size, std::u16string& out, uint64_t* replaced)
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
        auto r = decoder.Decode(src + used, size - used, out.data() + produced, out.size() - produced, true);
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

}  // namespace codecs
