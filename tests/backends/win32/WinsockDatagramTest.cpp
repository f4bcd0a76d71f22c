// The Winsock datagram socket on loopback: a port unreachable, where the
// system reports one (WSAECONNRESET), names the endpoint sent to and never
// hides a later datagram.
#include "backends/win32/WinsockDatagram.h"
#include "base/SocketAddress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <ws2tcpip.h>

namespace vexor::win32 {
namespace {

using namespace std::chrono_literals;

constexpr Ipv4 kLoopback{127, 0, 0, 1};

// A UDP socket bound to a free loopback port; Winsock is kept started by the
// socket under test, opened first.
class Peer {
  public:
    Peer() : socket_(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {
        sockaddr_in address = SocketAddressOf({kLoopback, 0});
        bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Peer() { Close(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::uint16_t port() const { return port_; }
    // Answers the next datagram with `reply`, to whoever sent it.
    void Echo(const std::string& reply) const {
        char buffer[512];
        sockaddr_in from{};
        int length = sizeof from;
        if (recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                     &length) != SOCKET_ERROR) {
            sendto(socket_, reply.data(), static_cast<int>(reply.size()), 0,
                   reinterpret_cast<sockaddr*>(&from), length);
        }
    }
    void Close() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }

  private:
    SOCKET socket_;
    std::uint16_t port_ = 0;
};

TEST(WinsockDatagram, APortUnreachableNamesTheEndpointSentToAndHidesNothingAfterIt) {
    const auto socket = OpenWinsockDatagramSocket();
    ASSERT_TRUE(socket);
    Peer closed;
    const UdpEndpoint nobody{kLoopback, closed.port()};
    closed.Close();
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(socket->SendTo(bytes, nobody, {})) << i;
    }
    const Peer peer;
    ASSERT_TRUE(socket->SendTo(bytes, {kLoopback, peer.port()}, {}));
    peer.Echo("resposta");

    int unreachables = 0;
    std::optional<Datagram> answer;
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!answer) {
        auto got = socket->ReceiveUntil(deadline);
        if (!got) {
            break;
        }
        if (got->unreachable) {
            ++unreachables;
            EXPECT_EQ(got->from.address, kLoopback);
            EXPECT_EQ(got->from.port, nobody.port);
            EXPECT_TRUE(got->bytes.empty());
        } else {
            answer = std::move(got);
        }
    }
    // Windows reports each; Wine may report none.
    EXPECT_LE(unreachables, 3);
    ASSERT_TRUE(answer);
    EXPECT_EQ(std::string(answer->bytes.begin(), answer->bytes.end()), "resposta");
    EXPECT_EQ(answer->from.port, peer.port());
    std::printf("port unreachables reported: %d\n", unreachables);
}

} // namespace
} // namespace vexor::win32
