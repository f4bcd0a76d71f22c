// Feeds machines as the sources report them into the merge: each record is a
// source byte, a NUL-ended name and a NUL-ended workgroup. DNS-SD records go
// through the DNS-SD answer handling first.
#include "discovery/DnsSdAnswer.h"
#include "discovery/HostName.h"
#include "discovery/Neighbourhood.h"

#include "discovery/NameCharacters.h"
#include "platform/api/Utf8Codec.h"

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
        const auto source = static_cast<MachineSource>(static_cast<unsigned char>(input[0]) % 3);
        input.remove_prefix(1);
        std::string name = field();
        std::string workgroup = field();
        if (source == MachineSource::DnsSd) {
            if (auto machine = DnsSdMachine(name, {10, 0, 0, 1})) {
                found.push_back(std::move(*machine));
            }
        } else {
            found.push_back({source, std::move(name), std::move(workgroup)});
        }
    }
    const auto groups = MergeNeighbourhood(found);
    std::set<std::string> keys;
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
        for (const std::string& machine : groups[g].machines) {
            for (const char c : machine) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    std::abort();
                }
            }
            // Every machine is listed once across all groups.
            if (!CleanText(machine) || !keys.insert(MachineKey(machine)).second) {
                std::abort();
            }
        }
    }
    return 0;
}
