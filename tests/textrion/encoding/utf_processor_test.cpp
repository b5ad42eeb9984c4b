#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/kernels.h"
#include "textrion/encoding/utf_processor.h"
#include "textrion_test_util.h"

namespace {

using textrion_test::Iconv;
using textrion_test::kUnicodeSample;

struct Decoder {
    const char* name;
    const char* iconvName;
    int kind;  // 8, 16 or 32
    int endian;
};

const Decoder kDecoders[] = {
    {"UTF-8", "UTF-8", 8, 0},
    {"UTF-16 LE", "UTF-16LE", 16, CUTFProcessor::UTF16_LE},
    {"UTF-16 BE", "UTF-16BE", 16, CUTFProcessor::UTF16_BE},
    {"UTF-32 LE", "UTF-32LE", 32, CUTFProcessor::UTF32_LE},
    {"UTF-32 BE", "UTF-32BE", 32, CUTFProcessor::UTF32_BE},
};

CUTFProcessor::tagUTFPROCESSRESULT Decode(CUTFProcessor& p, const Decoder& d, const std::string& bytes, unsigned& used,
                                          char16_t* out, unsigned cap, unsigned& made, bool end)
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto len = static_cast<unsigned>(bytes.size());
    if (d.kind == 8)
        return p.ReadUTF8(src, len, used, out, cap, made, end);
    if (d.kind == 16)
        return p.ReadUTF16(src, len, used, out, cap, static_cast<CUTFProcessor::tagUTF16ENDIANTYPE>(d.endian), made,
                           end);
    return p.ReadUTF32(src, len, used, out, cap, static_cast<CUTFProcessor::tagUTF32ENDIANTYPE>(d.endian), made, end);
}

// Cutting the input at every byte: the first call leaves the cut character
// unconsumed, the second decodes it whole.
TEST(UtfProcessor, DecodersResumeASequenceCutAtAnyByte)
{
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        const std::string bytes = Iconv(d.iconvName, kUnicodeSample);
        std::vector<char16_t> out(bytes.size() + 4);
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            CUTFProcessor p;
            unsigned used1 = 0, made1 = 0, used2 = 0, made2 = 0;
            const auto r1 = Decode(p, d, bytes.substr(0, cut), used1, out.data(), out.size(), made1, false);
            EXPECT_NE(r1, CUTFProcessor::UTFPROCESS_TARGET_EXHAUSTED);
            EXPECT_EQ(r1 == CUTFProcessor::UTFPROCESS_OK, used1 == cut);
            const auto r2 =
                Decode(p, d, bytes.substr(used1), used2, out.data() + made1, out.size() - made1, made2, true);
            EXPECT_EQ(r2, CUTFProcessor::UTFPROCESS_OK);
            ASSERT_EQ(std::u16string(out.data(), made1 + made2), kUnicodeSample);
            EXPECT_EQ(p.GetReplacementCount(), 0u);
        }
    }
}

TEST(UtfProcessor, AcceptsExactlyTheWellFormedUtf8Sequences)
{
    const std::pair<std::string, bool> rows[] = {
        {"a", true},
        {"\xC2\x80", true},
        {"\xDF\xBF", true},
        {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true},
        {"\xEF\xBF\xBF", true},
        {"\xF0\x90\x80\x80", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\x80", false},
        {"\xC0\x80", false},
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xA0\x80", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xF8\x88\x80\x80\x80", false},
        {"\xE2\x82", false},
        {"\xC3\x41", false},
    };
    for (const auto& [bytes, legal] : rows) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(CUTFProcessor::IsLegalUTF8Sequence(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                     static_cast<unsigned>(bytes.size())),
                  legal);
    }
}

