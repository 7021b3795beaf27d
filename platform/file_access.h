#pragma once

// Who may open a file that holds a secret.

#include <QString>

namespace platform {

// Makes the file at `path` readable and writable by its owner only: on Windows an explicit access list
// with one entry, the current user, full control, nothing inherited from the folder; elsewhere mode 0600.
// False when that could not be done.
bool restrictToOwner(const QString& path);

} // namespace platform
