#include "workflow/credentials_file.h"

#include "platform/atomic_file.h"
#include "platform/qt_text.h"
#include "json/json.h"
#include "json/json_escape.h"
#include "json/utf8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace workflow {
namespace {

std::u16string fieldOf(std::u16string_view line, std::u16string_view name)
{
    std::u16string pattern;
    pattern.reserve(name.size() + 4);
    pattern.append(u"\"").append(name).append(u"\":\"");
    const std::size_t match = line.find(pattern);
    if (match == std::u16string_view::npos) {
        return {};
    }
    std::u16string value;
    for (std::size_t i = match + pattern.size(); i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'"') {
            return value;
        }
        if (c == u'\\') {
            if (const auto escape = json::readStrictEscape(line, i + 1)) {
                value += escape->unit;
                i += escape->length;
                continue;
            }
        }
        value += c;
    }
    return {}; // never closed
}

std::u16string decodeFileText(const QByteArray& bytes)
{
    return (json::isWellFormedUtf8(platform::byteView(bytes)) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes))
        .toStdU16String();
}

// A file written by hand may put blanks around the colons or spread the object over several lines, which
// the reading by pattern does not find; the parser reads such a file as the JSON it is.
void fillMissingFromParsedFile(Credentials& credentials, std::u16string_view fileText)
{
    const std::optional<json::JsonValue> root = json::ParseJson(fileText);
    if (!root || !root->isObject()) {
        return;
    }
    const std::pair<std::u16string*, std::u16string_view> members[] = {
        {&credentials.token, u"token"}, {&credentials.npsn, u"npsn"}, {&credentials.email, u"email"}};
    for (const auto& [value, name] : members) {
        const json::JsonValue* member = root->find(name);
        if (value->empty() && member && member->isString()) {
            *value = member->asString();
        }
    }
}

} // namespace

QString credentialsFilePath(const QString& dataDir)
{
    return QDir(dataDir).filePath(QStringLiteral("data.json"));
}

std::string formatCredentialsLine(const Credentials& credentials)
{
    std::u16string line = u"{\"token\":\"";
    json::appendJsonEscaped(line, credentials.token);
    line += u"\",\"npsn\":\"";
    json::appendJsonEscaped(line, credentials.npsn);
    line += u"\",\"email\":\"";
    json::appendJsonEscaped(line, credentials.email);
    line += u"\"}\r\n";
    return json::Utf16ToUtf8(line);
}

Credentials parseCredentialsLine(std::u16string_view line)
{
    return {fieldOf(line, u"token"), fieldOf(line, u"npsn"), fieldOf(line, u"email")};
}

bool writeCredentialsFile(const QString& path, const Credentials& credentials)
{
    return platform::writeFileAtomically(path, formatCredentialsLine(credentials));
}

std::optional<Credentials> readCredentialsFile(const QString& path, bool* tooLarge)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Credentials{};
    }
    // One byte more than the limit tells a file that is too large without reading it whole.
    const QByteArray bytes = file.read(kCredentialsFileLimit + 1);
    if (bytes.size() > kCredentialsFileLimit) {
        if (tooLarge != nullptr) {
            *tooLarge = true;
        }
        return Credentials{};
    }
    const qsizetype lineEnd = bytes.indexOf('\r');
    Credentials credentials = parseCredentialsLine(decodeFileText(lineEnd >= 0 ? bytes.first(lineEnd) : bytes));
    if (credentials.token.empty() || credentials.npsn.empty() || credentials.email.empty()) {
        fillMissingFromParsedFile(credentials, decodeFileText(bytes));
    }
    return credentials;
}

} // namespace workflow
