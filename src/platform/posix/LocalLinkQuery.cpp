#include "LocalLinkQuery.h"

#include "NameQueryPackets.h"
#include "PosixDatagram.h"

#include <random>
#include <string>

namespace vexor {
namespace {

// The largest mDNS message (RFC 6762, 17); a larger datagram is not read.
constexpr std::size_t kDatagramLimit = 9000;

// One kind of query: what it sends, the port its answers come from, and
// whether it still waits for one.
struct Asker {
    bool active = false;
    std::uint16_t id = 0;
    std::uint16_t port = 0;
    std::vector<std::uint8_t> query;
};

std::uint16_t NewId() {
    static thread_local std::mt19937 random{std::random_device{}()};
    return static_cast<std::uint16_t>(std::uniform_int_distribution<unsigned>(1, 0xffff)(random));
}

// NetBIOS carries short names outside ".local", by broadcast.
Asker NetbiosAsker(std::string_view name, bool local, const LocalLinkTargets& targets) {
    Asker asker;
    if (local || !IsNetbiosName(name) || targets.netbios.empty()) {
        return asker;
    }
    asker.id = NewId();
    asker.query = BuildNetbiosNameQuery(name, asker.id);
    asker.port = targets.netbios.front().port;
    asker.active = !asker.query.empty();
    return asker;
}

// mDNS asks for "NAME.local", for a name in ".local" or one of a single label.
Asker MdnsAsker(std::string_view name, bool local, const std::string& host,
                const LocalLinkTargets& targets) {
    Asker asker;
    if ((!local && name.find('.') != std::string_view::npos) || targets.mdns.empty()) {
        return asker;
    }
    asker.id = NewId();
    asker.query = BuildMdnsQuery(host, asker.id);
    asker.port = targets.mdns.front().group.port;
    asker.active = !asker.query.empty();
    return asker;
}

std::span<const std::uint8_t> Bytes(const std::vector<std::uint8_t>& message) {
    return {message.data(), message.size()};
}

// A target that cannot be reached now (no route, interface gone) is simply not
// asked; the others still are.
void SendRound(IDatagramSocket& socket, const Asker& netbios, const Asker& mdns,
               const LocalLinkTargets& targets) {
    if (netbios.active) {
        for (const UdpEndpoint& target : targets.netbios) {
            socket.SendTo(Bytes(netbios.query), target, Ipv4{});
        }
    }
    if (mdns.active) {
        for (const auto& target : targets.mdns) {
            socket.SendTo(Bytes(mdns.query), target.group, target.interfaceAddress);
        }
    }
}

} // namespace

std::vector<Ipv4> QueryLocalLink(std::string_view name, const LocalLinkTargets& targets,
                                 const LocalLinkTiming& timing) {
    const bool local = IsLocalDomainName(name);
    const std::string host = local ? std::string(name) : std::string(name) + ".local";
    Asker netbios = NetbiosAsker(name, local, targets);
    Asker mdns = MdnsAsker(name, local, host, targets);
    const auto socket = netbios.active || mdns.active ? OpenPosixDatagramSocket() : nullptr;
    if (!socket) {
        return {};
    }
    const auto start = std::chrono::steady_clock::now();
    for (int attempt = 0; attempt < timing.tries; ++attempt) {
        SendRound(*socket, netbios, mdns, targets);
        const auto deadline = start + timing.interval * (attempt + 1);
        while (netbios.active || mdns.active) {
            const auto datagram = socket->ReceiveUntil(deadline);
            if (!datagram) {
                break;
            }
            if (datagram->bytes.size() > kDatagramLimit) {
                continue;
            }
            const std::span<const std::uint8_t> bytes(datagram->bytes);
            for (Asker* asker : {&netbios, &mdns}) {
                // Replies from a port other than the one asked are not answers.
                if (!asker->active || datagram->from.port != asker->port) {
                    continue;
                }
                const auto answer = asker == &netbios ? ParseNetbiosAnswer(bytes, asker->id, name)
                                                      : ParseMdnsAnswer(bytes, asker->id, host);
                if (answer && !answer->empty()) {
                    return *answer;
                }
                if (answer) {
                    // A negative NetBIOS answer ends that query; mDNS may still answer.
                    asker->active = false;
                }
            }
        }
        if (!netbios.active && !mdns.active) {
            return {};
        }
    }
    return {};
}

} // namespace vexor
