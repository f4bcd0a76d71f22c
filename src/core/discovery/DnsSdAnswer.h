#pragma once

#include "Neighbourhood.h"

#include <optional>
#include <string_view>

namespace vexor {

// The machine that a resolved DNS-SD service names: its host (e.g.
// "nas-sala.local") with the address it resolved to. Nothing for a host name no
// list could show, or without an address.
std::optional<FoundMachine> DnsSdMachine(std::string_view hostName, const Ipv4& address);

} // namespace vexor
