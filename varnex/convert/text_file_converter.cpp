#include "varnex/convert/text_file_converter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/text.h"
#include "platform/file_api.h"
#include "textrion/encoding/unicode_forms.h"
#include "textrion/io/atomic_output_file.h"
#include "textrion/io/text_file_reader.h"
#include "textrion/io/text_file_writer.h"
#include "textrion/path/long_path.h"

namespace {

// A chunk must hold a whole surrogate pair, or reading could never make
// progress; a little more keeps small settings from costing a call per unit.
constexpr unsigned kMinChunk = 16;

// The file is read and written in blocks of up to this size whatever the
// buffer settings: small buffers would otherwise cost a system call for every
// few kilobytes of a long file.
constexpr unsigned kStreamBlock = 64 * 1024;

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

std::u16string SystemError(const char* what, int error)
{
    std::string message = what;
    if (error != 0) {
        message += ": ";
        message += std::strerror(error);
    }
    return text::FromUtf8(message);
}

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

void CTextFileConverter::SetReportProgressCallback(ProgressCallback callback, void* userData)
{
    m_progressCallback = callback;
    m_progressUserData = userData;
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::Convert(const char16_t* outputPath, unsigned sourceCodepage,
                                                              OUTPUTTEXTFORMAT format, RETURNTYPE returnType,
                                                              bool writeBom, unsigned /*reserved*/)
{
    m_errorText.clear();
    m_outputError = false;
    m_replacements = 0;
    m_inputChange.clear();
    const std::u16string output = outputPath ? outputPath : u"";

    platform::FileStatus input;
    int error = 0;
    if (!platform::GetFileStatus(m_inputPath, &input, true, &error) || input.type != platform::FileType::Regular) {
        m_errorText = SystemError("cannot open the input file", error ? error : ENODEV);
        return CONVERTRESULT_OPEN_FAILED;
    }
    if (output.empty()) {
        m_errorText = u"no output file given";
        m_outputError = true;
        return CONVERTRESULT_OPEN_FAILED;
    }
    platform::FileStatus existing;
    if (platform::GetFileStatus(output, &existing)) {
        if (existing.device == input.device && existing.inode == input.inode) {
            m_errorText = u"the output file is the input file itself";
            m_outputError = true;
            return CONVERTRESULT_OPEN_FAILED;
        }
        if (existing.type == platform::FileType::Directory) {
            m_errorText = u"the output path is a folder";
            m_outputError = true;
            return CONVERTRESULT_OPEN_FAILED;
        }
    }
    if (!IsUTFCodepage(sourceCodepage) && !IsLegalCodepage(sourceCodepage)) {
        m_errorText = u"code page " + text::FromUnsigned(sourceCodepage) + u" cannot be converted here";
        return CONVERTRESULT_OPEN_FAILED;
    }

    // A file that changed while it was read is read once more; a file that
    // keeps changing is kept as read, and the record says so.
    CAtomicOutputFile target(output);
    CONVERTRESULT result = CONVERTRESULT_OK;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt > 0)
            target.Restart();
        m_inputChange.clear();
        m_replacements = 0;
        try {
            result = ConvertTo(target.GetTemporaryPath(), sourceCodepage, format, returnType, writeBom);
        } catch (const std::bad_alloc&) {
            m_errorText = u"out of memory";
            result = CONVERTRESULT_ERROR;
        } catch (const std::exception& e) {
            m_errorText = text::FromUtf8(e.what());
            result = CONVERTRESULT_ERROR;
        }
        if (result != CONVERTRESULT_OK || m_inputChange.empty())
            break;
    }
    if (result == CONVERTRESULT_OK && !target.Commit(&error)) {
        m_errorText = SystemError("cannot move the output file into place", error);
        m_outputError = true;
        result = CONVERTRESULT_ERROR;
    }
    return result;
}

