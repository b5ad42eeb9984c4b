// The byte paths: text converted straight from the reader's bytes into the writer's blocks.
#include "varnex/convert/byte_transcoder.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "codecs/codepage.h"
#include "codecs/cpu_kernels.h"
#include "textrion/encoding/utf8_validation.h"
#include "textrion/encoding/utf_processor.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"
#include "varnex/convert/byte_paths.h"

namespace byte_paths {

namespace {

// The table SingleByteUtf8For gives, from the code page's decoder.
std::shared_ptr<const SingleByteUtf8> MakeSingleByteUtf8(unsigned codePage)
{
    std::array<char16_t, 256> units{};
    std::array<bool, 256> replaced{};
    if (!codecs::CodePageDecoder(codePage).GetSingleByteMap(units, replaced))
        return nullptr;
    auto table = std::make_shared<SingleByteUtf8>();
    for (unsigned b = 0; b < 256; ++b) {
        const char32_t u = units[b];
        const bool fits = b < 0x80 ? u == b && !replaced[b] : u != kCr && u != kLf && (u < 0xD800 || u > 0xDFFF);
        if (!fits)
            return nullptr;
        unsigned char out[4] = {};
        out[3] = static_cast<unsigned char>(Utf8Form::Put(out, u) - out);
        std::memcpy(&table->utf8[b], out, 4);
        table->tally[b] = uint64_t{u - 0x80 < 0x20} | uint64_t{u == 0xFFFD} << kTallyShift |
                          uint64_t{replaced[b]} << (2 * kTallyShift);
        table->counted |= table->tally[b] != 0;
    }
    table->latin1 = true;
    for (unsigned b = 0xA0; b < 0x100; ++b)
        table->latin1 &= units[b] == b && !replaced[b];
    return table;
}

}  // namespace

std::shared_ptr<const SingleByteUtf8> SingleByteUtf8For(unsigned codePage)
{
    static std::mutex mutex;
    static std::map<unsigned, std::shared_ptr<const SingleByteUtf8>> tables;
    std::lock_guard lock(mutex);
    const auto found = tables.find(codePage);
    if (found != tables.end())
        return found->second;
    return tables.emplace(codePage, MakeSingleByteUtf8(codePage)).first->second;
}

}  // namespace byte_paths

namespace {

using namespace byte_paths;
using codecs::Kernel;

// Writes and counts text [p, e) that ends with a whole character, or
// (UTF-8) up to the first character whose units would go past units, which
// it takes off. Bytes up to readable may be read. Returns where it stopped.
template <typename Text>
const unsigned char* PutRun(const Text& text, Sink& s, const unsigned char* p, const unsigned char* const e,
                            const unsigned char* const readable, size_t& units)
{
    const Kernel kernel = codecs::ActiveKernel();
    while (p < e) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
        if (kernel >= Kernel::Avx2)
            p = avx2::PutBlocks(text, s, p, e, readable, units);
        if constexpr (Text::kShuffles) {
            if (kernel >= Kernel::Ssse3) {
                p = ssse3::PutBlocks(text, s, p, e, readable, units);
                if (ssse3::PutTail(text, s, p, e, units))
                    p = e;
            }
        }
#endif
#if defined(__SSE2__)
        if constexpr (!Text::kShuffles) {
            if (kernel >= Kernel::Sse2) {
                p = sse2::PutBlocks(text, s, p, e, readable, units);
                if (sse2::PutTail(text, s, p, e, units))
                    p = e;
            }
        }
#endif
        if (p == e)
            break;
        const size_t taken = text.PutOne(s, p, units);
        if (taken == 0)
            break;
        p += taken;
    }
    s.DrainTally();
    return p;
}

// Why a pass of the reader's decoding over the bytes in its buffer ended.
enum class Stop {
    kNone,    // all taken
    kSource,  // a character cut by the end of the bytes waits for more
    kTarget,  // the next character does not fit in the units left
};

struct Pass {
    size_t used = 0;
    size_t units = 0;
    Stop stop = Stop::kNone;
};

