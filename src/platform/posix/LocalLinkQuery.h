#pragma once

#include "PosixInterfaces.h"
#include "discovery/HostName.h"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexor {

struct LocalLinkTiming {
    int tries = 3;
    std::chrono::milliseconds interval{250};
};

// Asks the local link for the address of `name`: a NetBIOS broadcast query (when
// NetBIOS can carry the name and it does not end in ".local") and an mDNS query
// for "NAME.local" at the same time, each repeated `tries` times `interval`
// apart. The first positive answer wins; nothing after tries × interval without
// one. Replies from a port other than the one asked are not answers.
std::vector<Ipv4> QueryLocalLink(std::string_view name, const LocalLinkTargets& targets,
                                 const LocalLinkTiming& timing = {});

} // namespace vexor
