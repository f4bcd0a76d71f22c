#include "WinsockDatagram.h"

#include "base/ReceiveLoop.h"
// Winsock 2's headers must come before windows.h.
#include "base/SocketAddress.h"
#include "base/UniqueHandle.h"

#include <ws2tcpip.h>

#include <windows.h>

namespace vexor::win32 {
namespace {

// Winsock 2 is started for as long as the socket lives.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (started_) {
            WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool started() const { return started_; }

  private:
    bool started_ = false;
};

// A Winsock socket; INVALID_SOCKET owns nothing.
struct SocketPolicy {
    using Value = SOCKET;
    static constexpr SOCKET Invalid() noexcept { return INVALID_SOCKET; }
    static void Close(SOCKET socket) { closesocket(socket); }
};

class WinsockDatagramSocket : public IDatagramSocket {
  public:
    WinsockDatagramSocket() {
        if (!session_.started()) {
            return;
        }
        socket_.reset(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
        if (!socket_) {
            return;
        }
        // Answers to one multicast query come in a burst that the default
        // buffer would partly drop.
        const int buffer = 4 * 1024 * 1024;
        setsockopt(socket_.get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer),
                   sizeof buffer);
        // NetBIOS name queries go to each subnet's broadcast address.
        const BOOL broadcast = TRUE;
        setsockopt(socket_.get(), SOL_SOCKET, SO_BROADCAST,
                   reinterpret_cast<const char*>(&broadcast), sizeof broadcast);
        // A sweep's datagrams to addresses not yet resolved wait, charged to
        // this socket, until each address fails: a send must never block on
        // them, and the buffer must hold a subnet's worth.
        setsockopt(socket_.get(), SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer),
                   sizeof buffer);
        u_long nonBlocking = 1;
        ioctlsocket(socket_.get(), FIONBIO, &nonBlocking);
        const sockaddr_in any = SocketAddressOf({});
        if (bind(socket_.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
            socket_.reset();
        }
    }
    WinsockDatagramSocket(const WinsockDatagramSocket&) = delete;
    WinsockDatagramSocket& operator=(const WinsockDatagramSocket&) = delete;

    bool ok() const { return static_cast<bool>(socket_); }

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        // The address form of IP_MULTICAST_IF; Wine refuses the interface-index form.
        in_addr out{};
        std::memcpy(&out, via.data(), 4);
        setsockopt(socket_.get(), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&out),
                   sizeof out);
        const sockaddr_in address = SocketAddressOf(to);
        return sendto(socket_.get(), reinterpret_cast<const char*>(bytes.data()),
                      static_cast<int>(bytes.size()), 0,
                      reinterpret_cast<const sockaddr*>(&address), sizeof address) != SOCKET_ERROR;
    }

    std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline) override {
        const auto wait = [this](std::chrono::microseconds left) {
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(socket_.get(), &readable);
            timeval limit{static_cast<long>(left.count() / 1000000),
                          static_cast<long>(left.count() % 1000000)};
            return select(0, &readable, nullptr, nullptr, &limit) > 0;
        };
        // A port unreachable for an earlier datagram fails the read with
        // WSAECONNRESET and the endpoint that datagram went to (an unconnected
        // socket's SIO_UDP_CONNRESET is on by default).
        const auto receive = [this](std::uint8_t* bytes, std::size_t size, sockaddr_in& from) {
            int length = sizeof from;
            const int got =
                recvfrom(socket_.get(), reinterpret_cast<char*>(bytes), static_cast<int>(size), 0,
                         reinterpret_cast<sockaddr*>(&from), &length);
            if (got != SOCKET_ERROR) {
                return ReadResult{Received::Datagram, static_cast<std::size_t>(got)};
            }
            if (WSAGetLastError() == WSAECONNRESET && length >= static_cast<int>(sizeof from) &&
                from.sin_family == AF_INET) {
                return ReadResult{Received::Unreachable, 0};
            }
            return ReadResult{};
        };
        return vexor::ReceiveUntil(deadline, wait, receive);
    }

  private:
    WinsockSession session_;
    UniqueResource<SocketPolicy> socket_;
};

} // namespace

std::unique_ptr<IDatagramSocket> OpenWinsockDatagramSocket() {
    auto socket = std::make_unique<WinsockDatagramSocket>();
    if (!socket->ok()) {
        return nullptr;
    }
    return socket;
}

} // namespace vexor::win32
