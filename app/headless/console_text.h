#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "app/locale/tr.h"
#include "base/text.h"
#include "platform/native_path.h"

// Text of the command-line run. Our own texts go out as UTF-8; anything that
// holds a name from disk goes through Term, which escapes what a terminal
// would act on.
namespace headless {

inline std::string Out(const std::u16string& s)
{
    return platform::ToNativePath(s);
}
inline std::string Term(const std::u16string& s)
{
    return text::ForTerminal(s);
}
inline std::u16string TrH(const char* text)
{
    return Tr("Headless", text);
}

// format with its "%1" replaced by arg.
inline std::u16string Arg(std::u16string format, const std::u16string& arg)
{
    const size_t at = format.find(u"%1");
    if (at != std::u16string::npos)
        format.replace(at, 2, arg);
    return format;
}

// format with "%1".."%9" replaced by args in one pass, so an argument that
// holds "%2" stays as it is.
inline std::u16string Args(std::u16string_view format, std::initializer_list<std::u16string_view> args)
{
    std::u16string out;
    for (size_t i = 0; i < format.size(); ++i) {
        const size_t n = i + 1 < format.size() ? static_cast<size_t>(format[i + 1] - u'1') : args.size();
        if (format[i] == u'%' && n < args.size()) {
            out += args.begin()[n];
            ++i;
        } else {
            out.push_back(format[i]);
        }
    }
    return out;
}

}  // namespace headless
