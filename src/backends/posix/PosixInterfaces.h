#pragma once

#include "core/discovery/LinkNameQuery.h"
#include "seams/DiscoverySeams.h"
#include "seams/NeighbourTable.h"

#include <vector>

namespace vexor {

// The local link's name targets of this machine's interfaces, read afresh on
// each call: the broadcast address of every up, non-loopback IPv4 interface on
// port 137, and the mDNS group on port 5353 out of each of those interfaces.
LinkTargets InterfaceTargets();

// The addresses of the up, non-loopback, multicast-capable IPv4 interfaces.
std::vector<Ipv4> MulticastInterfaces();

// Every IPv4 address of every interface, in the system's order, with the
// interface's flags and the bridge it is enslaved to (from sysfs).
std::vector<LocalInterface> LocalInterfaces();

} // namespace vexor
