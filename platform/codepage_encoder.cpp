// Encoding UTF-16 into a code page: CodePageEncoder and EncodeCodePage.
#include "platform/codepage.h"

#include <memory>
#include <string>
#include <variant>

#include "platform/codepage_icu.h"
#include "platform/codepage_table.h"
#include "platform/johab_codec.h"
#include "platform/seven_bit_codecs.h"
#include "platform/single_byte_table.h"

namespace platform {

using detail::CallbackContext;
using detail::CodePageRow;
using detail::ConverterPtr;
using detail::CountingFromUCallback;
using detail::FindRow;
using detail::IsDefaultCodePage;
using detail::kPcControls;
using detail::OpenConverter;
using detail::SevenBitSchemeOf;
using detail::SingleByteTable;
using detail::SingleByteTableFor;
using detail::WindowsByteOfIcu;

namespace {

struct IcuEncoder {
    ConverterPtr cnv;
    bool pcControls = false;
};

struct TableEncoder {
    std::shared_ptr<const SingleByteTable> table;
    unsigned char question = '?';  // the code page's own '?' (6F in EBCDIC)
    char16_t heldHigh = 0;         // a high surrogate that ended the last input
};

}  // namespace

struct CodePageEncoder::Impl {
    uint64_t replacements = 0;
    CallbackContext callbacks;  // ICU holds its address
    std::variant<std::monostate, IcuEncoder, TableEncoder, detail::SevenBitEncoder, detail::JohabEncoder> kind;

    Result EncodeTable(TableEncoder& e, const char16_t* src, size_t n, unsigned char* dst, size_t cap,
                       bool end)
    {
        const SingleByteTable& t = *e.table;
        size_t used = 0, out = 0;
        char32_t c = 0;
        while (out < cap && detail::TakeCharacter(src, n, used, end, e.heldHigh, c)) {
            const uint16_t b = t.bytes[c];
            if (b == SingleByteTable::kNoByte) {
                dst[out++] = e.question;
                ++replacements;
            } else {
                dst[out++] = static_cast<unsigned char>(b);
            }
        }
        return {used, out};
    }