// Streams the sample through output buffers of every size from the smallest
// that holds a UTF-32 CR LF: the result never depends on where a pass ends.
TEST(UtfProcessor, EncodersGiveTheSameBytesWhateverTheOutputSize)
{
    std::u16string crlf;  // the sample with every line break as CR LF
    for (size_t i = 0; i < kUnicodeSample.size(); ++i) {
        const char16_t u = kUnicodeSample[i];
        if (u == u'\r' || u == u'\n') {
            crlf += u"\r\n";
            if (u == u'\r' && i + 1 < kUnicodeSample.size() && kUnicodeSample[i + 1] == u'\n')
                ++i;
        } else {
            crlf += u;
        }
    }
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        const std::string expected = Iconv(d.iconvName, crlf);
        for (unsigned size = 8; size <= 24; ++size) {
            SCOPED_TRACE(size);
            CUTFProcessor p;
            p.SetCrLfType(CUTFProcessor::UTFCRLF_CRLF);
            std::string bytes;
            std::vector<unsigned char> buffer(size);
            unsigned done = 0;
            for (size_t pass = 0; done < kUnicodeSample.size() && pass <= kUnicodeSample.size(); ++pass) {
                unsigned used = 0, made = 0;
                const char16_t* src = kUnicodeSample.data() + done;
                const auto len = static_cast<unsigned>(kUnicodeSample.size() - done);
                if (d.kind == 8)
                    p.WriteUTF8(src, len, used, buffer.data(), size, made);
                else if (d.kind == 16)
                    p.WriteUTF16(src, len, used, buffer.data(), size, made,
                                 static_cast<CUTFProcessor::tagUTF16ENDIANTYPE>(d.endian));
                else
                    p.WriteUTF32(src, len, used, buffer.data(), size, made,
                                 static_cast<CUTFProcessor::tagUTF32ENDIANTYPE>(d.endian));
                ASSERT_LE(made, size);
                bytes.append(reinterpret_cast<const char*>(buffer.data()), made);
                done += used;
            }
            EXPECT_EQ(bytes, expected);
        }
    }
}

// --- Differential tests: the decoder and encoders against plain reference
// loops, one character at a time, over random text with a fixed seed. The
// random text mixes long ASCII runs (the block paths), every UTF-8 length,
// line breaks, lone and split surrogates and ill-formed bytes, and is streamed
// in random pieces through every small output size, so that each fast path
// meets the end of its input and of its output at every offset.

struct Step {
    CUTFProcessor::tagUTFPROCESSRESULT result;
    unsigned used;
    std::u16string units;  // decoded units, or encoded bytes one per unit
    friend bool operator==(const Step&, const Step&) = default;
};

void PrintTo(const Step& s, std::ostream* os)
{
    *os << "result " << s.result << ", used " << s.used << ", output " << testing::PrintToString(s.units);
}

struct RefDecoder {
    uint64_t replacements = 0;

    // Length and value of a well-formed sequence at p, or 0.
    static unsigned WellFormed(const unsigned char* p, unsigned left, char32_t& cp)
    {
        static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        const unsigned n = p[0] < 0x80                   ? 1
                           : p[0] >= 0xC0 && p[0] < 0xE0 ? 2
                           : (p[0] & 0xF0) == 0xE0       ? 3
                           : (p[0] & 0xF8) == 0xF0       ? 4
                                                         : 0;
        if (n == 0 || n > left)
            return 0;
        cp = n == 1 ? p[0] : p[0] & (0x7F >> n);
        for (unsigned i = 1; i < n; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        return cp >= kMin[n] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF) ? n : 0;
    }

    Step Read(const unsigned char* src, unsigned len, unsigned cap, bool end)
    {
        Step out{CUTFProcessor::UTFPROCESS_OK, 0, {}};
        unsigned& s = out.used;
        while (s < len) {
            // The length the lead byte claims decides whether to wait for more input.
            const unsigned char b = src[s];
            const unsigned claimed = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : b < 0xFC ? 5 : 6;
            char32_t cp = 0;
            unsigned n = 0;
            if (claimed > len - s) {
                if (!end) {
                    out.result = CUTFProcessor::UTFPROCESS_SOURCE_EXHAUSTED;
                    break;
                }
            } else {
                n = WellFormed(src + s, len - s, cp);
            }
            const bool replace = n == 0 || cp == 0;
            const unsigned need = !replace && cp > 0xFFFF ? 2 : 1;
            if (cap - out.units.size() < need) {
                out.result = CUTFProcessor::UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            if (replace) {
                out.units += u'\uFFFD';
                ++replacements;
            } else if (cp > 0xFFFF) {
                out.units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                out.units += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                out.units += static_cast<char16_t>(cp);
            }
            s += n == 0 ? 1 : n;
        }
        return out;
    }
};

// UTF-8 (utf16 false) or UTF-16 in the given byte order.
struct RefEncoder {
    CUTFProcessor::tagUTFPROCESSCRLFTYPE mode;
    bool utf16 = false;
    bool bigEndian = false;
    bool pendingCR = false;
    uint64_t replacements = 0;

