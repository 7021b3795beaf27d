#include "workflow/startup_check.h"

#include "client/client.h"
#include "platform/dialogs.h"
#include "workflow/sync_view.h"
#include "workflow/window_state.h"
#include "json/json.h"

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

} // namespace

CheckOutcome StartupCheck::CheckVersion()
{
    m_view.SetStatus(u"MENGHUBUNGKAN SERVER...", ColorBusy);
    const std::u16string versionReply = m_client.GetSetting(u"versi");
    if (!succeeded(versionReply)) {
        return failureEnding();
    }
    if (json::GetJsonField(versionReply, u"msg") != AppVersion) {
        return outOfDateEnding();
    }
    const std::u16string endpointReply = m_client.GetSetting(u"endpoint");
    if (!succeeded(endpointReply)) {
        return failureEnding();
    }
    m_state.EndpointList = splitNames(json::GetJsonField(endpointReply, u"msg"));
    m_view.appendLog(u"[v] Versi Aplikasi Terbaru");
    m_view.appendLog(kRuleLine);
    m_view.appendLog(anyBoxEmpty(m_view.credentials())
                         ? u"[i] Lengkapi Token, NPSN dan Username, lalu tekan Kirim Data."
                         : u"[i] Silahkan Kirim Data !");
    m_view.ScrollLog();
    m_view.setSendEnabled(true);
    m_view.SetStatus(u"SIAP", ColorReady);
    m_view.ScrollLog();
    return CheckOutcome::Ready;
}

CheckOutcome StartupCheck::failureEnding()
{
    m_view.appendLog(u"[x] Gagal Cek Versi Aplikasi !");
    m_view.setSendEnabled(false);
    m_view.SetStatus(u"GAGAL TERHUBUNG", ColorFail);
    m_view.ScrollLog();
    return CheckOutcome::Unreachable;
}

CheckOutcome StartupCheck::outOfDateEnding()
{
    m_view.appendLog(u"[!] Silahkan Download Versi Terbaru !");
    m_view.setSendEnabled(false);
    m_view.SetStatus(u"BUTUH UPDATE", ColorFail);
    if (!m_view.isClosing()) {
        m_view.dialogs().messageBox(u"Versi aplikasi Anda sudah usang. Anda akan diarahkan ke halaman unduhan.",
                                    u"Update Tersedia", platform::MessageIcon::Information);
        m_view.openPage(m_client.serverBase() + u"/unduhan");
    }
    m_view.closeWindow();
    return CheckOutcome::OutOfDate;
}

} // namespace workflow
