#pragma once

// Why a request failed, as a value: its kind, and the details the kind needs to be told to the operator.
// The request words nothing itself; the client says it in the operator's language.

#include <chrono>
#include <cstdint>
#include <string>

namespace platform {

enum class FailureKind {
    None,
    InvalidAddress,       // not an absolute http or https URL; nothing was sent
    HeaderRefused,        // a header held a line break or a NUL; nothing was sent
    NameNotResolved,      // the host name does not exist
    ResolveTimeout,       // the host name look-up outlasted its time-out
    Refused,              // nothing listens at the address
    ConnectTimeout,       // the connection, TLS handshake included, outlasted its time-out
    CertificateUntrusted, // the server's certificate chain is not trusted (unknown CA, self-signed, expired)
    CertificateMismatch,  // the certificate was issued for another host name
    TlsFailed,            // another TLS failure
    SendTimeout,          // writing the request body paused longer than its time-out
    SilentServer,         // no reply data within the receive time-out after the request was sent
    ReplyStalled,         // the reply began, then paused longer than the receive time-out
    SlowTransfer,         // the transfer went on too slowly to finish in reasonable time
    ClosedWithoutReply,   // the server closed the connection before any reply
    ConnectionDropped,    // the connection broke during the reply
    RedirectElsewhere,    // a redirect to another origin, not followed
    ReplyTooLarge,        // the reply outgrew the request's reply limit
    OutOfMemory,          // the reply did not fit in memory
    Canceled,             // abort(), or the application is quitting
    Other,                // anything else; the detail says what
};

struct RequestFailure {
    FailureKind kind = FailureKind::None;
    // HeaderRefused: the name of the header that was refused.
    std::u16string headerName{};
    // SlowTransfer: the floor that was not met, fewer than floorBytes in a window of floorWindow.
    std::int64_t floorBytes = 0;
    std::chrono::milliseconds floorWindow{0};
    // RedirectElsewhere: where the redirect pointed, without any user name or password.
    std::u16string redirectTarget{};
    // TlsFailed and Other: the technical description, the toolkit's own where it gave one.
    std::u16string detail{};

    bool failed() const { return kind != FailureKind::None; }
};

} // namespace platform
