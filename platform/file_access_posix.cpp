#include "platform/file_access.h"

#include <QFile>

namespace platform {

bool restrictToOwner(const QString& path)
{
    return QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace platform
