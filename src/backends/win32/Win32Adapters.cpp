#include "Win32Adapters.h"

// Winsock 2's headers must come before windows.h and iphlpapi.h.
#include "base/InterfaceAddresses.h"
#include "base/SocketAddress.h"

#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <windows.h>

#include "WinText.h"

#include <algorithm>
#include <cstdint>

namespace vexor::win32 {
namespace {

// The IPv4 adapters as GetAdaptersAddresses lists them, in an aligned buffer
// that the list's pointers point into; empty when it fails.
std::vector<std::uint64_t> AdapterList(ULONG flags = GAA_FLAG_SKIP_DNS_SERVER) {
    ULONG size = 16 * 1024;
    std::vector<std::uint64_t> storage;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        storage.assign(size / sizeof(std::uint64_t) + 1, 0);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | flags, nullptr,
            reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()), &size);
    }
    if (result != NO_ERROR) {
        storage.clear();
    }
    return storage;
}

const IP_ADAPTER_ADDRESSES* FirstAdapter(const std::vector<std::uint64_t>& list) {
    return list.empty() ? nullptr : reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(list.data());
}

} // namespace

std::vector<LocalInterface> AdapterInterfaces() {
    const auto list = AdapterList();
    std::vector<LocalInterface> interfaces;
    for (const auto* adapter = FirstAdapter(list); adapter != nullptr; adapter = adapter->Next) {
        for (const auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            LocalInterface local;
            local.name = adapter->FriendlyName != nullptr ? WideToUtf8(adapter->FriendlyName) : "";
            local.description =
                adapter->Description != nullptr ? WideToUtf8(adapter->Description) : "";
            local.index = adapter->IfIndex;
            local.address = AddressOf(address);
            local.prefixLength = unicast->OnLinkPrefixLength;
            local.up = local.carrier = adapter->OperStatus == IfOperStatusUp;
            local.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            local.pointToPoint =
                adapter->IfType == IF_TYPE_PPP || adapter->IfType == IF_TYPE_TUNNEL;
            local.broadcast = !local.loopback && !local.pointToPoint;
            local.multicast = (adapter->Flags & IP_ADAPTER_NO_MULTICAST) == 0;
            local.broadcastAddress = local.address;
            for (std::size_t bit = local.prefixLength; bit < 32; ++bit) {
                local.broadcastAddress[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
            }
            local.ifType = adapter->IfType;
            interfaces.push_back(std::move(local));
        }
    }
    return interfaces;
}

std::vector<Ipv4> AdapterDnsServers() {
    const auto list = AdapterList(0);
    std::vector<Ipv4> servers;
    for (const auto* adapter = FirstAdapter(list); adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp) {
            continue;
        }
        for (const auto* server = adapter->FirstDnsServerAddress; server != nullptr;
             server = server->Next) {
            const sockaddr* address = server->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            const Ipv4 bytes = AddressOf(address);
            if (std::find(servers.begin(), servers.end(), bytes) == servers.end()) {
                servers.push_back(bytes);
            }
        }
    }
    return servers;
}

std::vector<Ipv4> AdapterAddresses() {
    return MulticastAddresses(AdapterInterfaces());
}

} // namespace vexor::win32
