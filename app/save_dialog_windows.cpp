#include "app/save_dialog.h"

#include <QFileDialog>

namespace app {

QString askSavePath(QWidget* parent, const QString& title, const QString& proposedPath, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, title, proposedPath, filter);
}

} // namespace app
