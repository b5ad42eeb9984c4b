#include "textrion/io/text_file_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/codepage.h"
#include "textrion/encoding/unicode_forms.h"

CTextFileReader::CTextFileReader(const char16_t* path, unsigned bufferSize) : m_file(path, false)
{
    AllocateBuffer(bufferSize);
    if (m_file.Open())
        ReadBOM();
}

CTextFileReader::CTextFileReader(int stream, std::vector<unsigned char> head, const char16_t* name, unsigned bufferSize)
    : m_file(stream, std::move(head), name)
{
    AllocateBuffer(bufferSize);
    if (m_file.IsOpen())
        ReadBOM();
}

CTextFileReader::CTextFileReader(const char16_t* path, unsigned char* buffer, unsigned bufferSize) : m_file(path, false)
{
    if (buffer != nullptr && bufferSize >= kMinBufferSize) {
        m_buffer = buffer;
        m_bufferSize = bufferSize;
    } else {
        AllocateBuffer(bufferSize);
    }
    if (m_file.Open())
        ReadBOM();
}

CTextFileReader::~CTextFileReader() = default;

void CTextFileReader::AllocateBuffer(unsigned size)
{
    size = std::max(size, kMinBufferSize);
    m_ownedBuffer.reset(new unsigned char[size]);
    m_buffer = m_ownedBuffer.get();
    m_bufferSize = size;
}

unsigned CTextFileReader::SetInternalReadBufferSize(unsigned size)
{
    const unsigned previous = m_bufferSize;
    ResizeBuffer(size);
    return previous;
}

void CTextFileReader::ResizeBuffer(unsigned size)
{
    const unsigned pending = m_dataEnd - m_dataBegin;
    // Bytes already read ahead must survive the swap.
    size = std::max({size, pending, kMinBufferSize});
    std::unique_ptr<unsigned char[]> fresh(new unsigned char[size]);
    std::memcpy(fresh.get(), m_buffer + m_dataBegin, pending);
    m_ownedBuffer = std::move(fresh);
    m_buffer = m_ownedBuffer.get();
    m_bufferSize = size;
    m_dataBegin = 0;
    m_dataEnd = pending;
}

void CTextFileReader::SetEncoding(TEXTENCODING encoding)
{
    m_codec.SetEncoding(encoding);
}

void CTextFileReader::ReadBOM()
{
    m_fileEnded = false;
    m_dataBegin = m_dataEnd = 0;
    const unsigned n = m_file.Read(m_buffer, 4);
    if (n < 4)
        m_fileEnded = true;
    m_dataEnd = n;
    const UnicodeForm* form = FindUnicodeFormByMark(m_buffer, n);
    m_codec.SetEncoding(form != nullptr ? form->encoding : TEXTENCODING_CODEPAGE);
    m_bomLength = form != nullptr ? static_cast<unsigned>(form->bomBytes.size()) : 0;
    // The bytes after the mark stay in the buffer as the start of the data.
    m_dataBegin = m_bomLength;
}

bool CTextFileReader::Refill()
{
    if (m_fileEnded)
        return false;
    if (m_readAhead > m_bufferSize)
        ResizeBuffer(static_cast<unsigned>(std::min<uint64_t>(uint64_t{m_bufferSize} * 2, m_readAhead)));
    const unsigned pending = m_dataEnd - m_dataBegin;
    if (pending > 0 && m_dataBegin > 0)
        std::memmove(m_buffer, m_buffer + m_dataBegin, pending);
    m_dataBegin = 0;
    m_dataEnd = pending;
    const unsigned want = m_bufferSize - pending;
    if (want == 0)
        return false;
    const unsigned got = m_file.Read(m_buffer + pending, want);
    m_dataEnd += got;
    if (got < want)
        m_fileEnded = true;  // the end of the file, or a read error (HasReadError)
    return got > 0;
}

unsigned CTextFileReader::ReadUnicode(char16_t* out, unsigned capacity, uint64_t& consumed)
{
    const UnicodeForm& form = *FindUnicodeForm(m_codec.GetEncoding());
    unsigned produced = 0;
    while (produced < capacity) {
        if (m_dataBegin == m_dataEnd && !Refill())
            break;
        const unsigned char* src = m_buffer + m_dataBegin;
        const unsigned srcLen = m_dataEnd - m_dataBegin;
        const bool endOfInput = m_fileEnded;
        unsigned used = 0, made = 0;
        const uint64_t replacedBefore = m_codec.GetReplacementCount();
        const CUTFProcessor::tagUTFPROCESSRESULT r =
            m_codec.ReadForm(form, src, srcLen, used, out + produced, capacity - produced, made, endOfInput);
        if (replacedBefore == 0 && m_codec.GetReplacementCount() != 0)
            m_firstUncovered = m_bomLength + m_unicodeDecoded + m_codec.GetFirstReplacementIndex();
        m_unicodeDecoded += used;
        m_dataBegin += used;
        produced += made;
        consumed += used;
        if (r == CUTFProcessor::UTFPROCESS_TARGET_EXHAUSTED)
            break;
        // On SOURCE_EXHAUSTED with the file now ended, the next pass decodes the
        // tail as the real end of the input; a tail already decoded that way
        // cannot be waited for any longer.
        if (r == CUTFProcessor::UTFPROCESS_SOURCE_EXHAUSTED && (endOfInput || (!Refill() && !m_fileEnded)))
            break;
    }
    return produced;
}

