#pragma once

#include "discovery/MergedNetwork.h"
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
// address, reporting each machine to `found` as it resolves. Ends when the
// daemon has reported all it knows for now, or once the answers have settled,
// or at `deadline`. Where no daemon runs, nothing.
void BrowseDnsSd(const FoundSink& found, std::chrono::steady_clock::time_point deadline);

// DNS-SD through avahi-daemon as a source of the merged neighbourhood.
class AvahiDnsSdSource : public INeighbourhoodSource {
  public:
    void Find(const FoundSink& found, std::chrono::steady_clock::time_point deadline) override {
        BrowseDnsSd(found, deadline);
    }
};

} // namespace vexor
