#include "platform/native_path.h"

#include "base/text.h"

namespace platform {

std::u16string FromNativePath(std::string_view native)
{
    std::u16string out;
    out.reserve(native.size());
    const auto* s = reinterpret_cast<const unsigned char*>(native.data());
    const size_t n = native.size();
    size_t i = 0;
    while (i < n) {
        char32_t cp = 0;
        const int len = text::Utf8SequenceAt(s + i, n - i, cp);
        if (len <= 0) {
            out.push_back(static_cast<char16_t>(0xDC00 + s[i]));  // a raw byte, kept
            ++i;
            continue;
        }
        text::AppendUtf16(out, cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

std::string ToNativePath(std::u16string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        char32_t c = path[i];
        if (c >= 0xDC80 && c <= 0xDCFF) {
            out.push_back(static_cast<char>(c - 0xDC00));  // an escaped raw byte
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // cannot come from disk; never write ill-formed UTF-8
        }
        text::AppendUtf8(out, c);
    }
    return out;
}

}  // namespace platform
