#pragma once

#include "PosixNameResolver.h"
#include "platform/NetworkEnumeration.h"

#include <memory>

namespace vexor {

// The network neighbourhood on Linux: the SMB browse list (libsmbclient),
// WS-Discovery and DNS-SD (Avahi), merged into one walk; every address they
// learn goes to `resolver`'s learnt addresses.
std::unique_ptr<INetworkEnumeration> MakeLinuxNetwork(std::shared_ptr<PosixNameResolver> resolver);

} // namespace vexor
