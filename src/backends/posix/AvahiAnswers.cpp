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

void AvahiAnswers::Announced(const std::string& instance) {
    removedInstances_.erase(instance);
}

void AvahiAnswers::Resolved(const std::string& instance, FoundMachine machine) {
    if (removedInstances_.contains(instance) ||
        std::none_of(subnets_.begin(), subnets_.end(), [&](const ConnectedSubnet& subnet) {
            return subnet.Holds(machine.address);
        })) {
        return;
    }
    // A service resolved again to another machine no longer gives the first.
    if (const auto previous = instances_.find(instance);
        previous != instances_.end() &&
        previous->second != std::pair{machine.name, machine.address}) {
        Release(instance);
    }
    std::set<std::string>& names = perSender_[machine.address];
    if (!names.contains(machine.name)) {
        if (names.size() >= kPerSender) {
            return;
        }
        names.insert(machine.name);
    }
    instances_[instance] = {machine.name, machine.address};
    const bool known = std::any_of(machines_.begin(), machines_.end(), [&](const FoundMachine& m) {
        return m.name == machine.name && m.address == machine.address;
    });
    if (!known) {
        machines_.push_back(std::move(machine));
    }
}

void AvahiAnswers::Removed(const std::string& instance) {
    removedInstances_.insert(instance);
    Release(instance);
}

void AvahiAnswers::Release(const std::string& instance) {
    const auto resolved = instances_.find(instance);
    if (resolved == instances_.end()) {
        return;
    }
    const auto machine = resolved->second;
    instances_.erase(resolved);
    if (std::any_of(instances_.begin(), instances_.end(),
                    [&](const auto& other) { return other.second == machine; })) {
        return;
    }
    // The machine gone frees its place in its sender's share.
    std::erase_if(machines_, [&](const FoundMachine& listed) {
        return listed.name == machine.first && listed.address == machine.second;
    });
    perSender_[machine.second].erase(machine.first);
}

std::vector<FoundMachine> AvahiAnswers::Machines() const {
    return machines_;
}

} // namespace vexor
