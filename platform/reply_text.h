#pragma once

// The text of an HTTP reply body, as its Content-Type says it is written.

#include <QByteArray>
#include <QByteArrayView>

#include <string>

namespace platform {

// Decodes a reply body: UTF-8 (ill-formed sequences as U+FFFD) when `charset` is empty, names UTF-8 or
// names a charset Qt does not know (but Windows-1252, decoded without Qt where Qt lacks it); otherwise
// that charset.
std::u16string decodeBody(QByteArrayView body, QByteArrayView charset);

// The charset a Content-Type value names, unquoted and lower case; empty when it names none.
QByteArray charsetOf(const QByteArray& contentType);

} // namespace platform
