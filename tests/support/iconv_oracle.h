#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace testing_support {

// glibc's converters: an oracle independent of the ICU tables the code uses.
// nullopt when glibc does not know a charset or refuses the input.
inline std::optional<std::string> IconvBytes(const char* to, const char* from, std::string_view in)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const bool ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

// UTF-16 text in `to`, as glibc writes it; a failure fails the test.
inline std::string Iconv(const char* to, std::u16string_view text)
{
    std::string in;
    for (char16_t u : text) {
        in.push_back(static_cast<char>(u & 0xFF));
        in.push_back(static_cast<char>(u >> 8));
    }
    std::optional<std::string> out = IconvBytes(to, "UTF-16LE", in);
    EXPECT_TRUE(out.has_value()) << "iconv cannot convert to " << to;
    return out.value_or(std::string());
}

}  // namespace testing_support