unsigned CTextFileReader::ReadCodePage(char16_t* out, unsigned capacity, uint64_t& consumed)
{
    if (!m_decoder || m_decoder->GetCodePage() != m_codec.GetCodePage()) {
        m_decoder = std::make_unique<codecs::CodePageDecoder>(m_codec.GetCodePage());
        m_decodeDone = false;
        m_heldHigh = 0;
    }
    if (!m_decoder->IsOpen()) {
        // A code page this system cannot decode: no text, and say so.
        m_undecodable = true;
        return 0;
    }
    unsigned produced = 0;
    if (m_heldHigh != 0) {
        out[produced++] = m_heldHigh;
        m_heldHigh = 0;
    }
    while (produced < capacity && !m_decodeDone) {
        if (m_dataBegin == m_dataEnd)
            (void)Refill();  // the end and a failed read show in m_fileEnded and HasReadError
        const auto r = m_decoder->Decode(m_buffer + m_dataBegin, m_dataEnd - m_dataBegin, out + produced,
                                         capacity - produced, m_fileEnded);
        m_dataBegin += static_cast<unsigned>(r.consumed);
        produced += static_cast<unsigned>(r.produced);
        consumed += r.consumed;
        if (m_fileEnded && m_dataBegin == m_dataEnd && produced < capacity) {
            m_decodeDone = true;  // flushed: nothing is held any more
        } else if (r.consumed == 0 && r.produced == 0 && (m_fileEnded || !Refill())) {
            // No progress: the next character needs more room than is left (a
            // surrogate pair with one free unit). It waits for the next call.
            break;
        }
    }
    // The decoder may fill the output with the first half of a pair; the pair
    // is handed out whole by the next call.
    if (produced >= 2 && out[produced - 1] >= 0xD800 && out[produced - 1] <= 0xDBFF)
        m_heldHigh = out[--produced];
    return produced;
}

unsigned CTextFileReader::Read(char16_t* out, unsigned capacity, unsigned* bytesConsumed)
{
    uint64_t consumed = 0;
    unsigned produced = 0;
    if (IsOpen() && out != nullptr && capacity > 0) {
        produced = m_codec.GetEncoding() == TEXTENCODING_CODEPAGE ? ReadCodePage(out, capacity, consumed)
                                                                  : ReadUnicode(out, capacity, consumed);
    }
    if (bytesConsumed)
        *bytesConsumed = static_cast<unsigned>(consumed);
    return produced;
}

unsigned CTextFileReader::Read(std::u16string& s, unsigned capacity)
{
    if (capacity == 0)
        return 0;
    std::vector<char16_t> block(capacity);
    const unsigned n = Read(block.data(), capacity, nullptr);
    if (n > 0)
        s.assign(block.data(), n);
    return n;
}

unsigned CTextFileReader::ReadToEnd(std::u16string& s, unsigned blockSize)
{
    // A block must hold a surrogate pair, or a supplementary character would end the text.
    std::vector<char16_t> block(std::max(blockSize, 2u));
    unsigned total = 0;
    for (;;) {
        const unsigned n = Read(block.data(), static_cast<unsigned>(block.size()), nullptr);
        if (n == 0)
            break;
        s.append(block.data(), n);
        total += n;
    }
    return total;
}

uint64_t CTextFileReader::GetReplacementCount() const
{
    return m_codec.GetReplacementCount() + (m_decoder ? m_decoder->ReplacementCount() : 0);
}

uint64_t CTextFileReader::GetFirstUncoveredOffset() const
{
    if (m_firstUncovered != kNoOffset || !m_decoder)
        return m_firstUncovered;
    const uint64_t first = m_decoder->FirstUncoveredOffset();
    return first == codecs::CodePageDecoder::kNoOffset ? kNoOffset : m_bomLength + first;
}

// ---------------------------------------------------------------------------

CFirstLineTextReader::CFirstLineTextReader(const char16_t* path) : m_path(path ? path : u"")
{
}

CFirstLineTextReader::~CFirstLineTextReader() = default;

bool CFirstLineTextReader::FindEndOfLine(const char16_t* text, unsigned* position, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            *position = i;
            return true;
        }
    }
    *position = count;
    return false;
}

bool CFirstLineTextReader::Read(int maxChars, std::u16string& line)
{
    if (m_path.empty())
        return false;
    // Code page 0 decodes valid UTF-8 as UTF-8, so a UTF-8 file without BOM reads right.
    CTextFileReader reader(m_path.c_str(), 2048);
    if (!reader.IsOpen())
        return false;
    line.clear();
    if (maxChars <= 0)
        return true;
    constexpr unsigned kBlock = 4096;
    std::vector<char16_t> block(kBlock);
    unsigned taken = 0;
    const unsigned limit = static_cast<unsigned>(maxChars);
    while (taken < limit) {
        const unsigned allowed = std::min(kBlock, limit - taken);
        const unsigned n = reader.Read(block.data(), std::max(allowed, 2u), nullptr);
        if (n == 0)
            break;
        unsigned end = 0;
        const bool found = FindEndOfLine(block.data(), &end, n);
        end = std::min(end, allowed);
        line.append(block.data(), end);
        taken += end;
        if (found)
            break;
    }
    // A line cut at the maximum never ends in half of a surrogate pair.
    if (taken == limit && !line.empty() && line.back() >= 0xD800 && line.back() <= 0xDBFF)
        line.pop_back();
    return true;
}
