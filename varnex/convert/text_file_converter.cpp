#include "varnex/convert/text_file_converter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/encoding/double_encoding.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"
#include "textrion/path/long_path.h"
#include "varnex/convert/byte_transcoder.h"

namespace {

// A chunk must hold a whole surrogate pair, or reading could never make
// progress; a little more keeps small settings from costing a call per unit.
constexpr unsigned kMinChunk = 16;

// The file is read and written in blocks of up to this size whatever the
// buffer settings: small buffers would otherwise cost a system call for every
// few kilobytes of a long file.
constexpr unsigned kStreamBlock = 64 * 1024;
// Reads of a long file: a quarter of the system calls of kStreamBlock; the
// reader's buffer grows to it only as the file goes on.
constexpr unsigned kReadAhead = 4 * kStreamBlock;
// Blocks of a long output once its writes go to a thread: fewer hand-overs.
constexpr unsigned kBackgroundBlock = 1024 * 1024;

// The units the reader decodes at a time in whole-file mode.
constexpr unsigned kWholeFileBlock = 2048;

// Chunks whose writes may be outstanding before the converter waits for them.
constexpr size_t kUnsettledChunks = 4096;

// Adds the units of text to the counts. Branch-free with 16-bit sums over
// blocks short enough not to overflow them, so that the compiler vectorises
// it in 16-bit lanes: it sees every unit written, so the line endings come
// with the pass that is made anyway. CR LF pairs take a second look only in
// blocks that hold a LF after a CR (text with Unix endings never does).
void CountUnits(const char16_t* text, size_t length, UnitCounts& counts)
{
    if (length == 0)
        return;
    counts.crlf += counts.endsWithCr && text[0] == u'\n';
    constexpr size_t kBlock = 0xFFFF;
    for (size_t start = 0; start < length;) {
        const size_t end = std::min(length, start + kBlock);
        uint16_t controls = 0, marks = 0, crs = 0, lfs = 0;
        for (size_t i = start; i < end; ++i) {
            const uint16_t unit = static_cast<uint16_t>(text[i]);
            controls += static_cast<uint16_t>(unit - 0x80u) < 0x20u;
            marks += unit == 0xFFFDu;
            crs += unit == 0x0Du;
            lfs += unit == 0x0Au;
        }
        if (lfs != 0 && (crs != 0 || (start > 0 && text[start - 1] == u'\r'))) {
            uint16_t pairs = 0;
            for (size_t i = std::max<size_t>(start, 1); i < end; ++i)
                pairs += (text[i] == u'\n') & (text[i - 1] == u'\r');
            counts.crlf += pairs;
        }
        counts.c1 += controls;
        counts.marks += marks;
        counts.cr += crs;
        counts.lf += lfs;
        start = end;
    }
    counts.endsWithCr = text[length - 1] == u'\r';
}

// A run as it stood after a chunk.
struct ChunkEnd {
    uint64_t processed;
    uint64_t writes;     // the writer's writes so far
    uint64_t delivered;  // the input's bytes read so far
    uint64_t decoded;    // replacements made reading
    uint64_t encoded;    // and writing
    uint64_t uncovered;  // the first byte the input's encoding does not cover
    bool readError;
    int readErrno;
    UnitCounts counts;
};

// What the chunked run tells after each chunk: the converter's callbacks.
struct ChunkListener {
    CTextFileConverter* converter;
    CTextFileConverter::ProgressCallback progress;
    void* progressData;
    CTextFileConverter::ContinueCallback canContinue;
    void* continueData;
    uint64_t total;  // the bytes progress is told against
};

// Moves one file's text from the reader to the writer: straight from the
// bytes where a transcoder is given, else as UTF-16 (repaired when asked),
// counting the units written.
class ChunkLoop {
public:
    ChunkLoop(CTextFileReader& reader, CTextFileWriter& writer, ByteTranscoder* bytes, bool repair)
        : m_reader(reader),
          m_writer(writer),
          m_bytes(bytes)
    {
        if (repair)
            m_repair.emplace();
    }

