#include "workflow/credentials_config.h"

#include "workflow/credentials_file.h"
#include "workflow/sync_view.h"

namespace workflow {

bool SaveConfig(const SyncView& view, const QString& dataDir)
{
    return writeCredentialsFile(credentialsFilePath(dataDir), view.credentials());
}

void LoadConfig(SyncView& view, const QString& dataDir)
{
    bool tooLarge = false;
    if (const std::optional<Credentials> saved = readCredentialsFile(credentialsFilePath(dataDir), &tooLarge)) {
        view.setCredentials(*saved);
    }
    if (tooLarge) {
        view.appendLog(u"[!] Gagal Membaca Kredensial (Berkas Lebih Dari 64 KiB)");
    }
}

} // namespace workflow