    Result EncodeIcu(IcuEncoder& e, const char16_t* src, size_t n, unsigned char* dst, size_t cap,
                     bool end)
    {
        const UChar* s = reinterpret_cast<const UChar*>(src);
        char* t = reinterpret_cast<char*>(dst);
        UErrorCode err = U_ZERO_ERROR;
        ucnv_fromUnicode(e.cnv.get(), &t, reinterpret_cast<char*>(dst + cap), &s,
                         reinterpret_cast<const UChar*>(src + n), nullptr, end, &err);
        if (U_FAILURE(err) && err != U_BUFFER_OVERFLOW_ERROR) {
            ucnv_resetFromUnicode(e.cnv.get());
            ++replacements;
            s = reinterpret_cast<const UChar*>(src + n);
        }
        const size_t produced = static_cast<size_t>(t - reinterpret_cast<char*>(dst));
        if (e.pcControls)
            for (size_t i = 0; i < produced; ++i)
                dst[i] = WindowsByteOfIcu(dst[i]);
        return {static_cast<size_t>(s - reinterpret_cast<const UChar*>(src)), produced};
    }
};

CodePageEncoder::CodePageEncoder(unsigned codePage) : m_impl(std::make_unique<Impl>())
{
    const char* name = "UTF-8";
    bool pcControls = false;
    if (!IsDefaultCodePage(codePage)) {
        if (auto table = SingleByteTableFor(codePage)) {
            TableEncoder encoder;
            encoder.table = table;
            if (table->bytes[u'?'] != SingleByteTable::kNoByte)
                encoder.question = static_cast<unsigned char>(table->bytes[u'?']);
            m_impl->kind = std::move(encoder);
            return;
        }
        if (const auto scheme = SevenBitSchemeOf(codePage)) {
            detail::SevenBitEncoder encoder(*scheme);
            if (encoder.IsOpen())
                m_impl->kind = encoder;
            return;
        }
        if (codePage == detail::kJohabCodePage) {
            if (detail::JohabEncoder encoder; encoder.IsOpen())
                m_impl->kind = encoder;
            return;
        }
        const CodePageRow* row = FindRow(codePage);
        if (row == nullptr)
            return;
        name = row->encoderName ? row->encoderName : row->decoderName;
        pcControls = (row->fixes & kPcControls) != 0;
    }
    ConverterPtr cnv = OpenConverter(name);
    if (!cnv)
        return;
    UErrorCode err = U_ZERO_ERROR;
    const UConverterType type = ucnv_getType(cnv.get());
    const bool unicodeForm = type == UCNV_UTF8 || type == UCNV_UTF16_BigEndian ||
                             type == UCNV_UTF16_LittleEndian || type == UCNV_UTF32_BigEndian ||
                             type == UCNV_UTF32_LittleEndian || type == UCNV_UTF7;
    if (!unicodeForm) {
        // The default character is the code page's own '?', as the system writes it.
        // Given as text, ICU writes it through the shift state of stateful code pages.
        const UChar question = u'?';
        ucnv_setSubstString(cnv.get(), &question, 1, &err);
        err = U_ZERO_ERROR;
    }
    m_impl->callbacks = {codePage, &m_impl->replacements};
    ucnv_setFromUCallBack(cnv.get(), CountingFromUCallback, &m_impl->callbacks, nullptr, nullptr,
                          &err);
    if (U_FAILURE(err))
        return;
    m_impl->kind = IcuEncoder{std::move(cnv), pcControls};
}

CodePageEncoder::~CodePageEncoder() = default;
CodePageEncoder::CodePageEncoder(CodePageEncoder&&) noexcept = default;
CodePageEncoder& CodePageEncoder::operator=(CodePageEncoder&&) noexcept = default;

bool CodePageEncoder::IsOpen() const
{
    return m_impl && !std::holds_alternative<std::monostate>(m_impl->kind);
}

CodePageEncoder::Result CodePageEncoder::Encode(const char16_t* src, size_t srcLen,
                                                unsigned char* dst, size_t dstCap, bool endOfInput)
{
    if (!IsOpen())
        return {};
    if (auto* t = std::get_if<TableEncoder>(&m_impl->kind))
        return m_impl->EncodeTable(*t, src, srcLen, dst, dstCap, endOfInput);
    if (auto* s = std::get_if<detail::SevenBitEncoder>(&m_impl->kind)) {
        const auto p = s->Encode(src, srcLen, dst, dstCap, endOfInput, m_impl->replacements);
        return {p.consumed, p.produced};
    }
    if (auto* j = std::get_if<detail::JohabEncoder>(&m_impl->kind)) {
        const auto p = j->Encode(src, srcLen, dst, dstCap, endOfInput, m_impl->replacements);
        return {p.consumed, p.produced};
    }
    return m_impl->EncodeIcu(std::get<IcuEncoder>(m_impl->kind), src, srcLen, dst, dstCap, endOfInput);
}

size_t CodePageEncoder::MaxBytesFor(size_t units) const
{
    if (!IsOpen())
        return 0;
    if (std::holds_alternative<TableEncoder>(m_impl->kind))
        return units + 1;  // one byte per unit, plus a held surrogate's '?'
    if (std::holds_alternative<detail::SevenBitEncoder>(m_impl->kind))
        return detail::SevenBitEncoder::MaxBytesFor(units);
    if (std::holds_alternative<detail::JohabEncoder>(m_impl->kind))
        return detail::JohabEncoder::MaxBytesFor(units);
    return (units + 10) *
           static_cast<size_t>(ucnv_getMaxCharSize(std::get<IcuEncoder>(m_impl->kind).cnv.get()));
}

void CodePageEncoder::Reset()
{
    if (!IsOpen())
        return;
    if (auto* t = std::get_if<TableEncoder>(&m_impl->kind))
        t->heldHigh = 0;
    else if (auto* s = std::get_if<detail::SevenBitEncoder>(&m_impl->kind))
        s->Reset();
    else if (auto* j = std::get_if<detail::JohabEncoder>(&m_impl->kind))
        j->Reset();
    else
        ucnv_resetFromUnicode(std::get<IcuEncoder>(m_impl->kind).cnv.get());
}

uint64_t CodePageEncoder::ReplacementCount() const
{
    return m_impl ? m_impl->replacements : 0;
}

bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out,
                    uint64_t* replaced)
{
    out.clear();
    CodePageEncoder encoder(codePage);
    if (!encoder.IsOpen())
        return false;
    out.resize(encoder.MaxBytesFor(text.size()));
    size_t used = 0, produced = 0;
    for (;;) {
        auto r = encoder.Encode(text.data() + used, text.size() - used,
                                reinterpret_cast<unsigned char*>(out.data()) + produced,
                                out.size() - produced, true);
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

}  // namespace platform