    // Whole-file mode: no callbacks. From the bytes, the reader's blocks
    // written as they come give the same output in the end.
    void RunWhole()
    {
        if (m_bytes) {
            unsigned consumed = 0;
            while (m_bytes->Chunk(kWholeFileBlock, &consumed, m_counts) > 0) { }
            return;
        }
        std::u16string text;
        m_reader.ReadToEnd(text, kWholeFileBlock);
        Write(text.data(), text.size(), true);
        m_writer.EndStream();
    }

    // Chunks of up to capacity units through chunk. A chunk is done once the
    // writes made for it are: only then is it known whether a failed write
    // stops the run there, so its callbacks wait for that while the next
    // chunks are converted. Returns where the run stopped after a chunk (a
    // failed write, or a stop when cancelled is set), nothing when it
    // went to the end.
    std::optional<ChunkEnd> RunChunks(char16_t* chunk, unsigned capacity, const ChunkListener& listener,
                                      bool& cancelled)
    {
        for (;;) {
            unsigned consumed = 0;
            const unsigned n = Next(chunk, capacity, &consumed);
            m_processed += consumed;
            if (n == 0) {
                Write(chunk, 0, true);
                m_writer.EndStream();  // a high surrogate whose low half never came
                return Settle(true, listener, cancelled);
            }
            m_unsettled.push_back(Current());
            if (auto stopped = Settle(m_unsettled.size() > kUnsettledChunks, listener, cancelled))
                return stopped;
        }
    }

    // Where the run is now.
    ChunkEnd Current() const
    {
        return ChunkEnd{m_processed,
                        m_writer.GetWriteCount(),
                        m_reader.File().GetBytesDelivered(),
                        m_reader.GetReplacementCount() + (m_bytes ? m_bytes->GetReplacementCount() : 0),
                        m_writer.GetReplacementCount(),
                        m_bytes ? m_bytes->GetFirstUncoveredOffset() : m_reader.GetFirstUncoveredOffset(),
                        m_reader.HasReadError(),
                        m_reader.GetLastError(),
                        m_counts};
    }

private:
    // Writes text as it is, or repaired; a run the next text may continue waits.
    void Write(const char16_t* text, size_t length, bool final)
    {
        if (m_repair) {
            m_repaired.clear();
            m_repair->Repair(std::u16string_view(text, length), final, m_repaired);
            text = m_repaired.data();
            length = m_repaired.size();
        }
        CountUnits(text, length, m_counts);
        m_writer.WriteStream(text, static_cast<unsigned>(length));
    }

    // Reads and writes one chunk: its units, 0 at the end of the text.
    unsigned Next(char16_t* chunk, unsigned capacity, unsigned* consumed)
    {
        if (m_bytes)
            return m_bytes->Chunk(capacity, consumed, m_counts);
        const unsigned n = m_reader.Read(chunk, capacity, consumed);
        if (n > 0)
            Write(chunk, n, false);
        return n;
    }

    // Calls back for the chunks whose writes are done (waiting for them with
    // wait); the chunk a failed write or a stop ended the run after.
    std::optional<ChunkEnd> Settle(bool wait, const ChunkListener& listener, bool& cancelled)
    {
        for (; !m_unsettled.empty(); m_unsettled.pop_front()) {
            const ChunkEnd& chunkEnd = m_unsettled.front();
            const auto writes = m_writer.GetWritesState(chunkEnd.writes, wait);
            if (writes == CTextFileWriter::WritesState::kPending)
                return std::nullopt;
            if (writes == CTextFileWriter::WritesState::kFailed)
                return chunkEnd;
            if (listener.progress)
                listener.progress(listener.converter, chunkEnd.processed, listener.total, listener.progressData);
            if (listener.canContinue && !listener.canContinue(listener.converter, listener.continueData)) {
                cancelled = true;
                return chunkEnd;
            }
        }
        return std::nullopt;
    }

