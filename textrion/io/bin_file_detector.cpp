#include "textrion/io/bin_file_detector.h"

#include "textrion/io/file_sample.h"

CBinFileDetector::CBinFileDetector(const char16_t* path, unsigned threshold, unsigned blockSize, unsigned maxMegabytes)
    : m_path(path ? path : u""),
      m_blockSize(blockSize),
      m_maxMegabytes(maxMegabytes),
      m_threshold(threshold)
{
}

CBinFileDetector::~CBinFileDetector() = default;

bool CBinFileDetector::Detect()
{
    CFileSample sample;
    if (!sample.Open(m_path.c_str(), m_blockSize, static_cast<uint64_t>(m_maxMegabytes) * 1048576u)) {
        m_result = false;
        m_readError = true;
        m_stopped = false;
        return false;
    }
    return Detect(sample);
}

namespace {

constexpr uint64_t kContinueCheckBytes = 64 * 1024;

}  // namespace

bool CBinFileDetector::Detect(CFileSample& sample)
{
    m_result = false;
    m_readError = false;
    m_stopped = false;
    // 64-bit limit: a large megabyte count must not wrap to 0.
    const uint64_t limit = static_cast<uint64_t>(m_maxMegabytes) * 1048576u;
    if (limit == 0 || m_blockSize == 0)
        return false;
    uint64_t scanned = 0;
    uint64_t nextCheck = kContinueCheckBytes;
    bool ended = false;
    while (scanned < limit && !ended && !m_result) {
        if (m_canContinue && scanned >= nextCheck) {
            nextCheck = scanned + kContinueCheckBytes;
            if (!m_canContinue()) {
                m_stopped = true;
                return false;
            }
        }
        // The last block is cut to what the limit leaves: never scan past it.
        const uint64_t left = limit - scanned;
        const unsigned want = left < m_blockSize ? static_cast<unsigned>(left) : m_blockSize;
        m_readError = !sample.Fill(scanned + want);
        const uint64_t held = sample.Size() > scanned ? sample.Size() - scanned : 0;
        const unsigned n = held < want ? static_cast<unsigned>(held) : want;
        m_result = DetectBinary(sample.Chars() + scanned, n);
        scanned += want;
        ended = n < want;
    }
    return m_result;
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
