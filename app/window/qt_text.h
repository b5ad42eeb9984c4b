#pragma once

#include <QString>
#include <string>
#include <string_view>

// The engine speaks UTF-16 strings, Qt QString: both UTF-16, copied as units.
inline QString Qs(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string U16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}
