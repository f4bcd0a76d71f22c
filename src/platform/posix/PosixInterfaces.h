#pragma once

#include "platform/api/DiscoverySeams.h"
#include "platform/api/NeighbourTable.h"

#include <vector>

namespace vexor {

// Where the local link's name queries go. On a real machine: the broadcast
// address of every up, non-loopback IPv4 interface on port 137, and the mDNS
// group on port 5353 out of each of those interfaces. Tests point them at
// responders on loopback.
struct LocalLinkTargets {
    struct Multicast {
        Ipv4 interfaceAddress{};
        UdpEndpoint group;
    };
    std::vector<UdpEndpoint> netbios;
    std::vector<Multicast> mdns;
};

// The targets of this machine's interfaces, read afresh on each call.
LocalLinkTargets InterfaceTargets();

// The addresses of the up, non-loopback, multicast-capable IPv4 interfaces.
std::vector<Ipv4> MulticastInterfaces();

// Every IPv4 address of every interface, in the system's order, with the
// interface's flags and the bridge it is enslaved to (from sysfs).
std::vector<LocalInterface> LocalInterfaces();

} // namespace vexor
