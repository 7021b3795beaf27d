#include "platform/program_directory.h"

#include <QCoreApplication>

namespace platform {

namespace {

QString& overridden()
{
    static QString directory;
    return directory;
}

} // namespace

QString programDirectory()
{
    return overridden().isEmpty() ? QCoreApplication::applicationDirPath() : overridden();
}

void overrideProgramDirectory(const QString& directory)
{
    overridden() = directory;
}

} // namespace platform
