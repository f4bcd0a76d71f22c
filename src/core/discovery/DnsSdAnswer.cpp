#include "DnsSdAnswer.h"

namespace vexor {

std::optional<FoundMachine> DnsSdMachine(std::string_view hostName, const Ipv4& address) {
    const auto name = CleanNetworkName(hostName);
    if (!name || MachineKey(*name).empty() || address == Ipv4{}) {
        return std::nullopt;
    }
    return FoundMachine{MachineSource::DnsSd, *name, {}, address};
}

} // namespace vexor
