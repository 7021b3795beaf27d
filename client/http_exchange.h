#pragma once

// What one exchange of the client brings back: the reply as it came, or why there is none. Internal to
// the client; its operations judge the reply and give the texts the program reads.

#include "client/failure.h"

#include <QByteArray>

#include <optional>
#include <string>

namespace client {

struct ExchangeReply {
    QByteArray body{};
    QByteArray charset{}; // as the reply's Content-Type names it, lower case; empty for none
    int status = 0;       // the HTTP status of a reply that arrived
    std::optional<ExchangeFailure> failure{};

    bool ok() const { return !failure; }
    bool hasSuccessStatus() const { return status >= 200 && status < 300; }
    // The body decoded as its charset says, or "Error: " + the failure's description.
    std::u16string text() const;
};

} // namespace client
