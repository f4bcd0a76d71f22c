#include "SweepPlan.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace vexor {
namespace {

std::uint32_t ToNumber(const Ipv4& address) {
    return std::uint32_t{address[0]} << 24 | std::uint32_t{address[1]} << 16 |
           std::uint32_t{address[2]} << 8 | std::uint32_t{address[3]};
}

Ipv4 ToAddress(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number >> 24), static_cast<std::uint8_t>(number >> 16),
            static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)};
}

std::uint32_t MaskOf(std::uint8_t prefixLength) {
    return prefixLength == 0 ? 0 : ~std::uint32_t{0} << (32 - std::min<int>(prefixLength, 32));
}

bool Within(const Ipv4& address, std::uint32_t network, std::uint8_t prefixLength) {
    return (ToNumber(address) & MaskOf(prefixLength)) == network;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The bridges and virtual links that container and virtual-machine software
// makes on Linux for its own guests.
constexpr std::array<std::string_view, 13> kGuestBridgePrefixes{
    "docker", "br-",   "virbr",   "lxcbr", "lxdbr", "cni",        "flannel",
    "podman", "vmnet", "vboxnet", "cali",  "weave", "kube-bridge"};

bool IsGuestBridgeName(std::string_view name) {
    return std::any_of(kGuestBridgePrefixes.begin(), kGuestBridgePrefixes.end(),
                       [name](std::string_view prefix) { return StartsWith(name, prefix); });
}

// Windows adapters of hypervisors, which say so in their description.
constexpr std::array<std::string_view, 3> kVirtualAdapterDescriptions{
    "Hyper-V Virtual", "VirtualBox Host-Only", "VMware Virtual Ethernet"};

constexpr std::uint32_t kIfTypeEthernet = 6;
constexpr std::uint32_t kIfTypeWifi = 71;

bool IsGuestLink(const LocalInterface& local) {
    if (local.ifType) {
        if (*local.ifType != kIfTypeEthernet && *local.ifType != kIfTypeWifi) {
            return true;
        }
        return std::any_of(kVirtualAdapterDescriptions.begin(), kVirtualAdapterDescriptions.end(),
                           [&local](std::string_view virtualAdapter) {
                               return ContainsIgnoringCase(local.description, virtualAdapter);
                           });
    }
    return IsGuestBridgeName(local.name) || IsGuestBridgeName(local.master);
}

// An interface on whose link a datagram to each address finds its neighbours.
bool IsBroadcastLink(const LocalInterface& local) {
    return local.up && local.carrier && local.broadcast && !local.noArp && !local.pointToPoint &&
           !local.loopback && !IsGuestLink(local);
}

bool IsPrivate(const Ipv4& address) {
    return address[0] == 10 || (address[0] == 172 && (address[1] & 0xF0) == 16) ||
           (address[0] == 192 && address[1] == 168);
}

bool IsLinkLocal(const Ipv4& address) {
    return address[0] == 169 && address[1] == 254;
}

bool IsUnicastLinkAddress(const std::vector<std::uint8_t>& link) {
    const auto zero = [](std::uint8_t byte) { return byte == 0; };
    const auto ones = [](std::uint8_t byte) { return byte == 0xFF; };
    return !link.empty() && !std::all_of(link.begin(), link.end(), zero) &&
           !std::all_of(link.begin(), link.end(), ones) && (link.front() & 0x01) == 0;
}

// A host address of the subnet: neither its network nor its broadcast address
// (a /31 has neither, RFC 3021).
bool IsHostOf(const Ipv4& address, const PlannedSubnet& subnet) {
    const std::uint32_t mask = MaskOf(subnet.prefixLength);
    const std::uint32_t network = ToNumber(subnet.own) & mask;
    if (!Within(address, network, subnet.prefixLength)) {
        return false;
    }
    if (subnet.prefixLength >= 31) {
        return true;
    }
    const std::uint32_t number = ToNumber(address);
    return number != network && number != (network | ~mask);
}

} // namespace

bool IsSweptInterface(const LocalInterface& local) {
    return IsBroadcastLink(local) && IsPrivate(local.address) && local.prefixLength <= 31;
}

bool IsReadOnlyInterface(const LocalInterface& local) {
    return IsBroadcastLink(local) && IsLinkLocal(local.address) && local.prefixLength <= 31;
}

SweepPlan PlanSweep(const std::vector<LocalInterface>& interfaces,
                    const std::vector<NeighbourEntry>& table, std::size_t limit) {
    SweepPlan plan;
    for (const auto& local : interfaces) {
        plan.own.insert(local.address);
    }
    std::set<Ipv4> known;
    for (const auto& entry : table) {
        known.insert(entry.address);
    }
    std::size_t room = limit > table.size() ? limit - table.size() : 0;
    std::set<Ipv4> planned;
    for (const auto& local : interfaces) {
        const bool swept = IsSweptInterface(local);
        if (!swept && !IsReadOnlyInterface(local)) {
            continue;
        }
        const PlannedSubnet subnet{local.index, local.address, local.prefixLength, swept};
        plan.subnets.push_back(subnet);
        if (!swept) {
            continue;
        }
        const std::uint8_t block = std::max(local.prefixLength, kWidestSweptPrefix);
        const std::uint32_t first = ToNumber(local.address) & MaskOf(block);
        const std::uint32_t last = first | ~MaskOf(block);
        for (std::uint32_t number = first;; ++number) {
            const Ipv4 address = ToAddress(number);
            if (IsHostOf(address, subnet) && !plan.own.contains(address) &&
                !planned.contains(address)) {
                const bool fresh = !known.contains(address);
                if (!fresh || room > 0) {
                    room -= fresh ? 1 : 0;
                    planned.insert(address);
                    plan.targets.push_back(address);
                }
            }
            if (number == last) {
                break;
            }
        }
    }
    return plan;
}

bool IsLiveNeighbour(const NeighbourEntry& entry, const SweepPlan& plan,
                     const std::set<Ipv4>& answered) {
    const bool onSubnet =
        std::any_of(plan.subnets.begin(), plan.subnets.end(), [&entry](const PlannedSubnet& s) {
            return s.interfaceIndex == entry.interfaceIndex && IsHostOf(entry.address, s);
        });
    if (!onSubnet || plan.own.contains(entry.address) || !IsUnicastLinkAddress(entry.linkAddress)) {
        return false;
    }
    switch (entry.state) {
    case NeighbourState::Incomplete:
    case NeighbourState::Failed:
    case NeighbourState::NoArp:
        return false;
    case NeighbourState::Reachable:
        return true;
    default:
        return (entry.confirmedAgo && *entry.confirmedAgo <= kRecentlyConfirmed) ||
               answered.contains(entry.address);
    }
}

std::vector<Ipv4> LiveNeighbours(const std::vector<NeighbourEntry>& table, const SweepPlan& plan,
                                 const std::set<Ipv4>& answered) {
    std::vector<Ipv4> live;
    std::set<Ipv4> seen;
    for (const auto& entry : table) {
        if (IsLiveNeighbour(entry, plan, answered) && seen.insert(entry.address).second) {
            live.push_back(entry.address);
        }
    }
    return live;
}

} // namespace vexor
