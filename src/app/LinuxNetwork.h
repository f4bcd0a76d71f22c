#pragma once

#include "backends/posix/PosixNameResolver.h"
#include "core/discovery/MergedNetwork.h"

#include <memory>

namespace vexor {

// The network neighbourhood on Linux: the SMB browse list (libsmbclient),
// WS-Discovery and DNS-SD (Avahi), and with `sweep` the sweep of the local
// subnets, merged into one walk; every address they learn goes to
// `resolver`'s learnt addresses, and every name they report starts resolving
// at once.
std::unique_ptr<MergedNetwork> MakeLinuxNetwork(std::shared_ptr<PosixNameResolver> resolver,
                                                bool sweep = true);

} // namespace vexor
