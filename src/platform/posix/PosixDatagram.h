#pragma once

#include "platform/api/DiscoverySeams.h"

#include <memory>
#include <vector>

namespace vexor {

// A UDP socket over BSD sockets for the discovery seam; nothing when none can
// be had.
std::unique_ptr<IDatagramSocket> OpenPosixDatagramSocket();

// The addresses of the up, non-loopback, multicast-capable IPv4 interfaces.
std::vector<Ipv4> MulticastInterfaces();

} // namespace vexor
