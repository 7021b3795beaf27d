#pragma once

// What went wrong in the client, as values: why an exchange brought no reply, and why the operation the
// client ran last did not succeed. The operator's words are built from them once, where they are shown
// (client/failure_description.h).

#include "platform/request_failure.h"

#include <optional>
#include <string>

namespace client {

enum class Service {
    LocalMurenta,   // the school's local data service
    RegionalServer, // the regional Tervalis server
};

struct ServiceAddress {
    Service service = Service::RegionalServer;
    std::u16string address{}; // as the operator configured it, e.g. "http://127.0.0.1:5774"
};

// Why an exchange brought no reply: its request to the service `where` failed, or, when `setupError` is
// set, the client's settings allowed no request at all (see Client::setupError) and nothing was sent.
struct ExchangeFailure {
    ServiceAddress where{};
    platform::RequestFailure request{};
    std::u16string setupError{};
};

// Why the operation the client ran last did not succeed, as far as the client can tell. A refusal the
// service words in the reply the operation returns ("success":false and its "msg") is the reply's to
// tell: the cause is then None.
struct OperationFailure {
    enum class Cause {
        None,
        Exchange,       // a request failed or could not be made: `exchange`
        OutOfMemory,    // a table did not fit in memory while it was fetched, read or uploaded
        ErrorStatus,    // the service answered with an HTTP error `status` (and its "message", if any)
        ServiceMessage, // the local service answered with a "message" instead of "results"
        UnknownReply,   // a reply with neither "results" nor "message", of HTTP `status`
        UserNotFound,   // CheckEmail: no school operator of the typed name in the user list
    };
    Cause cause = Cause::None;
    ExchangeFailure exchange{};
    int status = 0;
    std::u16string message{}; // the service's own "message", empty when it gave none
    // UserNotFound: the role ("peran_id_str") of a user of the typed name, when the list holds one with
    // another role than a school operator's (empty when that user's role is no text).
    std::optional<std::u16string> otherRole{};
};

} // namespace client
