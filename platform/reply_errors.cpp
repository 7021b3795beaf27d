#include "platform/reply_errors.h"

#include "platform/qt_text.h"

#include <algorithm>

namespace platform {

QNetworkReply::NetworkError errorForStatus(int status)
{
    switch (status) {
    case 400:
    case 418:
        return QNetworkReply::ProtocolInvalidOperationError;
    case 401:
        return QNetworkReply::AuthenticationRequiredError;
    case 403:
        return QNetworkReply::ContentAccessDenied;
    case 404:
        return QNetworkReply::ContentNotFoundError;
    case 405:
        return QNetworkReply::ContentOperationNotPermittedError;
    case 407:
        return QNetworkReply::ProxyAuthenticationRequiredError;
    case 409:
        return QNetworkReply::ContentConflictError;
    case 410:
        return QNetworkReply::ContentGoneError;
    case 500:
        return QNetworkReply::InternalServerError;
    case 501:
        return QNetworkReply::OperationNotImplementedError;
    case 503:
        return QNetworkReply::ServiceUnavailableError;
    default:
        if (status > 500) {
            return QNetworkReply::UnknownServerError;
        }
        if (status >= 400) {
            return QNetworkReply::UnknownContentError;
        }
        return QNetworkReply::NoError;
    }
}

namespace {

FailureKind certificateFailure(const std::vector<QSslError::SslError>& errors)
{
    if (errors.empty()) {
        return FailureKind::TlsFailed;
    }
    const bool mismatch = std::find(errors.begin(), errors.end(), QSslError::HostNameMismatch) != errors.end();
    return mismatch && errors.size() == 1 ? FailureKind::CertificateMismatch : FailureKind::CertificateUntrusted;
}

FailureKind kindOf(const QNetworkReply& reply, bool replyStarted, const std::vector<QSslError::SslError>& sslErrors)
{
    switch (reply.error()) {
    case QNetworkReply::HostNotFoundError:
        return FailureKind::NameNotResolved;
    case QNetworkReply::ConnectionRefusedError:
        return FailureKind::Refused;
    case QNetworkReply::RemoteHostClosedError:
        return replyStarted ? FailureKind::ConnectionDropped : FailureKind::ClosedWithoutReply;
    case QNetworkReply::SslHandshakeFailedError:
        return certificateFailure(sslErrors);
    default:
        return FailureKind::Other;
    }
}

} // namespace

RequestFailure failureOf(const QNetworkReply& reply, bool replyStarted,
                         const std::vector<QSslError::SslError>& sslErrors)
{
    const FailureKind kind = kindOf(reply, replyStarted, sslErrors);
    if (kind == FailureKind::TlsFailed || kind == FailureKind::Other) {
        return {.kind = kind, .detail = toU16(reply.errorString())};
    }
    return {.kind = kind};
}

} // namespace platform
