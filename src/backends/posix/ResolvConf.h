#pragma once

#include "seams/Ipv4.h"

#include <string_view>
#include <vector>

namespace vexor {

// The IPv4 addresses of the "nameserver" lines of a resolv.conf text, in
// order, each once (IPv6 servers and malformed lines skipped).
std::vector<Ipv4> ParseNameservers(std::string_view text);

// The DNS servers /etc/resolv.conf names, read afresh on each call.
std::vector<Ipv4> ResolvConfServers();

} // namespace vexor
