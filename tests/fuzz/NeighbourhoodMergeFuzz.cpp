// Feeds machines as the sources report them into the merge: each record is a
// source byte, an address byte (the last of 10.0.0.x; 0 for none), a NUL-ended
// name and a NUL-ended workgroup. DNS-SD records go through the DNS-SD answer
// handling first.
#include "base/HostName.h"
#include "core/discovery/DnsSdAnswer.h"
#include "core/discovery/Neighbourhood.h"

#include "core/discovery/NameCharacters.h"
#include "seams/Utf8Codec.h"

#include <cstdlib>
#include <set>
#include <string_view>

namespace {

// A listed name is clean text: no blank at either end, no two in a row, only
// U+0020 as a blank, nothing invisible.
bool CleanText(std::string_view name) {
    using namespace vexor::name_characters;
    if (name.empty() || name.front() == ' ' || name.back() == ' ' ||
        name.find("  ") != std::string_view::npos) {
        return false;
    }
    for (std::size_t at = 0; at < name.size();) {
        const auto point = vexor::NextFromUtf8(name, at);
        if (!point || (*point >= 0xE0000 && *point <= 0xE007F) || *point == 0x3164) {
            return false;
        }
        for (const auto& range : kRemovedRanges) {
            if (*point >= range.first && *point <= range.last) {
                return false;
            }
        }
        for (const auto& range : kBlankRanges) {
            if (*point != U' ' && *point >= range.first && *point <= range.last) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexor;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<FoundMachine> found;
    auto field = [&] {
        const auto end = input.find('\0');
        const std::string_view text = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        return std::string(text);
    };
    while (!input.empty() && found.size() < 512) {
        const auto source = static_cast<MachineSource>(static_cast<unsigned char>(input[0]) % 5);
        input.remove_prefix(1);
        const std::uint8_t last = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
        input.remove_prefix(input.empty() ? 0 : 1);
        const Ipv4 address = last == 0 ? Ipv4{} : Ipv4{10, 0, 0, last};
        std::string name = field();
        std::string workgroup = field();
        if (source == MachineSource::DnsSd) {
            if (auto machine = DnsSdMachine(name, address)) {
                found.push_back(std::move(*machine));
            }
        } else {
            found.push_back({source, std::move(name), std::move(workgroup), address});
        }
    }
    const auto groups = MergeNeighbourhood(found, {{}, {{10, 0, 0, 1}}});
    std::set<std::string> keys;
    std::set<Ipv4> addresses;
    std::set<std::string> groupNames;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        // Group names are unique (a workgroup named like the last group takes
        // its machines), so the walk can open each by name; none is empty.
        std::string folded = groups[g].name;
        for (char& c : folded) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
        if (!groupNames.insert(folded).second || groups[g].machines.empty() ||
            !CleanText(groups[g].name)) {
            std::abort();
        }
        for (const NeighbourhoodMachine& machine : groups[g].machines) {
            for (const char c : machine.name) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    std::abort();
                }
            }
            // Every address is one line, never the machine's own; the machines
            // with no address are one line per name.
            if (!CleanText(machine.name) || machine.address == Ipv4{10, 0, 0, 1} ||
                (machine.address == Ipv4{} ? !keys.insert(MachineKey(machine.name)).second
                                           : !addresses.insert(machine.address).second)) {
                std::abort();
            }
        }
    }
    return 0;
}
