#include "Neighbourhood.h"

#include "NameCharacters.h"
#include "base/DottedQuad.h"
#include "base/HostName.h"
#include "seams/Utf8Codec.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace vexor {
namespace {

constexpr std::size_t kMaxNameBytes = 255;

// The name a source gives, as the list shows it: DNS-SD host names lose ".local".
std::string ShownName(const FoundMachine& machine, std::string name) {
    if (machine.source == MachineSource::DnsSd) {
        return std::string(WithoutLocalDomain(name));
    }
    return name;
}

struct Merged {
    MachineSource nameSource;
    std::string name;
    std::optional<MachineSource> groupSource;
    std::string group;
    Ipv4 address{};
};

bool AlphabeticalOrder(const std::string& a, const std::string& b) {
    const std::string fa = AsciiLower(a);
    const std::string fb = AsciiLower(b);
    return fa != fb ? fa < fb : a < b;
}

template <std::size_t N>
bool InRanges(char32_t point, const name_characters::CodePointRange (&ranges)[N]) {
    const auto after = std::upper_bound(
        std::begin(ranges), std::end(ranges), point,
        [](char32_t p, const name_characters::CodePointRange& range) { return p < range.first; });
    return after != std::begin(ranges) && point <= std::prev(after)->last;
}

// Characters that a list or a report must not carry: controls, and those that
// are invisible, break the line or reorder the text around them. The Hangul
// fillers and the tag characters draw nothing either.
bool Unprintable(char32_t point) {
    return point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x115F || point == 0x1160 ||
           point == 0x3164 || point == 0xFFA0 || (point >= 0xE0000 && point <= 0xE007F) ||
           InRanges(point, name_characters::kRemovedRanges);
}

} // namespace

std::optional<std::string> CleanNetworkName(std::string_view name) {
    std::string clean;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t start = at;
        const auto point = NextFromUtf8(name, at);
        if (!point) {
            return std::nullopt;
        }
        if (InRanges(*point, name_characters::kBlankRanges)) {
            // A run of blanks of any width is one space, so that a name cannot
            // push a false address into the address column.
            if (!clean.empty() && clean.back() != ' ') {
                clean += ' ';
            }
        } else if (!Unprintable(*point)) {
            clean += name.substr(start, at - start);
        }
    }
    if (!clean.empty() && clean.back() == ' ') {
        clean.pop_back();
    }
    if (clean.empty()) {
        return std::nullopt;
    }
    if (clean.size() > kMaxNameBytes) {
        return std::nullopt;
    }
    return clean;
}

std::optional<std::string> ListedName(const FoundMachine& machine) {
    const auto cleaned = CleanNetworkName(machine.name);
    if (!cleaned) {
        return std::nullopt;
    }
    std::string name = ShownName(machine, *cleaned);
    if (MachineKey(name).empty()) {
        return std::nullopt;
    }
    return name;
}

std::string DottedAddress(const Ipv4& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
           std::to_string(address[2]) + "." + std::to_string(address[3]);
}

namespace {

// The precedence of a name for an address, highest first: the announcing
// sources in their order, then what the network says of the address.
enum Rank : int {
    kNodeStatusRank = static_cast<int>(MachineSource::Sweep),
    kPtrRank,
    kMdnsRank,
    kNoRank,
};

int RankOf(NameOrigin origin) {
    switch (origin) {
    case NameOrigin::NodeStatus:
        return kNodeStatusRank;
    case NameOrigin::Ptr:
        return kPtrRank;
    case NameOrigin::MdnsReverse:
        return kMdnsRank;
    }
    return kNoRank;
}

// A choice among several names: the highest precedence wins, and among names
// of one precedence the first in alphabetical order, so that the line does not
// depend on the order in which answers arrived.
struct Choice {
    int rank = kNoRank;
    std::string text;

