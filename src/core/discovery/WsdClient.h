#pragma once

#include "MergedNetwork.h"
#include "Neighbourhood.h"
#include "ProtocolSource.h"
#include "QueryEngine.h"
#include "seams/DiscoverySeams.h"

#include <chrono>
#include <vector>

namespace vexor {

struct WsdTiming {
    // When a Probe or a Resolve is sent and how long its answers are awaited
    // (see schedules::kWsDiscovery); a Resolve whose answer came before its
    // repeat is not repeated.
    QuerySchedule schedule = schedules::kWsDiscovery;
    // The limit of each metadata Get, within the deadline.
    std::chrono::milliseconds getLimit{700};
    // Gets made at the same time.
    std::size_t parallelGets = 16;
    // Devices taken from all senders together, for a network of many honest
    // hosts; no single sender can reach it.
    std::size_t maxDevices = 256;
    // Distinct devices taken from one sender, in the order they came: a
    // sender that announces more is followed no further, so that it costs
    // the link no more Resolves and Gets than an honest host with many.
    std::size_t perSender = 32;
    // Message ids remembered, as digests, to pass over repeated replies.
    std::size_t seenMessages = 4096;
};

// Finds the computers that answer WS-Discovery on every interface: a Probe for
// devices, a Resolve for each match that gave no address, and each device's
// metadata, fetched as soon as its address is known and read for the computer
// it hosts. Devices that host no computer (printers, media players) are left
// out. Each computer goes to `found` (from several threads) with the address
// its messages came from. Returns once every answer the protocol allows for
// has had its time, or at `deadline`.
void DiscoverWsdComputers(const DiscoverySeams& seams, const FoundSink& found,
                          std::chrono::steady_clock::time_point deadline,
                          const WsdTiming& timing = {});

// WS-Discovery as a source of the merged neighbourhood.
using WsdSource = ProtocolSource<WsdTiming, DiscoverWsdComputers>;

} // namespace vexor
