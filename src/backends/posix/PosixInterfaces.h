#pragma once

#include "seams/DiscoverySeams.h"
#include "seams/NeighbourTable.h"

#include <vector>

namespace vexor {

// The addresses that multicast discovery goes out of (MulticastAddresses of
// LocalInterfaces), read afresh on each call.
std::vector<Ipv4> MulticastInterfaces();

// Every IPv4 address of every interface, in the system's order, with the
// interface's flags and the bridge it is enslaved to (from sysfs): the one
// walk of the system's interfaces that every other view is read from.
std::vector<LocalInterface> LocalInterfaces();

} // namespace vexor
