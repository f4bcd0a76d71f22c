#pragma once

#include "platform/api/Ipv4.h"

#include <vector>

namespace vexor::win32 {

// The IPv4 addresses of the adapters that are up, are not loopback and take
// multicast, as GetAdaptersAddresses lists them.
std::vector<Ipv4> AdapterAddresses();

} // namespace vexor::win32
