#pragma once

// Text across the toolkit boundary: the program's UTF-16 text and QString hold the same code units.

#include <QString>

#include <string>
#include <string_view>

namespace platform {

inline QString toQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string toU16(const QString& text)
{
    return text.toStdU16String();
}

} // namespace platform
