#include "textrion/io/text_file_writer.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "base/text.h"
#include "codecs/codepage.h"
#include "textrion/encoding/unicode_forms.h"

// The thread that makes the writes of full blocks, and the blocks it
// writes from, while the caller fills another.
struct CTextFileWriter::Background {
    // Blocks written at once at most, besides the one being filled: enough to
    // ride out a slow write, little to wait for on a stop.
    static constexpr size_t kBlocks = 3;

    struct Job {
        unsigned char* data;
        unsigned size;
        bool recycled;  // one of blocks, free again once written
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> queue;
    std::vector<unsigned char*> free;
    std::vector<std::unique_ptr<unsigned char[]>> blocks;
    unsigned blockSize = 0;
    std::atomic<uint64_t> done{0};  // writes made, in their order
    std::atomic<uint64_t> firstFailed{UINT64_MAX};
    int lastError = 0;
    bool stopping = false;
    bool running = false;
    std::jthread thread;
};

CTextFileWriter::CTextFileWriter(const char16_t* path, TEXTENCODING encoding, bool writeBom, bool append,
                                 unsigned bufferSize, bool createNew)
    : m_file(path, {.append = append, .createNew = createNew})
{
    AllocateBuffer(bufferSize);
    Init(encoding, writeBom, append);
}

CTextFileWriter::CTextFileWriter(int handle, const char16_t* name, TEXTENCODING encoding, bool writeBom,
                                 unsigned bufferSize)
    : m_file(handle, name)
{
    AllocateBuffer(bufferSize);
    Init(encoding, writeBom, false);
}

CTextFileWriter::CTextFileWriter(int handle, const char16_t* name, unsigned char* buffer, unsigned bufferSize,
                                 TEXTENCODING encoding, bool writeBom)
    : m_file(handle, name)
{
    UseBuffer(buffer, bufferSize);
    Init(encoding, writeBom, false);
}

CTextFileWriter::CTextFileWriter(const char16_t* path, unsigned char* buffer, unsigned bufferSize,
                                 TEXTENCODING encoding, bool writeBom, bool append, bool createNew)
    : m_file(path, {.append = append, .createNew = createNew})
{
    UseBuffer(buffer, bufferSize);
    Init(encoding, writeBom, append);
}

void CTextFileWriter::UseBuffer(unsigned char* buffer, unsigned size)
{
    if (buffer != nullptr && size >= kMinBufferSize) {
        m_buffer = buffer;
        m_bufferSize = size;
    } else {
        AllocateBuffer(size);
    }
}

CTextFileWriter::~CTextFileWriter()
{
    (void)CTextFileWriter::Close();  // a caller that must know whether all was written closes first
}

void CTextFileWriter::AllocateBuffer(unsigned size)
{
    // Room for the longest element (a UTF-32 CR LF, 8 bytes) at least twice.
    size = std::max(size, kMinBufferSize);
    m_ownedBuffer.reset(new unsigned char[size]);
    m_buffer = m_ownedBuffer.get();
    m_bufferSize = size;
}

unsigned CTextFileWriter::SetInternalWriteBufferSize(unsigned size)
{
    const unsigned previous = m_bufferSize;
    WriteAllHere();
    AllocateBuffer(size);
    return previous;
}

void CTextFileWriter::SetWriteBehind(unsigned blockBytes)
{
    WriteAllHere();
    if (blockBytes > m_bufferSize)
        AllocateBuffer(blockBytes);
    m_writeBehind = true;
}

void CTextFileWriter::WritePending()
{
    if (m_fill > 0 && !HandOver())
        WriteHere(m_buffer, m_fill);
    m_fill = 0;
}

void CTextFileWriter::WriteAllHere()
{
    StopBackground();
    // Here, not handed over: that would start the thread for the last block
    // of a short output, to write it after the file was closed or flushed.
    if (IsOpen() && m_fill > 0)
        WriteHere(m_buffer, m_fill);
    m_fill = 0;
}

void CTextFileWriter::WriteHere(const unsigned char* data, unsigned size)
{
    const uint64_t index = m_writeCount++;
    m_file.Write(data, size);
    if (m_file.HasWriteError() && m_firstFailedWrite == UINT64_MAX)
        m_firstFailedWrite = index;
}

bool CTextFileWriter::BackgroundRunning() const
{
    return m_background && m_background->running;
}

bool CTextFileWriter::HandOver()
{
    // A short output never starts a thread.
    if (!m_backgroundWanted || !m_writeBehind || !IsOpen() || (!m_background && m_writeCount < 2))
        return false;
    if (!m_background) {
        auto background = std::make_unique<Background>();
        background->blockSize = std::max(m_bufferSize, m_backgroundBlock);
        for (size_t i = 0; i < Background::kBlocks; ++i) {
            background->blocks.emplace_back(new unsigned char[background->blockSize]);
            background->free.push_back(background->blocks.back().get());
        }
        background->done = m_writeCount;
        background->firstFailed = m_firstFailedWrite;
        background->running = true;
        Background& b = *background;
        try {
            b.thread = std::jthread([this, &b] {
                for (;;) {
                    Background::Job job{};
                    {
                        std::unique_lock lock(b.mutex);
                        b.changed.wait(lock, [&] { return !b.queue.empty() || b.stopping; });
                        if (b.queue.empty())
                            return;
                        job = b.queue.front();
                        b.queue.pop_front();
                    }
                    m_file.Write(job.data, job.size);
                    {
                        std::lock_guard lock(b.mutex);
                        const uint64_t index = b.done;
                        if (m_file.HasWriteError() && b.firstFailed == UINT64_MAX)
                            b.firstFailed = index;
                        b.lastError = m_file.GetLastError();
                        if (job.recycled)
                            b.free.push_back(job.data);
                        b.done = index + 1;
                    }
                    b.changed.notify_all();
                }
            });
        } catch (const std::system_error&) {
            m_backgroundWanted = false;  // no thread to be had: written here
            return false;
        }
        m_background = std::move(background);
    }
    Background& b = *m_background;
    if (!b.running)
        return false;
    const bool recycled =
        m_bufferSize == b.blockSize &&
        std::any_of(b.blocks.begin(), b.blocks.end(), [&](const auto& block) { return block.get() == m_buffer; });
    std::unique_lock lock(b.mutex);
    b.queue.push_back({m_buffer, m_fill, recycled});
    ++m_writeCount;
    b.changed.notify_all();
    b.changed.wait(lock, [&] { return !b.free.empty(); });
    m_buffer = b.free.back();
    m_bufferSize = b.blockSize;
    b.free.pop_back();
    return true;
}

void CTextFileWriter::StopBackground()
{
    if (!BackgroundRunning())
        return;
    Background& b = *m_background;
    {
        std::lock_guard lock(b.mutex);
        b.stopping = true;
    }
    b.changed.notify_all();
    b.thread.join();
    b.running = false;
    m_firstFailedWrite = b.firstFailed;
}

CTextFileWriter::WritesState CTextFileWriter::GetWritesState(uint64_t count, bool wait)
{
    if (!BackgroundRunning())
        return m_firstFailedWrite < count ? WritesState::kFailed : WritesState::kWritten;
    Background& b = *m_background;
    const auto known = [&] { return b.firstFailed < count || b.done >= count; };
    if (!known()) {
        if (!wait)
            return WritesState::kPending;
        std::unique_lock lock(b.mutex);
        b.changed.wait(lock, known);
    }
    return b.firstFailed < count ? WritesState::kFailed : WritesState::kWritten;
}

bool CTextFileWriter::HasWriteError() const
{
    if (BackgroundRunning())
        return m_unwritable || m_background->firstFailed != UINT64_MAX;
    return m_unwritable || m_file.HasWriteError();
}

int CTextFileWriter::GetLastError() const
{
    if (!BackgroundRunning())
        return m_file.GetLastError();
    std::lock_guard lock(m_background->mutex);
    return m_background->lastError;
}

void CTextFileWriter::Init(TEXTENCODING encoding, bool writeBom, bool append)
{
    m_codec.SetEncoding(encoding);
    if (!m_file.Open())
        return;
    uint64_t position = 0;
    // An end that cannot be found is not appended to: writing would overwrite the start.
    if (append && !SeekToEnd(&position)) {
        (void)m_file.Close();
        return;
    }
    if (writeBom && position == 0)
        WriteBOM();
}

void CTextFileWriter::WriteBOM()
{
    if (!IsOpen())
        return;
    if (const UnicodeForm* form = FindUnicodeForm(m_codec.GetEncoding()))
        WriteHere(reinterpret_cast<const unsigned char*>(form->bomBytes.data()),
                  static_cast<unsigned>(form->bomBytes.size()));
}

unsigned CTextFileWriter::Write(const char16_t* text, unsigned count)
{
    if (text == nullptr || count == 0)
        return 0;
    if (m_codec.GetEncoding() == TEXTENCODING_CODEPAGE)
        return WriteCodePage(text, count, false);
    const UnicodeForm& form = *FindUnicodeForm(m_codec.GetEncoding());

    unsigned done = 0;
    for (;;) {
        unsigned char* const room = m_buffer + m_fill;
        const unsigned roomSize = m_bufferSize - m_fill;
        unsigned used = 0, made = 0;
        const CUTFProcessor::tagUTFPROCESSRESULT r =
            m_codec.WriteForm(form, text + done, count - done, used, room, roomSize, made);
        m_fill += made;
        done += used;
        if (r != CUTFProcessor::UTFPROCESS_TARGET_EXHAUSTED || done >= count)
            break;
        // The block is full, or too full for the next character.
        if (m_fill == 0 && used == 0)
            break;
        WritePending();
    }
    if (!m_writeBehind)
        WritePending();
    return done;
}

unsigned CTextFileWriter::WriteCodePage(const char16_t* text, unsigned count, bool endOfInput)
{
    if (!m_encoder || m_encoderCodePage != m_codec.GetCodePage()) {
        m_encoderCodePage = m_codec.GetCodePage();
        m_encoder = std::make_unique<codecs::CodePageEncoder>(m_encoderCodePage);
    }
    if (!m_encoder->IsOpen()) {
        // A code page this system cannot write: the text is lost, and that is an error.
        m_codec.SetDataLostFlag();
        m_unwritable = true;
        return count;
    }
    unsigned done = 0;
    for (;;) {
        const unsigned roomSize = m_bufferSize - m_fill;
        const auto r = m_encoder->Encode(text + done, count - done, m_buffer + m_fill, roomSize, endOfInput);
        m_fill += static_cast<unsigned>(r.produced);
        done += static_cast<unsigned>(r.consumed);
        // A full block may leave bytes inside the encoder: go round until it is not full.
        if (done >= count && r.produced < roomSize)
            break;
        if (r.consumed == 0 && r.produced == 0 && m_fill == 0)
            break;
        WritePending();
    }
    if (!m_writeBehind)
        WritePending();
    return count;
}

unsigned CTextFileWriter::Write(const std::u16string& text)
{
    return Write(text.data(), static_cast<unsigned>(text.size()));
}

unsigned CTextFileWriter::Write(char16_t c)
{
    return Write(&c, 1);
}

CTextFileWriter& CTextFileWriter::operator<<(const std::u16string& text)
{
    Write(text);
    return *this;
}

CTextFileWriter& CTextFileWriter::operator<<(const char16_t* text)
{
    if (text)
        Write(text, static_cast<unsigned>(std::char_traits<char16_t>::length(text)));
    return *this;
}

CTextFileWriter& CTextFileWriter::operator<<(char16_t c)
{
    Write(c);
    return *this;
}

unsigned CTextFileWriter::WriteFormat(const char* format, ...)
{
    if (format == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) {
        va_end(args);
        return 0;
    }
    std::vector<char> formatted(static_cast<size_t>(length) + 1);
    std::vsnprintf(formatted.data(), formatted.size(), format, args);
    va_end(args);
    return Write(text::FromUtf8(std::string_view(formatted.data(), static_cast<size_t>(length))));
}

unsigned CTextFileWriter::WriteCR()
{
    return Write(&_CR, 1);
}

unsigned CTextFileWriter::WriteLF()
{
    return Write(&_LF, 1);
}

unsigned CTextFileWriter::WriteCRLF()
{
    return Write(_pCRLF, 2);
}

bool CTextFileWriter::Close()
{
    if (IsOpen() && m_codec.GetEncoding() == TEXTENCODING_CODEPAGE && m_encoder && m_encoder->IsOpen())
        WriteCodePage(u"", 0, true);  // closing shift sequence of stateful code pages
    WriteAllHere();
    return m_file.Close();
}

void CTextFileWriter::Flush()
{
    WriteAllHere();
    m_file.Flush();
}

unsigned CTextFileWriter::WriteStream(const char16_t* text, unsigned count)
{
    if (text == nullptr || count == 0)
        return 0;
    unsigned done = 0;
    if (m_heldHigh != 0) {
        // Written with the unit after it: 2 when that is its low half or any
        // other unit, 1 when it is another high surrogate (kept in turn below).
        const char16_t pair[2] = {m_heldHigh, text[0]};
        const unsigned n = Write(pair, 2);
        if (n == 0)
            return 0;
        m_heldHigh = 0;
        done = n - 1;
    }
    done += Write(text + done, count - done);
    if (done + 1 == count) {
        m_heldHigh = text[done];
        done = count;
    }
    return done;
}

void CTextFileWriter::EndStream()
{
    if (m_heldHigh == 0)
        return;
    m_heldHigh = 0;
    Write(u'\uFFFD');
    ++m_ownReplacements;
}

uint64_t CTextFileWriter::GetReplacementCount() const
{
    return m_codec.GetReplacementCount() + m_ownReplacements + (m_encoder ? m_encoder->ReplacementCount() : 0);
}
