#pragma once

#include "seams/NeighbourTable.h"

#include <vector>

namespace vexor {

// The addresses of the interfaces that multicast discovery goes out of: up,
// able to multicast, and neither a loopback interface nor a loopback address.
std::vector<Ipv4> MulticastAddresses(const std::vector<LocalInterface>& interfaces);

} // namespace vexor
