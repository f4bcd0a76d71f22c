#pragma once

#include "seams/DiscoverySeams.h"

#include <memory>

namespace vexor {

// A UDP socket over BSD sockets for the discovery seam, bound to an ephemeral
// port on first use, allowed to broadcast; nothing when none can be had.
std::unique_ptr<IDatagramSocket> OpenPosixDatagramSocket();

} // namespace vexor
