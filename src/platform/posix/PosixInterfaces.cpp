#include "PosixInterfaces.h"

#include "platform/common/SocketAddress.h"
#include "platform/common/UniqueHandle.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace vexor {
namespace {

constexpr std::uint16_t kNetbiosNamePort = 137;
constexpr std::uint16_t kMdnsPort = 5353;
constexpr Ipv4 kMdnsGroup{224, 0, 0, 251};

// The interface's broadcast address. An address added without one ("ip addr add
// A/24" names none) still broadcasts to its subnet's all-ones address; glibc then
// reports the interface's own address in the broadcast field.
Ipv4 BroadcastAddress(const ifaddrs& entry) {
    constexpr Ipv4 kNone{};
    Ipv4 address = AddressOf(entry.ifa_addr);
    if (entry.ifa_broadaddr != nullptr && entry.ifa_broadaddr->sa_family == AF_INET) {
        if (const Ipv4 given = AddressOf(entry.ifa_broadaddr); given != kNone && given != address) {
            return given;
        }
    }
    const Ipv4 mask = entry.ifa_netmask != nullptr ? AddressOf(entry.ifa_netmask) : Ipv4{};
    for (std::size_t i = 0; i < address.size(); ++i) {
        address[i] = static_cast<std::uint8_t>(address[i] | ~mask[i]);
    }
    return address;
}

} // namespace

LinkTargets InterfaceTargets() {
    LinkTargets targets;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return targets;
    }
    const UniqueHandle<ifaddrs, freeifaddrs> list(raw);
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        if ((entry->ifa_flags & IFF_BROADCAST) != 0) {
            targets.netbios.push_back({{BroadcastAddress(*entry), kNetbiosNamePort}, Ipv4{}});
        }
        if ((entry->ifa_flags & IFF_MULTICAST) != 0) {
            targets.mdns.push_back({{kMdnsGroup, kMdnsPort}, AddressOf(entry->ifa_addr)});
        }
    }
    return targets;
}

std::vector<Ipv4> MulticastInterfaces() {
    std::vector<Ipv4> addresses;
    for (const auto& target : InterfaceTargets().mdns) {
        addresses.push_back(target.via);
    }
    return addresses;
}

} // namespace vexor
