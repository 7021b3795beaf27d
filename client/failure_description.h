#pragma once

// The operator's description of a failed request, in Indonesian: which service failed (the school's
// local Murenta service or the regional Tervalis server), at which address, why, and what to check.
// It follows "Error: " in an exchange's result.

#include "platform/http_request.h"

#include <string>
#include <string_view>

namespace client {

enum class Service {
    LocalMurenta,   // the school's local data service
    RegionalServer, // the regional Tervalis server
};

struct ServiceAddress {
    Service service;
    std::u16string address; // as the operator configured it, e.g. "http://127.0.0.1:5774"
};

// `detail` is the request's technical description; it is quoted where the kind alone says too little
// (a TLS or other failure, the refused header's name, the invalid address).
std::u16string describeFailure(platform::FailureKind kind, const ServiceAddress& where, std::u16string_view detail);

} // namespace client
