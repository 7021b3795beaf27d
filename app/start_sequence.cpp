#include "app/start_sequence.h"

#include "app/credentials_config.h"
#include "app/sync_view.h"
#include "app/window_state.h"

namespace app {

CheckOutcome Form_Load(SyncView& view, client::Client& client, WindowState& state, const QString& dataDir,
                       const std::optional<Credentials>& given)
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
    return StartupCheck(view, client, state).CheckVersion();
}

} // namespace app
