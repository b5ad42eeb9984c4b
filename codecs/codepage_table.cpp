// The code page table: Windows code page numbers, the converters whose tables match them, the corrections.
#include "codecs/codepage_table.h"

namespace codecs::detail {

namespace {

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
    {1375, "ibm-1375_P100-2008", nullptr},  // Big5-HKSCS: IBM's number, Windows has none
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

// 65010 is our own number for VISCII, which has no Windows code page.
constexpr IconvRow kIconvCodePages[] = {
    {28606, "ISO-8859-16"},
    {65010, "VISCII"},
};

// Single bytes where ICU's table differs from the Windows one in more than the
// control layout: MICRO SIGN at E6 (ICU has GREEK SMALL LETTER MU there)
// and NOT SIGN at AA of 852 (ICU leaves the byte unassigned).
constexpr ByteOverride kWindowsBytes[] = {
    {437, 0xE6, 0x00B5}, {852, 0xAA, 0x00AC}, {860, 0xE6, 0x00B5}, {861, 0xE6, 0x00B5},
    {862, 0xE6, 0x00B5}, {863, 0xE6, 0x00B5}, {865, 0xE6, 0x00B5},
};

// Characters Windows has where ICU's table has none: KS X 1001:1998 added the
// euro and registered signs, which ICU's EUC-KR table (ibm-970) predates.
constexpr ExtraMapping kWindowsExtras[] = {
    {51949, "\xA2\xE6", 0x20AC},
    {51949, "\xA2\xE7", 0x00AE},
};

}  // namespace

std::span<const CodePageRow> CodePageRows()
{
    return kCodePages;
}
std::span<const IconvRow> IconvRows()
{
    return kIconvCodePages;
}
std::span<const ByteOverride> WindowsByteOverrides()
{
    return kWindowsBytes;
}
std::span<const ExtraMapping> WindowsExtras()
{
    return kWindowsExtras;
}

const CodePageRow* FindRow(unsigned codePage)
{
    for (const auto& row : kCodePages)
        if (row.codePage == codePage)
            return &row;
    return nullptr;
}

const IconvRow* FindIconvRow(unsigned codePage)
{
    for (const auto& row : kIconvCodePages)
        if (row.codePage == codePage)
            return &row;
    return nullptr;
}

std::optional<ShiftScheme> SevenBitSchemeOf(unsigned codePage)
{
    if (codePage == 52936)
        return ShiftScheme::Hz;
    if (codePage == 50225)
        return ShiftScheme::Iso2022Kr;
    return std::nullopt;
}

}  // namespace codecs::detail
