#include "textrion/encoding/unicode_forms.h"

#include <string_view>

#include "base/text.h"

namespace {

using namespace std::string_view_literals;

constexpr UnicodeForm kForms[] = {
    {TEXTENCODING_UTF8, BOM_UTF8, "\xEF\xBB\xBF"sv, 65001, 0, ByteOrder::None, 1, u"UTF-8", u"UTF8"},
    {TEXTENCODING_UTF16LE, BOM_UTF16LE, "\xFF\xFE"sv, 1200, 1, ByteOrder::LittleEndian, 2, u"UTF-16LE", u"UTF16LE"},
    {TEXTENCODING_UTF16BE, BOM_UTF16BE, "\xFE\xFF"sv, 1201, 2, ByteOrder::BigEndian, 2, u"UTF-16BE", u"UTF16BE"},
    {TEXTENCODING_UTF32LE, BOM_UTF32LE, "\xFF\xFE\x00\x00"sv, 12000, 3, ByteOrder::LittleEndian, 4, u"UTF-32LE",
     u"UTF32LE"},
    {TEXTENCODING_UTF32BE, BOM_UTF32BE, "\x00\x00\xFE\xFF"sv, 12001, 4, ByteOrder::BigEndian, 4, u"UTF-32BE",
     u"UTF32BE"},
    {TEXTENCODING_UCS4_3412, BOM_UCS4_3412, "\xFE\xFF\x00\x00"sv, 3412, 5, ByteOrder::Order3412, 4, u"UCS-4-3412",
     u"3412"},
    {TEXTENCODING_UCS4_2143, BOM_UCS4_2143, "\x00\x00\xFF\xFE"sv, 2143, 6, ByteOrder::Order2143, 4, u"UCS-4-2143",
     u"2143"},
};

template <typename Match> const UnicodeForm* FindBy(Match match)
{
    for (const UnicodeForm& form : kForms)
        if (match(form))
            return &form;
    return nullptr;
}

}  // namespace

std::span<const UnicodeForm> UnicodeForms()
{
    return kForms;
}

const UnicodeForm* FindUnicodeForm(TEXTENCODING encoding)
{
    return FindBy([=](const UnicodeForm& f) { return f.encoding == encoding; });
}

const UnicodeForm* FindUnicodeFormByBom(BOM bom)
{
    return FindBy([=](const UnicodeForm& f) { return f.bom == bom; });
}

const UnicodeForm* FindUnicodeFormByCodePage(unsigned codePage)
{
    return FindBy([=](const UnicodeForm& f) { return f.codePage == codePage; });
}

const UnicodeForm* FindUnicodeFormByOutputFormat(int outputFormat)
{
    return FindBy([=](const UnicodeForm& f) { return f.outputFormat == outputFormat; });
}

const UnicodeForm* FindUnicodeFormByFormatName(std::u16string_view formatName)
{
    return FindBy([=](const UnicodeForm& f) { return text::EqualsNoCase(f.formatName, formatName); });
}

const UnicodeForm* FindUnicodeFormByMark(const unsigned char* bytes, unsigned length)
{
    const UnicodeForm* best = nullptr;
    if (bytes == nullptr)
        return nullptr;
    for (const UnicodeForm& form : kForms) {
        const std::string_view mark = form.bomBytes;
        if (length < mark.size() || (best != nullptr && best->bomBytes.size() >= mark.size()))
            continue;
        if (std::string_view(reinterpret_cast<const char*>(bytes), mark.size()) == mark)
            best = &form;
    }
    return best;
}
