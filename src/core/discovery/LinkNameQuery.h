#pragma once

#include "QueryEngine.h"
#include "base/OemCodePage.h"
#include "seams/Clock.h"
#include "seams/DiscoverySeams.h"
#include "seams/NeighbourTable.h"

#include <string_view>
#include <vector>

namespace vexor {

// Where the local link's name questions go: NetBIOS name queries to each
// interface's broadcast address on port 137, mDNS questions to the group on
// port 5353 out of each interface.
struct LinkTargets {
    std::vector<QueryTarget> netbios;
    std::vector<QueryTarget> mdns;
};

// The targets of the up, non-loopback interfaces: each one's broadcast address
// on port 137 where it broadcasts, the mDNS group on port 5353 out of it where
// it multicasts.
LinkTargets LinkTargetsOf(const std::vector<LocalInterface>& interfaces);

// Asks the local link for the address of `name` through the query engine: a
// NetBIOS broadcast name query (when NetBIOS can carry the name in `codePage`
// and it is not in ".local") and an mDNS question for "NAME.local" (legacy
// unicast: from an ephemeral port), each on its schedule. The first positive
// answer wins; a negative NetBIOS answer ends only that question. Replies from
// a port other than the one asked are not answers. Nothing when every question
// is given up, or at `deadline`.
std::vector<Ipv4> QueryLinkName(IDatagramSocket& socket, const IClock& clock, std::string_view name,
                                const LinkTargets& targets, SteadyTime deadline,
                                const IOemCodePage& codePage);

} // namespace vexor
