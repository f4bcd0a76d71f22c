#include "AvahiAnswers.h"

#include <algorithm>

namespace vexor {

bool ConnectedSubnet::Holds(const Ipv4& other) const {
    for (std::size_t i = 0; i < other.size(); ++i) {
        if ((other[i] & mask[i]) != (address[i] & mask[i])) {
            return false;
        }
    }
    return true;
}

void AvahiAnswers::Resolved(const std::string& instance, FoundMachine machine) {
    if (removedInstances_.contains(instance) ||
        std::none_of(subnets_.begin(), subnets_.end(), [&](const ConnectedSubnet& subnet) {
            return subnet.Holds(machine.address);
        })) {
        return;
    }
    std::set<std::string>& names = perSender_[machine.address];
    if (!names.contains(machine.name)) {
        if (names.size() >= kPerSender) {
            return;
        }
        names.insert(machine.name);
    }
    instances_[instance] = machine.name;
    const bool known = std::any_of(machines_.begin(), machines_.end(), [&](const FoundMachine& m) {
        return m.name == machine.name && m.address == machine.address;
    });
    if (!known) {
        machines_.push_back(std::move(machine));
    }
}

void AvahiAnswers::Removed(const std::string& instance) {
    removedInstances_.insert(instance);
    const auto resolved = instances_.find(instance);
    if (resolved == instances_.end()) {
        return;
    }
    const std::string name = resolved->second;
    instances_.erase(resolved);
    // The machine gone frees its place in its sender's share.
    std::erase_if(machines_, [&](const FoundMachine& machine) {
        if (machine.name != name) {
            return false;
        }
        perSender_[machine.address].erase(name);
        return true;
    });
}

std::vector<FoundMachine> AvahiAnswers::Machines() const {
    return machines_;
}

} // namespace vexor
