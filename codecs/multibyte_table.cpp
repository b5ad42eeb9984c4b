#include "codecs/multibyte_table.h"

namespace codecs::detail {

namespace {

constexpr char16_t kNone = MultiByteTable::kNone;

// A unit the tables may hold: one BMP character, not a surrogate, and not the
// replacement character (which a converter writes for bad input only).
bool Storable(int units, const char16_t* out)
{
    return units == 1 && out[0] != kNone && out[0] != 0xFFFD && (out[0] < 0xD800 || out[0] > 0xDFFF);
}

// GB18030 four-byte sequences: b1 81..FE, b2 30..39, b3 81..FE, b4 30..39.
uint32_t FourByteIndex(unsigned b1, unsigned b2, unsigned b3, unsigned b4)
{
    return (((b1 - 0x81) * 10 + (b2 - 0x30)) * 126 + (b3 - 0x81)) * 10 + (b4 - 0x30);
}

void FourByteOf(uint32_t index, unsigned char* bytes)
{
    bytes[3] = static_cast<unsigned char>(0x30 + index % 10);
    index /= 10;
    bytes[2] = static_cast<unsigned char>(0x81 + index % 126);
    index /= 126;
    bytes[1] = static_cast<unsigned char>(0x30 + index % 10);
    bytes[0] = static_cast<unsigned char>(0x81 + index / 10);
}

constexpr uint32_t kBmpFourByteCount = 4 * 10 * 126 * 10;  // lead bytes 81..84

// The supplementary range decodes arithmetically only if the converter agrees
// at its ends and at points spread over it.
bool SupplementaryMatches(const SequenceProbe& probe)
{
    for (uint64_t k = 0; k <= 256; ++k) {
        const auto v = static_cast<uint32_t>(0xFFFFF * k / 256);  // U+10000 + v, up to U+10FFFF
        unsigned char bytes[4];
        FourByteOf(MultiByteTable::kSupplementaryBase + v, bytes);
        char16_t out[4];
        if (probe(bytes, 4, out) != 2 || out[0] != 0xD800 + (v >> 10) || out[1] != 0xDC00 + (v & 0x3FF))
            return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<const MultiByteTable> BuildMultiByteTable(const SequenceProbe& probe, bool gb18030)
{
    auto table = std::make_shared<MultiByteTable>();
    char16_t out[4];
    size_t leads = 0;
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const int n = probe(&byte, 1, out);
        table->single[b] = Storable(n, out) ? out[0] : kNone;
        leads += table->single[b] == kNone;
    }
    table->rowStore.assign((leads + 1) * 256, kNone);
    size_t next = 1;
    for (unsigned b = 0; b < 256; ++b) {
        table->rows[b] = table->rowStore.data();
        if (table->single[b] != kNone)
            continue;
        char16_t* row = table->rowStore.data() + next * 256;
        bool any = false;
        for (unsigned t = 0; t < 256; ++t) {
            const unsigned char pair[2] = {static_cast<unsigned char>(b), static_cast<unsigned char>(t)};
            if (Storable(probe(pair, 2, out), out)) {
                row[t] = out[0];
                any = true;
            }
        }
        if (any) {
            table->rows[b] = row;
            ++next;
        }
    }
    if (gb18030) {
        table->fourByte.assign(kBmpFourByteCount, kNone);
        for (uint32_t i = 0; i < kBmpFourByteCount; ++i) {
            unsigned char bytes[4];
            FourByteOf(i, bytes);
            if (Storable(probe(bytes, 4, out), out))
                table->fourByte[i] = out[0];
        }
        table->supplementary = SupplementaryMatches(probe);
    }
    return table;
}

size_t DecodeByTable(const MultiByteTable& table, const unsigned char* src, size_t n, char16_t* dst, size_t cap,
                     size_t& out)
{
    const bool fourBytes = !table.fourByte.empty();
    size_t i = 0, o = out;
    while (i < n && o < cap) {
        const unsigned b = src[i];
        char16_t u = table.single[b];
        if (u != kNone) {
            dst[o++] = u;
            ++i;
            continue;
        }
        if (n - i < 2)
            break;
        const unsigned b2 = src[i + 1];
        u = table.rows[b][b2];
        if (u != kNone) {
            dst[o++] = u;
            i += 2;
            continue;
        }
        if (!fourBytes || b2 - 0x30u > 9u || b < 0x81 || b == 0xFF || n - i < 4)
            break;
        const unsigned b3 = src[i + 2], b4 = src[i + 3];
        if (b3 - 0x81u > 0x7Du || b4 - 0x30u > 9u)
            break;
        const uint32_t index = FourByteIndex(b, b2, b3, b4);
        if (index < table.fourByte.size()) {
            u = table.fourByte[index];
            if (u == kNone)
                break;
            dst[o++] = u;
        } else {
            const uint32_t v = index - MultiByteTable::kSupplementaryBase;
            if (!table.supplementary || index < MultiByteTable::kSupplementaryBase || v > 0xFFFFF || cap - o < 2)
                break;
            dst[o++] = static_cast<char16_t>(0xD800 + (v >> 10));
            dst[o++] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        }
        i += 4;
    }
    out = o;
    return i;
}

}  // namespace codecs::detail
