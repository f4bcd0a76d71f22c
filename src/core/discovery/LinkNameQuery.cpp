#include "LinkNameQuery.h"

#include "DnsCodec.h"
#include "NetbiosMessages.h"
#include "base/HostName.h"

#include <string>

namespace vexor {
namespace {

constexpr std::uint16_t kMdnsPort = 5353;
constexpr Ipv4 kMdnsGroup{224, 0, 0, 251};

} // namespace

LinkTargets LinkTargetsOf(const std::vector<LocalInterface>& interfaces) {
    LinkTargets targets;
    for (const LocalInterface& local : interfaces) {
        if (!local.up || local.loopback) {
            continue;
        }
        if (local.broadcast) {
            targets.netbios.push_back({{local.broadcastAddress, netbios::kPort}, Ipv4{}});
        }
        if (local.multicast) {
            targets.mdns.push_back({{kMdnsGroup, kMdnsPort}, local.address});
        }
    }
    return targets;
}

std::vector<Ipv4> QueryLinkName(IDatagramSocket& socket, const IClock& clock, std::string_view name,
                                const LinkTargets& targets, SteadyTime deadline,
                                const IOemCodePage& codePage) {
    const bool local = IsLocalDomainName(name);
    QueryEngine engine(socket, clock, deadline);
    std::vector<Ipv4> found;
    auto take = [&](std::vector<Ipv4> addresses) {
        found = std::move(addresses);
        engine.Stop();
        return Reply::Settles;
    };
    // NetBIOS carries short names outside ".local", by broadcast.
    if (!local && !targets.netbios.empty()) {
        const std::uint16_t id = NewQueryId();
        const std::string asked(name);
        if (auto query = netbios::NameQuery(id, name, netbios::kServer, true, codePage)) {
            engine.Ask({std::move(*query), targets.netbios, schedules::kNetbios,
                        [&, id, asked](const Datagram& datagram) {
                            if (datagram.from.port != netbios::kPort) {
                                return Reply::NotMine;
                            }
                            const auto answer = netbios::ReadNameQueryAnswer(
                                datagram.bytes, id, asked, netbios::kServer, codePage);
                            if (!answer) {
                                return Reply::NotMine;
                            }
                            if (answer->addresses.empty()) {
                                return Reply::Settles;
                            }
                            return take(answer->addresses);
                        }});
        }
    }
    // mDNS asks for "NAME.local", for a name in ".local" or one of a single label.
    if ((local || name.find('.') == std::string_view::npos) && !targets.mdns.empty()) {
        const std::uint16_t id = NewQueryId();
        const std::string host = local ? std::string(name) : std::string(name) + ".local";
        engine.Ask({dns::Query(id, host, dns::kTypeA), targets.mdns, schedules::kMdns,
                    [&, id, host](const Datagram& datagram) {
                        if (datagram.from.port != kMdnsPort) {
                            return Reply::NotMine;
                        }
                        const auto message = dns::Read(datagram.bytes, {id, true});
                        if (!message) {
                            return Reply::NotMine;
                        }
                        auto addresses = dns::AddressesOf(*message, host);
                        // An mDNS responder has no negative answer: one without
                        // the address is not the answer.
                        return addresses.empty() ? Reply::Taken : take(std::move(addresses));
                    }});
    }
    engine.Run();
    return found;
}

} // namespace vexor
