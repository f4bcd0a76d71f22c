#include "DnsSdAnswer.h"

namespace vexor {

std::optional<FoundMachine> DnsSdMachine(std::string_view hostName, const Ipv4& address,
                                         NameAnswerCache& learnt) {
    const auto name = CleanNetworkName(hostName);
    if (!name || MachineKey(*name).empty() || address == Ipv4{}) {
        return std::nullopt;
    }
    learnt.Learn(*name, {address});
    return FoundMachine{MachineSource::DnsSd, *name, {}};
}

} // namespace vexor
