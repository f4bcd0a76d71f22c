#pragma once

#include "seams/DiscoverySeams.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace vexor {

// The socket address of an IPv4 endpoint, as sendto and bind take it.
inline sockaddr_in SocketAddressOf(const UdpEndpoint& endpoint) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    std::memcpy(&address.sin_addr, endpoint.address.data(), 4);
    return address;
}

// The IPv4 endpoint of a socket address that recvfrom filled.
inline UdpEndpoint EndpointOf(const sockaddr_in& address) {
    UdpEndpoint endpoint;
    std::memcpy(endpoint.address.data(), &address.sin_addr, 4);
    endpoint.port = ntohs(address.sin_port);
    return endpoint;
}

// The address of an AF_INET socket address that a system list holds
// (getaddrinfo, getifaddrs, GetAdaptersAddresses).
inline Ipv4 AddressOf(const sockaddr* address) {
    Ipv4 bytes{};
    std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, 4);
    return bytes;
}

} // namespace vexor
