#pragma once

#include "workflow/credentials_file.h"
#include "workflow/startup_check.h"

#include <QString>

#include <optional>

namespace workflow {

// The start sequence: send button disabled, saved credentials loaded (then replaced by `given` when
// the command line named them), status, empty bar, first log line and version label set, the window
// shown and painted, and finally the startup check, tried again as `retry` allows.
CheckOutcome Form_Load(SyncView& view, client::Client& client, WindowState& state, const QString& dataDir,
                       const std::optional<Credentials>& given = std::nullopt, const RetryPolicy& retry = {});

} // namespace workflow
