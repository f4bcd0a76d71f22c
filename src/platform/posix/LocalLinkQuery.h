#pragma once

#include "discovery/HostName.h"

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vexor {

// Where the name queries go. On a real machine: the broadcast address of every
// up, non-loopback IPv4 interface on port 137, and the mDNS group on port 5353
// out of each of those interfaces. Tests point them at responders on loopback.
struct LocalLinkTargets {
    struct Endpoint {
        Ipv4 address{};
        std::uint16_t port = 0;
    };
    struct Multicast {
        Ipv4 interfaceAddress{};
        Endpoint group;
    };
    std::vector<Endpoint> netbios;
    std::vector<Multicast> mdns;
};

struct LocalLinkTiming {
    int tries = 3;
    std::chrono::milliseconds interval{250};
};

// The targets of this machine's interfaces, read afresh on each call.
LocalLinkTargets InterfaceTargets();

// Asks the local link for the address of `name`: a NetBIOS broadcast query (when
// NetBIOS can carry the name and it does not end in ".local") and an mDNS query
// for "NAME.local" at the same time, each repeated `tries` times `interval`
// apart. The first positive answer wins; nothing after tries × interval without
// one. Replies from a port other than the one asked are not answers.
std::vector<Ipv4> QueryLocalLink(std::string_view name, const LocalLinkTargets& targets,
                                 const LocalLinkTiming& timing = {});

} // namespace vexor
