#pragma once

// Rewriting a file that holds a secret (the credentials, a record of sends) so that no failure costs
// the old file and no interrupted save leaves the secret lying about.

#include <QString>

#include <string_view>

namespace platform {

// Replaces the file at `path` with `bytes`. They go first to a new file in the same folder, readable
// and writable by its owner only, named `path` + ".saving-" + eight hexadecimal digits; it takes the
// old file's place only once every byte is written and on the disk. On any failure (a full disk, a size
// limit, a folder that cannot be written) the old file stays as it was, byte for byte, the new one is
// removed, and the result is false. Before all that, the new files of earlier saves of `path` that
// were killed half-way (named so and older than this run of the program) are removed.
bool writeFileAtomically(const QString& path, std::string_view bytes);

} // namespace platform
