#pragma once

#include <string>

#include "app/locale/tr.h"
#include "base/text.h"
#include "platform/native_path.h"

// Text of the command-line run. Our own texts go out as UTF-8; anything that
// holds a name from disk goes through Term, which escapes what a terminal
// would act on.
namespace headless {

inline std::string Out(const std::u16string& s) { return platform::ToNativePath(s); }
inline std::string Term(const std::u16string& s) { return text::ForTerminal(s); }
inline std::u16string TrH(const char* text) { return Tr("Headless", text); }

// format with its "%1" replaced by arg.
inline std::u16string Arg(std::u16string format, const std::u16string& arg)
{
    const size_t at = format.find(u"%1");
    if (at != std::u16string::npos)
        format.replace(at, 2, arg);
    return format;
}

}  // namespace headless
