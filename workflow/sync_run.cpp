#include "workflow/sync_run.h"

#include "client/client.h"
#include "platform/dialogs.h"
#include "workflow/credentials_config.h"
#include "workflow/exit_status.h"
#include "workflow/failure_reason.h"
#include "workflow/send_history.h"
#include "workflow/sync_view.h"
#include "workflow/window_state.h"
#include "json/decimal.h"
#include "json/json.h"
#include "json/text_case.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

namespace workflow {
namespace {

constexpr std::int64_t kDailyLimit = 10;

constexpr std::u16string_view kDailyLimitReason = u"batas 10 kiriman sehari sudah tercapai; silakan kirim lagi besok.";

bool contains(std::u16string_view text, std::u16string_view part)
{
    return text.find(part) != std::u16string_view::npos;
}

// The login-refused box's text: the server's "msg" when the reply is JSON holding one, else the reply
// as it came (an "Error: " text, a page).
std::u16string loginRefusal(std::u16string_view reply)
{
    return replyText(reply, u"msg").value_or(std::u16string(reply));
}

std::u16string unreadableCount(std::u16string_view msg)
{
    return oneLine(u"jumlah kiriman hari ini dalam jawaban login tidak terbaca (\"" + std::u16string(msg) + u"\").");
}

// Each failed table's display name with its reason in brackets.
std::u16string failedTablesLine(const std::vector<TableReport>& tables)
{
    std::u16string line = u"[!] Tabel gagal: ";
    std::u16string_view separator;
    for (const TableReport& table : tables) {
        if (!table.processed) {
            line += std::u16string(separator) + SyncRun::displayName(table.endpoint) + u" (" + table.reason + u")";
            separator = u", ";
        }
    }
    return line;
}

} // namespace

std::vector<std::u16string> RunReport::failedEndpoints() const
{
    std::vector<std::u16string> failed;
    for (const TableReport& table : tables) {
        if (!table.processed) {
            failed.push_back(table.endpoint);
        }
    }
    return failed;
}

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

TableSelection SyncRun::selectTables(const std::vector<std::u16string>& list, const std::vector<std::u16string>& names)
{
    const auto asksFor = [](std::u16string_view name, std::u16string_view endpoint) {
        return name == endpoint || json::toUpper(name) == displayName(endpoint);
    };
    TableSelection selection;
    for (const std::u16string& endpoint : list) {
        if (std::any_of(names.begin(), names.end(), [&](const auto& name) { return asksFor(name, endpoint); })) {
            selection.endpoints.push_back(endpoint);
        }
    }
    for (const std::u16string& name : names) {
        if (std::none_of(list.begin(), list.end(), [&](const auto& endpoint) { return asksFor(name, endpoint); })) {
            selection.unknown.push_back(name);
        }
    }
    return selection;
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
    return start(std::nullopt);
}

RunOutcome SyncRun::sendOnly(std::vector<std::u16string> endpoints)
{
    return start(std::move(endpoints));
}

RunOutcome SyncRun::start(std::optional<std::vector<std::u16string>> only)
{
    if (m_state.SyncBusy) {
        return RunOutcome::Ignored;
    }
    RunOutcome outcome;
    do {
        m_state.SyncBusy = true;
        m_report = {};
        m_record = RunRecord{.start = QDateTime::currentDateTime()};
        // The tables this run is to send, as the list stands when it starts.
        const std::vector<std::u16string> tables =
            only.value_or(m_state.EndpointList.value_or(std::vector<std::u16string>{}));
        outcome = runSteps(only);
        m_report.outcome = outcome;
        commonEnding();
        keepRecord(tables);
        only = std::exchange(m_resend, std::nullopt);
    } while (only);
    return outcome;
}

void SyncRun::log(std::u16string_view line)
{
    m_view.appendLog(line);
}

void SyncRun::setStatus(std::u16string_view text, Color color)
{
    m_record.status = text;
    m_record.statusColor = color;
    m_view.SetStatus(text, color);
}

void SyncRun::keepRecord(const std::vector<std::u16string>& tables)
{
    if (m_state.history == nullptr) {
        return;
    }
    m_record.end = QDateTime::currentDateTime();
    m_record.exitStatus = exitStatusOf(m_report.outcome);
    m_record.sendsToday = m_report.sendsToday;
    if (m_report.outcome == RunOutcome::Interrupted) {
        m_record.reason = kWindowClosedReason;
    } else if (m_report.outcome == RunOutcome::NoEndpointList) {
        m_record.reason = u"Daftar tabel belum diterima dari server Tervalis (cek versi belum berhasil)";
    } else {
        m_record.reason = m_report.stopReason;
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        TableRecord table{.name = displayName(tables[i])};
        if (i < m_report.tables.size()) {
            const TableReport& report = m_report.tables[i];
            table.rows = report.rows;
            table.sent = report.sent;
            table.processed = report.processed;
            table.reason = report.reason;
        }
        m_record.tables.push_back(std::move(table));
    }
    m_state.history->keep(std::move(m_record), m_view);
}

void SyncRun::logFailure(std::u16string_view line, std::u16string_view reason)
{
    log(line);
    log(reasonLine(line, reason));
}

void SyncRun::stopAtGate(std::u16string_view line, std::u16string reason)
{
    logFailure(line, reason);
    m_report.stopReason = std::move(reason);
    m_view.ScrollLog();
}

RunOutcome SyncRun::runSteps(const std::optional<std::vector<std::u16string>>& only)
{
    m_view.setSendEnabled(false);
    m_view.setSendCaption(u"Memproses...");
    m_view.setSendPanelColor(ColorWaiting);
    m_view.setCredentialsReadOnly(true);
    setStatus(u"MENGHUBUNGKAN...", ColorBusy);
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
        stopAtGate(u"[x] Email Tidak Valid !", failureReason(emailVerdict, m_client));
        setStatus(u"GAGAL", ColorFail);
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
        stopAtGate(u"[x] Login Pengguna Gagal", failureReason(loginReply, m_client));
        setStatus(u"GAGAL LOGIN", ColorFail);
        m_view.dialogs().messageBox(loginRefusal(loginReply), u"Error", platform::MessageIcon::Error);
        return RunOutcome::StoppedAtGate;
    }
    const std::u16string count = json::GetJsonField(loginReply, u"msg");
    const std::optional<std::int64_t> sends = sendsToday(count);
    m_report.sendsToday = sends;
    log(u"[v] Login Pengguna Sukses");
    if (!sends || *sends >= kDailyLimit) {
        log(kRuleLine);
        if (sends) {
            stopAtGate(u"[!] Anda Sudah Kirim Data 10 Kali Hari Ini", std::u16string(kDailyLimitReason));
        } else {
            stopAtGate(u"[x] Jumlah Kirim Hari Ini Tidak Terbaca", unreadableCount(count));
        }
        setStatus(sends ? u"LIMIT TERCAPAI" : u"GAGAL LOGIN", ColorFail);
        return RunOutcome::StoppedAtGate;
    }
    log(u"[i] Kiriman hari ini: ke-" + json::decimalText(*sends + 1) + u" dari " + json::decimalText(kDailyLimit));
    log(kRuleLine);
    m_view.ScrollLog();