    CTextFileReader& m_reader;
    CTextFileWriter& m_writer;
    ByteTranscoder* m_bytes;
    std::optional<CDoubleEncodingRepair> m_repair;
    std::u16string m_repaired;
    UnitCounts m_counts;
    uint64_t m_processed = 0;
    std::deque<ChunkEnd> m_unsettled;
};

const UnicodeForm* FindFormat(CTextFileConverter::OUTPUTTEXTFORMAT format)
{
    return FindUnicodeFormByOutputFormat(format);
}

// The converter's line-ending numbers, their names, and the style each means.
constexpr struct {
    CTextFileConverter::RETURNTYPE type;
    const char16_t* name;
    LineEnding ending;
} kReturnTypes[] = {
    {CTextFileConverter::RETURNTYPE_NOCHANGE, u"NOCHANGE", LineEnding::Keep},
    {CTextFileConverter::RETURNTYPE_CRLF, u"CRLF", LineEnding::CrLf},
    {CTextFileConverter::RETURNTYPE_CR, u"CR", LineEnding::Cr},
    {CTextFileConverter::RETURNTYPE_LF, u"LF", LineEnding::Lf},
};

}  // namespace

std::u16string CTextFileConverter::GetTemporaryPath(const std::u16string& output)
{
    return CAtomicOutputFile::TemporaryPathFor(output);
}

CTextFileConverter::CTextFileConverter(const char16_t* inputPath, unsigned chunkSize, unsigned readBufferSize,
                                       unsigned writeBufferSize, char16_t* chunkBuffer, unsigned char* readBuffer,
                                       unsigned char* writeBuffer)
    : m_inputPath(inputPath ? inputPath : u""),
      m_readBufferSize(readBufferSize),
      m_writeBufferSize(writeBufferSize),
      m_readBuffer(readBuffer),
      m_writeBuffer(writeBuffer),
      m_chunkSize(chunkSize),
      m_chunkBuffer(chunkBuffer)
{
}

void CTextFileConverter::SetContinueCallback(ContinueCallback callback, void* userData)
{
    m_continueCallback = callback;
    m_continueUserData = userData;
}

void CTextFileConverter::SetInputStream(int stream, std::vector<unsigned char> head)
{
    if (m_inputStream >= 0)
        platform::CloseFile(m_inputStream);
    m_inputStream = stream;
    m_head = std::move(head);
}

