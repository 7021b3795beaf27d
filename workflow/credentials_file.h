#pragma once

// The credentials file "data.json": one line {"token":"…","npsn":"…","email":"…"} followed by CR LF, in
// UTF-8, with the values JSON-escaped (double quote, backslash and control characters), so that every
// value comes back exactly as it was typed. Ordinary values give exactly that one-line layout.

#include <QString>

#include <optional>
#include <string>

namespace workflow {

struct Credentials {
    std::u16string token;
    std::u16string npsn;
    std::u16string email; // the operator's user name, an e-mail address

    friend bool operator==(const Credentials&, const Credentials&) = default;
};

// The file's path in `dataDir`.
QString credentialsFilePath(const QString& dataDir);

// The file's whole content: the line and CR LF, as UTF-8 bytes.
std::string formatCredentialsLine(const Credentials& credentials);
// The three values from the file's first line, each found as the first "name":" in the line and read up
// to the next unescaped double quote, escapes decoded (an unknown escape keeps its backslash). A member
// that is missing, written otherwise (a blank after the colon) or never closed gives the empty text.
Credentials parseCredentialsLine(std::u16string_view line);

// The largest credentials file that is read: the line of three values takes far less, and reading a
// huge file whole would take the program's memory and time.
inline constexpr qsizetype kCredentialsFileLimit = 64 * 1024;

// Writes the file atomically (platform::writeFileAtomically: a new file in the same folder, renamed over
// the old one once every byte is on the disk) and readable by its owner only (on Windows an explicit
// access list). False when it cannot be written or not be made its owner's only; the old file is then
// left as it was, byte for byte.
bool writeCredentialsFile(const QString& path, const Credentials& credentials);
// The credentials in the file; nothing when there is no file. A file that cannot be read, is empty or
// is larger than kCredentialsFileLimit gives empty values; `tooLarge`, when given, is set to true in the
// last case (and left alone otherwise). Each value is read from the first line as parseCredentialsLine reads it; one
// that is not found there is the string member of that name when the whole file parses as a JSON object (blanks around
// a colon, one member per line), else empty. The first line ends at the first CR (or the end of the file). Bytes that
// are not UTF-8 are read as Latin-1, as older files may hold them.
std::optional<Credentials> readCredentialsFile(const QString& path, bool* tooLarge = nullptr);

} // namespace workflow
