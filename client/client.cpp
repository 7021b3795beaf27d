#include "client/client.h"

#include "client/request_text.h"
#include "platform/http_request.h"

#include <QString>
#include <QUrl>

namespace client {

namespace {

void dropTrailingSlashes(std::u16string& base)
{
    while (!base.empty() && base.back() == u'/') {
        base.pop_back();
    }
}

bool startsWithBase(std::u16string_view url, std::u16string_view base)
{
    if (base.empty() || !url.starts_with(base)) {
        return false;
    }
    const std::u16string_view rest = url.substr(base.size());
    return rest.empty() || rest.front() == u'/' || rest.front() == u'?';
}

// Scheme, host and port of an address, or the whole text when it has none of them.
std::u16string originOf(std::u16string_view url)
{
    const QUrl parsed(QString::fromUtf16(url.data(), static_cast<qsizetype>(url.size())), QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        return std::u16string(url);
    }
    return parsed.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString()
        .toStdU16String();
}

} // namespace

std::u16string defaultServerBase()
{
    return QStringLiteral(MTH_SERVER_URL).toStdU16String();
}

Client::Client(ClientSettings settings, RefusalNotice& refusals) : m_settings(std::move(settings)), m_refusals(refusals)
{
    dropTrailingSlashes(m_settings.serverBase);
    dropTrailingSlashes(m_settings.localBase);
    if (!m_settings.caFile.empty()) {
        platform::CaCertificates ca = platform::loadCaFile(QString::fromStdU16String(m_settings.caFile));
        m_extraCa = std::move(ca.certificates);
        m_setupError = std::move(ca.error);
    }
}

Client::~Client()
{
    joinTableReader();
}

std::u16string Client::serverUrl(std::u16string_view path) const
{
    return m_settings.serverBase + std::u16string(path);
}

std::u16string Client::localUrl(std::u16string_view endpoint, std::u16string_view npsn) const
{
    return m_settings.localBase + u"/WebService/" + percentEncode(endpoint) + u"?npsn=" + percentEncode(npsn);
}

ServiceAddress Client::serviceAt(std::u16string_view url) const
{
    if (startsWithBase(url, m_settings.localBase)) {
        return {Service::LocalMurenta, m_settings.localBase};
    }
    if (startsWithBase(url, m_settings.serverBase)) {
        return {Service::RegionalServer, m_settings.serverBase};
    }
    return {Service::RegionalServer, originOf(url)};
}

void Client::cancelAll()
{
    m_cancelled = true;
    // Aborting finishes each request at once; its wait loop then returns the failure.
    for (platform::HttpRequest* request : m_inFlight) {
        request->abort();
    }
}

} // namespace client