// UTF-8 into the output form of Text (Utf8Text or Utf8TextAsUtf16).
template <typename Text> class Utf8Transcoder : public ByteTranscoder {
public:
    Utf8Transcoder(CTextFileReader& reader, CTextFileWriter& writer)
        : m_reader(reader),
          m_writer(writer),
          m_breaks(BreaksFor<typename Text::Form>(static_cast<LineEnding>(writer.GetCrLfType()))),
          m_offset(reader.GetBomLength())
    {
    }

    // The loop of the reader's Read for Unicode text, refilling where it does.
    unsigned Chunk(unsigned capacity, unsigned* consumed, UnitCounts& counts) override
    {
        BlockOut out(m_writer);
        Sink sink{out, m_breaks, counts, m_replaced};
        size_t produced = 0;
        uint64_t taken = 0;
        while (produced < capacity) {
            unsigned size = 0;
            m_reader.PendingBytes(&size);
            if (size == 0 && !Fetch())
                break;
            const unsigned char* data = m_reader.PendingBytes(&size);
            const bool endOfInput = m_reader.InputEnded();
            const Pass pass = Decode(sink, data, data + size, capacity - produced, endOfInput);
            m_reader.TakeBytes(static_cast<unsigned>(pass.used));
            m_offset += pass.used;
            produced += pass.units;
            taken += pass.used;
            if (pass.stop == Stop::kTarget)
                break;
            if (pass.stop == Stop::kSource && (endOfInput || (!Fetch() && !m_reader.InputEnded())))
                break;
        }
        *consumed = static_cast<unsigned>(taken);
        return static_cast<unsigned>(produced);
    }

private:
    // New bytes in the buffer: what was checked there is gone.
    bool Fetch()
    {
        m_checkedEnd = nullptr;
        return m_reader.FetchBytes();
    }

    // One pass of the reader's UTF-8 decoder over [begin, e), the bytes in
    // its buffer, with room units free: well-formed characters in bulk, the
    // rest one by one as the decoder takes them.
    Pass Decode(Sink& s, const unsigned char* const begin, const unsigned char* const e, size_t room, bool endOfInput)
    {
        const unsigned char* p = begin;
        size_t left = room;
        for (;;) {
            // Checked once for all the chunks the buffer holds, and after
            // each bad byte only up to the next.
            if (m_checkedEnd == nullptr || m_checkedEnd < p) {
                const Utf8Validity validity = ValidateUtf8(p, static_cast<size_t>(e - p));
                m_checkedEnd = p + validity.position;
            }
            const unsigned char* const run = p;
            const uint64_t replaced = s.replaced;
            p = PutRun(Text{}, s, p, m_checkedEnd, e, left);
            // Well-formed text replaces only its NULs.
            if (s.replaced != replaced && m_firstUncovered == kNoOffset)
                if (const void* nul = std::memchr(run, 0, static_cast<size_t>(p - run)))
                    Uncovered(begin, static_cast<const unsigned char*>(nul));
            const auto used = static_cast<size_t>(p - begin);
            if (p == e)
                return {used, room - left, Stop::kNone};
            if (p < m_checkedEnd)
                return {used, room - left, Stop::kTarget};
            // As the decoder's careful path: a cut sequence waits before
            // anything else, then a full output stops, a bad lead byte becomes
            // U+FFFD and decoding goes on at the next byte.
            const auto rest = static_cast<size_t>(e - p);
            const size_t trailing = CUTFProcessor::TrailingBytes(*p);
            bool bad = true;
            if (trailing < rest)
                bad = !CUTFProcessor::IsLegalUTF8Sequence(p, static_cast<unsigned>(std::min<size_t>(rest, 8)));
            else if (!endOfInput)
                return {used, room - left, Stop::kSource};
            const size_t need = !bad && trailing == 3 ? 2 : 1;
            if (left < need)
                return {used, room - left, Stop::kTarget};
            if (bad) {
                if (m_firstUncovered == kNoOffset)
                    Uncovered(begin, p);
                s.out.Put(Text::Form::kMark, sizeof Text::Form::kMark);
                ++s.replaced;
                ++s.counts.marks;
                s.counts.endsWithCr = false;
                ++p;
                --left;
            } else {
                // Whole after all (the check and the decoder agree on what
                // is well-formed, so this is never expected).
                size_t units = need;
                PutRun(Text{}, s, p, p + trailing + 1, e, units);
                p += trailing + 1;
                left -= need;
            }
        }
    }

    // The byte at, in a pass over the bytes from begin on, is the first replaced.
    void Uncovered(const unsigned char* begin, const unsigned char* at)
    {
        m_firstUncovered = m_offset + static_cast<uint64_t>(at - begin);
    }

    CTextFileReader& m_reader;
    CTextFileWriter& m_writer;
    const Breaks m_breaks;
    // The bytes of the buffer from the reader's position up to here are
    // well-formed UTF-8, whole characters; null: not known.
    const unsigned char* m_checkedEnd = nullptr;
    uint64_t m_offset;  // the file offset of the reader's position
};

