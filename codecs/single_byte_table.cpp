// The single-byte family: tables read off ICU or glibc once per code page and shared, and their loops.
#include "codecs/single_byte_table.h"

#include <cerrno>
#include <map>
#include <mutex>

#include <iconv.h>

#include "codecs/codepage_icu.h"
#include "codecs/codepage_table.h"
#include "codecs/cpu_kernels.h"

namespace codecs::detail {

namespace {

void FillEncoderSide(SingleByteTable& table)
{
    for (int b = 255; b >= 0; --b)  // the lowest byte wins should two share a unit
        if (!table.invalid[b])
            table.bytes[table.units[b]] = static_cast<uint16_t>(b);
}

// Each byte decoded alone by the converter, with the Windows corrections.
std::shared_ptr<const SingleByteTable> BuildSingleByteTable(UConverter* cnv, const CodePageRow& row)
{
    auto table = std::make_shared<SingleByteTable>();
    for (int b = 0; b < 256; ++b) {
        uint64_t bad = 0;
        const CallbackContext context{row.codePage, &bad};
        UErrorCode err = U_ZERO_ERROR;
        ucnv_reset(cnv);
        ucnv_setToUCallBack(cnv, CountingToUCallback, &context, nullptr, nullptr, &err);
        const char byte = static_cast<char>(b);
        const char* src = &byte;
        UChar out[4];
        UChar* dst = out;
        err = U_ZERO_ERROR;
        ucnv_toUnicode(cnv, &dst, out + 4, &src, &byte + 1, nullptr, true, &err);
        if (U_FAILURE(err) || dst - out != 1)
            return nullptr;  // not a plain one-byte-one-unit table
        table->units[b] = (row.fixes & kPcControls) ? WindowsUnitOfIcu(out[0]) : out[0];
        table->invalid[b] = bad != 0;
    }
    ucnv_reset(cnv);
    for (const auto& o : WindowsByteOverrides()) {
        if (o.codePage == row.codePage) {
            table->units[o.byte] = o.unit;
            table->invalid[o.byte] = false;
        }
    }
    FillEncoderSide(*table);
    return table;
}

// The same from glibc: each byte converted alone. A byte glibc refuses is
// invalid; anything but one UTF-16 unit per byte is not a single-byte table.
std::shared_ptr<const SingleByteTable> BuildIconvTable(const char* charset)
{
    iconv_t cd = iconv_open("UTF-16LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    auto table = std::make_shared<SingleByteTable>();
    bool ok = true;
    for (int b = 0; b < 256 && ok; ++b) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char byte = static_cast<char>(b);
        char* src = &byte;
        size_t srcLeft = 1;
        char out[8];
        char* dst = out;
        size_t dstLeft = sizeof out;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
            ok = errno == EILSEQ;
            table->units[b] = kReplacement;
            table->invalid[b] = true;
            continue;
        }
        ok = iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1) && sizeof out - dstLeft == 2;
        const auto unit =
            static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
        ok = ok && (unit < 0xD800 || unit > 0xDFFF);
        table->units[b] = unit;
    }
    iconv_close(cd);
    if (!ok)
        return nullptr;
    FillEncoderSide(*table);
    return table;
}

// Symbol (42), as Windows converts it: 00..1F are the controls and 20..FF the
// private-use characters U+F020..U+F0FF that symbol fonts are mapped to.
std::shared_ptr<const SingleByteTable> BuildSymbolTable()
{
    auto table = std::make_shared<SingleByteTable>();
    for (int b = 0; b < 256; ++b)
        table->units[b] = static_cast<char16_t>(b < 0x20 ? b : 0xF000 + b);
    FillEncoderSide(*table);
    return table;
}

}  // namespace

std::shared_ptr<const SingleByteTable> SingleByteTableFor(unsigned requested)
{
    const unsigned codePage = TableCodePageOf(requested);
    static std::mutex mutex;
    static std::map<unsigned, std::shared_ptr<const SingleByteTable>> cache;
    std::lock_guard lock(mutex);
    auto it = cache.find(codePage);
    if (it != cache.end())
        return it->second;
    std::shared_ptr<const SingleByteTable> table;
    if (const CodePageRow* row = FindRow(codePage)) {
        ConverterPtr cnv = OpenConverter(row->decoderName);
        if (cnv && ucnv_getMaxCharSize(cnv.get()) == 1 && ucnv_getType(cnv.get()) != UCNV_UTF7)
            table = BuildSingleByteTable(cnv.get(), *row);
    } else if (const IconvRow* iconvRow = FindIconvRow(codePage)) {
        table = BuildIconvTable(iconvRow->charset);
    } else if (codePage == kSymbolCodePage) {
        table = BuildSymbolTable();
    }
    cache.emplace(codePage, table);
    return table;
}

// ---------------------------------------------------------------------------

SingleByteDecoder::SingleByteDecoder(std::shared_ptr<const SingleByteTable> table) : m_table(std::move(table))
{
    m_asciiSame = true;
    for (unsigned b = 0; b < 0x80; ++b)
        m_asciiSame = m_asciiSame && m_table->units[b] == b && !m_table->invalid[b];
}

Progress SingleByteDecoder::Decode(const unsigned char* src, size_t n, char16_t* dst, size_t cap, bool,
                                   DecodeTally& tally)
{
    const size_t count = n < cap ? n : cap;
    const SingleByteTable& t = *m_table;
    size_t i = 0;
#if defined(__SSE2__)
    if (m_asciiSame && ActiveKernel() >= Kernel::Sse2)
        i = DecodeAsciiSameSse2(t, src, count, dst, tally);
#endif
    for (; i < count; ++i) {
        const unsigned char b = src[i];
        dst[i] = t.units[b];
        if (t.invalid[b]) [[unlikely]]
            tally.Replaced(static_cast<ptrdiff_t>(i));
    }
    return {count, count};
}

SingleByteEncoder::SingleByteEncoder(std::shared_ptr<const SingleByteTable> table) : m_table(std::move(table))
{
    if (m_table->bytes[u'?'] != SingleByteTable::kNoByte)
        m_question = static_cast<unsigned char>(m_table->bytes[u'?']);
}

Progress SingleByteEncoder::Encode(const char16_t* src, size_t n, unsigned char* dst, size_t cap, bool end,
                                   uint64_t& replaced)
{
    const SingleByteTable& t = *m_table;
    size_t used = 0, out = 0;
    char32_t c = 0;
    while (out < cap && TakeCharacter(src, n, used, end, m_heldHigh, c)) {
        const uint16_t b = t.bytes[c];
        if (b == SingleByteTable::kNoByte) {
            dst[out++] = m_question;
            ++replaced;
        } else {
            dst[out++] = static_cast<unsigned char>(b);
        }
    }
    return {used, out};
}

}  // namespace codecs::detail
