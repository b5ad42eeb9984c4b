#include "textrion/encoding/bom_detector.h"

#include "textrion/encoding/unicode_forms.h"
#include "textrion/io/binary_file.h"

CBomDetector::CBomDetector(const char16_t* path) : m_path(path ? path : u"")
{
    Detect();
}

CBomDetector::~CBomDetector() = default;

BOM CBomDetector::Judge(const unsigned char* b, unsigned n)
{
    const UnicodeForm* form = FindUnicodeFormByMark(b, n < 4 ? n : 4);
    return form != nullptr ? form->bom : BOM_NONE;
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
