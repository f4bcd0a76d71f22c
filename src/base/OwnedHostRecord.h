#pragma once

#include "seams/Ipv4.h"
#include "seams/Sockets.h"

#include <string>
#include <vector>

namespace vexor {

// A host record that a backend makes itself (rather than the library's own),
// valid until the next Publish, as a Winsock record is until the next call.
class OwnedHostRecord {
  public:
    const HostEnt* Publish(std::string name, const std::vector<Ipv4>& addresses);

  private:
    HostEnt record_{};
    std::string name_;
    std::vector<Ipv4> addresses_;
    std::vector<char*> list_;
};

} // namespace vexor