    if (!m_state.EndpointList) {
        return RunOutcome::NoEndpointList;
    }
    // A copy: the list must not change under the loop, whatever events run meanwhile.
    const std::vector<std::u16string> names = only ? *only : *m_state.EndpointList;
    return sendTables(names, m_view.credentials().npsn, m_view.credentials().token);
}

void SyncRun::tableFailed(TableReport& table, std::u16string_view line, std::u16string_view result)
{
    table.reason = failureReason(result, m_client);
    logFailure(line, table.reason);
}

RunOutcome SyncRun::sendTables(const std::vector<std::u16string>& names, const std::u16string& npsn,
                               const std::u16string& token)
{
    const auto n = static_cast<std::int64_t>(names.size());
    for (std::int64_t i = 0; i < n; ++i) {
        TableReport table{.endpoint = names[static_cast<std::size_t>(i)]};
        const std::u16string& name = table.endpoint;
        setStatus(u"SINKRONISASI " + json::decimalText(i + 1) + u"/" + json::decimalText(n), ColorBusy);
        m_view.SetProgress(i, n);
        log(u"[>] Mengirim Data " + displayName(name) + u" ...");
        m_view.ScrollLog();
        const std::u16string sent = m_client.SendTable(name, npsn, token);
        if (m_view.isClosing()) {
            return RunOutcome::Interrupted;
        }
        table.rows = m_client.LastRowCount();
        if (!contains(sent, u"sukses")) {
            tableFailed(table, u"    [x] Kirim Data Gagal !", sent);
            log(u"");
        } else {
            table.sent = true;
            log(u"    [v] Kirim Data Sukses (" + json::decimalText(table.rows) + u" baris)");
            log(u"    [>] Proses Data di Tervalis ...");
            m_view.ScrollLog();
            const std::u16string processed = m_client.ProcessData(npsn, name);
            if (m_view.isClosing()) {
                return RunOutcome::Interrupted;
            }
            if (contains(processed, kSuccessMark)) {
                log(u"    [v] Proses Data Sukses");
                table.processed = true;
            } else {
                tableFailed(table, u"    [x] Proses Data Gagal !", processed);
            }
            log(u"");
        }
        m_report.tables.push_back(std::move(table));
        m_view.ScrollLog();
    }
    return finish(!m_report.failedEndpoints().empty());
}

RunOutcome SyncRun::finish(bool failed)
{
    m_view.SetProgress(1, 1);
    if (failed) {
        setStatus(u"SELESAI (ADA ERROR)", ColorFail);
        log(kRuleLine);
        log(u"[!] Terdapat data yang gagal diproses.");
        log(failedTablesLine(m_report.tables));
        log(u"[i] Silakan tekan 'Kirim Data' untuk mengulang.");
        m_view.ScrollLog();
        if (m_view.dialogs().choiceBox(u"Proses selesai, namun terdapat data yang GAGAL terkirim/diproses.\r\n\r\n"
                                       u"Silakan klik tombol 'Kirim Data' lagi untuk mengulang pengiriman.",
                                       u"Peringatan Kirim Ulang", platform::MessageIcon::Warning,
                                       u"Kirim Ulang yang Gagal")) {
            m_resend = m_report.failedEndpoints();
        }
        return RunOutcome::FailedTables;
    }
    setStatus(u"MEREKAP DATA...", ColorBusy);
    log(kRuleLine);
    log(u"    [>] Membuat Rekap Data di Server ...");
    m_view.ScrollLog();
    const std::u16string summary = m_client.UpdateSummary();
    if (m_view.isClosing()) {
        return RunOutcome::Interrupted;
    }
    if (contains(summary, u"Error:")) {
        m_report.summaryReason = failureReason(summary, m_client);
        logFailure(u"    [x] Rekap Data Gagal", m_report.summaryReason);
    } else {
        log(u"    [v] Rekap Data Sukses");
    }
    setStatus(u"SELESAI!", ColorDone);
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
    m_view.setCredentialsReadOnly(false);
}

} // namespace workflow
