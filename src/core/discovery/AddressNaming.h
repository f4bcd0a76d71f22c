#pragma once

#include "seams/Ipv4.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vexor {

// Where a name for an address came from when the machine announced none, in
// order of precedence.
enum class NameOrigin { NodeStatus, Ptr, MdnsReverse };

// One name the network gave for an address.
struct AddressName {
    Ipv4 address{};
    NameOrigin origin = NameOrigin::NodeStatus;
    // In UTF-8: the node's unique <00> name (trailing blanks removed), the PTR
    // record's first label as the server wrote it, or the mDNS reverse answer's
    // first label without ".local". The merge cleans it as every other name.
    std::string name;
    // The node's <00> group name (its workgroup); only for NodeStatus.
    std::string workgroup;
};

using AddressNameSink = std::function<void(AddressName)>;

struct NamingRequest {
    Ipv4 address{};
    // False when a source already asked the address's node status in this
    // refresh (the sweep does), so it is not asked twice.
    bool askNodeStatus = true;
};

// Asks the network what each address is called, for addresses the sources
// found without a name or with one they did not announce themselves.
class IAddressNamer {
  public:
    virtual ~IAddressNamer() = default;
    // Asks node status (where requested), PTR of the system's DNS servers and
    // an mDNS reverse query to ADDRESS:5353 for every request, reports each
    // answer to `found` as it arrives, and returns once every question is
    // answered or given up, or at `deadline`. Several calls may run at once on
    // different threads; none reports after it returned.
    virtual void Name(const std::vector<NamingRequest>& requests,
                      std::chrono::steady_clock::time_point deadline,
                      const AddressNameSink& found) = 0;
};

} // namespace vexor