    std::u16string Bytes(char32_t cp) const
    {
        std::u16string b;
        if (utf16) {
            auto unit = [&](char32_t u) {
                b += static_cast<char16_t>(bigEndian ? u >> 8 : u & 0xFF);
                b += static_cast<char16_t>(bigEndian ? u & 0xFF : u >> 8);
            };
            unit(cp);
        } else if (cp < 0x80) {
            b += static_cast<char16_t>(cp);
        } else {
            const int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
            b += static_cast<char16_t>(((0xF00u >> n) & 0xFF) | (cp >> (6 * (n - 1))));
            for (int i = n - 2; i >= 0; --i)
                b += static_cast<char16_t>(0x80 | ((cp >> (6 * i)) & 0x3F));
        }
        return b;
    }

    Step Write(const char16_t* src, unsigned len, unsigned cap)
    {
        Step out{CUTFProcessor::UTFPROCESS_OK, 0, {}};
        unsigned& s = out.used;
        if (len > 0 && pendingCR) {
            pendingCR = false;
            if (mode != CUTFProcessor::UTFCRLF_KEEP && src[0] == u'\n')
                s = 1;
        }
        while (s < len) {
            const char16_t u = src[s];
            std::u16string bytes;
            unsigned taken = 1;
            bool replaced = false;
            if (mode != CUTFProcessor::UTFCRLF_KEEP && (u == u'\r' || u == u'\n')) {
                if (u == u'\r' && s + 1 < len && src[s + 1] == u'\n')
                    taken = 2;
                if (mode != CUTFProcessor::UTFCRLF_LF)
                    bytes += Bytes(U'\r');
                if (mode != CUTFProcessor::UTFCRLF_CR)
                    bytes += Bytes(U'\n');
            } else if (utf16 || u < 0xD800 || u > 0xDFFF) {
                bytes = Bytes(u);
            } else if (u < 0xDC00 && s + 1 < len && src[s + 1] >= 0xDC00 && src[s + 1] <= 0xDFFF) {
                bytes = Bytes(0x10000 + ((u - 0xD800) << 10) + (src[s + 1] - 0xDC00));
                taken = 2;
            } else if (u < 0xDC00 && s + 1 == len) {
                out.result = CUTFProcessor::UTFPROCESS_SOURCE_EXHAUSTED;
                break;
            } else {
                bytes = Bytes(0xFFFD);
                replaced = true;
            }
            if (cap - out.units.size() < bytes.size()) {
                out.result = CUTFProcessor::UTFPROCESS_TARGET_EXHAUSTED;
                break;
            }
            out.units += bytes;
            replacements += replaced;
            s += taken;
            if (u == u'\r' && taken == 1 && s == len && mode != CUTFProcessor::UTFCRLF_KEEP)
                pendingCR = true;
        }
        return out;
    }
};

std::u16string RandomUnits(std::mt19937& random, size_t count)
{
    const char16_t special[] = {0x7F,   0x80,   0x7FF,  0x800,  0xD7FF, 0xD800, 0xDBFF, 0xDC00,
                                0xDFFF, 0xE000, 0xFFFF, 0xFFFD, 0,      u'\r',  u'\n'};
    std::u16string s;
    while (s.size() < count) {
        switch (random() % 8) {
        case 0:
        case 1:
            for (unsigned n = random() % 24; n > 0; --n)
                s += static_cast<char16_t>(0x20 + random() % 0x5F);
            break;
        case 2:
            s += special[random() % std::size(special)];
            break;
        case 3:
            s += static_cast<char16_t>(0x80 + random() % 0x780);
            break;
        case 4:
            s += static_cast<char16_t>(0x800 + random() % 0xF800);
            break;
        case 5:  // a pair, or a high surrogate before something else
            s += static_cast<char16_t>(0xD800 + random() % 0x400);
            s += random() % 4 ? static_cast<char16_t>(0xDC00 + random() % 0x400)
                              : special[random() % std::size(special)];
            break;
        case 6:
            s += u"\r\n";
            break;
        default:
            s += static_cast<char16_t>(random() % 0x80);
            break;
        }
    }
    return s;
}

// UTF-8 of random units, some sequences cut or with a byte changed, and the
// sequences at the edges of each well-formed range.
std::string RandomUtf8(std::mt19937& random, size_t count)
{
    const char* const edges[] = {
        "\xC0\x80",
        "\xC1\xBF",
        "\xC2\x80",
        "\xDF\xBF",
        "\xE0\x9F\xBF",
        "\xE0\xA0\x80",
        "\xED\x9F\xBF",
        "\xED\xA0\x80",
        "\xEF\xBF\xBF",
        "\xF0\x8F\xBF\xBF",
        "\xF0\x90\x80\x80",
        "\xF4\x8F\xBF\xBF",
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFC\x84\x80\x80\x80\x80",
        "\x80",
        "\xBF",
        "\xFF",
    };
    std::string bytes;
    RefEncoder well{CUTFProcessor::UTFCRLF_KEEP};
    for (char16_t u : RandomUnits(random, count)) {
        if (random() % 8 == 0)
            bytes += edges[random() % std::size(edges)];
        std::u16string c = well.Bytes(u >= 0xD800 && u <= 0xDFFF ? 0x10000 + random() % 0x100000 : u);
        if (random() % 16 == 0)
            c[random() % c.size()] = static_cast<char16_t>(random() % 0x100);
        if (random() % 16 == 0)
            c.resize(random() % c.size());
        bytes.append(c.begin(), c.end());
    }
    return bytes;
}

// Streams `count` items through `call` in random pieces; call(at, len, end)
// returns the input it took. Stops when two passes in a row take nothing with
// the whole rest given (the output cannot take the next character).
template <typename Call> void Stream(std::mt19937& random, size_t count, Call call)
{
    size_t at = 0;
    int idle = 0;
    while (at < count && idle < 3) {
        const size_t len = idle > 0 ? count - at : std::min<size_t>(count - at, random() % 40);
        const unsigned used = call(at, static_cast<unsigned>(len), at + len == count);
        idle = used == 0 ? idle + 1 : 0;
        at += used;
    }
}

// Streams the bytes through the decoder and the reference loop into outputs
// of `size` units, in random pieces (of at least minPiece bytes where the input
// has them; 0: any), comparing every call.
void ExpectDecoderMatchesReference(std::mt19937& random, const std::string& bytes, unsigned size, unsigned minPiece)
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    CUTFProcessor fast;
    RefDecoder ref;
    Stream(random, bytes.size(), [&](size_t at, unsigned len, bool end) {
        if (minPiece > 0) {
            len = std::max<unsigned>(len, std::min<unsigned>(minPiece + random() % 100, bytes.size() - at));
            end = at + len == bytes.size();
        }
        const std::vector<unsigned char> in(src + at, src + at + len);  // exact size, for ASan
        std::vector<char16_t> out(size);
        unsigned used = 0, made = 0;
        const auto r = fast.ReadUTF8(in.data(), len, used, out.data(), size, made, end);
        const Step expected = ref.Read(in.data(), len, size, end);
        EXPECT_EQ((Step{r, used, std::u16string(out.data(), made)}), expected) << "at byte " << at;
        EXPECT_EQ(fast.GetReplacementCount(), ref.replacements);
        return expected.used;
    });
}

