#include "PosixDatagram.h"

#include "LocalLinkQuery.h"

#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vexor {
namespace {

// The largest UDP payload; a larger datagram cannot arrive.
constexpr std::size_t kMaxDatagram = 65535;
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

class PosixDatagramSocket : public IDatagramSocket {
  public:
    explicit PosixDatagramSocket(int fd) : fd_(fd) {}
    ~PosixDatagramSocket() override { close(fd_); }
    PosixDatagramSocket(const PosixDatagramSocket&) = delete;
    PosixDatagramSocket& operator=(const PosixDatagramSocket&) = delete;

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        in_addr out{};
        std::memcpy(&out, via.data(), 4);
        setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(to.port);
        std::memcpy(&address.sin_addr, to.address.data(), 4);
        return sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&address), sizeof address) >= 0;
    }

    std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline) override {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            pollfd wait{fd_, POLLIN, 0};
            if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            Datagram datagram;
            datagram.bytes.resize(kMaxDatagram);
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = recvfrom(fd_, datagram.bytes.data(), datagram.bytes.size(),
                                         MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 0) {
                continue;
            }
            datagram.bytes.resize(static_cast<std::size_t>(got));
            std::memcpy(datagram.from.address.data(), &from.sin_addr, 4);
            datagram.from.port = ntohs(from.sin_port);
            return datagram;
        }
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
    return std::make_unique<PosixDatagramSocket>(fd);
}

std::vector<Ipv4> MulticastInterfaces() {
    std::vector<Ipv4> addresses;
    for (const auto& target : InterfaceTargets().mdns) {
        addresses.push_back(target.interfaceAddress);
    }
    return addresses;
}

} // namespace vexor
