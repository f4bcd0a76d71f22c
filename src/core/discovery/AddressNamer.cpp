#include "AddressNamer.h"

#include "DnsCodec.h"
#include "NetbiosMessages.h"

#include <algorithm>
#include <set>

namespace vexor {
namespace {

constexpr std::uint16_t kDnsPort = 53;
constexpr std::uint16_t kMdnsPort = 5353;

bool IsFrom(const Datagram& datagram, const Ipv4& address, std::uint16_t port) {
    return datagram.from.address == address && datagram.from.port == port;
}

bool IsFromAny(const Datagram& datagram, const std::vector<Ipv4>& servers) {
    return datagram.from.port == kDnsPort &&
           std::find(servers.begin(), servers.end(), datagram.from.address) != servers.end();
}

// The name a PTR answer to `id` gives for `reverse`; nothing when the datagram
// is no such answer.
std::optional<std::string> PointerAnswer(const Datagram& datagram, std::uint16_t id,
                                         const std::string& reverse) {
    const auto message = dns::Read(datagram.bytes, {id, true});
    if (!message) {
        return std::nullopt;
    }
    return dns::PointerOf(*message, reverse);
}

// A machine whose port says nothing listens there will not answer on it: its
// question ends at once instead of being asked again.
Reply NothingListens(const UdpEndpoint&) {
    return Reply::Settles;
}

} // namespace

std::string FirstLabel(std::string_view name) {
    return std::string(name.substr(0, name.find('.')));
}

AddressNamer::AddressNamer(DiscoverySeams seams, DnsServerList dnsServers,
                           const IOemCodePage& codePage, NamerTiming timing)
    : seams_(std::move(seams)), dnsServers_(std::move(dnsServers)), codePage_(codePage),
      timing_(std::move(timing)) {}

void AddressNamer::Name(const std::vector<NamingRequest>& requests,
                        std::chrono::steady_clock::time_point deadline,
                        const AddressNameSink& found) {
    const auto socket = seams_.openSocket ? seams_.openSocket() : nullptr;
    if (!socket || requests.empty()) {
        return;
    }
    std::vector<Ipv4> servers = dnsServers_ ? dnsServers_() : std::vector<Ipv4>{};
    if (servers.size() > kMaxDnsServers) {
        servers.resize(kMaxDnsServers);
    }
    std::vector<QueryTarget> serverTargets;
    for (const Ipv4& server : servers) {
        serverTargets.push_back({{server, kDnsPort}, Ipv4{}});
    }
    QueryEngine engine(*socket, *seams_.clock, deadline);
    std::set<Ipv4> asked;
    for (const NamingRequest& request : requests) {
        const Ipv4 address = request.address;
        if (asked.size() >= kMaxNamedAddresses || !asked.insert(address).second) {
            continue;
        }
        if (request.askNodeStatus) {
            const std::uint16_t id = NewQueryId();
            engine.Ask({netbios::NodeStatusRequest(id),
                        {{{address, netbios::kPort}, Ipv4{}}},
                        timing_.nodeStatus,
                        [this, &found, address, id](const Datagram& datagram) {
                            if (!IsFrom(datagram, address, netbios::kPort)) {
                                return Reply::NotMine;
                            }
                            const auto status =
                                netbios::ReadNodeStatus(datagram.bytes, id, codePage_);
                            if (!status) {
                                return Reply::NotMine;
                            }
                            const auto name = status->Workstation();
                            const auto workgroup = status->Workgroup();
                            if ((name && !name->empty()) || (workgroup && !workgroup->empty())) {
                                found({address, NameOrigin::NodeStatus, name.value_or(""),
                                       workgroup.value_or("")});
                            }
                            return Reply::Settles;
                        },
                        NothingListens});
        }
        const std::string reverse = dns::ReverseName(address);
        if (!serverTargets.empty()) {
            const std::uint16_t id = NewQueryId();
            engine.Ask({dns::Query(id, reverse, dns::kTypePtr, dns::kFlagRecursionDesired),
                        serverTargets, timing_.ptr,
                        [&found, &servers, address, id, reverse](const Datagram& datagram) {
                            if (!IsFromAny(datagram, servers)) {
                                return Reply::NotMine;
                            }
                            const auto message = dns::Read(datagram.bytes, {id, true});
                            if (!message) {
                                return Reply::NotMine;
                            }
                            const auto target = dns::PointerOf(*message, reverse);
                            const std::string label = target ? FirstLabel(*target) : "";
                            if (label.empty()) {
                                // One server knowing nothing does not silence the others.
                                return Reply::Taken;
                            }
                            found({address, NameOrigin::Ptr, label, ""});
                            return Reply::Settles;
                        }});
        }
        const std::uint16_t id = NewQueryId();
        engine.Ask({dns::Query(id, reverse, dns::kTypePtr),
                    {{{address, kMdnsPort}, Ipv4{}}},
                    timing_.mdnsReverse,
                    [&found, address, id, reverse](const Datagram& datagram) {
                        if (!IsFrom(datagram, address, kMdnsPort)) {
                            return Reply::NotMine;
                        }
                        const auto target = PointerAnswer(datagram, id, reverse);
                        if (!target) {
                            return Reply::NotMine;
                        }
                        const std::string label = FirstLabel(*target);
                        if (!label.empty()) {
                            found({address, NameOrigin::MdnsReverse, label, ""});
                        }
                        return Reply::Settles;
                    },
                    NothingListens});
    }
    engine.Run();
}

} // namespace vexor
