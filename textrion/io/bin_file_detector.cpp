#include "textrion/io/bin_file_detector.h"

#include <memory>

CBinFileDetector::CBinFileDetector(const char16_t* path, unsigned threshold, unsigned blockSize, unsigned maxMegabytes)
    : m_reader(path, false), m_blockSize(blockSize), m_maxMegabytes(maxMegabytes), m_threshold(threshold)
{
}

CBinFileDetector::~CBinFileDetector() = default;

bool CBinFileDetector::Detect()
{
    m_result = false;
    m_readError = false;
    if (!m_reader.Open()) {
        m_readError = true;
        return false;
    }
    m_result = DetectHead();
    m_readError = m_reader.HasReadError();
    m_reader.Close();
    return m_result;
}

bool CBinFileDetector::DetectHead()
{
    if (!m_reader.IsOpen() || !m_reader.SeekToBegin())
        return false;
    return DetectCurrent();
}

namespace {

constexpr uint64_t kContinueCheckBytes = 64 * 1024;

}  // namespace

bool CBinFileDetector::DetectCurrent()
{
    // 64-bit limit: a large megabyte count must not wrap to 0.
    const uint64_t limit = static_cast<uint64_t>(m_maxMegabytes) * 1048576u;
    if (limit == 0 || m_blockSize == 0)
        return false;
    std::unique_ptr<char[]> block(new char[m_blockSize]);
    uint64_t scanned = 0;
    uint64_t nextCheck = kContinueCheckBytes;
    bool binary = false;
    m_stopped = false;
    while (scanned < limit && !m_reader.Eof() && !binary) {
        if (m_canContinue && scanned >= nextCheck) {
            nextCheck = scanned + kContinueCheckBytes;
            if (!m_canContinue()) {
                m_stopped = true;
                return false;
            }
        }
        // The last block is cut to what the limit leaves: never read past it.
        const uint64_t left = limit - scanned;
        const unsigned want = left < m_blockSize ? static_cast<unsigned>(left) : m_blockSize;
        const unsigned n = m_reader.Read(block.get(), want);
        binary = DetectBinary(block.get(), n);
        scanned += want;
    }
    return binary;
}

bool CBinFileDetector::DetectBinary(const char* block, unsigned length)
{
    unsigned zeros = 0;
    for (unsigned i = 0; i < length; ++i) {
        if (zeros >= m_threshold)
            return true;  // a run followed by a byte of the same block
        zeros = block[i] == 0 ? zeros + 1 : 0;
    }
    return false;
}
