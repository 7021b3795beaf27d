#include "platform/reply_text.h"

#include "platform/qt_text.h"

#include "json/utf8.h"

#include <QByteArrayList>
#include <QStringDecoder>

#include <string_view>

namespace platform {

namespace {

bool namesWindows1252(QByteArrayView charset)
{
    for (const char* name : {"windows-1252", "cp1252", "x-cp1252"}) {
        if (charset.compare(name, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// Windows-1252, the usual legacy charset of servers on Windows, for a Qt without ICU (the one for Windows
// knows only the Unicode charsets and Latin-1). It is Latin-1 but for 0x80-0x9F; the five positions it
// leaves undefined stay the C1 controls of the same value.
std::u16string decodeWindows1252(QByteArrayView body)
{
    static constexpr char16_t k80To9F[32] = {
        u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
        u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
        u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
        u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178'};
    std::u16string text;
    text.reserve(static_cast<std::size_t>(body.size()));
    for (const char c : body) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte >= 0x80 && byte <= 0x9F ? k80To9F[byte - 0x80] : static_cast<char16_t>(byte);
    }
    return text;
}

} // namespace

std::u16string decodeBody(QByteArrayView body, QByteArrayView charset)
{
    const auto utf8 = [&] {
        return json::Utf8ToUtf16(std::string_view(body.data(), static_cast<std::size_t>(body.size())));
    };
    if (charset.isEmpty() || charset.compare("utf-8", Qt::CaseInsensitive) == 0 ||
        charset.compare("utf8", Qt::CaseInsensitive) == 0) {
        return utf8();
    }
    QStringDecoder decoder(charset.toByteArray().constData());
    if (!decoder.isValid()) {
        return namesWindows1252(charset) ? decodeWindows1252(body) : utf8();
    }
    const QString text = decoder(body);
    return toU16(text);
}

QByteArray charsetOf(const QByteArray& contentType)
{
    for (const QByteArray& part : contentType.split(';')) {
        const QByteArray parameter = part.trimmed();
        if (parameter.size() > 8 && parameter.first(8).toLower() == "charset=") {
            QByteArray value = parameter.sliced(8).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) {
                value = value.sliced(1, value.size() - 2);
            }
            return value.toLower();
        }
    }
    return {};
}

} // namespace platform
