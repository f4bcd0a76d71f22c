#include "Win32Adapters.h"

// Winsock 2's headers must come before windows.h and iphlpapi.h.
#include "platform/common/SocketAddress.h"

#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <windows.h>

#include <cstdint>

namespace vexor::win32 {

std::vector<Ipv4> AdapterAddresses() {
    ULONG size = 16 * 1024;
    std::vector<std::uint64_t> storage;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        storage.assign(size / sizeof(std::uint64_t) + 1, 0);
        result = GetAdaptersAddresses(
            AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data()), &size);
    }
    std::vector<Ipv4> addresses;
    if (result != NO_ERROR) {
        return addresses;
    }
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(storage.data());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK ||
            (adapter->Flags & IP_ADAPTER_NO_MULTICAST) != 0) {
            continue;
        }
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address != nullptr && address->sa_family == AF_INET) {
                const Ipv4 bytes = AddressOf(address);
                if (bytes[0] != 127) {
                    addresses.push_back(bytes);
                }
            }
        }
    }
    return addresses;
}

} // namespace vexor::win32
