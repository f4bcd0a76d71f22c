#include "Neighbourhood.h"

#include "HostName.h"
#include "NameCharacters.h"
#include "platform/api/Utf8Codec.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace vexor {
namespace {

constexpr std::size_t kMaxNameBytes = 255;

// The name a source gives, as the list shows it: DNS-SD host names lose ".local".
std::string ShownName(const FoundMachine& machine, std::string name) {
    if (machine.source == MachineSource::DnsSd && IsLocalDomainName(name)) {
        if (name.back() == '.') {
            name.pop_back();
        }
        name.resize(name.size() - 6);
    }
    return name;
}

struct Merged {
    MachineSource nameSource;
    std::string name;
    std::optional<MachineSource> groupSource;
    std::string group;
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

namespace {

// One entry per machine, however many sources named it: the name as the most
// trusted source spells it, and the group the most trusted source gives.
std::map<std::string, Merged> MergeMachines(const std::vector<FoundMachine>& found) {
    std::map<std::string, Merged> machines;
    for (const FoundMachine& machine : found) {
        const auto listed = ListedName(machine);
        if (!listed) {
            continue;
        }
        const std::string& name = *listed;
        const std::string key = MachineKey(name);
        if (key.empty()) {
            continue;
        }
        const auto group = machine.source == MachineSource::DnsSd
                               ? std::nullopt
                               : CleanNetworkName(machine.workgroup);
        auto [at, added] = machines.try_emplace(key, Merged{machine.source, name, {}, {}});
        Merged& merged = at->second;
        if (!added && machine.source < merged.nameSource) {
            merged.nameSource = machine.source;
            merged.name = name;
        }
        if (group && (!merged.groupSource || machine.source < *merged.groupSource)) {
            merged.groupSource = machine.source;
            merged.group = *group;
        }
    }

    return machines;
}

// The machines in their groups, groups and machines in alphabetical order and
// the machines of no group last.
std::vector<NeighbourhoodGroup> GroupMachines(const std::map<std::string, Merged>& machines) {
    // Groups of one name from several sources are one, shown as first spelt by
    // the most trusted source.
    std::map<std::string, NeighbourhoodGroup> groups;
    std::map<std::string, MachineSource> groupSpelling;
    NeighbourhoodGroup ungrouped{kUngroupedName, {}};
    for (const auto& [key, machine] : machines) {
        if (!machine.groupSource) {
            ungrouped.machines.push_back(machine.name);
            continue;
        }
        const std::string groupKey = AsciiLower(machine.group);
        auto [at, added] = groups.try_emplace(groupKey, NeighbourhoodGroup{machine.group, {}});
        auto [spelt, first] = groupSpelling.try_emplace(groupKey, *machine.groupSource);
        if (!first && *machine.groupSource < spelt->second) {
            spelt->second = *machine.groupSource;
            at->second.name = machine.group;
        }
        at->second.machines.push_back(machine.name);
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
        std::sort(group.machines.begin(), group.machines.end(), AlphabeticalOrder);
    }
    return ordered;
}

} // namespace

std::vector<NeighbourhoodGroup> MergeNeighbourhood(const std::vector<FoundMachine>& found) {
    return GroupMachines(MergeMachines(found));
}

} // namespace vexor
