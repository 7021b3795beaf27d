#include "sandbox/tap_server.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sandbox::detail {

namespace {

thread_local ConnectionInfo* t_connection = nullptr;

int pollFor(int fd, short events, std::chrono::milliseconds timeout)
{
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, static_cast<int>(timeout.count()));
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) {
        return 0;
    }
    return p.revents;
}

// The byte stream the library parses from. Reads are buffered (the library reads a head one byte at a
// time); while tapping, every byte handed out is copied to the tap as well.
class TapStream final : public httplib::Stream {
public:
    TapStream(int fd, SSL* ssl, std::chrono::milliseconds readTimeout, std::chrono::milliseconds writeTimeout)
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
            const ssize_t n = m_ssl ? SSL_read(m_ssl, m_buffer.data(), static_cast<int>(m_buffer.size()))
                                    : ::recv(m_fd, m_buffer.data(), m_buffer.size(), 0);
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
            const int n = SSL_write(m_ssl, ptr, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
            return n > 0 ? n : -1;
        }
        return ::send(m_fd, ptr, size, MSG_NOSIGNAL);
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
    bool buffered() const { return m_begin < m_end || (m_ssl && SSL_pending(m_ssl) > 0); }
    bool waitReadable(std::chrono::milliseconds timeout) const
    {
        return (m_ssl && SSL_pending(m_ssl) > 0) || pollFor(m_fd, POLLIN, timeout) != 0;
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

    int m_fd;
    SSL* m_ssl;
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

TapServer::TapServer(SSL_CTX* tls) : m_tls(tls)
{
    if (m_tls) {
        SSL_CTX_up_ref(m_tls);
    }
    // SO_REUSEADDR only: the library's default also sets SO_REUSEPORT, which would let a second sandbox
    // share a busy port silently instead of reporting it.
    set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Requests that never get a reply hold a thread each until the server stops.
    new_task_queue = [] { return new httplib::ThreadPool(16); };
}

TapServer::~TapServer()
{
    if (m_tls) {
        SSL_CTX_free(m_tls);
    }
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
    timeval tv{static_cast<time_t>(readTimeout.count() / 1000),
               static_cast<suseconds_t>((readTimeout.count() % 1000) * 1000)};
    ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);

    SSL* ssl = nullptr;
    bool ok = true;
    if (m_tls) {
        ssl = SSL_new(m_tls);
        ok = ssl && SSL_set_fd(ssl, sock) == 1 && SSL_accept(ssl) == 1;
    }
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
        if (ssl) {
            SSL_shutdown(ssl);
        }
    }
    if (ssl) {
        SSL_free(ssl);
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return result;
}

} // namespace sandbox::detail
