#pragma once

#include <QString>

namespace app {

class SyncView;

// Writes the three credential boxes to the credentials file in `dataDir`; false when it cannot be
// written (the old file then stays as it was).
bool SaveConfig(const SyncView& view, const QString& dataDir);
// Fills the three boxes from the credentials file in `dataDir`; without a file they keep what they hold.
void LoadConfig(SyncView& view, const QString& dataDir);

} // namespace app
