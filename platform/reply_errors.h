#pragma once

// What Qt's error for a finished reply means to a request: a completed exchange with an error status,
// or a failure of some kind. Internal to the request.

#include "platform/request_failure.h"

#include <QNetworkReply>
#include <QSslError>

#include <vector>

namespace platform {

// The error Qt reports for a reply that arrived whole with this HTTP status: such a reply is a
// completed exchange, not a failure.
QNetworkReply::NetworkError errorForStatus(int status);

// The failure of a reply that ended with another error; `replyStarted` when its head had come, and
// `sslErrors` the certificate errors of its handshake. Qt's own description is kept where the kind alone
// does not say what went wrong.
RequestFailure failureOf(const QNetworkReply& reply, bool replyStarted,
                         const std::vector<QSslError::SslError>& sslErrors);

} // namespace platform
