#pragma once

#include "seams/NeighbourhoodSource.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// What a DNS-SD browse asks for and how a resolved service becomes a machine.
struct DnsSdBrowseRequest {
    std::vector<std::string> types;
    // The machine a service resolved on `hostName` at `address` names, if any.
    std::function<std::optional<FoundMachine>(std::string_view hostName, const Ipv4& address)>
        machineOf;
};

// Browses the request's types in the local domain through the system's mDNS
// daemon (avahi-daemon over D-Bus) and resolves each service to its host name
// and IPv4 address, reporting each machine to `found` as it resolves. Ends when
// the daemon has reported all it knows for now, or once the answers have
// settled, or at `deadline`. False when no daemon answers on the system bus.
bool BrowseDnsSd(const DnsSdBrowseRequest& request, const FoundSink& found,
                 std::chrono::steady_clock::time_point deadline);

} // namespace vexor
