#include "PosixDatagram.h"

#include "base/ReceiveLoop.h"
#include "base/SocketAddress.h"
#include "base/UniqueDescriptor.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <unistd.h>

namespace vexor {
namespace {

constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;

class PosixDatagramSocket : public IDatagramSocket {
  public:
    explicit PosixDatagramSocket(UniqueDescriptor fd) : fd_(std::move(fd)) {}
    PosixDatagramSocket(const PosixDatagramSocket&) = delete;
    PosixDatagramSocket& operator=(const PosixDatagramSocket&) = delete;

    bool SendTo(std::span<const std::uint8_t> bytes, const UdpEndpoint& to,
                const Ipv4& via) override {
        const sockaddr_in out = SocketAddressOf({via, 0});
        setsockopt(fd_.get(), IPPROTO_IP, IP_MULTICAST_IF, &out.sin_addr, sizeof out.sin_addr);
        const sockaddr_in address = SocketAddressOf(to);
        // An ICMP error that came for an earlier datagram fails the next send
        // once, which clears it; that send is made again.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (sendto(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&address), sizeof address) >= 0) {
                return true;
            }
            if (errno != ECONNREFUSED && errno != EHOSTUNREACH && errno != ENETUNREACH) {
                return false;
            }
        }
        return false;
    }

    std::optional<Datagram> ReceiveUntil(std::chrono::steady_clock::time_point deadline) override {
        const auto wait = [this](std::chrono::microseconds left) {
            pollfd readable{fd_.get(), POLLIN, 0};
            // Rounded up: a wait of less than a millisecond is not a busy loop.
            const auto ms = static_cast<int>(std::ceil(static_cast<double>(left.count()) / 1000));
            const bool ready = poll(&readable, 1, ms) > 0;
            errors_ = ready && (readable.revents & POLLERR) != 0;
            return ready;
        };
        const auto receive = [this](std::uint8_t* bytes, std::size_t size, sockaddr_in& from) {
            if (errors_) {
                errors_ = false;
                if (const auto error = ReadError(from)) {
                    return *error;
                }
            }
            socklen_t length = sizeof from;
            const auto got = recvfrom(fd_.get(), bytes, size, MSG_DONTWAIT,
                                      reinterpret_cast<sockaddr*>(&from), &length);
            return got < 0 ? ReadResult{}
                           : ReadResult{Received::Datagram, static_cast<std::size_t>(got)};
        };
        return vexor::ReceiveUntil(deadline, wait, receive);
    }

  private:
    // Reads one entry of the socket's error queue: a port unreachable that
    // the destination itself sent, with `from` the endpoint the datagram went
    // to; nothing when the queue is empty.
    std::optional<ReadResult> ReadError(sockaddr_in& from) const {
        // The datagram that failed comes back with the error; only its
        // destination matters.
        std::array<std::uint8_t, 64> returned{};
        iovec vector{returned.data(), returned.size()};
        alignas(cmsghdr) std::array<char, 256> control{};
        msghdr message{};
        message.msg_name = &from;
        message.msg_namelen = sizeof from;
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        if (recvmsg(fd_.get(), &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            return std::nullopt;
        }
        constexpr std::size_t kWithOffender = sizeof(sock_extended_err) + sizeof(sockaddr_in);
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
             header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_RECVERR ||
                header->cmsg_len < CMSG_LEN(kWithOffender)) {
                continue;
            }
            sock_extended_err error{};
            std::memcpy(&error, CMSG_DATA(header), sizeof error);
            sockaddr_in offender{};
            std::memcpy(&offender, CMSG_DATA(header) + sizeof error, sizeof offender);
            // Only the machine asked says that nothing listens on its port; a
            // router's word, or the system's own when ARP failed, is not it.
            if (error.ee_origin == SO_EE_ORIGIN_ICMP && error.ee_type == ICMP_DEST_UNREACH &&
                error.ee_code == ICMP_PORT_UNREACH && offender.sin_family == AF_INET &&
                from.sin_family == AF_INET && offender.sin_addr.s_addr == from.sin_addr.s_addr) {
                return ReadResult{Received::Unreachable, 0};
            }
        }
        return ReadResult{};
    }

    UniqueDescriptor fd_;
    bool errors_ = false;
};

} // namespace

std::unique_ptr<IDatagramSocket> OpenPosixDatagramSocket() {
    UniqueDescriptor fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd) {
        return nullptr;
    }
    // Answers to one multicast query come in a burst; the default buffer holds
    // about ninety small datagrams, and a flood past that would drop honest
    // answers with the rest. The system caps the size it grants.
    const int buffer = kReceiveBufferBytes;
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    // A datagram to an address whose neighbour is not resolved yet waits in the
    // kernel's queue for that neighbour, charged to this socket, until the
    // address fails about 3 s later: a sweep of a subnet would otherwise fill
    // the default send buffer and have its later datagrams refused.
    setsockopt(fd.get(), SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    // The NetBIOS name query goes to each interface's broadcast address.
    const int on = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // A machine with no program on the port asked answers with an ICMP port
    // unreachable, which an unconnected socket hears only through its error
    // queue: it shows the machine is there.
    setsockopt(fd.get(), IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    return std::make_unique<PosixDatagramSocket>(std::move(fd));
}

} // namespace vexor
