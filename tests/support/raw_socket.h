#pragma once

// The few raw socket calls tests make themselves (a request sent byte for byte, a listener that never
// answers), alike for POSIX sockets and Winsock.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

namespace testing_support {

#ifdef _WIN32
using RawSocket = SOCKET;
inline constexpr int kSendWithoutSignal = 0;

inline RawSocket openTcpSocket()
{
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started ? ::socket(AF_INET, SOCK_STREAM, 0) : INVALID_SOCKET;
}

inline void closeRawSocket(RawSocket s)
{
    ::closesocket(s);
}

inline void makeNonBlocking(RawSocket s)
{
    u_long yes = 1;
    ::ioctlsocket(s, FIONBIO, &yes);
}

// Whether `s` becomes writable (connected) within `timeoutMs`.
inline bool waitWritable(RawSocket s, int timeoutMs)
{
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLOUT;
    return WSAPoll(&p, 1, timeoutMs) > 0;
}
#else
using RawSocket = int;
inline constexpr int kSendWithoutSignal = MSG_NOSIGNAL;

inline RawSocket openTcpSocket()
{
    return ::socket(AF_INET, SOCK_STREAM, 0);
}

inline void closeRawSocket(RawSocket s)
{
    ::close(s);
}

inline void makeNonBlocking(RawSocket s)
{
    ::fcntl(s, F_SETFL, ::fcntl(s, F_GETFL) | O_NONBLOCK);
}

inline bool waitWritable(RawSocket s, int timeoutMs)
{
    pollfd p{s, POLLOUT, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}
#endif

// 127.0.0.1 at `port` (0: any free port, for a listener).
inline sockaddr_in loopbackAddress(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace testing_support
