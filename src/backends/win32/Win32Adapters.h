#pragma once

#include "seams/Ipv4.h"
#include "seams/NeighbourTable.h"

#include <vector>

namespace vexor::win32 {

// The IPv4 addresses of the adapters that are up, are not loopback and take
// multicast, as GetAdaptersAddresses lists them.
std::vector<Ipv4> AdapterAddresses();

// Every IPv4 address of every adapter, in the system's order, with the
// adapter's type, description and state.
std::vector<LocalInterface> AdapterInterfaces();

// The IPv4 DNS servers of the adapters that are up, in adapter order, each once.
std::vector<Ipv4> AdapterDnsServers();

} // namespace vexor::win32
