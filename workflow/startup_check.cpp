#include "workflow/startup_check.h"

#include "client/client.h"
#include "platform/dialogs.h"
#include "workflow/exit_status.h"
#include "workflow/failure_reason.h"
#include "workflow/send_history.h"
#include "workflow/sync_view.h"
#include "workflow/window_state.h"
#include "json/decimal.h"
#include "json/json.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace workflow {
namespace {

bool succeeded(std::u16string_view reply)
{
    return reply.find(kSuccessMark) != std::u16string_view::npos;
}

// Every name between two commas, blanks and empty names included; the empty text gives no names.
std::vector<std::u16string> splitNames(std::u16string_view text)
{
    std::vector<std::u16string> names;
    if (text.empty()) {
        return names;
    }
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(u',', start);
        names.emplace_back(
            text.substr(start, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - start));
        if (comma == std::u16string_view::npos) {
            return names;
        }
        start = comma + 1;
    }
}

// A first start, or a box emptied: the invitation to send says what is still missing.
bool anyBoxEmpty(const Credentials& boxes)
{
    return boxes.token.empty() || boxes.npsn.empty() || boxes.email.empty();
}

// The waits of a retry let events run in slices this long, so that a closing window ends them at once.
constexpr std::chrono::milliseconds kWaitSlice{50};

// Lets events run for `wait`; false when the window closed meanwhile (or the application is quitting).
bool waitWhileOpen(const SyncView& view, std::chrono::milliseconds wait)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + wait;
    while (!view.isClosing()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
        if (left <= std::chrono::milliseconds::zero()) {
            return true;
        }
        QEventLoop loop;
        QTimer::singleShot(std::min(left, kWaitSlice), &loop, &QEventLoop::quit);
        if (loop.exec() == -1) {
            return false;
        }
    }
    return false;
}

// A version as the operator reads it: the server may name none.
std::u16string versionShown(std::u16string_view version)
{
    return version.empty() ? u"(tidak disebutkan)" : std::u16string(version);
}

} // namespace

std::chrono::milliseconds RetryPolicy::waitBefore(int retry) const
{
    if (waits.empty()) {
        return std::chrono::milliseconds::zero();
    }
    return waits[std::min(static_cast<std::size_t>(retry), waits.size() - 1)];
}

std::u16string StartupCheck::retryLine(std::chrono::milliseconds wait)
{
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
    return u"[i] Mencoba lagi dalam " + json::decimalText(std::max<std::int64_t>(seconds, 1)) + u" detik ...";
}

CheckOutcome StartupCheck::CheckVersion()
{
    return kept(ask(Attempt::First));
}

CheckOutcome StartupCheck::checkWithRetries(const RetryPolicy& policy)
{
    CheckOutcome outcome = ask(Attempt::First);
    for (int retry = 0;
         outcome == CheckOutcome::Unreachable && !m_view.isClosing() && (!policy.retries || retry < *policy.retries);
         ++retry) {
        const std::chrono::milliseconds wait = policy.waitBefore(retry);
        m_view.appendLog(retryLine(wait));
        m_view.ScrollLog();
        if (!waitWhileOpen(m_view, wait)) {
            break;
        }
        outcome = ask(Attempt::Retry);
    }
    return kept(outcome);
}

CheckOutcome StartupCheck::ask(Attempt attempt)
{
    if (attempt == Attempt::First) {
        m_record = RunRecord{.start = QDateTime::currentDateTime()};
        setStatus(u"MENGHUBUNGKAN SERVER...", ColorBusy);
    }
    const std::u16string versionReply = m_client.GetSetting(u"versi");
    if (!succeeded(versionReply)) {
        return failureEnding(versionReply);
    }
    const std::u16string serverVersion = json::GetJsonField(versionReply, u"msg");
    if (serverVersion != AppVersion) {
        return outOfDateEnding(serverVersion);
    }
    const std::u16string endpointReply = m_client.GetSetting(u"endpoint");
    if (!succeeded(endpointReply)) {
        return failureEnding(endpointReply);
    }
    m_state.EndpointList = splitNames(json::GetJsonField(endpointReply, u"msg"));
    m_state.checkFailure.clear();
    m_view.appendLog(u"[v] Versi Aplikasi Terbaru");
    m_view.appendLog(kRuleLine);
    m_view.appendLog(anyBoxEmpty(m_view.credentials())
                         ? u"[i] Lengkapi Token, NPSN dan Username, lalu tekan Kirim Data."
                         : u"[i] Silahkan Kirim Data !");
    m_view.ScrollLog();
    m_view.setSendEnabled(true);
    setStatus(u"SIAP", ColorReady);
    m_view.ScrollLog();
    return CheckOutcome::Ready;
}

void StartupCheck::setStatus(std::u16string_view text, Color color)
{
    m_record.status = text;
    m_record.statusColor = color;
    m_view.SetStatus(text, color);
}

CheckOutcome StartupCheck::kept(CheckOutcome outcome)
{
    if (outcome == CheckOutcome::Ready || m_state.history == nullptr) {
        return outcome;
    }
    m_record.end = QDateTime::currentDateTime();
    m_record.exitStatus = exitStatusOf(outcome);
    m_record.reason = m_state.checkFailure.empty() ? std::u16string(kWindowClosedReason) : m_state.checkFailure;
    m_state.history->keep(std::move(m_record), m_view);
    return outcome;
}

void StartupCheck::logFailure(std::u16string_view line, std::u16string reason)
{
    m_view.appendLog(line);
    m_view.appendLog(reasonLine(line, reason));
    m_state.checkFailure = std::move(reason);
}

CheckOutcome StartupCheck::failureEnding(std::u16string_view reply)
{
    logFailure(u"[x] Gagal Cek Versi Aplikasi !", failureReason(reply, m_client));
    m_view.setSendEnabled(false);
    setStatus(u"GAGAL TERHUBUNG", ColorFail);
    m_view.ScrollLog();
    return CheckOutcome::Unreachable;
}

CheckOutcome StartupCheck::outOfDateEnding(std::u16string_view serverVersion)
{
    const std::u16string ours = versionShown(AppVersion);
    const std::u16string theirs = versionShown(serverVersion);
    logFailure(u"[!] Silahkan Download Versi Terbaru !",
               oneLine(u"versi program ini " + ours + u", versi terbaru di server " + theirs + u"."));
    m_view.setSendEnabled(false);
    setStatus(u"BUTUH UPDATE", ColorFail);
    if (!m_view.isClosing()) {
        m_view.dialogs().messageBox(u"Versi aplikasi Anda sudah usang. Anda akan diarahkan ke halaman unduhan.\r\n\r\n"
                                    u"Versi Anda: " +
                                        ours + u"\r\nVersi terbaru: " + theirs,
                                    u"Update Tersedia", platform::MessageIcon::Information);
        m_view.openPage(m_client.serverBase() + u"/unduhan");
    }
    m_view.closeWindow();
    return CheckOutcome::OutOfDate;
}

} // namespace workflow
