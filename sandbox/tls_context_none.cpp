#include "sandbox/tls_context.h"

#include "sandbox/sandbox.h"

namespace sandbox {

bool httpsAvailable()
{
    return false;
}

namespace detail {

std::optional<std::string> makeTlsContext(const Options& options, ssl_ctx_st*&)
{
    if (options.tlsCertFile.empty() && options.tlsKeyFile.empty()) {
        return std::nullopt;
    }
    return "this sandbox is built without a TLS library: it serves plain HTTP only";
}

void releaseTlsContext(ssl_ctx_st*) {}

} // namespace detail

} // namespace sandbox