    void Offer(int offered, const std::string& candidate) {
        if (offered < rank || (offered == rank && AlphabeticalOrder(candidate, text))) {
            rank = offered;
            text = candidate;
        }
    }
    bool Chosen() const { return rank != kNoRank; }
};

// One machine at one address, from every name given for it.
struct AtAddress {
    Choice name;
    Choice group;
};

// A name the network gave for an address, cleaned as every other name.
std::optional<std::string> CleanAddressName(const std::string& name) {
    auto cleaned = CleanNetworkName(name);
    if (!cleaned || MachineKey(*cleaned).empty()) {
        return std::nullopt;
    }
    return cleaned;
}

std::optional<std::string> GroupOf(const FoundMachine& machine) {
    return machine.source == MachineSource::DnsSd ? std::nullopt
                                                  : CleanNetworkName(machine.workgroup);
}

// Every line, with its group: machines at one address are one, the rest merge
// by name.
std::vector<Merged> MergeMachines(const std::vector<FoundMachine>& found,
                                  const MergeContext& context) {
    const auto own = [&](const Ipv4& address) {
        return std::find(context.own.begin(), context.own.end(), address) != context.own.end();
    };

    // The address learnt for each name: from the most trusted source that gave
    // the name with an address.
    std::map<std::string, std::pair<int, Ipv4>> learnt;
    auto learn = [&](const std::string& name, int rank, const Ipv4& address) {
        auto [at, added] = learnt.try_emplace(MachineKey(name), rank, address);
        if (!added && rank < at->second.first) {
            at->second = {rank, address};
        }
    };
    for (const FoundMachine& machine : found) {
        if (machine.address != Ipv4{}) {
            if (const auto name = ListedName(machine)) {
                learn(*name, static_cast<int>(machine.source), machine.address);
            }
        }
    }
    for (const AddressName& named : context.names) {
        if (const auto name = CleanAddressName(named.name)) {
            learn(*name, RankOf(named.origin), named.address);
        }
    }

    std::map<Ipv4, AtAddress> byAddress;
    std::map<std::string, Merged> byName;
    for (const FoundMachine& machine : found) {
        const auto name = ListedName(machine);
        Ipv4 address = machine.address;
        if (address == Ipv4{} && name) {
            if (const auto known = learnt.find(MachineKey(*name)); known != learnt.end()) {
                address = known->second.second;
            }
        }
        const auto group = GroupOf(machine);
        if (address == Ipv4{}) {
            if (!name) {
                continue;
            }
            auto [at, added] =
                byName.try_emplace(MachineKey(*name), Merged{machine.source, *name, {}, {}, {}});
            Merged& merged = at->second;
            if (!added && machine.source < merged.nameSource) {
                merged.nameSource = machine.source;
                merged.name = *name;
            }
            if (group && (!merged.groupSource || machine.source < *merged.groupSource)) {
                merged.groupSource = machine.source;
                merged.group = *group;
            }
            continue;
        }
        if (own(address)) {
            continue;
        }
        AtAddress& at = byAddress[address];
        if (name) {
            at.name.Offer(static_cast<int>(machine.source), *name);
        }
        if (group) {
            at.group.Offer(static_cast<int>(machine.source), *group);
        }
    }
    for (const AddressName& named : context.names) {
        // Only addresses a source found are listed; a name answers for one of them.
        const auto at = byAddress.find(named.address);
        if (at == byAddress.end()) {
            continue;
        }
        if (const auto name = CleanAddressName(named.name)) {
            at->second.name.Offer(RankOf(named.origin), *name);
        }
        if (named.origin == NameOrigin::NodeStatus) {
            if (const auto group = CleanNetworkName(named.workgroup)) {
                at->second.group.Offer(kNodeStatusRank, *group);
            }
        }
    }

    std::vector<Merged> machines;
    for (auto& [key, merged] : byName) {
        machines.push_back(std::move(merged));
    }
    for (auto& [address, at] : byAddress) {
        Merged merged{MachineSource::Sweep,
                      at.name.Chosen() ? at.name.text : DottedAddress(address),
                      {},
                      {},
                      address};
        // A machine that announces its name is grouped as it announces itself;
        // the node status's workgroup groups a machine named by the network.
        const bool announced = at.name.rank < kNodeStatusRank;
        if (at.group.Chosen() && (!announced || at.group.rank < kNodeStatusRank)) {
            merged.groupSource = static_cast<MachineSource>(
                std::min(at.group.rank, static_cast<int>(MachineSource::Sweep)));
            merged.group = at.group.text;
        }
        machines.push_back(std::move(merged));
    }
    // A group is spelt as its first machine in this order spells it, unless a
    // more trusted source spells it otherwise.
    std::stable_sort(machines.begin(), machines.end(), [](const Merged& a, const Merged& b) {
        return MachineKey(a.name) < MachineKey(b.name);
    });
    return machines;
}

// The four numbers of a name that is a dotted address, as one value.
std::optional<std::uint32_t> DottedValue(const std::string& name) {
    const auto address = ParseDottedQuad(name);
    if (!address) {
        return std::nullopt;
    }
    return std::uint32_t{(*address)[0]} << 24 | std::uint32_t{(*address)[1]} << 16 |
           std::uint32_t{(*address)[2]} << 8 | (*address)[3];
}

// Alphabetical, except that dotted addresses come first and in numeric order
// (.9 before .10); machines of one name in the order of their addresses.
bool ListOrder(const NeighbourhoodMachine& a, const NeighbourhoodMachine& b) {
    const auto da = DottedValue(a.name);
    const auto db = DottedValue(b.name);
    if (da.has_value() != db.has_value()) {
        return da.has_value();
    }
    if (da && *da != *db) {
        return *da < *db;
    }
    if (a.name != b.name) {
        return AlphabeticalOrder(a.name, b.name);
    }
    return a.address < b.address;
}

// The machines in their groups, groups and machines in alphabetical order and
// the machines of no group last.
std::vector<NeighbourhoodGroup> GroupMachines(const std::vector<Merged>& machines) {
    // Groups of one name from several sources are one, shown as first spelt by
    // the most trusted source.
    std::map<std::string, NeighbourhoodGroup> groups;
    std::map<std::string, MachineSource> groupSpelling;
    NeighbourhoodGroup ungrouped{kUngroupedName, {}};
    for (const Merged& machine : machines) {
        const NeighbourhoodMachine line{machine.name, machine.address};
        if (!machine.groupSource) {
            ungrouped.machines.push_back(line);
            continue;
        }
        const std::string groupKey = AsciiLower(machine.group);
        auto [at, added] = groups.try_emplace(groupKey, NeighbourhoodGroup{machine.group, {}});
        auto [spelt, first] = groupSpelling.try_emplace(groupKey, *machine.groupSource);
        if (!first && *machine.groupSource < spelt->second) {
            spelt->second = *machine.groupSource;
            at->second.name = machine.group;
        }
        at->second.machines.push_back(line);
    }

    // A workgroup that happens to bear the name of the last group takes its
    // machines, so that no two containers share a name.
    if (const auto same = groups.find(AsciiLower(kUngroupedName)); same != groups.end()) {
        auto& machines = same->second.machines;
        machines.insert(machines.end(), ungrouped.machines.begin(), ungrouped.machines.end());
        ungrouped.machines.clear();
    }
    // The map's keys are the folded names: its order is already alphabetical.
    std::vector<NeighbourhoodGroup> ordered;
    for (auto& [key, group] : groups) {
        ordered.push_back(std::move(group));
    }
    if (!ungrouped.machines.empty()) {
        ordered.push_back(std::move(ungrouped));
    }
    for (auto& group : ordered) {
        std::sort(group.machines.begin(), group.machines.end(), ListOrder);
    }
    return ordered;
}

} // namespace

std::vector<NeighbourhoodGroup> MergeNeighbourhood(const std::vector<FoundMachine>& found,
                                                   const MergeContext& context) {
    return GroupMachines(MergeMachines(found, context));
}

} // namespace vexor
