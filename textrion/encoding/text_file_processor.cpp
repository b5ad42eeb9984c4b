#include "textrion/encoding/text_file_processor.h"

#include <cstring>
#include <cwchar>

#include "codecs/codepage.h"
#include "textrion/encoding/unicode_forms.h"

int CTextFileProcessor::IsLegalCodePage(unsigned codePage)
{
    switch (codePage) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 42:
    case 65000:
        return 1;
    default:
        return FindUnicodeFormByCodePage(codePage) != nullptr || codecs::IsValidCodePage(codePage) ? 1 : 0;
    }
}

unsigned CTextFileProcessor::GetCodepageForEncoding(TEXTENCODING encoding)
{
    const UnicodeForm* form = FindUnicodeForm(encoding);
    return form != nullptr ? form->codePage : 0;
}

TEXTENCODING CTextFileProcessor::GetEncodingForCodepage(unsigned codePage)
{
    const UnicodeForm* form = FindUnicodeFormByCodePage(codePage);
    return form != nullptr ? form->encoding : TEXTENCODING_CODEPAGE;
}

void CTextFileProcessor::ConvertCharToWstring(const char* src, int length, std::u16string& out, unsigned codePage)
{
    out.clear();
    if (src == nullptr || length <= 0)
        return;
    codecs::DecodeCodePage(codePage, src, static_cast<size_t>(length), out);
}

void CTextFileProcessor::ConvertWcharToString(const char16_t* src, int length, std::string& out, unsigned codePage,
                                              bool* /*dataLost*/, char /*unknownChar*/)
{
    out.clear();
    if (src == nullptr || length <= 0)
        return;
    codecs::EncodeCodePage(codePage, std::u16string_view(src, static_cast<size_t>(length)), out);
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
