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

// Why a table failed when memory ran out while it was fetched, counted or uploaded.
inline constexpr char16_t kOutOfMemory[] = u"memori tidak cukup";

// `detail` is the request's technical description; it is quoted where the kind alone says too little
// (a TLS or other failure, the refused header's name, the invalid address). For a redirect to another
// origin it is the address the redirect pointed to.
std::u16string describeFailure(platform::FailureKind kind, const ServiceAddress& where, std::u16string_view detail);

} // namespace client