void CTextFileConverter::SetReportProgressCallback(ProgressCallback callback, void* userData)
{
    m_progressCallback = callback;
    m_progressUserData = userData;
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::Convert(const char16_t* outputPath, unsigned sourceCodepage,
                                                              OUTPUTTEXTFORMAT format, RETURNTYPE returnType,
                                                              bool writeBom, unsigned /*reserved*/)
{
    m_outputError = false;
    m_found = {};
    m_failure = {};
    m_outcome = {};
    const CONVERTRESULT result =
        ConvertWithRetry(outputPath ? outputPath : u"", sourceCodepage, format, returnType, writeBom);
    Finish(result, sourceCodepage);
    return result;
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::Fail(CONVERTRESULT result, OutcomeReason reason, int error,
                                                           bool outputSide)
{
    m_failure = ReasonNote::Error(reason, error);
    if (outputSide)
        m_outputError = true;
    return result;
}

void CTextFileConverter::Finish(CONVERTRESULT result, unsigned sourceCodepage)
{
    m_errorText = DescribeReason(m_failure);
    m_inputChange = DescribeReason(m_found.change);
    m_outcome.codepage = static_cast<int>(sourceCodepage);
    m_outcome.replaced = m_found.replacements;
    switch (result) {
    case CONVERTRESULT_OK:
        m_outcome.operation = VARNEXRESULTOPERATION_CONVERTED;
        m_outcome.lineEndings = m_found.lineEndings;
        if (m_found.replacements > 0)
            m_outcome.End(VARNEXRESULTSTATE_WARNING,
                          ReasonNote::Of(OutcomeReason::ReplacedCharacters, m_found.replacements));
        // Detection reads a sample: text after it may not be in the code
        // page it found (a 7-bit start, then KOI8-R), and even where nothing
        // was replaced (code page 0 reads such bytes as its fallback) the
        // user is told where to look.
        if (m_found.firstUncovered != RunFindings::kNoOffset) {
            m_outcome.state = VARNEXRESULTSTATE_WARNING;
            m_outcome.reasons.push_back(ReasonNote::Of(OutcomeReason::UncoveredBytes, m_found.firstUncovered));
        }
        // What the text itself holds, apart from what decoding replaced.
        for (const auto& [reason, count] : {std::pair{OutcomeReason::C1Controls, m_found.c1Controls},
                                            std::pair{OutcomeReason::ReplacementInText, m_found.replacementsInText}}) {
            if (count == 0)
                continue;
            m_outcome.state = VARNEXRESULTSTATE_WARNING;
            m_outcome.reasons.push_back(ReasonNote::Of(reason, count));
        }
        if (m_found.change.reason != OutcomeReason::None) {
            m_outcome.state = VARNEXRESULTSTATE_WARNING;
            m_outcome.reasons.push_back(m_found.change);
        }
        break;
    case CONVERTRESULT_CANCELLED:
        m_outcome.End(VARNEXRESULTSTATE_CANCELLED, ReasonNote::Of(OutcomeReason::Cancelled));
        m_outcome.bytesOut = 0;
        break;
    default:
        m_outcome.End(m_outputError ? VARNEXRESULTSTATE_WRITE_ERROR : VARNEXRESULTSTATE_CONVERSION_ERROR, m_failure);
        m_outcome.bytesOut = 0;
        break;
    }
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::ConvertWithRetry(const std::u16string& output,
                                                                       unsigned sourceCodepage, OUTPUTTEXTFORMAT format,
                                                                       RETURNTYPE returnType, bool writeBom)
{
    const bool stream = m_inputStream >= 0;
    platform::FileStatus input;
    int error = 0;
    if (!stream &&
        (!platform::GetFileStatus(m_inputPath, &input, true, &error) || input.type != platform::FileType::Regular))
        return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::OpenFailed, error ? error : ENODEV);
    if (m_outputHandle >= 0) {
        const int handle = platform::DuplicateHandle(m_outputHandle);
        if (handle < 0)
            return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::CreateFailed, errno, true);
        return ConvertGuarded({}, handle, sourceCodepage, format, returnType, writeBom);
    }
    if (output.empty())
        return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::NoOutputFile, 0, true);
    std::optional<CAtomicOutputFile> target;
    if (m_outputFolder)
        target.emplace(m_outputFolder, CLongPath(output).GetFileName(), output);
    else
        target.emplace(output, m_outputNamed);
    platform::FileStatus existing;
    // A named output is what its link leads to; a folder's is the entry itself.
    if (m_outputFolder ? target->GetFinalStatus(&existing) : platform::GetFileStatus(output, &existing)) {
        if (!stream && existing.device == input.device && existing.inode == input.inode)
            return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::OutputIsInput, 0, true);
        if (existing.type == platform::FileType::Directory)
            return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::OutputIsFolder, 0, true);
    }
    if (!IsUTFCodepage(sourceCodepage) && !IsLegalCodepage(sourceCodepage)) {
        m_failure = ReasonNote::Of(OutcomeReason::CodepageNotConvertible, sourceCodepage);
        return CONVERTRESULT_OPEN_FAILED;
    }
    if (target->IsWriteThrough()) {
        const int handle = target->OpenWriteThrough(&error);
        if (handle < 0)
            return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::CreateFailed, error, true);
        return ConvertGuarded({}, handle, sourceCodepage, format, returnType, writeBom);
    }
    // A file that changed while it was read is read once more; a file that
    // keeps changing is kept as read, and the record says so.
    CONVERTRESULT result = CONVERTRESULT_OK;
    for (int attempt = 0; attempt < (stream ? 1 : 2); ++attempt) {
        if (attempt > 0)
            target->Restart();
        const int handle = target->Create(&error);
        if (handle < 0)
            return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::CreateFailed, error, true);
        result = ConvertGuarded(target->GetTemporaryPath(), handle, sourceCodepage, format, returnType, writeBom);
        if (result != CONVERTRESULT_OK || m_found.change.reason == OutcomeReason::None)
            break;
    }
    if (result == CONVERTRESULT_OK && m_keepModeAndTime && !stream && !target->CopyModeAndTime(input, &error))
        result = Fail(CONVERTRESULT_ERROR, OutcomeReason::WriteFailed, error, true);
    if (result == CONVERTRESULT_OK && !target->Commit(&error))
        result = Fail(CONVERTRESULT_ERROR, OutcomeReason::CommitFailed, error, true);
    return result;
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::ConvertGuarded(const std::u16string& tempPath, int outputHandle,
                                                                     unsigned sourceCodepage, OUTPUTTEXTFORMAT format,
                                                                     RETURNTYPE returnType, bool writeBom)
{
    m_found = {};  // a second try starts from nothing
    try {
        return ConvertTo(tempPath, outputHandle, sourceCodepage, format, returnType, writeBom);
    } catch (const std::bad_alloc&) {
        return Fail(CONVERTRESULT_ERROR, OutcomeReason::OutOfMemory);
    } catch (const std::exception& e) {
        m_failure = ReasonNote::Detail(OutcomeReason::ConverterException, text::FromUtf8(e.what()));
        return CONVERTRESULT_ERROR;
    }
}