// The UTF-8 decoder and encoder against their reference loops on each kernel
// the processor has: the SSSE3 blocks, and the scalar runs alone.
class UtfProcessorKernels : public testing_support::KernelTest { };

TEST_P(UtfProcessorKernels, Utf8DecoderMatchesAReferenceLoopOnRandomInput)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; ++round) {
        const std::string text = RandomUtf8(random, 300);
        for (unsigned cap = 1; cap <= 17; ++cap) {
            const unsigned size = cap == 17 ? 4096 : cap;  // and one that holds any piece whole
            SCOPED_TRACE(testing::Message() << "round " << round << ", output " << size);
            ExpectDecoderMatchesReference(random, text, size, 0);
        }
    }
}

TEST_P(UtfProcessorKernels, Utf8AndUtf16EncodersMatchAReferenceLoopOnRandomInput)
{
    std::mt19937 random(20240612);
    const CUTFProcessor::tagUTFPROCESSCRLFTYPE modes[] = {CUTFProcessor::UTFCRLF_KEEP, CUTFProcessor::UTFCRLF_CR,
                                                          CUTFProcessor::UTFCRLF_LF, CUTFProcessor::UTFCRLF_CRLF};
    for (int round = 0; round < 24; ++round) {
        const std::u16string text = RandomUnits(random, 300);
        for (int form = 0; form < 3; ++form) {  // UTF-8, UTF-16 LE, UTF-16 BE
            for (const auto mode : modes) {
                for (unsigned cap = 1; cap <= 17; ++cap) {
                    const unsigned size = cap == 17 ? 4096 : cap;
                    SCOPED_TRACE(testing::Message()
                                 << "round " << round << ", form " << form << ", mode " << mode << ", output " << size);
                    CUTFProcessor fast;
                    fast.SetCrLfType(mode);
                    RefEncoder ref{mode, form > 0, form == 2};
                    Stream(random, text.size(), [&](size_t at, unsigned len, bool) {
                        const std::vector<char16_t> in(text.begin() + at, text.begin() + at + len);  // for ASan
                        std::vector<unsigned char> out(size);
                        unsigned used = 0, made = 0;
                        const auto r =
                            form == 0 ? fast.WriteUTF8(in.data(), len, used, out.data(), size, made)
                                      : fast.WriteUTF16(in.data(), len, used, out.data(), size, made,
                                                        form == 2 ? CUTFProcessor::UTF16_BE : CUTFProcessor::UTF16_LE);
                        const Step expected = ref.Write(in.data(), len, size);
                        EXPECT_EQ((Step{r, used, std::u16string(out.begin(), out.begin() + made)}), expected)
                            << "at unit " << at;
                        EXPECT_EQ(fast.GetReplacementCount(), ref.replacements);
                        return expected.used;
                    });
                }
            }
        }
    }
}

