#pragma once

#include "discovery/NameAnswerCache.h"
#include "discovery/Neighbourhood.h"

#include <chrono>
#include <vector>

namespace vexor {

// The service types whose hosts are machines of the neighbourhood: SMB servers
// (NAS boxes, Samba with Avahi), workstations and devices that describe
// themselves (macOS, Linux desktops).
inline constexpr const char* kDnsSdMachineTypes[] = {"_smb._tcp", "_workstation._tcp",
                                                     "_device-info._tcp"};

// Browses those types in the local domain through the system's mDNS daemon
// (avahi-daemon over D-Bus) and resolves each service to its host name and IPv4
// address, until the daemon has reported all it knows for now and the resolves
// have ended, or `limit` has passed. Where no daemon runs, nothing. Addresses go
// into `learnt`.
std::vector<FoundMachine>
BrowseDnsSd(NameAnswerCache& learnt,
            std::chrono::milliseconds limit = std::chrono::milliseconds(1300));

} // namespace vexor