std::unique_ptr<CTextFileReader> CTextFileConverter::OpenReader()
{
    if (m_inputStream >= 0) {
        const int stream = std::exchange(m_inputStream, -1);
        return std::make_unique<CTextFileReader>(stream, std::move(m_head), m_inputPath.c_str(), m_readBufferSize);
    }
    if (m_readBuffer)
        return std::make_unique<CTextFileReader>(m_inputPath.c_str(), m_readBuffer, m_readBufferSize);
    return std::make_unique<CTextFileReader>(m_inputPath.c_str(), m_readBufferSize);
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::ConvertTo(const std::u16string& tempPath, int outputHandle,
                                                                unsigned sourceCodepage, OUTPUTTEXTFORMAT format,
                                                                RETURNTYPE returnType, bool writeBom)
{
    const UnicodeForm* form = FindFormat(format);
    const TEXTENCODING encoding = form ? form->encoding : TEXTENCODING_CODEPAGE;

    const bool stream = m_inputStream >= 0;
    const std::unique_ptr<CTextFileReader> reader = OpenReader();
    if (!reader->IsOpen()) {
        if (outputHandle >= 0)
            platform::CloseFile(outputHandle);
        return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::OpenFailed, reader->GetLastError());
    }
    auto writer = std::make_unique<CTextFileWriter>(outputHandle, tempPath.c_str(), m_writeBuffer, m_writeBufferSize,
                                                    encoding, writeBom);
    if (!writer->IsOpen())
        return Fail(CONVERTRESULT_OPEN_FAILED, OutcomeReason::CreateFailed, writer->GetLastError(), true);

    // The file is read as it was at open: at most its size then, so a file
    // that grows meanwhile cannot be followed forever. A stream has no size.
    platform::FileStatus opened;
    const bool snapshot = !stream && platform::GetHandleStatus(reader->GetFileHandle(), &opened);
    if (snapshot)
        reader->SetReadLimit(opened.size);
    const uint64_t total = snapshot ? opened.size : reader->GetFileSize();
    if (IsUTFCodepage(sourceCodepage))
        reader->SetEncoding(CTextFileProcessor::GetEncodingForCodepage(sourceCodepage));
    else
        reader->SetCodePage(sourceCodepage);
    writer->SetLineEnding(LineEndingOf(returnType));
    reader->SetReadAhead(kReadAhead);
    writer->SetWriteBehind(kStreamBlock);
    writer->SetBackgroundWrites(m_fastPaths, kBackgroundBlock);

    // Straight from the bytes where that gives the same; a repair needs the text.
    std::unique_ptr<ByteTranscoder> bytes;
    if (m_fastPaths && !m_repairDoubleEncoding)
        bytes = ByteTranscoder::For(*reader, *writer);

    ChunkLoop loop(*reader, *writer, bytes.get(), m_repairDoubleEncoding);
    bool cancelled = false;
    std::optional<ChunkEnd> end;  // where a run that stopped after a chunk ended
    if (m_chunkSize == 0) {
        loop.RunWhole();
    } else {
        std::vector<char16_t> own;
        char16_t* chunk = m_chunkBuffer;
        unsigned capacity = m_chunkSize;
        if (chunk == nullptr || capacity < kMinChunk) {
            capacity = std::max(capacity, kMinChunk);
            own.resize(capacity);
            chunk = own.data();
        }
        const ChunkListener listener{
            this, m_progressCallback, m_progressUserData, m_continueCallback, m_continueUserData, total};
        end = loop.RunChunks(chunk, capacity, listener, cancelled);
    }

    CONVERTRESULT result = cancelled ? CONVERTRESULT_CANCELLED : CONVERTRESULT_OK;
    const bool stopped = end.has_value();
    if (!end)
        end = loop.Current();
    // A read a stop interrupted (a pipe that sends nothing) is the stop's.
    if (end->readError && end->readErrno == EINTR && m_continueCallback &&
        !m_continueCallback(this, m_continueUserData))
        result = CONVERTRESULT_CANCELLED;
    else if (end->readError)
        result = Fail(CONVERTRESULT_ERROR, OutcomeReason::ReadFailed, end->readErrno);
    // The position as the system has it, back by what was read after the end.
    const uint64_t position = reader->GetPosition() - (reader->File().GetBytesDelivered() - end->delivered);
    m_outcome.bytesIn = position;
    platform::FileStatus now;
    if (result == CONVERTRESULT_OK && snapshot && platform::GetHandleStatus(reader->GetFileHandle(), &now) &&
        (now.size != opened.size || now.modified != opened.modified ||
         now.modifiedNanoseconds != opened.modifiedNanoseconds || position != opened.size)) {
        m_found.change = ReasonNote::Of(OutcomeReason::ChangedWhileConverted, opened.size, now.size);
    }
    if (!writer->Close() && result != CONVERTRESULT_CANCELLED)
        result = Fail(CONVERTRESULT_ERROR, OutcomeReason::WriteFailed, writer->GetLastError(), true);
    m_outcome.bytesOut = writer->File().GetBytesWritten();
    const ChunkEnd last = stopped ? *end : loop.Current();
    m_found.replacements = last.decoded + last.encoded;
    m_found.firstUncovered = last.uncovered;
    m_found.c1Controls = last.counts.c1;
    // The reader's replacements are in the text too; the writer's come later.
    m_found.replacementsInText = last.counts.marks - std::min<uint64_t>(last.counts.marks, last.decoded);
    m_found.lineEndings = {last.counts.crlf, last.counts.lf - last.counts.crlf, last.counts.cr - last.counts.crlf,
                           true};
    return result;
}

