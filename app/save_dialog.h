#pragma once

// Asking where to save a file.

#include <QString>

class QWidget;

namespace app {

// Asks where to save a file, proposing `proposedPath` (its folder and name), with `filter` as the file
// type ("File teks (*.txt)"). Windows' own save dialog, in the system's language, where the program runs
// on Windows; elsewhere Qt's save dialog with its texts in Indonesian (Qt has no Indonesian translation),
// which asks in Indonesian before replacing a file. The chosen path; the empty text when the operator
// cancels.
QString askSavePath(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter);

} // namespace app
