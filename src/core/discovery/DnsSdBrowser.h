#pragma once

#include "MergedNetwork.h"
#include "Neighbourhood.h"
#include "ProtocolSource.h"
#include "QueryEngine.h"
#include "seams/DiscoverySeams.h"

#include <chrono>

namespace vexor {

// The service types whose hosts are machines of the neighbourhood: SMB servers
// (NAS boxes, Samba with Avahi), workstations and devices that describe
// themselves (macOS, Linux desktops).
inline constexpr const char* kDnsSdMachineTypes[] = {"_smb._tcp", "_workstation._tcp",
                                                     "_device-info._tcp"};

struct DnsSdTiming {
    // Each question's sends and answer window (see schedules::kDnsSd).
    QuerySchedule schedule = schedules::kDnsSd;
    // Distinct services taken from one sender, in the order they came: a
    // flooding host fills its own share and no other.
    std::size_t perSender = 32;
    // Services taken from all senders together, for a network of many
    // honest hosts; no single sender can reach it.
    std::size_t maxServices = 1024;
};

// Browses DNS-SD in the local domain itself, with one-shot mDNS queries (RFC
// 6762, section 5.1) from an ephemeral port, so that no responder on this
// machine is disturbed: PTR queries for the machine types, then SRV queries for
// services whose target is not known and A queries for targets whose address
// is not. Answers are taken only from port 5353 and only for the queries
// asked, through the query engine; of them, only the records that answer a
// question or belong to a service already taken from the same sender, and an
// address only where it is the sender's own. A record with no time to live (a
// goodbye) removes what it names, and only from the sender that announced it.
// Each host with an address goes to `found` once, named by its host name; it
// is withdrawn once goodbyes leave no service of its sender leading to it with
// its address (and reported again should it come back). Returns when every
// question has been settled or given up, or at `deadline`.
void BrowseDnsSdItself(const DiscoverySeams& seams, const FoundSink& found,
                       std::chrono::steady_clock::time_point deadline,
                       const DnsSdTiming& timing = {});

// That browser as a source of the merged neighbourhood.
using DnsSdBrowserSource = ProtocolSource<DnsSdTiming, BrowseDnsSdItself>;

} // namespace vexor
