#pragma once

#include "core/discovery/MergedNetwork.h"
#include "core/discovery/NameChain.h"

#include <memory>

namespace vexor {

// How Linux finds a machine's address as Windows does: the addresses this
// refresh's sources found, the system resolver, then the local link (NetBIOS
// names in CP850, and mDNS) from a socket of each lookup's own.
std::shared_ptr<NameChain> MakeLinuxNames();

// The network neighbourhood on Linux: the SMB browse list (libsmbclient),
// WS-Discovery and DNS-SD (Avahi), and with `sweep` the sweep of the local
// subnets, merged into one walk; every address they learn goes to
// `names`' learnt addresses, and every name they report starts resolving at
// once.
std::unique_ptr<MergedNetwork> MakeLinuxNetwork(std::shared_ptr<NameChain> names,
                                                bool sweep = true);

} // namespace vexor
