#pragma once

#include "Ipv4.h"

#include <string>
#include <vector>

namespace vexor {

// What a resolver answers for a machine name: the name it knows the machine
// by, and its IPv4 addresses (none: the name has no address).
struct NameAnswer {
    std::string canonicalName;
    std::vector<Ipv4> addresses;
};

// The names of the refresh under way, as the sockets backend asks them: the
// addresses the neighbourhood's sources found, and the lookups the refresh
// began ahead of the walk, all answered by the refresh's deadline. Safe to
// use from several threads.
class IRefreshNames {
  public:
    virtual ~IRefreshNames() = default;
    // The address the walk's next line of `name` was found at, then the
    // name's other addresses; empty when no source listed the name.
    virtual std::vector<Ipv4> Listed(const std::string& name) = 0;
    // True when `name` was asked or resolved ahead in this refresh.
    virtual bool Known(const std::string& name) const = 0;
    // The answer for `name`, waiting for a lookup under way until the
    // deadline at most.
    virtual NameAnswer Resolve(const std::string& name) = 0;
};

} // namespace vexor
