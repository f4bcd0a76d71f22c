#pragma once

#include "discovery/NameAnswerCache.h"
#include "platform/NetworkEnumeration.h"

#include <memory>

namespace vexor::win32 {

// The network neighbourhood on Windows: WNet's browse list and WS-Discovery
// merged into one walk (and DNS-SD where the system has DnsServiceBrowse);
// shares are read through WNet. Addresses learnt go into `learnt`.
std::unique_ptr<INetworkEnumeration> MakeWin32Network(std::shared_ptr<NameAnswerCache> learnt);

} // namespace vexor::win32
