#pragma once

#include "MergedNetwork.h"
#include "Neighbourhood.h"
#include "ProtocolSource.h"
#include "seams/DiscoverySeams.h"

#include <chrono>

namespace vexor {

struct SsdpTiming {
    // HTTPU is UDP and either copy may be lost, so the M-SEARCH is sent on
    // every interface at 0 and again at 100 ms, and answers are collected until
    // MX (1 s, the least the UPnP Device Architecture allows) after the first
    // send: every device answers within MX of each copy it reads, so by then
    // each has answered one, and waiting MX after the repeat as well would hold
    // every refresh 100 ms longer for answers already had. Descriptions are
    // fetched as answers come, each ending by the deadline.
    std::chrono::milliseconds repeatDelay{100};
    int maxWaitSeconds = 1;
    // The limit of one description's fetch: a device that trickles one
    // description delays the name of its next one by no more than this.
    std::chrono::milliseconds getLimit{500};
    std::size_t descriptionsPerSender = 8;
    std::size_t parallelGets = 16;
    // Senders handled; a network that answers from more is cut here.
    std::size_t maxSenders = 256;
};

// The most a device description may hold.
constexpr std::size_t kMaxDescriptionBytes = 64 * 1024;

// Finds the UPnP devices (routers, media servers, printers, TVs) that answer
// an SSDP M-SEARCH for everything on every interface, and names each answering
// address by the friendlyName of the first root device, in answer order, whose
// description gives one. Descriptions are fetched only from the address the
// answer came from, at most `descriptionsPerSender` of them. Each address goes
// to `found` once (from several threads), with an empty name when no
// description named it. A fetch that overruns its limit counts as failed, so
// a backend held by a trickling peer delays no report past it (its return
// waits for that fetch, as a source may; the reports do not).
void DiscoverSsdpDevices(const DiscoverySeams& seams, const FoundSink& found,
                         std::chrono::steady_clock::time_point deadline,
                         const SsdpTiming& timing = {});

// SSDP as a source of the merged neighbourhood.
using SsdpSource = ProtocolSource<SsdpTiming, DiscoverSsdpDevices>;

} // namespace vexor