CTextFileConverter::CONVERTRESULT CTextFileConverter::ConvertTo(const std::u16string& tempPath,
                                                                unsigned sourceCodepage, OUTPUTTEXTFORMAT format,
                                                                RETURNTYPE returnType, bool writeBom)
{
    const UnicodeForm* form = FindFormat(format);
    const TEXTENCODING encoding = form ? form->encoding : TEXTENCODING_CODEPAGE;

    std::unique_ptr<CTextFileReader> reader =
        m_readBuffer ? std::make_unique<CTextFileReader>(m_inputPath.c_str(), m_readBuffer, m_readBufferSize)
                     : std::make_unique<CTextFileReader>(m_inputPath.c_str(), m_readBufferSize);
    if (!reader->IsOpen()) {
        m_errorText = SystemError("cannot open the input file", reader->GetLastError());
        return CONVERTRESULT_OPEN_FAILED;
    }
    std::unique_ptr<CTextFileWriter> writer =
        m_writeBuffer ? std::make_unique<CTextFileWriter>(tempPath.c_str(), m_writeBuffer, m_writeBufferSize,
                                                          encoding, writeBom, false, true)
                      : std::make_unique<CTextFileWriter>(tempPath.c_str(), encoding, writeBom, false,
                                                          m_writeBufferSize, true);
    if (!writer->IsOpen()) {
        m_errorText = SystemError("cannot create the output file", writer->GetLastError());
        m_outputError = true;
        return CONVERTRESULT_OPEN_FAILED;
    }

    // The file is read as it was at open: at most its size then, so a file
    // that grows meanwhile cannot be followed forever.
    platform::FileStatus opened;
    const bool snapshot = platform::GetHandleStatus(reader->GetFileHandle(), &opened);
    if (snapshot)
        reader->SetReadLimit(opened.size);
    const uint64_t total = snapshot ? opened.size : reader->GetFileSize();
    uint64_t processed = 0;
    if (IsUTFCodepage(sourceCodepage))
        reader->SetEncoding(CTextFileProcessor::GetEncodingForCodepage(sourceCodepage));
    else
        reader->SetCodePage(sourceCodepage);
    writer->SetLineEnding(LineEndingOf(returnType));
    reader->SetReadAhead(kStreamBlock);
    writer->SetWriteBehind(kStreamBlock);

    CONVERTRESULT result = CONVERTRESULT_OK;
    if (m_chunkSize == 0) {
        std::u16string text;
        reader->ReadToEnd(text, 2048);
        writer->WriteStream(text.data(), static_cast<unsigned>(text.size()));
        writer->EndStream();
    } else {
        std::vector<char16_t> own;
        char16_t* chunk = m_chunkBuffer;
        unsigned capacity = m_chunkSize;
        if (chunk == nullptr || capacity < kMinChunk) {
            capacity = std::max(capacity, kMinChunk);
            own.resize(capacity);
            chunk = own.data();
        }
        for (;;) {
            unsigned consumed = 0;
            const unsigned n = reader->Read(chunk, capacity, &consumed);
            processed += consumed;
            if (n == 0) {
                writer->EndStream();  // a high surrogate whose low half never came
                break;
            }
            writer->WriteStream(chunk, n);
            if (writer->HasWriteError())
                break;
            if (m_progressCallback)
                m_progressCallback(this, processed, total, m_progressUserData);
            if (m_continueCallback && !m_continueCallback(this, m_continueUserData)) {
                result = CONVERTRESULT_CANCELLED;
                break;
            }
        }
    }

    if (reader->HasReadError()) {
        m_errorText = SystemError("reading the input file failed", reader->GetLastError());
        result = CONVERTRESULT_ERROR;
    }
    platform::FileStatus now;
    if (result == CONVERTRESULT_OK && snapshot && platform::GetHandleStatus(reader->GetFileHandle(), &now) &&
        (now.size != opened.size || now.modified != opened.modified ||
         now.modifiedNanoseconds != opened.modifiedNanoseconds || reader->GetPosition() != opened.size)) {
        m_inputChange = u"the file changed while it was converted (" + text::FromUnsigned(opened.size) +
                        u" bytes at the start, " + text::FromUnsigned(now.size) +
                        u" at the end): the output holds what was read";
    }
    if (!writer->Close() && result != CONVERTRESULT_CANCELLED) {
        m_errorText = SystemError("writing the output file failed", writer->GetLastError());
        m_outputError = true;
        result = CONVERTRESULT_ERROR;
    }
    m_replacements = reader->GetReplacementCount() + writer->GetReplacementCount();
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
