#include "textrion/encoding/bomless_unicode_detector.h"

#include "codecs/unicode_statistics.h"
#include "textrion/io/binary_file.h"

CBomlessUnicodeDetector::CBomlessUnicodeDetector(const char16_t* path) : m_path(path ? path : u"")
{
}

CBomlessUnicodeDetector::~CBomlessUnicodeDetector() = default;

BOMLESS_UNICODE CBomlessUnicodeDetector::Detect()
{
    m_result = BOMLESS_NONE;
    CBinaryFileReader reader(m_path.c_str(), true);
    if (!reader.IsOpen())
        return m_result;
    unsigned char sample[kSampleSize] = {};
    const unsigned n = reader.Read(sample, kSampleSize);
    m_shortFile = n < kSampleSize;
    m_result = Judge(sample, n);
    return m_result;
}

BOMLESS_UNICODE CBomlessUnicodeDetector::Judge(const unsigned char* bytes, size_t n)
{
    return codecs::IsTextUnicode(bytes, n < kSampleSize ? n : kSampleSize) ? BOMLESS_UTF16LE : BOMLESS_NONE;
}