class SingleByteTranscoder : public ByteTranscoder {
public:
    SingleByteTranscoder(CTextFileReader& reader, CTextFileWriter& writer, std::shared_ptr<const SingleByteUtf8> table)
        : m_reader(reader),
          m_writer(writer),
          m_breaks(BreaksFor<Utf8Form>(static_cast<LineEnding>(writer.GetCrLfType()))),
          m_table(std::move(table)),
          m_offset(reader.GetBomLength())
    {
    }

    // The loop of the reader's Read for code page text: one unit a byte.
    unsigned Chunk(unsigned capacity, unsigned* consumed, UnitCounts& counts) override
    {
        BlockOut out(m_writer);
        Sink sink{out, m_breaks, counts, m_replaced};
        const SingleByteText text{m_table.get()};
        unsigned produced = 0;
        while (produced < capacity && !m_done) {
            unsigned size = 0;
            m_reader.PendingBytes(&size);
            if (size == 0)
                m_reader.FetchBytes();
            const unsigned char* data = m_reader.PendingBytes(&size);
            const unsigned n = std::min(size, capacity - produced);
            for (unsigned at = 0; at < n;) {
                size_t units = std::min<size_t>(n - at, kTallyRun);
                const auto run = static_cast<unsigned>(units);
                const uint64_t replaced = m_replaced;
                PutRun(text, sink, data + at, data + at + run, data + size, units);
                if (m_replaced != replaced && m_firstUncovered == kNoOffset)
                    m_firstUncovered = m_offset + at + FirstReplaced(data + at, run);
                at += run;
            }
            m_reader.TakeBytes(n);
            m_offset += n;
            produced += n;
            if (m_reader.InputEnded() && n == size && produced < capacity)
                m_done = true;
            else if (n == 0 && (m_reader.InputEnded() || !m_reader.FetchBytes()))
                break;
        }
        *consumed = produced;
        return produced;
    }

private:
    // Where the first replaced byte of a run lies that holds one. The run
    // is at most a chunk, and only the one that holds the file's first
    // replacement is looked at again: the blocks count without looking.
    unsigned FirstReplaced(const unsigned char* run, unsigned size) const
    {
        unsigned k = 0;
        while (k < size && (m_table->tally[run[k]] >> (2 * kTallyShift)) == 0)
            ++k;
        return k;
    }

    CTextFileReader& m_reader;
    CTextFileWriter& m_writer;
    const Breaks m_breaks;
    std::shared_ptr<const SingleByteUtf8> m_table;
    bool m_done = false;  // the last bytes were taken
    uint64_t m_offset;    // the file offset of the reader's position
};

}  // namespace

std::unique_ptr<ByteTranscoder> ByteTranscoder::For(CTextFileReader& reader, CTextFileWriter& writer)
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Without byte shuffles the UTF-16 way is as quick.
    if (reader.GetEncoding() == TEXTENCODING_UTF8 && codecs::ActiveKernel() >= Kernel::Ssse3) {
        if (writer.GetEncoding() == TEXTENCODING_UTF16LE)
            return std::make_unique<Utf8Transcoder<Utf8TextAsUtf16<false>>>(reader, writer);
        if (writer.GetEncoding() == TEXTENCODING_UTF16BE)
            return std::make_unique<Utf8Transcoder<Utf8TextAsUtf16<true>>>(reader, writer);
    }
#endif
    if (writer.GetEncoding() != TEXTENCODING_UTF8)
        return nullptr;
    if (reader.GetEncoding() == TEXTENCODING_UTF8)
        return std::make_unique<Utf8Transcoder<Utf8Text>>(reader, writer);
    if (reader.GetEncoding() == TEXTENCODING_CODEPAGE) {
        if (auto table = SingleByteUtf8For(reader.GetCodePage()))
            return std::make_unique<SingleByteTranscoder>(reader, writer, std::move(table));
    }
    return nullptr;
}