unsigned CTextFileConverter::GetCodepage(OUTPUTTEXTFORMAT format)
{
    const UnicodeForm* form = FindFormat(format);
    return form ? form->codePage : 0;
}

bool CTextFileConverter::IsUTFCodepage(unsigned codepage)
{
    return FindUnicodeFormByCodePage(codepage) != nullptr;
}

bool CTextFileConverter::IsLegalCodepage(unsigned codepage)
{
    return IsUTFCodepage(codepage) || CTextFileProcessor::IsLegalCodePage(codepage) != 0;
}

bool CTextFileConverter::IsSameCodepage(unsigned codepage, OUTPUTTEXTFORMAT format)
{
    const UnicodeForm* form = FindFormat(format);
    return form != nullptr && form->codePage == codepage;
}

CTextFileConverter::OUTPUTTEXTFORMAT CTextFileConverter::ParseOutputTextFormat(const char16_t* textForm,
                                                                               OUTPUTTEXTFORMAT defaultValue)
{
    if (textForm == nullptr)
        return defaultValue;
    const UnicodeForm* form = FindUnicodeFormByFormatName(textForm);
    return form ? static_cast<OUTPUTTEXTFORMAT>(form->outputFormat) : defaultValue;
}

const char16_t* CTextFileConverter::OutputTextFormatToString(OUTPUTTEXTFORMAT format)
{
    const UnicodeForm* form = FindFormat(format);
    return form ? form->formatName : u"";
}

CTextFileConverter::RETURNTYPE CTextFileConverter::ParseReturnType(const char16_t* textForm, RETURNTYPE defaultValue)
{
    if (textForm == nullptr)
        return defaultValue;
    for (const auto& row : kReturnTypes)
        if (text::EqualsNoCase(textForm, row.name))
            return row.type;
    return defaultValue;
}

const char16_t* CTextFileConverter::ReturnTypeToString(RETURNTYPE returnType)
{
    for (const auto& row : kReturnTypes)
        if (row.type == returnType)
            return row.name;
    return kReturnTypes[0].name;
}

LineEnding CTextFileConverter::LineEndingOf(RETURNTYPE returnType)
{
    for (const auto& row : kReturnTypes)
        if (row.type == returnType)
            return row.ending;
    return LineEnding::Keep;
}
