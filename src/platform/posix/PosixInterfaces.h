#pragma once

#include "discovery/LinkNameQuery.h"
#include "platform/api/DiscoverySeams.h"

#include <vector>

namespace vexor {

// The local link's name targets of this machine's interfaces, read afresh on
// each call: the broadcast address of every up, non-loopback IPv4 interface on
// port 137, and the mDNS group on port 5353 out of each of those interfaces.
LinkTargets InterfaceTargets();

// The addresses of the up, non-loopback, multicast-capable IPv4 interfaces.
std::vector<Ipv4> MulticastInterfaces();

} // namespace vexor
