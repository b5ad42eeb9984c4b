#include "textrion/encoding/text_file_processor.h"

#include <cwchar>
#include <cstring>

#include "platform/codepage.h"

int CTextFileProcessor::IsLegalCodePage(unsigned codePage)
{
    switch (codePage) {
    case 0: case 1: case 2: case 3: case 42:
    case 1200: case 1201: case 2143: case 3412:
    case 12000: case 12001: case 65000: case 65001:
        return 1;
    default:
        return platform::IsValidCodePage(codePage) ? 1 : 0;
    }
}

unsigned CTextFileProcessor::GetCodepageForEncoding(TEXTENCODING encoding)
{
    switch (encoding) {
    case TEXTENCODING_UTF16BE: return 1201;
    case TEXTENCODING_UTF16LE: return 1200;
    case TEXTENCODING_UTF8: return 65001;
    case TEXTENCODING_UTF32BE: return 12001;
    case TEXTENCODING_UTF32LE: return 12000;
    case TEXTENCODING_UCS4_2143: return 2143;
    case TEXTENCODING_UCS4_3412: return 3412;
    default: return 0;
    }
}

TEXTENCODING CTextFileProcessor::GetEncodingForCodepage(unsigned codePage)
{
    switch (codePage) {
    case 1201: return TEXTENCODING_UTF16BE;
    case 1200: return TEXTENCODING_UTF16LE;
    case 65001: return TEXTENCODING_UTF8;
    case 12001: return TEXTENCODING_UTF32BE;
    case 12000: return TEXTENCODING_UTF32LE;
    case 2143: return TEXTENCODING_UCS4_2143;
    case 3412: return TEXTENCODING_UCS4_3412;
    default: return TEXTENCODING_CODEPAGE;
    }
}

void CTextFileProcessor::ConvertCharToWstring(const char* src, int length, std::u16string& out, unsigned codePage)
{
    out.clear();
    if (src == nullptr || length <= 0)
        return;
    platform::DecodeCodePage(codePage, src, static_cast<size_t>(length), out);
}

void CTextFileProcessor::ConvertWcharToString(const char16_t* src, int length, std::string& out, unsigned codePage,
                                              bool* /*dataLost*/, char /*unknownChar*/)
{
    out.clear();
    if (src == nullptr || length <= 0)
        return;
    platform::EncodeCodePage(codePage, std::u16string_view(src, static_cast<size_t>(length)), out);
}

void CTextFileProcessor::ConvertCharToWstring(const char* src, std::u16string& out)
{
    out.clear();
    if (src == nullptr)
        return;
    std::mbstate_t state{};
    const char* p = src;
    const char* end = src + std::strlen(src);
    while (p < end) {
        wchar_t wc = 0;
        const size_t n = std::mbrtowc(&wc, p, static_cast<size_t>(end - p), &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            state = std::mbstate_t{};
            ++p;  // skip a byte that does not convert
            continue;
        }
        if (n == 0)
            break;
        const char32_t cp = static_cast<char32_t>(wc);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        p += n;
    }
}

void CTextFileProcessor::ConvertWcharToString(const char16_t* src, std::string& out, bool* dataLost, char unknownChar)
{
    out.clear();
    if (src == nullptr)
        return;
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (const char16_t* p = src; *p != 0; ++p) {
        char32_t cp = *p;
        if (cp >= 0xD800 && cp <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        }
        const size_t n = (cp >= 0xD800 && cp <= 0xDFFF) ? static_cast<size_t>(-1)
                                                         : std::wcrtomb(buf, static_cast<wchar_t>(cp), &state);
        if (n == static_cast<size_t>(-1)) {
            state = std::mbstate_t{};
            out.push_back(unknownChar);
            if (dataLost)
                *dataLost = true;
            continue;
        }
        out.append(buf, n);
    }
}

void CTextFileProcessor::CharToWstring(const char* src, int length, std::u16string& out) const
{
    ConvertCharToWstring(src, length, out, m_codePage);
}

void CTextFileProcessor::WcharToString(const char16_t* src, int length, std::string& out)
{
    ConvertWcharToString(src, length, out, m_codePage, &m_dataLost, m_unknownChar);
}
