#pragma once

#include "seams/NeighbourhoodSource.h"

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
// machine, unless another service still resolves to the same name at the same
// address, and a service removed before it resolved is not taken unless it is
// announced again.
class AvahiAnswers {
  public:
    static constexpr std::size_t kPerSender = 32;

    explicit AvahiAnswers(std::vector<ConnectedSubnet> subnets) : subnets_(std::move(subnets)) {}

    // The service `instance` (its interface, name, type and domain) was
    // announced; it resolved to `machine`; it was removed.
    void Announced(const std::string& instance);
    void Resolved(const std::string& instance, FoundMachine machine);
    void Removed(const std::string& instance);

    // The machines taken, in the order they came.
    std::vector<FoundMachine> Machines() const;

  private:
    // Forgets what `instance` resolved to, and its machine unless another
    // service still gives it.
    void Release(const std::string& instance);

    std::vector<ConnectedSubnet> subnets_;
    std::vector<FoundMachine> machines_;
    // The machine (name and address) each resolved service gave.
    std::map<std::string, std::pair<std::string, Ipv4>> instances_;
    std::set<std::string> removedInstances_;
    std::map<Ipv4, std::set<std::string>> perSender_;
};

} // namespace vexor
