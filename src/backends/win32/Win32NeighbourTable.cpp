#include "Win32NeighbourTable.h"

// Winsock 2's headers must come before windows.h and iphlpapi.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <netioapi.h>
#include <windows.h>

#include "base/UniqueHandle.h"

#include <algorithm>
#include <cstring>

namespace vexor::win32 {
namespace {

NeighbourState StateOf(NL_NEIGHBOR_STATE state) {
    switch (state) {
    case NlnsIncomplete:
        return NeighbourState::Incomplete;
    case NlnsProbe:
        return NeighbourState::Probe;
    case NlnsDelay:
        return NeighbourState::Delay;
    case NlnsStale:
        return NeighbourState::Stale;
    case NlnsReachable:
        return NeighbourState::Reachable;
    case NlnsPermanent:
        return NeighbourState::Permanent;
    default:
        return NeighbourState::Failed;
    }
}

void FreeTable(MIB_IPNET_TABLE2* table) {
    FreeMibTable(table);
}

} // namespace

std::optional<std::vector<NeighbourEntry>> ReadIpNetTable() {
    MIB_IPNET_TABLE2* raw = nullptr;
    if (GetIpNetTable2(AF_INET, &raw) != NO_ERROR || raw == nullptr) {
        return std::nullopt;
    }
    const UniqueHandle<MIB_IPNET_TABLE2, FreeTable> table(raw);
    std::vector<NeighbourEntry> entries;
    entries.reserve(table->NumEntries);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.Address.si_family != AF_INET) {
            continue;
        }
        NeighbourEntry entry;
        std::memcpy(entry.address.data(), &row.Address.Ipv4.sin_addr, 4);
        entry.interfaceIndex = row.InterfaceIndex;
        // Windows keeps how long an entry stays reachable, not when it was
        // last confirmed: only its state tells whether the machine is there.
        entry.state = row.IsUnreachable ? NeighbourState::Failed : StateOf(row.State);
        const ULONG length = std::min<ULONG>(row.PhysicalAddressLength, IF_MAX_PHYS_ADDRESS_LENGTH);
        entry.linkAddress.assign(row.PhysicalAddress, row.PhysicalAddress + length);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace vexor::win32
