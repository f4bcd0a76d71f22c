#include "PosixDatagram.h"

#include "base/ReceiveLoop.h"
#include "base/SocketAddress.h"

#include <cmath>
#include <poll.h>
#include <unistd.h>

namespace vexor {
namespace {

constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

class PosixDatagramSocket : public IDatagramSocket {
  public:
    explicit PosixDatagramSocket(int fd) : fd_(fd) {}
    ~PosixDatagramSocket() override { close(fd_); }
    PosixDatagramSocket(const PosixDatagramSocket&) = delete;
    PosixDatagramSocket& operator=(const PosixDatagramSocket&) = delete;

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        const sockaddr_in out = SocketAddressOf({via, 0});
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &out.sin_addr, sizeof out.sin_addr);
        const sockaddr_in address = SocketAddressOf(to);
        return sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&address), sizeof address) >= 0;
    }

    std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline) override {
        const auto wait = [this](std::chrono::microseconds left) {
            pollfd readable{fd_, POLLIN, 0};
            // Rounded up: a wait of less than a millisecond is not a busy loop.
            const auto ms = static_cast<int>(std::ceil(static_cast<double>(left.count()) / 1000));
            return poll(&readable, 1, ms) > 0;
        };
        const auto receive = [this](std::uint8_t* bytes, std::size_t size, sockaddr_in& from) {
            socklen_t length = sizeof from;
            return recvfrom(fd_, bytes, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                            &length);
        };
        return vexor::ReceiveUntil(deadline, wait, receive);
    }

  private:
    int fd_;
};

} // namespace

std::unique_ptr<IDatagramSocket> OpenPosixDatagramSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return nullptr;
    }
    // Answers to one multicast query come in a burst; the default buffer holds
    // about ninety small datagrams, and a flood past that would drop honest
    // answers with the rest. The system caps the size it grants.
    const int buffer = kReceiveBufferBytes;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    // A datagram to an address whose neighbour is not resolved yet waits in the
    // kernel's queue for that neighbour, charged to this socket, until the
    // address fails about 3 s later: a sweep of a subnet would otherwise fill
    // the default send buffer and have its later datagrams refused.
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    // The NetBIOS name query goes to each interface's broadcast address.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    return std::make_unique<PosixDatagramSocket>(fd);
}

} // namespace vexor
