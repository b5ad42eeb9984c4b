#include "textrion/encoding/bom_detector.h"

#include "textrion/io/binary_file.h"

CBomDetector::CBomDetector(const char16_t* path) : m_path(path ? path : u"")
{
    Detect();
}

CBomDetector::~CBomDetector() = default;

BOM CBomDetector::Judge(const unsigned char* b, unsigned n)
{
    if (n == 0)
        return BOM_NONE;
    switch (b[0]) {
    case 0x00:
        if (n == 4 && b[1] == 0x00) {
            if (b[2] == 0xFE && b[3] == 0xFF)
                return BOM_UTF32BE;
            if (b[2] == 0xFF && b[3] == 0xFE)
                return BOM_UCS4_2143;
        }
        return BOM_NONE;
    case 0xEF:
        return n >= 3 && b[1] == 0xBB && b[2] == 0xBF ? BOM_UTF8 : BOM_NONE;
    case 0xFE:
        if (n == 4) {
            if (b[1] != 0xFF)
                return BOM_NONE;
            return b[2] == 0x00 && b[3] == 0x00 ? BOM_UCS4_3412 : BOM_UTF16BE;
        }
        return n >= 2 && b[1] == 0xFF ? BOM_UTF16BE : BOM_NONE;
    case 0xFF:
        if (n == 4) {
            if (b[1] != 0xFE)
                return BOM_NONE;
            return b[2] == 0x00 && b[3] == 0x00 ? BOM_UTF32LE : BOM_UTF16LE;
        }
        return n >= 2 && b[1] == 0xFE ? BOM_UTF16LE : BOM_NONE;
    default:
        return BOM_NONE;
    }
}

void CBomDetector::Detect()
{
    m_result = BOM_NONE;
    CBinaryFileReader reader(m_path.c_str(), true);
    m_readError = !reader.IsOpen();
    if (m_readError)
        return;
    unsigned char bytes[4] = {};
    const unsigned n = reader.Read(bytes, 4);
    m_readError = reader.HasReadError();
    m_shortFile = n < 4;
    m_result = Judge(bytes, n);
}
