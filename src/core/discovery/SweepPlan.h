#pragma once

#include "seams/NeighbourTable.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace vexor {

// Whether the sweep sends to the subnet of `local`: an IPv4 address of an
// interface that is up, has a carrier, broadcasts and uses ARP, is neither
// point-to-point nor loopback, is no container or virtual-machine bridge the
// system made for itself (Linux: docker*, br-*, virbr* and the like, and
// interfaces enslaved to one; Windows: adapters neither Ethernet nor Wi-Fi,
// and Hyper-V's and other hypervisors' virtual adapters), in a private subnet
// (10/8, 172.16/12, 192.168/16).
bool IsSweptInterface(const LocalInterface& local);

// Whether the neighbour entries of `local`'s subnet are read though nothing is
// sent there: the same interfaces, with a link-local (169.254/16) address.
bool IsReadOnlyInterface(const LocalInterface& local);

// One directly connected subnet whose neighbours count.
struct PlannedSubnet {
    std::uint32_t interfaceIndex = 0;
    // The interface's own address and the subnet's real prefix.
    Ipv4 own{};
    std::uint8_t prefixLength = 32;
    // False for a link-local subnet, read but not swept.
    bool swept = true;
};

struct SweepPlan {
    std::vector<PlannedSubnet> subnets;
    // The addresses to send one datagram each, in order.
    std::vector<Ipv4> targets;
    // Every address of the machine itself.
    std::set<Ipv4> own;
};

// At most this many addresses that the neighbour table does not hold yet are
// swept in one refresh: each one takes an entry of the table (Linux refuses
// new entries past 1,024) for about 3 s while it stays unanswered.
constexpr std::size_t kSweepNewAddressLimit = 512;
// A subnet wider than this is swept as the aligned block of this prefix that
// holds the machine's own address.
constexpr std::uint8_t kWidestSweptPrefix = 23;

// The sweep of `interfaces` (in the system's order) given the neighbour table
// `table`: each swept subnet's addresses except its network and broadcast
// addresses and the machine's own; addresses the table does not hold yet
// count against `limit` less the table's size, shared by the interfaces in
// order.
SweepPlan PlanSweep(const std::vector<LocalInterface>& interfaces,
                    const std::vector<NeighbourEntry>& table,
                    std::size_t limit = kSweepNewAddressLimit);

// An entry confirmed within this long is of a machine that is still there.
constexpr std::chrono::seconds kRecentlyConfirmed{60};

// Whether `entry` is a live machine of a subnet of `plan`: a unicast address of
// the subnet (not its network or broadcast address, not the machine's own), on
// that subnet's interface, with a unicast, non-zero link-layer address, whose
// entry is reachable, was confirmed within kRecentlyConfirmed, or which
// answered something in this refresh (`answered`).
bool IsLiveNeighbour(const NeighbourEntry& entry, const SweepPlan& plan,
                     const std::set<Ipv4>& answered);

// The addresses of `table`'s live machines (see IsLiveNeighbour), each once,
// in table order.
std::vector<Ipv4> LiveNeighbours(const std::vector<NeighbourEntry>& table, const SweepPlan& plan,
                                 const std::set<Ipv4>& answered);

} // namespace vexor
