#pragma once

// Who may open a file that holds a secret.

#include <QString>

#ifdef _WIN32
#include <vector>
#endif

namespace platform {

// Makes the file at `path` readable and writable by its owner only: on Windows an explicit access list
// with one entry, the current user, full control, nothing inherited from the folder; elsewhere mode 0600.
// False when that could not be done.
bool restrictToOwner(const QString& path);

#ifdef _WIN32
// The security identifier (SID) of the user the program runs as, as its bytes; empty when unknown.
std::vector<unsigned char> currentUserSid();
#endif

} // namespace platform
