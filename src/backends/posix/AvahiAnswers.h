#pragma once

#include "core/discovery/Neighbourhood.h"

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vexor {

// One IPv4 subnet this machine is connected to.
struct ConnectedSubnet {
    Ipv4 address{};
    Ipv4 mask{};
    bool Holds(const Ipv4& other) const;
};

// What one browse through avahi-daemon takes of the services it resolves.
// avahi-daemon hands on whatever the network announced: an address is taken
// only when it lies in a subnet this machine is connected to, and one address
// gives at most `kPerSender` distinct machines, the first that came (the
// daemon does not say which host sent an answer: the address it announced
// stands in for it). A service's removal (an mDNS goodbye) removes its
// machine, and a service removed before it resolved is not taken.
class AvahiAnswers {
  public:
    static constexpr std::size_t kPerSender = 32;

    explicit AvahiAnswers(std::vector<ConnectedSubnet> subnets) : subnets_(std::move(subnets)) {}

    // The service `instance` (its interface, name, type and domain) resolved
    // to `machine`.
    void Resolved(const std::string& instance, FoundMachine machine);
    void Removed(const std::string& instance);

    // The machines taken, in the order they came.
    std::vector<FoundMachine> Machines() const;

  private:
    std::vector<ConnectedSubnet> subnets_;
    std::vector<FoundMachine> machines_;
    // The machine each resolved service gave, by name.
    std::map<std::string, std::string> instances_;
    std::set<std::string> removedInstances_;
    std::map<Ipv4, std::set<std::string>> perSender_;
};

} // namespace vexor
