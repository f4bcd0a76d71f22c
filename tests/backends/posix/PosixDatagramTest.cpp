// The BSD-socket datagram socket on loopback: a port unreachable comes back as
// one, for the endpoint sent to, and never stops a later send or datagram.
#include "backends/posix/PosixDatagram.h"
#include "base/SocketAddress.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <string>
#include <unistd.h>

namespace vexor {
namespace {

using namespace std::chrono_literals;

constexpr Ipv4 kLoopback{127, 0, 0, 1};

// A UDP socket bound to a free loopback port, closed with the test.
class Peer {
  public:
    Peer() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address = SocketAddressOf({kLoopback, 0});
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Peer() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    std::uint16_t port() const { return port_; }
    // Answers the next datagram with `reply`, to whoever sent it.
    void Echo(const std::string& reply) const {
        char buffer[512];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        if (recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length) >=
            0) {
            sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
        }
    }
    void Close() {
        close(fd_);
        fd_ = -1;
    }

  private:
    int fd_;
    std::uint16_t port_ = 0;
};

TEST(PosixDatagram, APortUnreachableComesBackForTheEndpointSentTo) {
    const auto socket = OpenPosixDatagramSocket();
    ASSERT_TRUE(socket);
    Peer closed;
    const UdpEndpoint nobody{kLoopback, closed.port()};
    closed.Close();
    const std::vector<std::uint8_t> bytes{1, 2, 3};
    // Each unreachable that came before a send fails it once; none is refused.
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
    EXPECT_EQ(unreachables, 3);
    ASSERT_TRUE(answer);
    EXPECT_EQ(std::string(answer->bytes.begin(), answer->bytes.end()), "resposta");
    EXPECT_EQ(answer->from.port, peer.port());
    // Nothing more waits: the error queue was read, not left to wake each wait.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(socket->ReceiveUntil(before + 50ms));
}

} // namespace
} // namespace vexor
