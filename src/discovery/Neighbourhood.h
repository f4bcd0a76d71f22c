#pragma once

#include "HostName.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexor {

// Where a machine was found; the order is also the order of precedence for its
// name and workgroup.
enum class MachineSource { BrowseList, WsDiscovery, DnsSd, Ssdp, Sweep };

struct FoundMachine {
    MachineSource source = MachineSource::BrowseList;
    std::string name;
    // The workgroup or domain; empty when the source names none.
    std::string workgroup;
    // The address the source learnt for it; all zeros when it learnt none.
    Ipv4 address{};
};

// Where a source reports each machine as soon as it knows it. Called from the
// source's own thread.
using FoundSink = std::function<void(FoundMachine)>;

// One container of the merged neighbourhood and its machines, in walk order.
struct NeighbourhoodGroup {
    std::string name;
    std::vector<std::string> machines;
};

// The name under which machines that name no workgroup are gathered, last.
constexpr const char* kUngroupedName = "Outras máquinas";

// A name from the network fit for the list and the report: C0 and C1 control
// characters and the invisible and bidirectional format characters (U+200B to
// U+200F, U+202A to U+202E, U+2060 to U+2069, U+FEFF) removed, blanks trimmed;
// nothing when it is not valid UTF-8, or that leaves nothing or more than 255
// bytes.
std::optional<std::string> CleanNetworkName(std::string_view name);

// The name under which the list shows `machine`: cleaned, and without the
// ".local" of a DNS-SD host name; nothing when no list could show it.
std::optional<std::string> ListedName(const FoundMachine& machine);

// Merges what every source found into one neighbourhood: a machine found by
// several sources (names compared case-insensitively, a trailing ".local"
// ignored) is listed once, under the browse list's name and workgroup, else
// WS-Discovery's, else DNS-SD's host name. Groups of the same name are one;
// groups are in alphabetical order (case-insensitive), the machines without
// one last; machines in alphabetical order within each.
std::vector<NeighbourhoodGroup> MergeNeighbourhood(const std::vector<FoundMachine>& found);

} // namespace vexor
