#include "workflow/sync_run.h"

#include "client/client.h"
#include "platform/dialogs.h"
#include "workflow/credentials_config.h"
#include "workflow/sync_view.h"
#include "workflow/window_state.h"
#include "json/decimal.h"
#include "json/json.h"
#include "json/text_case.h"

#include <charconv>
#include <limits>

namespace workflow {
namespace {

constexpr std::int64_t kDailyLimit = 10;

bool contains(std::u16string_view text, std::u16string_view part)
{
    return text.find(part) != std::u16string_view::npos;
}

} // namespace

std::u16string SyncRun::displayName(std::u16string_view endpoint)
{
    std::u16string kept;
    for (std::size_t i = 0; i < endpoint.size();) {
        if (endpoint.substr(i, 3) == u"get") {
            i += 3;
        } else {
            kept += endpoint[i++];
        }
    }
    return json::toUpper(kept);
}

std::optional<std::int64_t> SyncRun::sendsToday(std::u16string_view msg)
{
    std::string ascii;
    for (const char16_t c : msg) {
        if (c > 0x7F) {
            return std::nullopt;
        }
        ascii += static_cast<char>(c);
    }
    if (!ascii.empty() && ascii.front() == '+') {
        ascii.erase(0, 1);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ascii.empty() || error != std::errc() || end != ascii.data() + ascii.size()) {
        return std::nullopt;
    }
    return value;
}

RunOutcome SyncRun::picBtnSync_Click()
{
    if (!m_view.isSendEnabled()) {
        return RunOutcome::Ignored;
    }
    return BtSync_Click();
}

RunOutcome SyncRun::BtSync_Click()
{
    if (m_state.SyncBusy) {
        return RunOutcome::Ignored;
    }
    m_state.SyncBusy = true;
    const RunOutcome outcome = runSteps();
    commonEnding();
    return outcome;
}

void SyncRun::log(std::u16string_view line)
{
    m_view.appendLog(line);
}

RunOutcome SyncRun::runSteps()
{
    m_view.setSendEnabled(false);
    m_view.setSendCaption(u"Memproses...");
    m_view.setSendPanelColor(ColorWaiting);
    m_view.SetStatus(u"MENGHUBUNGKAN...", ColorBusy);
    m_view.SetProgress(0, 1);
    const bool saved = SaveConfig(m_view, m_dataDir);

    m_view.clearLog();
    if (!saved) {
        log(u"[!] Gagal Menyimpan Kredensial");
    }
    log(u"[i] Cek Email ...");
    m_view.ScrollLog();

    // The boxes are read afresh at every use, exactly as typed.
    const std::u16string emailVerdict =
        m_client.CheckEmail(m_view.credentials().npsn, m_view.credentials().token, m_view.credentials().email);
    if (m_view.isClosing()) {
        return RunOutcome::Interrupted;
    }
    if (emailVerdict != u"valid") {
        log(u"[x] Email Tidak Valid !");
        m_view.ScrollLog();
        m_view.SetStatus(u"GAGAL", ColorFail);
        return RunOutcome::StoppedAtGate;
    }
    log(u"[v] Email Valid");
    log(kRuleLine);
    log(u"[i] Login Pengguna ...");
    m_view.ScrollLog();

    const std::u16string loginReply =
        m_client.CheckUser(m_view.credentials().npsn, m_view.credentials().email, m_client.OperatorPassword());
    if (m_view.isClosing()) {
        return RunOutcome::Interrupted;
    }
    if (!contains(loginReply, kSuccessMark)) {
        log(u"[x] Login Pengguna Gagal");
        m_view.ScrollLog();
        m_view.SetStatus(u"GAGAL LOGIN", ColorFail);
        m_view.dialogs().messageBox(loginReply, u"Error", platform::MessageIcon::Error);
        return RunOutcome::StoppedAtGate;
    }
    const std::optional<std::int64_t> sends = sendsToday(json::GetJsonField(loginReply, u"msg"));
    if (!sends || *sends >= kDailyLimit) {
        log(u"[v] Login Pengguna Sukses");
        log(kRuleLine);
        log(sends ? u"[!] Anda Sudah Kirim Data 10 Kali Hari Ini" : u"[x] Jumlah Kirim Hari Ini Tidak Terbaca");
        m_view.ScrollLog();
        m_view.SetStatus(sends ? u"LIMIT TERCAPAI" : u"GAGAL LOGIN", ColorFail);
        return RunOutcome::StoppedAtGate;
    }
    log(u"[v] Login Pengguna Sukses");
    log(kRuleLine);
    m_view.ScrollLog();

    if (!m_state.EndpointList) {
        return RunOutcome::NoEndpointList;
    }
    // A copy: the list must not change under the loop, whatever events run meanwhile.
    const std::vector<std::u16string> names = *m_state.EndpointList;
    return sendTables(names, m_view.credentials().npsn, m_view.credentials().token);
}

RunOutcome SyncRun::sendTables(const std::vector<std::u16string>& names, const std::u16string& npsn,
                               const std::u16string& token)
{
    bool failed = false;
    const auto n = static_cast<std::int64_t>(names.size());
    for (std::int64_t i = 0; i < n; ++i) {
        const std::u16string& name = names[static_cast<std::size_t>(i)];
        m_view.SetStatus(u"SINKRONISASI " + json::decimalText(i + 1) + u"/" + json::decimalText(n), ColorBusy);
        m_view.SetProgress(i, n);
        log(u"[>] Mengirim Data " + displayName(name) + u" ...");
        m_view.ScrollLog();
        const std::u16string sent = m_client.SendTable(name, npsn, token);
        if (m_view.isClosing()) {
            return RunOutcome::Interrupted;
        }
        if (!contains(sent, u"sukses")) {
            log(u"    [x] Kirim Data Gagal !");
            failed = true;
            log(u"");
        } else {
            log(u"    [v] Kirim Data Sukses (" + json::decimalText(m_client.LastRowCount()) + u" baris)");
            log(u"    [>] Proses Data di Tervalis ...");
            m_view.ScrollLog();
            const std::u16string processed = m_client.ProcessData(npsn, name);
            if (m_view.isClosing()) {
                return RunOutcome::Interrupted;
            }
            if (contains(processed, kSuccessMark)) {
                log(u"    [v] Proses Data Sukses");
            } else {
                log(u"    [x] Proses Data Gagal !");
                failed = true;
            }
            log(u"");
        }
        m_view.ScrollLog();
    }
    return finish(failed);
}

RunOutcome SyncRun::finish(bool failed)
{
    m_view.SetProgress(1, 1);
    if (failed) {
        m_view.SetStatus(u"SELESAI (ADA ERROR)", ColorFail);
        log(kRuleLine);
        log(u"[!] Terdapat data yang gagal diproses.");
        log(u"[i] Silakan tekan 'Kirim Data' untuk mengulang.");
        m_view.ScrollLog();
        m_view.dialogs().messageBox(u"Proses selesai, namun terdapat data yang GAGAL terkirim/diproses.\r\n\r\n"
                                    u"Silakan klik tombol 'Kirim Data' lagi untuk mengulang pengiriman.",
                                    u"Peringatan Kirim Ulang", platform::MessageIcon::Warning);
        return RunOutcome::FailedTables;
    }
    m_view.SetStatus(u"MEREKAP DATA...", ColorBusy);
    log(kRuleLine);
    log(u"    [>] Membuat Rekap Data di Server ...");
    m_view.ScrollLog();
    const std::u16string summary = m_client.UpdateSummary();
    if (m_view.isClosing()) {
        return RunOutcome::Interrupted;
    }
    log(contains(summary, u"Error:") ? u"    [x] Rekap Data Gagal" : u"    [v] Rekap Data Sukses");
    m_view.SetStatus(u"SELESAI!", ColorDone);
    log(kRuleLine);
    log(u"[v] Seluruh Proses Selesai");
    m_view.ScrollLog();
    m_view.dialogs().messageBox(u"Proses Kirim Data Selesai Sepenuhnya", u"Info", platform::MessageIcon::Information);
    if (!m_view.isClosing()) {
        m_view.openPage(m_client.serverBase() + u"/progres_data");
    }
    return RunOutcome::Done;
}

void SyncRun::commonEnding()
{
    m_state.SyncBusy = false;
    m_view.setSendCaption(u"Kirim Data");
    m_view.setSendPanelColor(ColorButton);
    m_view.setSendEnabled(true);
}

} // namespace workflow
