#include "textrion/io/file_sample.h"

#include <algorithm>

namespace {

// A sample that grew past this gives its memory back before the next file:
// one huge file must not pin its sample for the rest of a run.
constexpr size_t kKeptCapacity = 8u << 20;

}  // namespace

CFileSample::CFileSample() = default;
CFileSample::~CFileSample() = default;

bool CFileSample::Open(const char16_t* path, unsigned firstRead, uint64_t limit)
{
    m_reader.reset();
    m_size = 0;
    m_atEnd = false;
    m_readError = false;
    if (m_bytes.size() > kKeptCapacity)
        std::vector<unsigned char>().swap(m_bytes);
    // A first read of 0 would never grow.
    m_firstRead = std::max(firstRead, 1u);
    m_limit = limit;
    m_reader.emplace(path, true);
    if (!m_reader->IsOpen()) {
        m_reader.reset();
        return false;
    }
    // A small file is read whole at once: tests asking block by block would
    // otherwise cost a read each.
    if (const uint64_t size = m_reader->GetFileSize(); size < kLargestRead)
        m_firstRead = std::max(m_firstRead, static_cast<unsigned>(size) + 1);
    return true;
}

void CFileSample::Hold(const unsigned char* bytes, uint64_t size, bool whole)
{
    m_reader.reset();
    m_bytes.assign(bytes, bytes + size);
    m_size = size;
    m_atEnd = whole;
    m_readError = false;
}

void CFileSample::Close()
{
    m_reader.reset();
}

bool CFileSample::Fill(uint64_t end)
{
    const uint64_t largest = std::max<uint64_t>(kLargestRead, m_firstRead);
    // Past the limit only as far as asked.
    const uint64_t stop = std::max(m_limit, end);
    while (m_reader && m_size < end && !m_atEnd && !m_readError) {
        const uint64_t want = std::min({std::max<uint64_t>(m_size, m_firstRead), largest, stop - m_size});
        if (m_bytes.size() < m_size + want)
            m_bytes.resize(std::max<uint64_t>(m_size + want, std::min<uint64_t>(2 * m_bytes.size(), stop)));
        const unsigned n = m_reader->Read(m_bytes.data() + m_size, static_cast<unsigned>(want));
        m_size += n;
        m_readError = m_reader->HasReadError();
        m_atEnd = m_reader->Eof() && !m_readError;
    }
    return m_size >= end || m_atEnd;
}
