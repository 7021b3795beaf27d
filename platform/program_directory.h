#pragma once

// Where the program lives, and the folder that keeps its data (the credentials file).

#include <QString>

namespace platform {

// The directory set with overrideProgramDirectory, else the directory of the program file
// (QCoreApplication::applicationDirPath; needs a QCoreApplication).
QString programDirectory();
// Makes programDirectory return `directory`; the empty text returns to the program file's directory.
void overrideProgramDirectory(const QString& directory);

// The folder for the program's data: `programDir` when a file can be created in it (a copy run from a
// folder of its own, or an installation that has always kept its file there), else `appDataDir`,
// created readable by its owner only when it is missing. An installed program's folder (/usr/bin,
// Program Files) is not writable for the operator, so the credentials then live in their own account.
QString chooseDataDirectory(const QString& programDir, const QString& appDataDir);
// chooseDataDirectory with programDirectory() and the user's application-data folder
// (QStandardPaths::AppDataLocation).
QString dataDirectory();

} // namespace platform
