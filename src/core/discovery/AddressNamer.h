#pragma once

#include "AddressNaming.h"
#include "QueryEngine.h"
#include "base/OemCodePage.h"
#include "seams/DiscoverySeams.h"

#include <functional>
#include <vector>

namespace vexor {

// The system's DNS servers, read afresh on each call (resolv.conf on Linux,
// the adapters' DNS servers on Windows).
using DnsServerList = std::function<std::vector<Ipv4>()>;

// How long each question of the namer is asked.
struct NamerTiming {
    QuerySchedule nodeStatus = schedules::kNetbios;
    QuerySchedule ptr = schedules::kUnicastDns;
    QuerySchedule mdnsReverse = schedules::kMdns;
};

// Names addresses through the query engine, each call on a socket of its own:
// a NetBIOS node-status request to ADDRESS:137 (when asked), a PTR question
// for the address's in-addr.arpa name to each of the system's DNS servers
// (the first answer's first label, as the server wrote it), and the same
// question as a unicast mDNS query to ADDRESS:5353 (its first label, without
// ".local"). Each answer is reported as it arrives; nothing is reported for a
// question nobody answered with a name.
class AddressNamer : public IAddressNamer {
  public:
    AddressNamer(DiscoverySeams seams, DnsServerList dnsServers, const IOemCodePage& codePage,
                 NamerTiming timing = {});
    void Name(const std::vector<NamingRequest>& requests,
              std::chrono::steady_clock::time_point deadline,
              const AddressNameSink& found) override;

  private:
    DiscoverySeams seams_;
    DnsServerList dnsServers_;
    const IOemCodePage& codePage_;
    NamerTiming timing_;
};

// At most this many addresses are named in one call, and at most this many
// DNS servers asked (as many as resolv.conf takes).
constexpr std::size_t kMaxNamedAddresses = 1024;
constexpr std::size_t kMaxDnsServers = 3;

// The first label of a DNS name as written (up to the first dot); empty for
// an empty name.
std::string FirstLabel(std::string_view name);

} // namespace vexor
