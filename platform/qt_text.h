#pragma once

// Text across the toolkit boundary: the program's UTF-16 text and QString hold the same code units.

#include "json/utf8.h"

#include <QByteArray>
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

// The bytes of a byte array, for the plain C++ that reads them in place.
inline std::string_view byteView(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

// The UTF-8 bytes of the program's UTF-16 text, encoded as the JSON library encodes it everywhere else.
inline QByteArray toUtf8Bytes(std::u16string_view text)
{
    const std::string bytes = json::Utf16ToUtf8(text);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace platform
