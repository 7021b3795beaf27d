#include "sandbox/tls_context.h"

#include "sandbox/sandbox.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace sandbox {

bool httpsAvailable()
{
    return true;
}

namespace detail {

std::optional<std::string> makeTlsContext(const Options& options, SSL_CTX*& context)
{
    if (options.tlsCertFile.empty() && options.tlsKeyFile.empty()) {
        return std::nullopt;
    }
    context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1 ||
        SSL_CTX_use_certificate_chain_file(context, options.tlsCertFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, options.tlsKeyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context) != 1) {
        char reason[256] = "";
        ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
        SSL_CTX_free(context);
        context = nullptr;
        return "cannot use the certificate " + options.tlsCertFile + " and key " + options.tlsKeyFile + ": " + reason;
    }
    return std::nullopt;
}

void releaseTlsContext(SSL_CTX* context)
{
    SSL_CTX_free(context);
}

} // namespace detail

} // namespace sandbox