// Text made of eight-unit blocks of one kind each, as the block encoder takes
// them: ASCII, one and two bytes under every mask, all three bytes, one to
// three bytes mixed, and blocks spoilt at one place by a surrogate, a line break, a control character or a
// unit of another length. Units are drawn at the edges of their ranges too.
std::u16string RandomBlocks(std::mt19937& random, size_t blocks)
{
    auto below0800 = [&](bool two) {
        if (!two)
            return static_cast<char16_t>(random() % 4 ? 0x20 + random() % 0x5F : 0x0E + random() % 0x72);
        const char16_t edges[] = {0x80, 0xFF, 0x100, 0x7FF};
        return random() % 4 ? static_cast<char16_t>(0x80 + random() % 0x780) : edges[random() % 4];
    };
    auto three = [&] {
        const char16_t edges[] = {0x800, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF, 0x3000};
        return random() % 4 ? static_cast<char16_t>(0x800 + random() % 0xD000) : edges[random() % 6];
    };
    const char16_t spoilers[] = {0xD800, 0xDBFF, 0xDC00, 0xDFFF, u'\r', u'\n', 0, 0x09, 0x0D, 0x0E, 0x41, 0x7FF, 0x800};
    std::u16string s;
    for (size_t b = 0; b < blocks; ++b) {
        const unsigned kind = random() % 5;
        const unsigned mask = random() % 256;
        for (unsigned lane = 0; lane < 8; ++lane) {
            const unsigned length = kind == 4   ? 1 + random() % 3
                                    : kind == 3 ? 3
                                    : kind == 0 ? 1
                                                : 1 + ((mask >> lane) & 1);
            s += length == 3 ? three() : below0800(length == 2);
        }
        if (random() % 3 == 0)
            s[s.size() - 8 + random() % 8] = spoilers[random() % std::size(spoilers)];
    }
    return s;
}

