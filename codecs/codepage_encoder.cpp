// Encoding UTF-16 into a code page: CodePageEncoder, over the family ChooseFamily names, and EncodeCodePage.
#include "codecs/codepage.h"

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "codecs/codec_family.h"
#include "codecs/codepage_icu.h"
#include "codecs/johab_codec.h"
#include "codecs/seven_bit_codecs.h"
#include "codecs/single_byte_table.h"

namespace codecs {

using detail::CodecFamily;

struct CodePageEncoder::Impl {
    uint64_t replacements = 0;
    detail::CallbackContext callbacks;  // ICU holds its address
    std::variant<std::monostate, detail::IcuEncoder, detail::SingleByteEncoder, detail::SevenBitEncoder,
                 detail::JohabEncoder>
        kind;

    // Calls f with the family's encoder; nothing while none is open.
    template <typename F> void WithEncoder(F&& f)
    {
        std::visit(
            [&](auto& encoder) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(encoder)>, std::monostate>)
                    f(encoder);
            },
            kind);
    }
};

CodePageEncoder::CodePageEncoder(unsigned codePage) : m_impl(std::make_unique<Impl>())
{
    Impl& impl = *m_impl;
    const detail::FamilyChoice choice = detail::ChooseFamily(codePage);
    const char* icuName = nullptr;
    bool pcControls = false;
    switch (choice.family) {
    case CodecFamily::kNone:
        return;
    case CodecFamily::kDefault:
        icuName = "UTF-8";
        break;
    case CodecFamily::kSingleByte:
        impl.kind.emplace<detail::SingleByteEncoder>(choice.table);
        return;
    case CodecFamily::kSevenBit:
        if (detail::SevenBitEncoder encoder(choice.scheme); encoder.IsOpen())
            impl.kind = encoder;
        return;
    case CodecFamily::kJohab:
        if (detail::JohabEncoder encoder; encoder.IsOpen())
            impl.kind = encoder;
        return;
    case CodecFamily::kIcu:
        icuName = choice.row->encoderName ? choice.row->encoderName : choice.row->decoderName;
        pcControls = (choice.row->fixes & detail::kPcControls) != 0;
        break;
    }
    impl.callbacks = {codePage, &impl.replacements};
    detail::IcuEncoder encoder;
    if (encoder.Open(icuName, pcControls, impl.callbacks))
        impl.kind = std::move(encoder);
}

CodePageEncoder::~CodePageEncoder() = default;
CodePageEncoder::CodePageEncoder(CodePageEncoder&&) noexcept = default;
CodePageEncoder& CodePageEncoder::operator=(CodePageEncoder&&) noexcept = default;

bool CodePageEncoder::IsOpen() const
{
    return m_impl && !std::holds_alternative<std::monostate>(m_impl->kind);
}

CodePageEncoder::Result CodePageEncoder::Encode(const char16_t* src, size_t srcLen, unsigned char* dst, size_t dstCap,
                                                bool endOfInput)
{
    detail::Progress p;
    if (IsOpen())
        m_impl->WithEncoder(
            [&](auto& encoder) { p = encoder.Encode(src, srcLen, dst, dstCap, endOfInput, m_impl->replacements); });
    return {p.consumed, p.produced};
}

size_t CodePageEncoder::MaxBytesFor(size_t units) const
{
    size_t bytes = 0;
    if (IsOpen())
        m_impl->WithEncoder([&](const auto& encoder) { bytes = encoder.MaxBytesFor(units); });
    return bytes;
}

void CodePageEncoder::Reset()
{
    if (IsOpen())
        m_impl->WithEncoder([](auto& encoder) { encoder.Reset(); });
}

uint64_t CodePageEncoder::ReplacementCount() const
{
    return m_impl ? m_impl->replacements : 0;
}

bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out, uint64_t* replaced)
{
    out.clear();
    CodePageEncoder encoder(codePage);
    if (!encoder.IsOpen())
        return false;
    out.resize(encoder.MaxBytesFor(text.size()));
    size_t used = 0, produced = 0;
    for (;;) {
        auto r = encoder.Encode(text.data() + used, text.size() - used,
                                reinterpret_cast<unsigned char*>(out.data()) + produced, out.size() - produced, true);
        used += r.consumed;
        produced += r.produced;
        if (used == text.size() && produced < out.size())
            break;
        out.resize(out.size() * 2 + 16);
    }
    out.resize(produced);
    if (replaced)
        *replaced = encoder.ReplacementCount();
    return true;
}

}  // namespace codecs
