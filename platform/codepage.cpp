#include "platform/codepage.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include <iconv.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include "base/text.h"
#include "platform/multibyte_table.h"
#include "platform/seven_bit_codecs.h"

namespace platform {

namespace {

// What a row needs beyond ICU's table to match the Windows code page.
enum RowFix : unsigned {
    // ICU's IBM PC tables (and the IBM table behind 932) follow the IBM "PC
    // graphic" layout: byte 1A is U+001C, 1C is U+007F and 7F is U+001A.
    // Windows keeps 00..7F in place, so a DOS file's Ctrl-Z stays a Ctrl-Z.
    kPcControls = 1,
    // The number shares another row's table; a charset name never means it.
    kSecondNumber = 2,
    // Decoded through direct tables read off the converter (multibyte_table.h)
    // wherever they reach: the busy double-byte code pages and GB18030.
    kTableDecoding = 4,
};

struct CodePageRow {
    unsigned codePage;
    const char* decoderName;
    const char* encoderName;  // null: same as the decoder
    unsigned fixes = 0;
};

// Windows code page numbers and the ICU converters whose tables match them.
// ISO-2022-JP decodes with JIS7, which accepts every escape of 50220..50222
// (ESC ( I and SO/SI half-width katakana, JIS X 0212); it encodes with plain
// ISO-2022-JP, as the three Windows code pages write no JIS X 0212. HZ and
// ISO-2022-KR are converted here over the tables named (seven_bit_codecs.h).
constexpr CodePageRow kCodePages[] = {
    {37, "ibm-37_P100-1995", nullptr},
    {437, "ibm-437_P100-1995", nullptr, kPcControls},
    {500, "ibm-500_P100-1995", nullptr},
    {708, "ISO-8859-6", nullptr, kSecondNumber},
    {720, "windows-720", nullptr, kPcControls},
    {737, "windows-737", nullptr, kPcControls},
    {775, "windows-775", nullptr, kPcControls},
    {850, "windows-850", nullptr, kPcControls},
    {852, "windows-852", nullptr, kPcControls},
    {855, "windows-855", nullptr, kPcControls},
    {857, "windows-857", nullptr, kPcControls},
    {858, "windows-858", nullptr, kPcControls},
    {860, "ibm-860_P100-1995", nullptr, kPcControls},
    {861, "windows-861", nullptr, kPcControls},
    {862, "windows-862", nullptr, kPcControls},
    {863, "ibm-863_P100-1995", nullptr, kPcControls},
    {864, "ibm-864_X110-1999", nullptr, kPcControls},
    {865, "ibm-865_P100-1995", nullptr, kPcControls},
    {866, "windows-866", nullptr, kPcControls},
    {869, "windows-869", nullptr, kPcControls},
    {870, "ibm-870_P100-1995", nullptr},
    {874, "windows-874", nullptr},
    {875, "ibm-875_P100-1995", nullptr},
    {932, "windows-932", nullptr, kPcControls | kTableDecoding},
    {936, "windows-936", nullptr, kTableDecoding},
    {949, "windows-949", nullptr, kTableDecoding},
    {950, "windows-950", nullptr, kTableDecoding},
    {1026, "ibm-1026_P100-1995", nullptr},
    {1047, "ibm-1047_P100-1995", nullptr},
    {1140, "ibm-1140_P100-1997", nullptr},
    {1200, "UTF-16LE", nullptr},
    {1201, "UTF-16BE", nullptr},
    {1250, "windows-1250", nullptr},
    {1251, "windows-1251", nullptr},
    {1252, "windows-1252", nullptr},
    {1253, "windows-1253", nullptr},
    {1254, "windows-1254", nullptr},
    {1255, "windows-1255", nullptr},
    {1256, "windows-1256", nullptr},
    {1257, "windows-1257", nullptr},
    {1258, "windows-1258", nullptr},
    {10000, "windows-10000", nullptr},
    {10006, "windows-10006", nullptr},
    {10007, "windows-10007", nullptr},
    {10029, "windows-10029", nullptr},
    {10081, "windows-10081", nullptr},
    {12000, "UTF-32LE", nullptr},
    {12001, "UTF-32BE", nullptr},
    {20127, "US-ASCII", nullptr},
    {20866, "windows-20866", nullptr},
    {20932, "EUC-JP", nullptr},
    {21866, "windows-21866", nullptr},
    {28591, "ISO-8859-1", nullptr},
    {28592, "windows-28592", nullptr},
    {28593, "windows-28593", nullptr},
    {28594, "windows-28594", nullptr},
    {28595, "windows-28595", nullptr},
    {28596, "windows-28596", nullptr},
    {28597, "windows-28597", nullptr},
    {28598, "windows-28598", nullptr},
    {28599, "windows-28599", nullptr},
    {28600, "iso-8859_10-1998", nullptr},
    {28603, "windows-28603", nullptr},
    {28605, "windows-28605", nullptr},
    {38598, "windows-28598", nullptr, kSecondNumber},
    {50220, "ISO_2022,locale=ja,version=3", "ISO_2022,locale=ja,version=0"},
    {50221, "ISO_2022,locale=ja,version=3", "ISO_2022,locale=ja,version=0"},
    {50222, "ISO_2022,locale=ja,version=3", "ISO_2022,locale=ja,version=0"},
    {50225, "windows-949", nullptr, kSecondNumber},  // KS X 1001 of 949 between SO and SI
    {50227, "ISO_2022,locale=zh,version=0", nullptr},
    {50229, "ISO_2022,locale=zh,version=1", nullptr},
    {51932, "EUC-JP", nullptr, kSecondNumber},
    {51936, "windows-936", nullptr, kSecondNumber | kTableDecoding},
    {51949, "windows-51949", nullptr},
    {51950, "EUC-TW", nullptr},
    {52936, "windows-936", nullptr, kSecondNumber},  // GB2312 of 936 between "~{" and "~}"
    {54936, "gb18030", nullptr, kTableDecoding},
    {65000, "UTF-7", nullptr},
    {65001, "UTF-8", nullptr},
};

// Single bytes where ICU's table differs from the Windows one in more than the
// control layout: MICRO SIGN at E6 (ICU has GREEK SMALL LETTER MU there)
// and NOT SIGN at AA of 852 (ICU leaves the byte unassigned).
struct ByteOverride {
    unsigned codePage;
    unsigned char byte;
    char16_t unit;
};
constexpr ByteOverride kWindowsBytes[] = {
    {437, 0xE6, 0x00B5}, {852, 0xAA, 0x00AC}, {860, 0xE6, 0x00B5}, {861, 0xE6, 0x00B5},
    {862, 0xE6, 0x00B5}, {863, 0xE6, 0x00B5}, {865, 0xE6, 0x00B5},
};

const CodePageRow* FindRow(unsigned codePage)
{
    for (const auto& row : kCodePages)
        if (row.codePage == codePage)
            return &row;
    return nullptr;
}

// Single-byte code pages ICU has no converter for: their tables are read from
// glibc's iconv at run time. 65010 is our own number for VISCII, which has no
// Windows code page.
struct IconvRow {
    unsigned codePage;
    const char* charset;
};
constexpr IconvRow kIconvCodePages[] = {
    {28606, "ISO-8859-16"},
    {65010, "VISCII"},
};

const IconvRow* FindIconvRow(unsigned codePage)
{
    for (const auto& row : kIconvCodePages)
        if (row.codePage == codePage)
            return &row;
    return nullptr;
}

// The symbolic numbers Windows accepts in place of a code page.
constexpr unsigned kOemCodePage = 1;      // CP_OEMCP
constexpr unsigned kMacCodePage = 2;      // CP_MACCP
constexpr unsigned kThreadCodePage = 3;   // CP_THREAD_ACP
constexpr unsigned kSymbolCodePage = 42;  // CP_SYMBOL

// Code pages that convert as code page 0.
bool IsDefaultCodePage(unsigned codePage)
{
    return codePage == 0 || codePage == kThreadCodePage;
}

// The code page whose table a symbolic number uses.
unsigned TableCodePageOf(unsigned codePage)
{
    switch (codePage) {
    case kOemCodePage: return 437;
    case kMacCodePage: return 10000;
    default: return codePage;
    }
}

std::optional<detail::ShiftScheme> SevenBitSchemeOf(unsigned codePage)
{
    if (codePage == 52936)
        return detail::ShiftScheme::Hz;
    if (codePage == 50225)
        return detail::ShiftScheme::Iso2022Kr;
    return std::nullopt;
}

constexpr char16_t kReplacement = 0xFFFD;

// The IBM PC control layout (kPcControls) mapped to the Windows one, for what
// passes through an ICU converter: units ICU decoded and bytes ICU encoded.
// No multi-byte character of these tables involves the three values.
char16_t WindowsUnitOfIcu(char16_t u)
{
    switch (u) {
    case 0x1C: return 0x1A;
    case 0x7F: return 0x1C;
    case 0x1A: return 0x7F;
    default: return u;
    }
}

unsigned char WindowsByteOfIcu(unsigned char b)
{
    switch (b) {
    case 0x7F: return 0x1A;
    case 0x1A: return 0x1C;
    case 0x1C: return 0x7F;
    default: return b;
    }
}

// Characters Windows has where ICU's table has none: KS X 1001:1998 added the
// euro and registered signs, which ICU's EUC-KR table (ibm-970) predates.
struct ExtraMapping {
    unsigned codePage;
    std::string_view bytes;
    char16_t unit;
};
constexpr ExtraMapping kWindowsExtras[] = {
    {51949, "\xA2\xE6", 0x20AC},
    {51949, "\xA2\xE7", 0x00AE},
};

// What the callbacks of one ICU converter need.
struct CallbackContext {
    unsigned codePage = 0;
    uint64_t* replacements = nullptr;
};

// Writes U+FFFD for every bad input sequence and counts it.
void U_CALLCONV CountingToUCallback(const void* context, UConverterToUnicodeArgs* args,
                                    const char* bytes, int32_t length, UConverterCallbackReason reason,
                                    UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    const auto& ctx = *static_cast<const CallbackContext*>(context);
    *err = U_ZERO_ERROR;
    const std::string_view sequence(bytes, static_cast<size_t>(length));
    for (const auto& extra : kWindowsExtras) {
        if (extra.codePage == ctx.codePage && extra.bytes == sequence) {
            ucnv_cbToUWriteUChars(args, &extra.unit, 1, 0, err);
            return;
        }
    }
    ++*ctx.replacements;
    const UChar sub = kReplacement;
    ucnv_cbToUWriteUChars(args, &sub, 1, 0, err);
}

// Writes the converter's substitution bytes for every unmappable character.
// Unlike ICU's stock callbacks it also replaces (and counts) default-ignorable
// characters such as U+200B instead of dropping them unseen.
void U_CALLCONV CountingFromUCallback(const void* context, UConverterFromUnicodeArgs* args,
                                      const UChar*, int32_t, UChar32 codePoint,
                                      UConverterCallbackReason reason, UErrorCode* err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    const auto& ctx = *static_cast<const CallbackContext*>(context);
    *err = U_ZERO_ERROR;
    for (const auto& extra : kWindowsExtras) {
        if (extra.codePage == ctx.codePage && extra.unit == codePoint) {
            const auto size = static_cast<int32_t>(extra.bytes.size());
            ucnv_cbFromUWriteBytes(args, extra.bytes.data(), size, 0, err);
            return;
        }
    }
    ++*ctx.replacements;
    ucnv_cbFromUWriteSub(args, 0, err);
}

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr OpenConverter(const char* name)
{
    UErrorCode err = U_ZERO_ERROR;
    ConverterPtr cnv(ucnv_open(name, &err));
    if (U_FAILURE(err))
        cnv.reset();
    return cnv;
}

// Both directions of a single-byte code page, built once from ICU (or glibc)
// with the Windows corrections applied. Decoding and encoding share it, so
// every byte the code page assigns round-trips.
struct SingleByteTable {
    static constexpr uint16_t kNoByte = 0xFFFF;
    std::array<char16_t, 256> units{};
    std::array<bool, 256> invalid{};
    std::vector<uint16_t> bytes = std::vector<uint16_t>(0x10000, kNoByte);  // by unit
};

void FillEncoderSide(SingleByteTable& table)
{
    for (int b = 255; b >= 0; --b)  // the lowest byte wins should two share a unit
        if (!table.invalid[b])
            table.bytes[table.units[b]] = static_cast<uint16_t>(b);
}

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
    for (const auto& o : kWindowsBytes) {
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
        ok = iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1) &&
             sizeof out - dstLeft == 2;
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                static_cast<unsigned char>(out[1]) << 8);
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

// Single-byte tables are immutable and shared by every decoder and encoder of the code page.
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

unsigned CodePageOfCharsetName(std::string_view charset)
{
    if (charset.empty())
        return 0;
    const std::string name(charset);
    for (const auto& row : kIconvCodePages)
        if (ucnv_compareNames(row.charset, name.c_str()) == 0)
            return row.codePage;
    ConverterPtr probe = OpenConverter(name.c_str());
    if (!probe)
        return 0;
    UErrorCode err = U_ZERO_ERROR;
    const std::string canonical = ucnv_getName(probe.get(), &err);
    for (const auto& row : kCodePages) {
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

// ---------------------------------------------------------------------------
// Decoder

namespace {

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
    uint64_t replacements = 0;
    CallbackContext callbacks;  // ICU holds its address
    std::variant<std::monostate, IcuDecoder, TableDecoder, DefaultDecoder, detail::SevenBitDecoder> kind;

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
                    replacements += t.invalid[src[k]];
                }
            }
        }
#endif
        for (; i < count; ++i) {
            const unsigned char b = src[i];
            dst[i] = t.units[b];
            replacements += t.invalid[b];
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
            ++replacements;
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
                ++replacements;
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
        auto putFallback = [&](unsigned char b) {
            dst[out++] = fb.units[b];
            replacements += fb.invalid[b];
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
            putFallback(d.held[0]);
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
                putFallback(b);
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
    const CodePageRow* row = FindRow(codePage);
    if (row == nullptr)
        return;
    ConverterPtr cnv = OpenConverter(row->decoderName);
    if (!cnv)
        return;
    m_impl->callbacks = {codePage, &m_impl->replacements};
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
    if (auto* t = std::get_if<TableDecoder>(&impl.kind))
        return impl.DecodeTable(*t, src, srcLen, dst, dstCap);
    if (auto* d = std::get_if<DefaultDecoder>(&impl.kind))
        return impl.DecodeDefault(*d, src, srcLen, dst, dstCap, endOfInput);
    if (auto* s = std::get_if<detail::SevenBitDecoder>(&impl.kind)) {
        const auto p = s->Decode(src, srcLen, dst, dstCap, endOfInput, impl.replacements);
        return {p.consumed, p.produced};
    }
    return impl.DecodeIcu(std::get<IcuDecoder>(impl.kind), src, srcLen, dst, dstCap, endOfInput);
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
}

uint64_t CodePageDecoder::ReplacementCount() const
{
    return m_impl ? m_impl->replacements : 0;
}

// ---------------------------------------------------------------------------
// Encoder

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
    std::variant<std::monostate, IcuEncoder, TableEncoder, detail::SevenBitEncoder> kind;

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
    else
        ucnv_resetFromUnicode(std::get<IcuEncoder>(m_impl->kind).cnv.get());
}

uint64_t CodePageEncoder::ReplacementCount() const
{
    return m_impl ? m_impl->replacements : 0;
}

// ---------------------------------------------------------------------------

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
