#include "LocalLinkQuery.h"

#include "NameQueryPackets.h"
#include "platform/common/UniqueHandle.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace vexor {
namespace {

constexpr std::uint16_t kNetbiosNamePort = 137;
constexpr std::uint16_t kMdnsPort = 5353;
constexpr Ipv4 kMdnsGroup{224, 0, 0, 251};
// The largest mDNS message (RFC 6762, 17); a larger datagram is not read whole.
constexpr std::size_t kDatagramLimit = 9000;
// Datagrams read per wake-up, so a flood cannot keep the deadline from being seen.
constexpr int kReadsPerWake = 64;

class UdpSocket {
  public:
    UdpSocket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~UdpSocket() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    int fd() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

  private:
    int fd_;
};

sockaddr_in SocketAddress(const LocalLinkTargets::Endpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    std::memcpy(&address.sin_addr, endpoint.address.data(), 4);
    return address;
}

void Send(int fd, const std::vector<std::uint8_t>& message,
          const LocalLinkTargets::Endpoint& target) {
    const sockaddr_in address = SocketAddress(target);
    // A target that cannot be reached now (no route, interface gone) is simply
    // not asked; the others still are.
    (void)sendto(fd, message.data(), message.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

Ipv4 BytesOf(const sockaddr* address) {
    Ipv4 bytes{};
    std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
    return bytes;
}

// One kind of query on its own socket: what it sends, where, and how its
// answers read.
struct Asker {
    UdpSocket socket;
    bool active = false;
    std::uint16_t id = 0;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> query;
};

// The interface's broadcast address. An address added without one ("ip addr add
// A/24" names none) still broadcasts to its subnet's all-ones address; glibc then
// reports the interface's own address in the broadcast field.
Ipv4 BroadcastAddress(const ifaddrs& entry) {
    constexpr Ipv4 kNone{};
    Ipv4 address = BytesOf(entry.ifa_addr);
    if (entry.ifa_broadaddr != nullptr && entry.ifa_broadaddr->sa_family == AF_INET) {
        if (const Ipv4 given = BytesOf(entry.ifa_broadaddr); given != kNone && given != address) {
            return given;
        }
    }
    const Ipv4 mask = entry.ifa_netmask != nullptr ? BytesOf(entry.ifa_netmask) : Ipv4{};
    for (std::size_t i = 0; i < address.size(); ++i) {
        address[i] = static_cast<std::uint8_t>(address[i] | ~mask[i]);
    }
    return address;
}

} // namespace

LocalLinkTargets InterfaceTargets() {
    LocalLinkTargets targets;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return targets;
    }
    const UniqueHandle<ifaddrs, freeifaddrs> list(raw);
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const Ipv4 own = BytesOf(entry->ifa_addr);
        if ((entry->ifa_flags & IFF_BROADCAST) != 0) {
            targets.netbios.push_back({BroadcastAddress(*entry), kNetbiosNamePort});
        }
        if ((entry->ifa_flags & IFF_MULTICAST) != 0) {
            targets.mdns.push_back({own, {kMdnsGroup, kMdnsPort}});
        }
    }
    return targets;
}

std::vector<Ipv4> QueryLocalLink(std::string_view name, const LocalLinkTargets& targets,
                                 const LocalLinkTiming& timing) {
    std::random_device random;
    std::uniform_int_distribution<unsigned> ids(1, 0xffff);
    const bool local = IsLocalDomainName(name);
    const std::string host = local ? std::string(name) : std::string(name) + ".local";

    Asker netbios;
    if (!local && IsNetbiosName(name) && !targets.netbios.empty() && netbios.socket.ok()) {
        netbios.id = static_cast<std::uint16_t>(ids(random));
        netbios.query = BuildNetbiosNameQuery(name, netbios.id);
        netbios.port = targets.netbios.front().port;
        const int on = 1;
        setsockopt(netbios.socket.fd(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        netbios.active = !netbios.query.empty();
    }
    Asker mdns;
    if ((local || name.find('.') == std::string_view::npos) && !targets.mdns.empty() &&
        mdns.socket.ok()) {
        mdns.id = static_cast<std::uint16_t>(ids(random));
        mdns.query = BuildMdnsQuery(host, mdns.id);
        mdns.port = targets.mdns.front().group.port;
        mdns.active = !mdns.query.empty();
    }

    std::vector<std::uint8_t> datagram(kDatagramLimit + 1);
    const auto start = std::chrono::steady_clock::now();
    for (int attempt = 0; attempt < timing.tries; ++attempt) {
        if (netbios.active) {
            for (const auto& target : targets.netbios) {
                Send(netbios.socket.fd(), netbios.query, target);
            }
        }
        if (mdns.active) {
            for (const auto& target : targets.mdns) {
                in_addr out{};
                std::memcpy(&out, target.interfaceAddress.data(), 4);
                setsockopt(mdns.socket.fd(), IPPROTO_IP, IP_MULTICAST_IF, &out, sizeof out);
                Send(mdns.socket.fd(), mdns.query, target.group);
            }
        }
        const auto deadline = start + timing.interval * (attempt + 1);
        for (;;) {
            if (!netbios.active && !mdns.active) {
                return {};
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd waits[2] = {{netbios.active ? netbios.socket.fd() : -1, POLLIN, 0},
                               {mdns.active ? mdns.socket.fd() : -1, POLLIN, 0}};
            if (poll(waits, 2, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            for (Asker* asker : {&netbios, &mdns}) {
                for (int read = 0; asker->active && read < kReadsPerWake; ++read) {
                    sockaddr_in from{};
                    socklen_t fromLength = sizeof from;
                    const ssize_t length =
                        recvfrom(asker->socket.fd(), datagram.data(), datagram.size(), MSG_DONTWAIT,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
                    if (length < 0) {
                        break;
                    }
                    if (ntohs(from.sin_port) != asker->port ||
                        static_cast<std::size_t>(length) > kDatagramLimit) {
                        continue;
                    }
                    const std::span<const std::uint8_t> bytes(datagram.data(),
                                                              static_cast<std::size_t>(length));
                    const auto answer = asker == &netbios
                                            ? ParseNetbiosAnswer(bytes, asker->id, name)
                                            : ParseMdnsAnswer(bytes, asker->id, host);
                    if (!answer) {
                        continue;
                    }
                    if (!answer->empty()) {
                        return *answer;
                    }
                    // A negative NetBIOS answer ends that query; mDNS may still answer.
                    asker->active = false;
                }
            }
        }
    }
    return {};
}

} // namespace vexor
