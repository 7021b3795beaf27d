#pragma once

// The regional server's TLS context, where the build has a TLS library (tls_context_openssl.cpp) and
// where it has none (tls_context_none.cpp). Internal to the sandbox.

#include <optional>
#include <string>

struct ssl_ctx_st;

namespace sandbox {

struct Options;

namespace detail {

// The context for the options' certificate and key in `context`, which stays null for plain HTTP (neither
// given). Nothing on success; otherwise why the certificate and key cannot serve.
std::optional<std::string> makeTlsContext(const Options& options, ssl_ctx_st*& context);

// Drops this reference to the context; null is allowed.
void releaseTlsContext(ssl_ctx_st* context);

} // namespace detail

} // namespace sandbox
