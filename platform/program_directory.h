#pragma once

// Where the program lives (the credentials file sits beside it).

#include <QString>

namespace platform {

// The directory set with overrideProgramDirectory, else the directory of the program file
// (QCoreApplication::applicationDirPath; needs a QCoreApplication).
QString programDirectory();
// Makes programDirectory return `directory`; the empty text returns to the program file's directory.
void overrideProgramDirectory(const QString& directory);

} // namespace platform
