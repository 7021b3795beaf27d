#include "workflow/start_sequence.h"

#include "workflow/credentials_config.h"
#include "workflow/sync_view.h"
#include "workflow/window_state.h"

namespace workflow {

CheckOutcome Form_Load(SyncView& view, client::Client& client, WindowState& state, const QString& dataDir,
                       const std::optional<Credentials>& given, const RetryPolicy& retry)
{
    view.setSendEnabled(false);
    LoadConfig(view, dataDir);
    if (given) {
        view.setCredentials(*given);
    }
    view.SetStatus(u"MENUNGGU...", ColorWaiting);
    view.SetProgress(0, 1);
    view.appendLog(u"[i] Cek Versi Aplikasi ...");
    view.setVersionText(std::u16string(u"Versi ") + std::u16string(AppVersion));
    view.showAndPaint();
    return StartupCheck(view, client, state).checkWithRetries(retry);
}

} // namespace workflow
