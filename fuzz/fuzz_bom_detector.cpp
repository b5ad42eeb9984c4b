// The byte order mark detector and the BOM-less UTF-16 test, on the bytes
// and on a file holding them. The mark found is the longest of the seven
// that starts the data; the file forms agree with the byte forms.
#include <algorithm>
#include <string_view>

#include "codecs/unicode_statistics.h"
#include "fuzz/fuzz_support.h"
#include "textrion/encoding/bom_detector.h"
#include "textrion/encoding/bomless_unicode_detector.h"

namespace {

struct Mark {
    BOM bom;
    std::string_view bytes;
};

constexpr Mark kMarks[] = {
    {BOM_UTF32LE, {"\xFF\xFE\0\0", 4}},
    {BOM_UTF32BE, {"\0\0\xFE\xFF", 4}},
    {BOM_UCS4_2143, {"\0\0\xFF\xFE", 4}},
    {BOM_UCS4_3412, {"\xFE\xFF\0\0", 4}},
    {BOM_UTF8, "\xEF\xBB\xBF"},
    {BOM_UTF16LE, "\xFF\xFE"},
    {BOM_UTF16BE, "\xFE\xFF"},
};

BOM LongestMark(std::string_view head)
{
    for (const Mark& mark : kMarks)  // longest first
        if (head.substr(0, mark.bytes.size()) == mark.bytes)
            return mark.bom;
    return BOM_NONE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (unsigned n = 0; n <= std::min<size_t>(size, 4); ++n)
        FUZZ_CHECK(CBomDetector::Judge(data, n) == LongestMark(bytes.substr(0, n)));

    const std::u16string path = fuzz::WriteTempFile("sample", bytes);
    const CBomDetector file(path.c_str());
    FUZZ_CHECK(!file.HasReadError());
    FUZZ_CHECK(file.GetResult() == LongestMark(bytes.substr(0, 4)));
    FUZZ_CHECK(file.IsShortFile() == (size < 4));

    unsigned flags = 0;
    const bool utf16 = codecs::IsTextUnicode(data, size, &flags);
    FUZZ_CHECK(utf16 == codecs::IsTextUnicode(data, size));
    constexpr unsigned kPassed = codecs::TEXT_UNICODE_ASCII16 | codecs::TEXT_UNICODE_STATISTICS;
    FUZZ_CHECK(utf16 == ((flags & kPassed) != 0));
    FUZZ_CHECK(!utf16 || (flags & ~kPassed) == 0);

    CBomlessUnicodeDetector bomless(path.c_str());
    const size_t sample = std::min<size_t>(size, CBomlessUnicodeDetector::kSampleSize);
    FUZZ_CHECK(bomless.Detect() == (codecs::IsTextUnicode(data, sample) ? BOMLESS_UTF16LE : BOMLESS_NONE));
    FUZZ_CHECK(bomless.IsShortFile() == (size < CBomlessUnicodeDetector::kSampleSize));
    return 0;
}
