#pragma once

#include "Ipv4.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexor {

// One IPv4 address of one interface, with what the subnet sweep needs to know
// of the interface. Both systems fill it: Linux from getifaddrs and sysfs,
// Windows from GetAdaptersAddresses.
struct LocalInterface {
    std::string name;
    // Windows: the adapter's description ("Hyper-V Virtual Ethernet Adapter").
    std::string description;
    std::uint32_t index = 0;
    Ipv4 address{};
    std::uint8_t prefixLength = 32;
    bool up = false;
    // Linux IFF_RUNNING; Windows an operational status of up.
    bool carrier = false;
    bool broadcast = false;
    bool noArp = false;
    bool pointToPoint = false;
    bool loopback = false;
    bool multicast = false;
    // Where the subnet's broadcasts go: the interface's own setting on Linux,
    // the all-ones address of the subnet on Windows.
    Ipv4 broadcastAddress{};
    // Linux: the bridge (or bond) the interface is enslaved to, if any.
    std::string master;
    // Windows: the adapter's IfType (6 Ethernet, 71 Wi-Fi); nothing on Linux.
    std::optional<std::uint32_t> ifType;
};

// The states of a neighbour entry, shared by Linux's NUD_* and Windows'
// NL_NEIGHBOR_STATE.
enum class NeighbourState { Incomplete, Reachable, Stale, Delay, Probe, Failed, NoArp, Permanent };

// One entry of the kernel's IPv4 neighbour (ARP) table.
struct NeighbourEntry {
    Ipv4 address{};
    std::uint32_t interfaceIndex = 0;
    NeighbourState state = NeighbourState::Incomplete;
    // The link-layer address; empty when the entry has none.
    std::vector<std::uint8_t> linkAddress;
    // How long ago the neighbour last proved it was there; nothing when the
    // system does not say.
    std::optional<std::chrono::milliseconds> confirmedAgo;
};

// The system services the subnet sweep reads.
struct NeighbourSeams {
    // Every IPv4 address of every interface, in the system's order.
    std::function<std::vector<LocalInterface>()> interfaces;
    // The IPv4 neighbour table; nothing when it cannot be read.
    std::function<std::optional<std::vector<NeighbourEntry>>()> neighbours;
};

} // namespace vexor
