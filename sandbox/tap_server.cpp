#include "sandbox/tap_server.h"

#if MTH_SANDBOX_TLS
#include <openssl/ssl.h>
#endif

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sandbox::detail {

namespace {

thread_local ConnectionInfo* t_connection = nullptr;

// A connection's TLS session; without a TLS library there is never one (the pointer stays null).
#if MTH_SANDBOX_TLS
using TlsSession = SSL;
int tlsRead(TlsSession* tls, char* to, std::size_t size)
{
    return SSL_read(tls, to, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
}
int tlsWrite(TlsSession* tls, const char* from, std::size_t size)
{
    return SSL_write(tls, from, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
}
bool tlsPending(TlsSession* tls)
{
    return tls && SSL_pending(tls) > 0;
}
#else
struct TlsSession;
int tlsRead(TlsSession*, char*, std::size_t)
{
    return -1;
}
int tlsWrite(TlsSession*, const char*, std::size_t)
{
    return -1;
}
bool tlsPending(TlsSession*)
{
    return false;
}
#endif

// The few socket calls that differ between Winsock and POSIX.
#ifdef _WIN32
int pollSockets(pollfd* p, unsigned long count, int timeoutMs)
{
    return WSAPoll(p, count, timeoutMs);
}
bool interrupted()
{
    return false;
}
ssize_t receiveSome(socket_t sock, char* to, std::size_t size)
{
    return ::recv(sock, to, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0);
}
ssize_t sendSome(socket_t sock, const char* from, std::size_t size)
{
    return ::send(sock, from, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), 0);
}
void setSocketTimeouts(socket_t sock, std::chrono::milliseconds timeout)
{
    const DWORD ms = static_cast<DWORD>(timeout.count());
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}
// Winsock's SO_REUSEADDR would let a second server take a port that is listened on; this forbids it.
void setPortOptions(socket_t sock)
{
    const BOOL yes = TRUE;
    ::setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
}
void closeSocket(socket_t sock)
{
    ::shutdown(sock, SD_BOTH);
    ::closesocket(sock);
}
#else
int pollSockets(pollfd* p, nfds_t count, int timeoutMs)
{
    return ::poll(p, count, timeoutMs);
}
bool interrupted()
{
    return errno == EINTR;
}
ssize_t receiveSome(socket_t sock, char* to, std::size_t size)
{
    return ::recv(sock, to, size, 0);
}
ssize_t sendSome(socket_t sock, const char* from, std::size_t size)
{
    return ::send(sock, from, size, MSG_NOSIGNAL);
}
void setSocketTimeouts(socket_t sock, std::chrono::milliseconds timeout)
{
    timeval tv{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>((timeout.count() % 1000) * 1000)};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}
// The port may be bound again while old connections linger, never shared with a listening server.
void setPortOptions(socket_t sock)
{
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}
void closeSocket(socket_t sock)
{
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
}
#endif

int pollFor(socket_t sock, short events, std::chrono::milliseconds timeout)
{
    pollfd p{};
    p.fd = sock;
    p.events = events;
    int rc;
    do {
        rc = pollSockets(&p, 1, static_cast<int>(timeout.count()));
    } while (rc < 0 && interrupted());
    if (rc <= 0) {
        return 0;
    }
    return p.revents;
}

// The byte stream the library parses from. Reads are buffered (the library reads a head one byte at a
// time); while tapping, every byte handed out is copied to the tap as well.
class TapStream final : public httplib::Stream {
public:
    TapStream(socket_t fd, TlsSession* ssl, std::chrono::milliseconds readTimeout,
              std::chrono::milliseconds writeTimeout)
        : m_fd(fd), m_ssl(ssl), m_readTimeout(readTimeout), m_writeTimeout(writeTimeout)
    {
    }

    bool is_readable() const override { return buffered() || waitReadable(m_readTimeout); }

    bool is_writable() const override
    {
        const int revents = pollFor(m_fd, POLLOUT, m_writeTimeout);
        return (revents & POLLOUT) != 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    }

    ssize_t read(char* ptr, size_t size) override
    {
        if (!buffered()) {
            if (!waitReadable(m_readTimeout)) {
                return -1;
            }
            const ssize_t n = m_ssl ? tlsRead(m_ssl, m_buffer.data(), m_buffer.size())
                                    : receiveSome(m_fd, m_buffer.data(), m_buffer.size());
            if (n <= 0) {
                return n < 0 ? -1 : 0;
            }
            m_begin = 0;
            m_end = static_cast<std::size_t>(n);
        }
        const std::size_t n = std::min(size, m_end - m_begin);
        std::memcpy(ptr, m_buffer.data() + m_begin, n);
        if (m_tapping) {
            m_tap.append(ptr, n);
        }
        m_begin += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!is_writable()) {
            return -1;
        }
        if (m_ssl) {
            const int n = tlsWrite(m_ssl, ptr, size);
            return n > 0 ? n : -1;
        }
        return sendSome(m_fd, ptr, size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { address(true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { address(false, ip, port); }
    socket_t socket() const override { return m_fd; }

    void startTap()
    {
        m_tap.clear();
        m_tapping = true;
    }
    std::string takeTap()
    {
        m_tapping = false;
        return std::move(m_tap);
    }

    // Waits for the next request on a kept-alive connection, giving up when the server stops listening.
    bool waitForRequest(std::chrono::milliseconds keepAlive, const std::atomic<socket_t>& listening) const
    {
        const auto deadline = std::chrono::steady_clock::now() + keepAlive;
        while (listening != INVALID_SOCKET) {
            if (buffered() || waitReadable(std::chrono::milliseconds(50))) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
        }
        return false;
    }

private:
    bool buffered() const { return m_begin < m_end || tlsPending(m_ssl); }
    bool waitReadable(std::chrono::milliseconds timeout) const
    {
        return tlsPending(m_ssl) || pollFor(m_fd, POLLIN, timeout) != 0;
    }
    void address(bool remote, std::string& ip, int& port) const
    {
        sockaddr_storage storage{};
        socklen_t length = sizeof storage;
        auto* a = reinterpret_cast<sockaddr*>(&storage);
        if ((remote ? ::getpeername(m_fd, a, &length) : ::getsockname(m_fd, a, &length)) != 0) {
            return;
        }
        std::array<char, NI_MAXHOST> host{};
        std::array<char, NI_MAXSERV> service{};
        if (::getnameinfo(a, length, host.data(), host.size(), service.data(), service.size(),
                          NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
            ip = host.data();
            port = std::atoi(service.data());
        }
    }

    socket_t m_fd;
    TlsSession* m_ssl;
    std::chrono::milliseconds m_readTimeout;
    std::chrono::milliseconds m_writeTimeout;
    std::array<char, 64 * 1024> m_buffer{};
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
    bool m_tapping = false;
    std::string m_tap;
};

std::chrono::milliseconds toDuration(time_t sec, time_t usec)
{
    return std::chrono::milliseconds(sec * 1000 + usec / 1000);
}

} // namespace

TapServer::TapServer(ssl_ctx_st* tls) : m_tls(tls)
{
#if MTH_SANDBOX_TLS
    if (m_tls) {
        SSL_CTX_up_ref(m_tls);
    }
#endif
    // Not the library's default, which also sets SO_REUSEPORT (or Winsock's SO_REUSEADDR): that would let
    // a second sandbox share a busy port silently instead of reporting it.
    set_socket_options(setPortOptions);
    // Requests that never get a reply hold a thread each until the server stops.
    new_task_queue = [] { return new httplib::ThreadPool(16); };
}

TapServer::~TapServer()
{
#if MTH_SANDBOX_TLS
    if (m_tls) {
        SSL_CTX_free(m_tls);
    }
#endif
}

const ConnectionInfo* TapServer::currentConnection()
{
    return t_connection;
}

bool TapServer::process_and_close_socket(socket_t sock)
{
    const auto readTimeout = toDuration(read_timeout_sec_, read_timeout_usec_);
    const auto writeTimeout = toDuration(write_timeout_sec_, write_timeout_usec_);
    // Bounds the blocking TLS calls too (handshake, a record that arrives in pieces).
    setSocketTimeouts(sock, readTimeout);

    TlsSession* ssl = nullptr;
    bool ok = true;
#if MTH_SANDBOX_TLS
    if (m_tls) {
        ssl = SSL_new(m_tls);
        ok = ssl && SSL_set_fd(ssl, sock) == 1 && SSL_accept(ssl) == 1;
    }
#endif
    bool result = false;
    if (ok) {
        TapStream stream(sock, ssl, readTimeout, writeTimeout);
        ConnectionInfo info;
        info.id = ++m_connections;
        std::string ip;
        stream.get_remote_ip_and_port(ip, info.clientPort);
        t_connection = &info;
        const auto keepAlive = std::chrono::milliseconds(keep_alive_timeout_sec_ * 1000);
        for (std::size_t left = keep_alive_max_count_; left > 0 && stream.waitForRequest(keepAlive, svr_sock_);
             --left) {
            ++info.requestsOnIt;
            stream.startTap();
            bool closed = false;
            result =
                process_request(stream, left == 1, closed, [&](httplib::Request&) { info.head = stream.takeTap(); });
            if (!result || closed) {
                break;
            }
        }
        t_connection = nullptr;
#if MTH_SANDBOX_TLS
        if (ssl) {
            SSL_shutdown(ssl);
        }
#endif
    }
#if MTH_SANDBOX_TLS
    if (ssl) {
        SSL_free(ssl);
    }
#endif
    closeSocket(sock);
    return result;
}

} // namespace sandbox::detail
