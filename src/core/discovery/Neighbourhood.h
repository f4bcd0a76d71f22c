#pragma once

#include "AddressNaming.h"
#include "base/HostName.h"
#include "seams/Ipv4.h"
#include "seams/NeighbourhoodSource.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace vexor {

// One line of the merged neighbourhood.
struct NeighbourhoodMachine {
    std::string name;
    // Where the machine was found; all zeros when no source knew an address.
    Ipv4 address{};

    bool operator==(const NeighbourhoodMachine&) const = default;
};

// One container of the merged neighbourhood and its machines, in walk order.
struct NeighbourhoodGroup {
    std::string name;
    std::vector<NeighbourhoodMachine> machines;
};

// What the merge knows besides the sources' reports.
struct MergeContext {
    // What the network called the addresses that the sources found.
    std::vector<AddressName> names;
    // The machine's own addresses: never listed.
    std::vector<Ipv4> own;
};

// The name under which machines that name no workgroup are gathered, last.
constexpr const char* kUngroupedName = "Outras máquinas";

// A name from the network fit for the list and the report: C0 and C1 control
// characters, the format characters and line and paragraph separators (general
// categories Cf, Zl, Zp), the tag characters and the Hangul fillers removed;
// every run of blanks (general category Zs) one space, none at either end;
// nothing when it is not valid UTF-8, or that leaves nothing or more than 255
// bytes.
std::optional<std::string> CleanNetworkName(std::string_view name);

// The name under which the list shows `machine`: cleaned, and without the
// ".local" of a DNS-SD host name; nothing when no list could show it.
std::optional<std::string> ListedName(const FoundMachine& machine);

// Merges what every source found into one neighbourhood, one line per
// machine. Machines merge by address where one is known (the one the source
// reported, else the one learnt for the name); the rest by name (compared
// case-insensitively, a trailing ".local" ignored). A line is named by the
// source of highest precedence, then by the address's node status, PTR and
// mDNS reverse names, else by the dotted address; its workgroup is the browse
// list's, else WS-Discovery's, else, for a machine that announces no name,
// the node status's. Groups of the same name
// are one; groups are in alphabetical order (case-insensitive), the machines
// without one last; machines in alphabetical order within each, dotted
// addresses first and in numeric order.
std::vector<NeighbourhoodGroup> MergeNeighbourhood(const std::vector<FoundMachine>& found,
                                                   const MergeContext& context = {});

// The dotted text of `address`, as a line names a machine nothing else names.
std::string DottedAddress(const Ipv4& address);

} // namespace vexor
