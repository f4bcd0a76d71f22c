#pragma once

#include "seams/NeighbourTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexor {

// The kernel's IPv4 neighbour table, dumped over an rtnetlink socket
// (RTM_GETNEIGH), which needs no privilege; nothing when it cannot be read.
std::optional<std::vector<NeighbourEntry>> ReadNetlinkNeighbours();

// Adds the neighbours of the rtnetlink messages in `bytes` (one datagram of a
// dump) to `entries`, at most `room` of them; true when the dump ended with
// this datagram (NLMSG_DONE or an error). `ticksPerSecond` is the unit of the
// cache-info ages (USER_HZ).
bool ReadNeighbourMessages(std::span<const std::uint8_t> bytes, long ticksPerSecond,
                           std::size_t room, std::vector<NeighbourEntry>& entries);

} // namespace vexor
