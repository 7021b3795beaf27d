#pragma once

#include <QString>

namespace workflow {

class SyncView;

// Writes the three credential boxes to the credentials file in `dataDir`; false when it cannot be
// written (the old file then stays as it was).
bool SaveConfig(const SyncView& view, const QString& dataDir);
// Fills the three boxes from the credentials file in `dataDir`; without a file they keep what they hold.
// A file too large to be read empties them and says so in the log; it stays as it is until the next
// send saves the boxes.
void LoadConfig(SyncView& view, const QString& dataDir);

} // namespace workflow
