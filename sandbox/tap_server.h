#pragma once

// An HTTP server on cpp-httplib that keeps each request's head exactly as it arrived (request line and
// header lines, in order), which the library's own request object does not: it sorts headers by name.
// The library parses and answers; this class only supplies the byte stream (plain TCP or TLS) and taps
// the bytes the parser reads until the end of the head. Internal to the sandbox.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>

// The TLS library's context (its SSL_CTX); TLS is built in where MTH_SANDBOX_TLS is set.
struct ssl_ctx_st;

namespace sandbox::detail {

// What the handler of a request can learn about its connection.
struct ConnectionInfo {
    int id = 0;           // 1 for the first connection the server accepted, then 2, ...
    int requestsOnIt = 0; // 1 for the first request on this connection, then 2, ...
    int clientPort = 0;   // the client's port
    std::string head;     // the current request's head, byte for byte, up to the blank line
};

class TapServer final : public httplib::Server {
public:
    // `tls` may be null (plain HTTP); the server takes a reference on it.
    explicit TapServer(ssl_ctx_st* tls);
    ~TapServer() override;
    TapServer(const TapServer&) = delete;
    TapServer& operator=(const TapServer&) = delete;

    // The connection whose request the calling handler thread is serving; null outside a handler.
    static const ConnectionInfo* currentConnection();

private:
    bool process_and_close_socket(socket_t sock) override;

    ssl_ctx_st* m_tls = nullptr;
    std::atomic<int> m_connections{0};
};

} // namespace sandbox::detail