TEST_P(UtfProcessorKernels, Utf8EncoderMatchesAReferenceLoopOnBlocksOfEveryKind)
{
    std::mt19937 random(20240613);
    const CUTFProcessor::tagUTFPROCESSCRLFTYPE modes[] = {CUTFProcessor::UTFCRLF_KEEP, CUTFProcessor::UTFCRLF_LF,
                                                          CUTFProcessor::UTFCRLF_CRLF};
    for (int round = 0; round < 30; ++round) {
        // A few units ahead, so that the blocks start at every offset.
        const std::u16string text = std::u16string(round % 8, u'a') + RandomBlocks(random, 64);
        for (const auto mode : modes) {
            for (unsigned size : {4u, 31u, 32u, 33u, 57u, 4096u}) {
                SCOPED_TRACE(testing::Message() << "round " << round << ", mode " << mode << ", output " << size);
                CUTFProcessor fast;
                fast.SetCrLfType(mode);
                RefEncoder ref{mode};
                unsigned at = 0;
                for (int pass = 0; at < text.size() && pass < 1000; ++pass) {
                    const auto len = static_cast<unsigned>(std::min<size_t>(text.size() - at, 8 + random() % 120));
                    const std::vector<char16_t> in(text.begin() + at, text.begin() + at + len);  // for ASan
                    std::vector<unsigned char> out(size);
                    unsigned used = 0, made = 0;
                    const auto r = fast.WriteUTF8(in.data(), len, used, out.data(), size, made);
                    const Step expected = ref.Write(in.data(), len, size);
                    ASSERT_EQ((Step{r, used, std::u16string(out.begin(), out.begin() + made)}), expected)
                        << "at unit " << at;
                    at += used;
                    if (used == 0 && at + len == text.size())
                        break;  // a high surrogate ends the text
                }
                EXPECT_EQ(fast.GetReplacementCount(), ref.replacements);
            }
        }
    }
}

// The decoder takes the same blocks in UTF-8, some bytes spoilt (a NUL, a
// stray trail byte, a lead without its trail, an overlong or surrogate form, a
// four-byte character), through outputs of every size around a block's.
TEST_P(UtfProcessorKernels, Utf8DecoderMatchesAReferenceLoopOnBlocksOfEveryKind)
{
    std::mt19937 random(20240614);
    const char* const spoilers[] = {"\0",       "\x80",     "\xBF",         "\xC3",         "\xE4\xB8",
                                    "\xC0\xAF", "\xC1\x81", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x9F\x98\x80",
                                    "\xF8\x88", "\xFF"};
    RefEncoder well{CUTFProcessor::UTFCRLF_KEEP};
    for (int round = 0; round < 40; ++round) {
        std::string bytes(round % 16, 'a');  // blocks start at every offset
        for (char16_t u : RandomBlocks(random, 48)) {
            const std::u16string c = well.Bytes(u >= 0xD800 && u <= 0xDFFF ? 0x4E2D : u);
            bytes.append(c.begin(), c.end());
            if (random() % 40 == 0)
                bytes += spoilers[random() % std::size(spoilers)];
        }
        for (unsigned size : {1u, 15u, 16u, 17u, 40u, 4096u}) {
            SCOPED_TRACE(testing::Message() << "round " << round << ", output " << size);
            ExpectDecoderMatchesReference(random, bytes, size, 16);
        }
    }
}

// A unit replaced by U+FFFD that does not fit is left for the next call and
// counted only when written.
TEST(UtfProcessor, CountsAReplacedSurrogateOnceWhenTheOutputFillsBeforeIt)
{
    const std::u16string text = {u'a', u'b', 0xDC00, u'c', u'd', 0xD800, u'e'};
    for (unsigned size = 3; size <= 8; ++size) {
        SCOPED_TRACE(size);
        CUTFProcessor p;
        std::vector<unsigned char> out(size);
        std::string bytes;
        for (unsigned done = 0, pass = 0; done < text.size() && pass < text.size(); ++pass) {
            unsigned used = 0, made = 0;
            p.WriteUTF8(text.data() + done, static_cast<unsigned>(text.size() - done), used, out.data(), size, made);
            bytes.append(out.begin(), out.begin() + made);
            done += used;
        }
        EXPECT_EQ(bytes, "ab\xEF\xBF\xBD"
                         "cd\xEF\xBF\xBD"
                         "e");
        EXPECT_EQ(p.GetReplacementCount(), 2u);
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, UtfProcessorKernels, testing_support::AllKernels(), testing_support::KernelName());

}  // namespace
