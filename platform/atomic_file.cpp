#include "platform/atomic_file.h"

#include "platform/direct_file.h"
#include "json/json_escape.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace platform {
namespace {

// When this run of the program began (static initialisation comes before main). A new file older than
// that belongs to no save of this run; one that another run is writing now is younger.
const qint64 runStart = QDateTime::currentMSecsSinceEpoch();

constexpr qsizetype kNameDigits = 8;

QString savingPrefix(const QFileInfo& target)
{
    return target.fileName() + QStringLiteral(".saving-");
}

bool isHexDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return json::hexDigitValue(c.unicode()) >= 0; });
}

void removeLeftovers(const QFileInfo& target)
{
    const QString prefix = savingPrefix(target);
    const QDir folder = target.absoluteDir();
    const QStringList pattern{prefix + QString(kNameDigits, u'?')};
    for (const QFileInfo& entry : folder.entryInfoList(pattern, QDir::Files | QDir::Hidden)) {
        if (isHexDigits(QStringView(entry.fileName()).sliced(prefix.size())) &&
            entry.lastModified().toMSecsSinceEpoch() < runStart) {
            QFile::remove(entry.filePath());
        }
    }
}

QString newFilePath(const QFileInfo& target)
{
    const QString digits =
        QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), kNameDigits, 16, QLatin1Char('0'));
    return target.absoluteDir().filePath(savingPrefix(target) + digits);
}

} // namespace

bool writeFileAtomically(const QString& path, std::string_view bytes)
{
    const QFileInfo target(path);
    removeLeftovers(target);
    const QString newPath = newFilePath(target);
    DirectFile file;
    if (!file.open(newPath, DirectFile::OpenMode::CreateNew)) {
        return false;
    }
    // Every step is checked: a file cut short by a full disk must never take the old one's place.
    const bool replaced = file.write(bytes) && file.sync() && file.close() && replaceFile(newPath, path);
    if (!replaced) {
        file.close();
        QFile::remove(newPath);
    }
    return replaced;
}

} // namespace platform
