#pragma once

#include "seams/DiscoverySeams.h"

#include <memory>

namespace vexor::win32 {

// A Winsock 2 UDP socket for the discovery seam, bound to an ephemeral port;
// Winsock is started for as long as it lives. Nothing when none can be had.
std::unique_ptr<IDatagramSocket> OpenWinsockDatagramSocket();

} // namespace vexor::win32
