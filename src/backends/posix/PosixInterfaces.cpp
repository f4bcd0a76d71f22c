#include "PosixInterfaces.h"

#include "base/InterfaceAddresses.h"
#include "base/SocketAddress.h"
#include "base/UniqueHandle.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <bit>
#include <filesystem>
#include <string>

namespace vexor {
namespace {

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

std::uint8_t PrefixLength(const ifaddrs& entry) {
    if (entry.ifa_netmask == nullptr) {
        return 32;
    }
    const Ipv4 mask = AddressOf(entry.ifa_netmask);
    int length = 0;
    for (const std::uint8_t byte : mask) {
        length += std::popcount(byte);
    }
    return static_cast<std::uint8_t>(length);
}

// The bridge or bond `device` is enslaved to, as sysfs links it; empty when none.
std::string MasterOf(const std::string& device) {
    std::error_code error;
    const auto target =
        std::filesystem::read_symlink("/sys/class/net/" + device + "/master", error);
    return error ? std::string() : target.filename().string();
}

} // namespace

std::vector<LocalInterface> LocalInterfaces() {
    std::vector<LocalInterface> interfaces;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return interfaces;
    }
    const UniqueHandle<ifaddrs, freeifaddrs> list(raw);
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            entry->ifa_name == nullptr) {
            continue;
        }
        LocalInterface local;
        local.name = entry->ifa_name;
        // An address's label ("eth0:1") names its device before the colon.
        const std::string device = local.name.substr(0, local.name.find(':'));
        local.index = if_nametoindex(device.c_str());
        local.address = AddressOf(entry->ifa_addr);
        local.prefixLength = PrefixLength(*entry);
        const unsigned flags = entry->ifa_flags;
        local.up = (flags & IFF_UP) != 0;
        local.carrier = (flags & IFF_RUNNING) != 0;
        local.broadcast = (flags & IFF_BROADCAST) != 0;
        local.noArp = (flags & IFF_NOARP) != 0;
        local.pointToPoint = (flags & IFF_POINTOPOINT) != 0;
        local.loopback = (flags & IFF_LOOPBACK) != 0;
        local.multicast = (flags & IFF_MULTICAST) != 0;
        local.broadcastAddress = BroadcastAddress(*entry);
        local.master = MasterOf(device);
        interfaces.push_back(std::move(local));
    }
    return interfaces;
}

std::vector<Ipv4> MulticastInterfaces() {
    return MulticastAddresses(LocalInterfaces());
}

} // namespace vexor
